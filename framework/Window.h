// Windows, their designs, and the implicit instance of each window class.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Controls.h"
#include "Failures.h"

namespace fw {

class MenuBar;
class MenuItem;

struct WindowDesign {
  int Width = 0;
  int Height = 0;
  std::string Title;
  bool Visible = true;
  bool CloseButton = true;
  bool Resizeable = false;
  bool MaximizeButton = false;
  bool MinimizeButton = false;
  bool MenuBarVisible = true;
  // Where the window first shows: 0 where the window manager puts it; 1 centred over the window in front (the
  // active one, else the newest other window on show), which it then stays in front of.
  int Placement = 0;
  // Whether Escape closes the window, as it closes a dialog.
  bool CloseOnEscape = false;
};

// One row of a window's design table, applied in the table's order.
struct ControlDesign {
  std::string Name;
  ControlClass Class;
  // 0: directly on the window; n: on page n of the tab panel named Parent.
  int TabPanelIndex = 0;
  std::string Parent;
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int TabIndex = 0;
  // Text, caption, or the rows of a pop-up menu and the pages of a tab panel, one per line ("\r").
  std::string Text;
  std::string Mask;
  int LimitText = 0;
  std::string HelpTag;
  bool Enabled = true;
  bool Multiline = false;
  // 0 left, 1 centred, 2 right.
  int TextAlign = 0;
  // Set before the design is applied; 0 sets no font size or unit (a separator has no font).
  double TextSize = 12;
};

// A design row with its name, class, position and size; the rest as a new row has it.
inline ControlDesign Placed(std::string name, ControlClass cls, int left, int top, int width, int height) {
  ControlDesign design;
  design.Name = std::move(name);
  design.Class = cls;
  design.Left = left;
  design.Top = top;
  design.Width = width;
  design.Height = height;
  return design;
}

// Anywhere in a window, the platform's Quit keys (Ctrl+Q) quit with 0, and Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and
// Ctrl+PgUp switch the pages of the tab panel that holds the focus (else of the window's first), wrapping around.
class Window {
 public:
  struct Impl;
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Builds the window: Layout, CreateControls, AddMenuHandlers; shows it when its design is visible; then Open.
  void Constructor();

  // The window's events.
  virtual void Layout() {}
  virtual void CreateControls() {}
  virtual void AddMenuHandlers(Window& window) { (void)window; }
  virtual void Event_Open() {}
  virtual void Event_EnableMenuItems() {}

  void ApplyDesign(const WindowDesign& design);
  // The title's bytes, as they were set. They are shown decoded as a file name is (the title holds the program's
  // own texts and file names, never a tag text), so a name spelled in UTF-8 shows as the file system spells it.
  std::string Title() const;
  void SetTitle(const std::string& title);
  // The size of the window's content, below its menu bar.
  int Width() const;
  int Height() const;
  bool Resizeable() const;
  std::shared_ptr<MenuBar> GetMenuBar() const;
  void SetMenuBar(std::shared_ptr<MenuBar> bar);

  void Show();
  // Closes the window as its close box does; the framework destroys it once the current event is over.
  void Close();
  bool IsOpen() const;
  bool IsVisible() const;

  // Creates a control of the design's class, registers it under its name, sets its font size and unit, applies
  // its design; returns it.
  RectControl& AddControl(const ControlDesign& design);
  // The control registered under that name, or nullptr.
  RectControl* Control(const std::string& name) const;
  // The control of that name as its class; raises NilObjectException when there is none of that class.
  template <class T>
  T& Find(const std::string& name) const {
    if (auto* found = dynamic_cast<T*>(Control(name))) return *found;
    throw NilObjectException("The window has no control named \"" + name + "\".");
  }
  // Controls in creation order.
  int ControlCount() const;
  RectControl& ControlAt(int index) const;

  // Registers a menu handler by item name; it returns whether it handled the command.
  void AddMenuHandler(const std::string& itemName, std::function<bool()> handler);
  // Enables the window's menu items: items with AutoEnable that have a handler at hand (a registered one, or the
  // built-in Edit commands while a text field has the focus) are enabled, the others disabled, menus stay as they
  // are; then EnableMenuItems is raised. A window without a menu bar leaves the shared items alone. The framework
  // runs it before a menu opens, when a command is chosen, and after every event it dispatches.
  void EnableMenuItems();
  // Runs a menu command as choosing it does: the items are enabled first, and the handler runs only if its item
  // is then enabled. Returns whether a handler ran.
  bool RunMenuCommand(const std::string& itemName);

  Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// The framework holds every open window; these are the ones not yet closed, oldest first.
std::vector<Window*> OpenWindows();
// Hands a new window to the framework, which destroys it when it is closed (or at exit).
void AdoptWindow(std::unique_ptr<Window> window);

// The implicit instance of a window class: its open window, or a new one, constructed.
template <class T>
T& ImplicitWindow() {
  for (Window* open : OpenWindows()) {
    if (auto* found = dynamic_cast<T*>(open)) return *found;
  }
  auto created = std::make_unique<T>();
  T& window = *created;
  AdoptWindow(std::move(created));
  window.Constructor();
  return window;
}

}  // namespace fw
