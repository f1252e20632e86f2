#include "Window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QObject>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include <algorithm>
#include <set>

#include "Application.h"
#include "GuiPrivate.h"
#include "Menu.h"
#include "QtText.h"
#include "TextCommands.h"

namespace fw {

namespace {

class WindowWidget final : public QMainWindow {
 public:
  explicit WindowWidget(Window& window) : window_(window) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->accept();
    if (!window_.impl().closed) Dispatch([this] { window_.Close(); });
  }

  void changeEvent(QEvent* event) override {
    QMainWindow::changeEvent(event);
    // Another window may have enabled the shared menu items for itself meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && detail::DispatchDepth() == 0) {
      detail::EnableMenuItemsSafely(window_);
    }
  }

 private:
  Window& window_;
};

class WindowReaper;

struct Registry {
  // Every window object alive, oldest first; those not yet closed are the open windows.
  std::vector<Window*> all;
  std::vector<std::unique_ptr<Window>> owned;
  std::set<WindowReaper*> reapers;
};

// Never destroyed, as the windows it may still hold must not outlive Qt.
Registry& Windows() {
  static Registry* registry = new Registry;
  return *registry;
}

// Holds a closed window until Qt's deferred deletion, which waits for the event (and any modal loop) it was closed in.
class WindowReaper final : public QObject {
 public:
  explicit WindowReaper(std::unique_ptr<Window> window) : window_(std::move(window)) {
    Windows().reapers.insert(this);
  }
  ~WindowReaper() override { Windows().reapers.erase(this); }

 private:
  std::unique_ptr<Window> window_;
};

void Reap(std::unique_ptr<Window> window) { (new WindowReaper(std::move(window)))->deleteLater(); }

Qt::WindowFlags FlagsOf(const WindowDesign& design) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
  if (design.CloseButton) flags |= Qt::WindowCloseButtonHint;
  if (design.MinimizeButton) flags |= Qt::WindowMinimizeButtonHint;
  if (design.MaximizeButton) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

}  // namespace

Window::Window() : impl_(std::make_unique<Impl>()) {
  if (QApplication::instance() == nullptr) {
    throw std::logic_error("A window needs the runtime: RuntimeInit has not run.");
  }
  impl_->self = this;
  impl_->qwin = new WindowWidget(*this);
  impl_->content = new QWidget;
  impl_->qwin->setCentralWidget(impl_->content);
  impl_->qwin->setWindowFlags(FlagsOf(impl_->design));
  impl_->AddWindowKeys();
  Windows().all.push_back(this);
}

Window::~Window() {
  auto& all = Windows().all;
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  detail::ForgetDefaultView(*this);
  delete impl_->menuView;
  impl_->menuView = nullptr;
  // Page controls point at their tab panel: the later ones go first.
  while (!impl_->controls.empty()) impl_->controls.pop_back();
  delete impl_->qwin;
}

void Window::Constructor() {
  try {
    Layout();
    CreateControls();
    AddMenuHandlers(*this);
    impl_->BuildFocusChain();
    if (impl_->design.Visible) Show();
    Event_Open();
    EnableMenuItems();
  } catch (...) {
    Close();
    throw;
  }
}

void Window::ApplyDesign(const WindowDesign& design) {
  impl_->design = design;
  QWidget* content = impl_->content;
  if (design.Resizeable) {
    content->setMinimumSize(design.Width, design.Height);
    content->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    content->resize(design.Width, design.Height);
  } else {
    content->setFixedSize(design.Width, design.Height);
  }
  if (QLayout* layout = impl_->qwin->layout()) {
    // The window then follows its content (and its menu bar) and cannot be resized.
    layout->setSizeConstraint(design.Resizeable ? QLayout::SetDefaultConstraint : QLayout::SetFixedSize);
  }
  bool shown = impl_->qwin->isVisible();
  impl_->qwin->setWindowFlags(FlagsOf(design));
  if (shown) impl_->qwin->show();
  if (QWidget* bar = impl_->qwin->menuWidget()) bar->setVisible(design.MenuBarVisible && impl_->menuBar);
  if (design.CloseOnEscape && impl_->escape == nullptr) {
    impl_->escape = new QShortcut(QKeySequence(Qt::Key_Escape), impl_->qwin);
    impl_->escape->setContext(Qt::WindowShortcut);
    QObject::connect(impl_->escape, &QShortcut::activated, impl_->qwin, [this] { Dispatch([this] { Close(); }); });
  }
  if (impl_->escape != nullptr) impl_->escape->setEnabled(design.CloseOnEscape);
  SetTitle(design.Title);
}

