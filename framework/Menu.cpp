#include "Menu.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>

#include <algorithm>

#include "Application.h"
#include "GuiPrivate.h"
#include "Window.h"

namespace fw {

MenuItem::MenuItem() = default;

MenuItem::~MenuItem() {
  for (auto& child : children_) {
    if (child->parent_ == this) child->parent_ = nullptr;
  }
}

void MenuItem::SetName(const std::string& name) {
  if (name_ == name) return;
  name_ = name;
  Changed();
}

void MenuItem::SetText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  Changed();
}

void MenuItem::SetKeyboardShortcut(const std::string& shortcut) {
  if (shortcut_ && *shortcut_ == shortcut) return;
  shortcut_ = shortcut;
  Changed();
}

void MenuItem::SetAutoEnable(bool value) {
  if (autoEnable_ == value) return;
  autoEnable_ = value;
  Changed();
}

void MenuItem::SetChecked(bool value) {
  if (checked_ == value) return;
  checked_ = value;
  Changed();
}

void MenuItem::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  Changed();
}

void MenuItem::Append(std::shared_ptr<MenuItem> item) {
  if (!item || item.get() == this) return;
  if (MenuItem* old = item->parent_) {
    auto& siblings = old->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
    old->Changed();
  }
  item->parent_ = this;
  children_.push_back(std::move(item));
  Changed();
}

std::shared_ptr<MenuItem> MenuItem::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return children_[static_cast<size_t>(index)];
}

std::shared_ptr<MenuItem> MenuItem::Child(const std::string& name) const {
  for (const auto& child : children_) {
    if (child->name_ == name) return child;
  }
  return nullptr;
}

std::shared_ptr<MenuItem> MenuItem::Lookup(const std::string& name) const {
  for (const auto& child : children_) {
    if (child->name_ == name) return child;
    if (auto found = child->Lookup(name)) return found;
  }
  return nullptr;
}

int MenuItem::AddObserver(Observer observer) {
  int id = nextObserver_++;
  observers_.emplace_back(id, std::move(observer));
  return id;
}

void MenuItem::RemoveObserver(int id) {
  observers_.erase(std::remove_if(observers_.begin(), observers_.end(),
                                  [id](const auto& entry) { return entry.first == id; }),
                   observers_.end());
}

void MenuItem::Changed() {
  for (MenuItem* item = this; item != nullptr; item = item->parent_) {
    // An observer may add or remove observers while it runs.
    auto observers = item->observers_;
    for (auto& entry : observers) entry.second(*this);
  }
}

namespace {

QKeySequence ShortcutOf(const MenuItem& item) {
  auto shortcut = item.KeyboardShortcut();
  if (!shortcut || shortcut->empty()) return QKeySequence();
  // "Cmd" is the command key, Ctrl where there is none.
  QStringList parts = QString::fromLatin1(QByteArray::fromStdString(*shortcut)).split(u'+');
  for (QString& part : parts) {
    QString key = part.trimmed();
    if (key.compare(u"Cmd", Qt::CaseInsensitive) == 0 || key.compare(u"Command", Qt::CaseInsensitive) == 0) {
      part = QStringLiteral("Ctrl");
    }
  }
  return QKeySequence::fromString(parts.join(u'+'), QKeySequence::PortableText);
}

enum ApplicationMenu { PlatformApplicationMenu, NoApplicationMenu };
#ifdef Q_OS_MACOS
// Qt moves an item of the About role into the application menu itself.
constexpr ApplicationMenu kApplicationMenu = PlatformApplicationMenu;
#else
constexpr ApplicationMenu kApplicationMenu = NoApplicationMenu;
#endif

class QtMenuView final : public QObject, public detail::MenuView {
 public:
  QtMenuView(Window& window, QMenuBar& bar, std::shared_ptr<MenuBar> model)
      : window_(window), bar_(&bar), model_(std::move(model)) {
    Build();
    observer_ = model_->AddObserver([this](MenuItem& changed) { OnChanged(changed); });
  }

  ~QtMenuView() override {
    Detach();
    Clear();
  }

  QAction* Action(const std::string& itemName) const override {
    auto item = model_->Lookup(itemName);
    if (!item) return nullptr;
    auto found = actions_.find(item.get());
    return found == actions_.end() ? nullptr : found->second.data();
  }

  bool IsShortcut(const QKeyEvent& press) const override {
    // The keypad's digits are the same keys; a character typed with Shift may be bound without it.
    Qt::KeyboardModifiers modifiers = press.modifiers() & ~Qt::KeypadModifier;
    const Qt::Key key = static_cast<Qt::Key>(press.key());
    const QKeySequence candidates[] = {QKeySequence(QKeyCombination(modifiers, key)),
                                       QKeySequence(QKeyCombination(modifiers & ~Qt::ShiftModifier, key))};
    for (const auto& [item, action] : actions_) {
      if (!action || action->shortcut().isEmpty()) continue;
      for (const QKeySequence& pressed : candidates) {
        if (action->shortcut().matches(pressed) == QKeySequence::ExactMatch) return true;
      }
    }
    return false;
  }

  void Dispose() override {
    Detach();
    Clear();
    deleteLater();
  }

 private:
  void Detach() {
    if (observer_ != 0) model_->RemoveObserver(observer_);
    observer_ = 0;
  }

