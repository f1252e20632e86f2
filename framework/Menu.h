// The menu model: a tree of items shared by the application and every window. Each window shows it through its
// own Qt menu bar and follows every change made to it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw {

class MenuItem : public std::enable_shared_from_this<MenuItem> {
 public:
  MenuItem();
  virtual ~MenuItem();
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  std::string Name() const { return name_; }
  void SetName(const std::string& name);
  // The caption; "&" marks the mnemonic letter, and the text "-" makes the item a separator.
  std::string Text() const { return text_; }
  void SetText(const std::string& text);
  bool IsSeparator() const { return text_ == "-"; }
  // "Cmd+O" and the like (Ctrl on Linux); empty when never set, "" when set to the empty text.
  std::optional<std::string> KeyboardShortcut() const { return shortcut_; }
  void SetKeyboardShortcut(const std::string& shortcut);
  // An item that enables itself whenever a handler for it is at hand, before the window's EnableMenuItems runs.
  bool AutoEnable() const { return autoEnable_; }
  void SetAutoEnable(bool value);
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);

  void Append(std::shared_ptr<MenuItem> item);
  int Count() const { return static_cast<int>(children_.size()); }
  std::shared_ptr<MenuItem> Item(int index) const;
  // The direct child of that name, or nullptr.
  std::shared_ptr<MenuItem> Child(const std::string& name) const;
  // The item of that name anywhere below this one (depth first, in order), or nullptr.
  std::shared_ptr<MenuItem> Lookup(const std::string& name) const;
  MenuItem* Parent() const { return parent_; }

  // Called after any change to this item or to an item below it (the change's item is passed).
  using Observer = std::function<void(MenuItem& changed)>;
  int AddObserver(Observer observer);
  void RemoveObserver(int id);

 private:
  void Changed();

  std::string name_;
  std::string text_;
  std::optional<std::string> shortcut_;
  bool autoEnable_ = false;
  bool checked_ = false;
  bool enabled_ = true;
  MenuItem* parent_ = nullptr;
  std::vector<std::shared_ptr<MenuItem>> children_;
  std::vector<std::pair<int, Observer>> observers_;
  int nextObserver_ = 1;
};

// The item for the About entry; shown in the application menu where the platform has one (macOS), and elsewhere at
// the end of a Help menu that each window adds as the last menu of its bar. The model keeps it where it was put.
class AppleMenuItem : public MenuItem {};

class MenuBar : public MenuItem {};

}  // namespace fw