std::string Window::Title() const { return impl_->title; }

void Window::SetTitle(const std::string& title) {
  impl_->title = title;
  // Qt reads "[*]" as the place of a modified mark; doubled, it stands for itself.
  QString shown = detail::ShownFileText(title);
  shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  impl_->qwin->setWindowTitle(shown);
}

int Window::Width() const { return impl_->content->width(); }
int Window::Height() const { return impl_->content->height(); }
bool Window::Resizeable() const { return impl_->design.Resizeable; }

std::shared_ptr<MenuBar> Window::GetMenuBar() const { return impl_->menuBar; }

void Window::SetMenuBar(std::shared_ptr<MenuBar> bar) {
  if (bar == impl_->menuBar) return;
  if (impl_->menuView != nullptr) {
    impl_->menuView->Dispose();
    impl_->menuView = nullptr;
  }
  impl_->menuBar = std::move(bar);
  if (impl_->menuBar) {
    QMenuBar* qbar = impl_->qwin->menuBar();
    qbar->setVisible(impl_->design.MenuBarVisible);
    impl_->menuView = detail::MakeMenuView(*this, *qbar, impl_->menuBar);
  } else if (QWidget* qbar = impl_->qwin->menuWidget()) {
    qbar->hide();
  }
}

void Window::Show() {
  if (impl_->closed) return;
  if (impl_->design.Placement == 1 && !impl_->qwin->isVisible()) impl_->PlaceOverFrontWindow();
  impl_->qwin->show();
  impl_->qwin->raise();
  impl_->qwin->activateWindow();
}

void Window::Close() {
  if (impl_->closed) return;
  impl_->closed = true;
  impl_->qwin->hide();
  bool quits = detail::IsDefaultView(*this);
  detail::ForgetDefaultView(*this);
  auto& owned = Windows().owned;
  auto held = std::find_if(owned.begin(), owned.end(), [this](const auto& window) { return window.get() == this; });
  if (held != owned.end()) {
    std::unique_ptr<Window> window = std::move(*held);
    owned.erase(held);
    Reap(std::move(window));
  }
  if (quits) Quit(0);
}

bool Window::IsOpen() const { return !impl_->closed; }
bool Window::IsVisible() const { return impl_->qwin->isVisible(); }

RectControl& Window::AddControl(const ControlDesign& design) {
  std::unique_ptr<RectControl> created = detail::CreateControl(design.Class, *this, design.Name);
  RectControl& control = *created;
  impl_->controls.push_back(std::move(created));
  if (design.TextSize != 0) {
    control.SetTextSize(design.TextSize);
    control.SetTextUnit(0);
  }
  control.ApplyDesign(design);
  return control;
}

RectControl* Window::Control(const std::string& name) const {
  for (const auto& control : impl_->controls) {
    if (control->Name() == name) return control.get();
  }
  return nullptr;
}

int Window::ControlCount() const { return static_cast<int>(impl_->controls.size()); }

RectControl& Window::ControlAt(int index) const {
  if (index < 0 || index >= ControlCount()) {
    throw NilObjectException("The window has no control number " + std::to_string(index) + ".");
  }
  return *impl_->controls[static_cast<size_t>(index)];
}

void Window::AddMenuHandler(const std::string& itemName, std::function<bool()> handler) {
  impl_->menuHandlers[itemName] = std::move(handler);
}