  void Build() {
    if (!bar_) return;
    counts_[model_.get()] = model_->Count();
    std::vector<const MenuItem*> aboutItems;
    for (int i = 0; i < model_->Count(); ++i) {
      auto item = model_->Item(i);
      if (item->IsSeparator()) {
        Track(*item, bar_->addSeparator());
        continue;
      }
      // Everything on the bar itself is a menu, even before its items are appended.
      auto* menu = new QMenu(bar_);
      menus_.push_back(menu);
      Fill(*menu, *item, aboutItems);
      bar_->addMenu(menu);
      Track(*item, menu->menuAction());
    }
    if (aboutItems.empty()) return;
    // Where the platform keeps no application menu, its items go where users look for them there: at the end of
    // a Help menu, the last of the bar.
    auto* help = new QMenu(bar_);
    help->setTitle(QStringLiteral("&Help"));
    menus_.push_back(help);
    QObject::connect(help, &QMenu::aboutToShow, this, [this] { detail::EnableMenuItemsSafely(window_); });
    for (const MenuItem* item : aboutItems) AddItemAction(*help, *item);
    bar_->addMenu(help);
  }

  // Whether the platform shows the item in an application menu of its own rather than where the model puts it.
  static bool InApplicationMenu(const MenuItem& item) {
    return dynamic_cast<const AppleMenuItem*>(&item) != nullptr && item.Count() == 0 && !item.IsSeparator();
  }

  void Fill(QMenu& menu, const MenuItem& item, std::vector<const MenuItem*>& aboutItems) {
    counts_[&item] = item.Count();
    QObject::connect(&menu, &QMenu::aboutToShow, this, [this] { detail::EnableMenuItemsSafely(window_); });
    for (int i = 0; i < item.Count(); ++i) {
      auto child = item.Item(i);
      if (child->IsSeparator()) {
        Track(*child, menu.addSeparator());
      } else if (child->Count() > 0) {
        auto* sub = new QMenu(&menu);
        Fill(*sub, *child, aboutItems);
        menu.addMenu(sub);
        Track(*child, sub->menuAction());
      } else if (kApplicationMenu == NoApplicationMenu && InApplicationMenu(*child)) {
        aboutItems.push_back(child.get());
      } else {
        AddItemAction(menu, *child);
      }
    }
  }

  void AddItemAction(QMenu& menu, const MenuItem& item) {
    auto* action = new QAction(&menu);
    menu.addAction(action);
    std::string name = item.Name();
    QObject::connect(action, &QAction::triggered, this, [this, name] { OnTriggered(name); });
    Track(item, action);
  }

  void Track(const MenuItem& item, QAction* action) {
    actions_[&item] = action;
    Apply(item, action);
  }

  static void Apply(const MenuItem& item, QAction* action) {
    if (action == nullptr) return;
    if (item.IsSeparator()) {
      action->setEnabled(item.Enabled());
      return;
    }
    action->setText(QString::fromLatin1(QByteArray::fromStdString(item.Text())));
    if (action->menu() == nullptr) {
      action->setShortcut(ShortcutOf(item));
      // Only a checked item is checkable: Qt would otherwise toggle the mark itself on every trigger.
      action->setCheckable(item.Checked());
      action->setChecked(item.Checked());
    }
    action->setEnabled(item.Enabled());
    action->setMenuRole(dynamic_cast<const AppleMenuItem*>(&item) != nullptr ? QAction::AboutRole
                                                                              : QAction::NoRole);
  }

  void Clear() {
    actions_.clear();
    counts_.clear();
    if (bar_) {
      for (QAction* action : bar_->actions()) {
        bar_->removeAction(action);
        if (action->parent() == bar_) action->deleteLater();
      }
    }
    // The menus may be inside their own signals (a command that changes the bar's structure): delete them later.
    for (auto& menu : menus_) {
      if (menu) menu->deleteLater();
    }
    menus_.clear();
  }

  void OnChanged(MenuItem& changed) {
    auto count = counts_.find(&changed);
    bool structural = count != counts_.end() ? count->second != changed.Count() : changed.Count() > 0;
    if (structural || &changed == model_.get()) {
      Clear();
      Build();
      return;
    }
    auto found = actions_.find(&changed);
    if (found != actions_.end()) Apply(changed, found->second.data());
  }

  void OnTriggered(const std::string& name) {
    QPointer<QtMenuView> alive(this);
    window_.RunMenuCommand(name);
    if (!alive) return;
    // Put the check mark back to what the model says, whatever Qt did to it.
    if (auto item = model_->Lookup(name)) {
      auto found = actions_.find(item.get());
      if (found != actions_.end()) Apply(*item, found->second.data());
    }
  }

  Window& window_;
  QPointer<QMenuBar> bar_;
  std::shared_ptr<MenuBar> model_;
  int observer_ = 0;
  std::map<const MenuItem*, QPointer<QAction>> actions_;
  std::map<const MenuItem*, int> counts_;
  std::vector<QPointer<QMenu>> menus_;
};

}  // namespace

namespace detail {

MenuView* MakeMenuView(Window& window, QMenuBar& bar, std::shared_ptr<MenuBar> model) {
  return new QtMenuView(window, bar, std::move(model));
}

}  // namespace detail

}  // namespace fw
