// Controls. A control's text lives here as bytes (one per character); the Qt widget only shows it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fw {

class Picture;
class Window;
struct ControlDesign;
struct ControlFactory;

enum class ControlClass { TabPanel, StaticText, TextField, TextArea, PopupMenu, CheckBox, PushButton, Separator, Canvas };

class RectControl {
 public:
  struct Impl;
  virtual ~RectControl();
  RectControl(const RectControl&) = delete;
  RectControl& operator=(const RectControl&) = delete;

  virtual ControlClass Class() const = 0;
  const std::string& Name() const;
  Window& Owner() const;

  bool Enabled() const;
  void SetEnabled(bool value);
  bool Visible() const;
  void SetVisible(bool value);
  // Shown as the control's tool tip.
  std::string HelpTag() const;
  void SetHelpTag(const std::string& text);

  // Position in the window's coordinates (also for a control on a tab page), and size, in pixels.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  // Place in the keyboard focus order of its container (the window, or one tab page).
  int TabIndex() const;
  // 0 for a control directly on the window; n for the n-th page of its tab panel.
  int TabPanelIndex() const;

  // The font size, in pixels (a point of the 72-dpi screens the designs were made for); 0 keeps the platform's.
  double TextSize() const;
  void SetTextSize(double points);
  int TextUnit() const;
  void SetTextUnit(int unit);

  // Binds an event ("TextChange", "Action") to a handler. Handlers run inside the framework's dispatch, so a
  // failure they let through is reported and the event loop goes on.
  void AddEventHandler(const std::string& event, std::function<void()> handler);
  // Runs the handlers bound to the event, if any.
  void RaiseEvent(const std::string& event);

  // Applies the design's geometry, page, tab order, text, mask, limit, help tag and state.
  virtual void ApplyDesign(const ControlDesign& design);

  Impl& impl() const { return *impl_; }

 protected:
  explicit RectControl(std::unique_ptr<Impl> impl);

 private:
  // Creates the controls a window adds (the only way to make one).
  friend struct ControlFactory;
  std::unique_ptr<Impl> impl_;
};

class TabPanel : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::TabPanel; }
  // The page in front, from 0.
  int Value() const;
  void SetValue(int page);
  int PageCount() const;
  std::string PageCaption(int page) const;
  void ApplyDesign(const ControlDesign& design) override;
};

class StaticText : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::StaticText; }
  std::string Text() const;
  void SetText(const std::string& text);
  // 0 left, 1 centred, 2 right.
  int TextAlign() const;
  bool Multiline() const;
  void ApplyDesign(const ControlDesign& design) override;
};

// A single-line text field. Text() gives back what SetText() set, byte for byte, until the user edits it; setting a
// different text raises "TextChange", as typing does. Typing and pasting are held to the mask (read leniently: every
// position may stay empty, a separator may come early, and one that is due comes in before a character that belongs
// after it) and to the limit, and take only characters that one byte of a tag stands for (CharacterOfByte). Each
// typed character that the field does not take beeps; a paste or a drop keeps every character that fits, in order,
// and beeps once when it left any out.
class TextField : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::TextField; }
  std::string Text() const;
  void SetText(const std::string& text);
  // "#" and "9" stand for a digit, "a" for a letter or digit, any other character for itself; "" for none.
  std::string Mask() const;
  void SetMask(const std::string& mask);
  int32_t LimitText() const;
  void SetLimitText(int32_t characters);
  void ApplyDesign(const ControlDesign& design) override;
  // True while the "TextChange" handlers of a change that the user made run: typing, deleting, a cut, a paste, a
  // drop, an undo or redo, the Edit menu's commands. False for a text the program sets, except one that those very
  // handlers set.
  bool UserEditing() const;
};

// A multi-line text field; its text keeps its own line ends ("\r", "\n", "\r\n"), and a line end that the user
// types takes the style of the text around it. It takes characters as a single-line field does, without a mask.
class TextArea : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::TextArea; }
  std::string Text() const;
  void SetText(const std::string& text);
  int32_t LimitText() const;
  void SetLimitText(int32_t characters);
  void ApplyDesign(const ControlDesign& design) override;
};

class PopupMenu : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::PopupMenu; }
  // The selected row from 0; -1 for none. Setting a row that does not exist selects none.
  int ListIndex() const;
  void SetListIndex(int row);
  // Whether the user has chosen a row (any row, the one already selected too) since the program last set one.
  bool UserChose() const;
  int ListCount() const;
  std::string List(int row) const;
  void ApplyDesign(const ControlDesign& design) override;
};

class CheckBox : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::CheckBox; }
  bool Value() const;
  void SetValue(bool checked);
  std::string Caption() const;
  void ApplyDesign(const ControlDesign& design) override;
};

// Raises "Action" when pushed.
class PushButton : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::PushButton; }
  std::string Caption() const;
  void ApplyDesign(const ControlDesign& design) override;
  // Pushes the button as a click does (nothing when it is disabled).
  void Push();
};

class Separator : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::Separator; }
};

class Canvas : public RectControl {
 public:
  using RectControl::RectControl;
  ControlClass Class() const override { return ControlClass::Canvas; }
  // Drawn at the canvas's top left corner; nullptr leaves the canvas empty.
  std::shared_ptr<Picture> Backdrop() const;
  void SetBackdrop(std::shared_ptr<Picture> picture);
};

}  // namespace fw