namespace {

void AutoEnable(const Window& window, MenuItem& item, const std::map<std::string, std::function<bool()>>& handlers) {
  for (int i = 0; i < item.Count(); ++i) {
    auto child = item.Item(i);
    if (child->Count() > 0) {
      AutoEnable(window, *child, handlers);
      continue;
    }
    if (!child->AutoEnable()) continue;
    const std::string name = child->Name();
    bool available = handlers.count(name) > 0 || (detail::IsTextCommand(name) && detail::HasFocusedTextWidget(window));
    child->SetEnabled(available);
  }
}

}  // namespace

void Window::EnableMenuItems() {
  if (impl_->enabling) return;
  impl_->enabling = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{impl_->enabling};
  // Texts the program sets in here raise their events as inside any handler, without enabling again.
  detail::DispatchScope scope;
  // A window without a menu bar shows no items, so it leaves the shared ones to the windows that show them.
  if (impl_->menuBar) AutoEnable(*this, *impl_->menuBar, impl_->menuHandlers);
  Event_EnableMenuItems();
}

bool Window::RunMenuCommand(const std::string& itemName) {
  if (impl_->closed || !impl_->menuBar) return false;
  detail::EnableMenuItemsSafely(*this);
  auto item = impl_->menuBar->Lookup(itemName);
  if (!item || !item->Enabled() || item->Count() > 0 || item->IsSeparator() || impl_->closed) return false;
  bool ran = false;
  auto found = impl_->menuHandlers.find(itemName);
  bool handled = false;
  if (found != impl_->menuHandlers.end()) {
    // A copy: the handler may register another one under its own name while it runs.
    std::function<bool()> handler = found->second;
    ran = true;
    Dispatch([&] { handled = handler(); });
  }
  if (!handled && detail::IsTextCommand(itemName) && !impl_->closed) {
    Dispatch([&] { ran = detail::RunTextCommand(*this, itemName) || ran; });
  }
  detail::EnableMenuItemsSafely(*this);
  return ran;
}

namespace {

// The tab panel that the keys switch: the one holding the focused control, else the window's first.
TabPanel* PanelToSwitch(const Window::Impl& window) {
  QWidget* focused = window.qwin->focusWidget();
  TabPanel* first = nullptr;
  for (const auto& control : window.controls) {
    auto* panel = dynamic_cast<TabPanel*>(control.get());
    if (panel != nullptr && first == nullptr) first = panel;
    if (focused == nullptr) continue;
    QWidget* widget = control->impl().widget;
    if (widget != focused && !widget->isAncestorOf(focused)) continue;
    if (panel != nullptr) return panel;
    if (control->impl().panel != nullptr) return control->impl().panel;
  }
  return first;
}

}  // namespace

void Window::Impl::AddWindowKeys() {
  // The platform's Quit keys quit from any window, as the Quit button does; no menu item stands for them.
  // A platform theme that binds no Quit keys (Qt's offscreen one) gets Ctrl+Q, which is Cmd+Q on macOS.
  QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
  if (quitKeys.isEmpty()) quitKeys << QKeySequence(Qt::CTRL | Qt::Key_Q);
  for (const QKeySequence& keys : quitKeys) {
    auto* quit = new QShortcut(keys, qwin);
    quit->setContext(Qt::WindowShortcut);
    QObject::connect(quit, &QShortcut::activated, qwin, [] { Dispatch([] { Quit(0); }); });
  }

  // The page controls are the window's children, not the tab widget's, so its own keys never reach them there.
  const std::pair<QKeySequence, int> pageKeys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
      {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
      {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
  };
  for (const auto& [keys, step] : pageKeys) {
    auto* shortcut = new QShortcut(keys, qwin);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, qwin, [this, step = step] {
      Dispatch([this, step] {
        TabPanel* panel = PanelToSwitch(*this);
        if (panel == nullptr || !panel->Enabled() || !panel->Visible() || panel->PageCount() < 2) return;
        int count = panel->PageCount();
        panel->SetValue((panel->Value() + step + count) % count);
      });
    });
  }
}

void Window::Impl::PlaceOverFrontWindow() {
  QWidget* front = QApplication::activeWindow();
  if (front == qwin) front = nullptr;
  if (front == nullptr) {
    const std::vector<Window*> open = OpenWindows();
    for (auto other = open.rbegin(); other != open.rend() && front == nullptr; ++other) {
      if (*other != self && (*other)->impl().qwin->isVisible()) front = (*other)->impl().qwin;
    }
  }
  if (front == nullptr) return;
  // The window manager keeps it in front of that window.
  qwin->winId();
  if (qwin->windowHandle() != nullptr) qwin->windowHandle()->setTransientParent(front->windowHandle());
  // Placed by its inside: window managers differ in where they put a frame that the window does not have yet.
  if (QLayout* layout = qwin->layout()) layout->activate();
  const QRect over = front->geometry();
  QRect place(over.center() - QPoint(qwin->width() / 2, qwin->height() / 2), qwin->size());
  // Wholly on the screen of the front window, frame and all, where it can be: the frame taken as the front's.
  if (const QScreen* screen = front->screen()) {
    const QRect frame = front->frameGeometry();
    const QMargins margins(over.left() - frame.left(), over.top() - frame.top(), frame.right() - over.right(),
                           frame.bottom() - over.bottom());
    const QRect room = screen->availableGeometry().marginsRemoved(margins);
    place.moveLeft(std::max(room.left(), std::min(place.left(), room.right() + 1 - place.width())));
    place.moveTop(std::max(room.top(), std::min(place.top(), room.bottom() + 1 - place.height())));
  }
  qwin->setGeometry(place);
}

void Window::Impl::BuildFocusChain() {
  auto byTabIndex = [](const RectControl* a, const RectControl* b) { return a->TabIndex() < b->TabIndex(); };
  std::vector<RectControl*> onWindow;
  for (const auto& control : controls) {
    if (control->TabPanelIndex() == 0) onWindow.push_back(control.get());
  }
  std::stable_sort(onWindow.begin(), onWindow.end(), byTabIndex);
  std::vector<QWidget*> chain;
  for (RectControl* control : onWindow) {
    chain.push_back(control->impl().widget);
    // A tab panel's pages follow it, each page's controls in their own order.
    std::vector<RectControl*> onPages = control->impl().pageControls;
    std::stable_sort(onPages.begin(), onPages.end(), [&](const RectControl* a, const RectControl* b) {
      if (a->TabPanelIndex() != b->TabPanelIndex()) return a->TabPanelIndex() < b->TabPanelIndex();
      return byTabIndex(a, b);
    });
    for (RectControl* page : onPages) chain.push_back(page->impl().widget);
  }
  chain.erase(std::remove_if(chain.begin(), chain.end(),
                             [](QWidget* widget) { return (widget->focusPolicy() & Qt::TabFocus) == 0; }),
              chain.end());
  for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

std::vector<Window*> OpenWindows() {
  std::vector<Window*> open;
  for (Window* window : Windows().all) {
    if (!window->impl().closed) open.push_back(window);
  }
  return open;
}

void AdoptWindow(std::unique_ptr<Window> window) {
  if (!window) return;
  if (window->impl().closed) {
    Reap(std::move(window));
    return;
  }
  Windows().owned.push_back(std::move(window));
}

namespace detail {

void EnableMenuItemsSafely(Window& window) {
  if (window.impl().closed || window.impl().enabling) return;
  Dispatch([&window] { window.EnableMenuItems(); });
}

void DestroyAllWindows() {
  Registry& registry = Windows();
  std::set<WindowReaper*> reapers = registry.reapers;
  for (WindowReaper* reaper : reapers) delete reaper;
  std::vector<std::unique_ptr<Window>> owned = std::move(registry.owned);
  registry.owned.clear();
  while (!owned.empty()) owned.pop_back();
}

}  // namespace detail

}  // namespace fw
