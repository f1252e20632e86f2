#include "Application.h"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMainWindow>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "Dialogs.h"
#include "FolderItem.h"
#include "GuiPrivate.h"
#include "QtAccess.h"
#include "QtText.h"
#include "TemporaryFolder.h"
#include "Window.h"

namespace fw {

namespace {

struct Runtime {
  QApplication* qapp = nullptr;
  std::unique_ptr<Application> app;
  const Window* defaultView = nullptr;
  int exitCode = 0;
  bool quitRequested = false;
  bool running = false;
  int dispatchDepth = 0;
  // What runs as the outermost dispatch ends, in its order.
  std::vector<std::pair<detail::AfterDispatch, void (*)()>> endHooks;
  bool reporting = false;
  std::string name;
};

// Never destroyed: windows and widgets may still be about when static objects go, and Qt must not see them then.
Runtime& State() {
  static Runtime* state = new Runtime;
  return *state;
}

Window* WindowOfWidget(QWidget* widget) {
  if (widget == nullptr) return nullptr;
  QWidget* top = widget->window();
  for (Window* window : OpenWindows()) {
    if (WidgetOf(*window) == top) return window;
  }
  return nullptr;
}

Window* WindowOfHandle(QWindow* handle) {
  for (Window* window : OpenWindows()) {
    if (WidgetOf(*window)->windowHandle() == handle) return window;
  }
  return nullptr;
}

// Before Qt looks a key press up among the shortcuts, the window enables its menu items, so that a shortcut runs
// exactly when its item is enabled now, not when it was last enabled. The check comes once no widget has taken the
// key for itself, at the window, as the press travels up to it.
class ShortcutWatcher final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    Window* window = nullptr;
    if (auto* widget = qobject_cast<QWidget*>(watched)) {
      if (widget->isWindow()) window = WindowOfWidget(widget);
    } else if (auto* handle = qobject_cast<QWindow*>(watched)) {
      window = WindowOfHandle(handle);
    }
    if (window == nullptr || window->impl().menuView == nullptr) return false;
    if (window->impl().menuView->IsShortcut(*static_cast<QKeyEvent*>(event))) detail::EnableMenuItemsSafely(*window);
    return false;
  }
};

// SIGTERM, SIGINT and SIGHUP end the run as Quit does, so that its clean-up runs. The handler only writes a byte to a
// pipe (nothing else is safe there); the event loop reads it and quits. A signal during a command therefore takes
// effect once the command is over, and one that comes before the loop runs ends the loop as it starts. A command
// may never end (a disk that stopped answering): a second signal while the first waits for it ends the process at
// once, as if nothing caught it. A Save cut short so leaves the user's file whole, and the next start removes what
// the run left. While the loop only waits for events the first signal ends it straight away, and a second one
// changes nothing: some senders (timeout, a shell on hangup) send the same signal twice.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

struct QuitSignals {
  int pipe[2] = {-1, -1};
  struct sigaction previous[std::size(kQuitSignals)] {};
  bool handled[std::size(kQuitSignals)] = {};
  QSocketNotifier* notifier = nullptr;
};

QuitSignals& Signals() {
  static QuitSignals* quitSignals = new QuitSignals;
  return *quitSignals;
}

volatile sig_atomic_t gSignalPipe = -1;
// Set by a quit signal; cleared when an event loop starts, which acts on what came before it.
volatile sig_atomic_t gQuitPending = 0;
// Whether the event loop runs and no command is running: start-up, a command and the end of the run are not idle.
volatile sig_atomic_t gLoopIdle = 0;

extern "C" void OnQuitSignal(int number) {
  const int saved = errno;
  if (gQuitPending && !gLoopIdle) {
    // The signal is blocked while its handler runs: it takes its default action as soon as the handler returns.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(number, &fallback, nullptr);
    ::raise(number);
    errno = saved;
    return;
  }
  gQuitPending = 1;
  const char byte = 1;
  // A full pipe already holds a pending quit, so a failed write loses nothing.
  if (gSignalPipe >= 0 && ::write(gSignalPipe, &byte, 1) < 0) {
  }
  errno = saved;
}

// Before Qt starts, so that no signal from then on is lost: one that comes early waits in the pipe.
void CatchQuitSignals() {
  QuitSignals& quitSignals = Signals();
  if (quitSignals.pipe[0] >= 0) return;
  if (::pipe2(quitSignals.pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals keep their default action
  gQuitPending = 0;
  gSignalPipe = quitSignals.pipe[1];
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int number : kQuitSignals) sigaddset(&action.sa_mask, number);
  for (size_t i = 0; i < std::size(kQuitSignals); ++i) {
    // A signal ignored by whoever started the run (nohup, a background job) stays ignored.
    struct sigaction current {};
    if (::sigaction(kQuitSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    quitSignals.handled[i] = ::sigaction(kQuitSignals[i], &action, &quitSignals.previous[i]) == 0;
  }
}

void WatchQuitSignals(QApplication* qapp) {
  QuitSignals& quitSignals = Signals();
  if (quitSignals.pipe[0] < 0 || quitSignals.notifier != nullptr) return;
  quitSignals.notifier = new QSocketNotifier(quitSignals.pipe[0], QSocketNotifier::Read, qapp);
  QObject::connect(quitSignals.notifier, &QSocketNotifier::activated, qapp, [] {
    char bytes[64];
    while (::read(Signals().pipe[0], bytes, sizeof bytes) > 0) {
    }
    Quit(0);
  });
}

// Once the runtime has ended, the signals act as they did before it started.
void ReleaseQuitSignals() {
  QuitSignals& quitSignals = Signals();
  for (size_t i = 0; i < std::size(kQuitSignals); ++i) {
    if (quitSignals.handled[i]) ::sigaction(kQuitSignals[i], &quitSignals.previous[i], nullptr);
    quitSignals.handled[i] = false;
  }
  delete quitSignals.notifier;
  quitSignals.notifier = nullptr;
  gSignalPipe = -1;
  for (int& end : quitSignals.pipe) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}

const char kUnknownFailure[] = "An unexpected error stopped the last command. The program goes on.";
const char kNoMemory[] = "There was not enough memory to finish the last command.";

}  // namespace

Application::Application() = default;
Application::~Application() = default;

void RuntimeInit(int& argc, char** argv) {
  Runtime& state = State();
  if (state.qapp != nullptr || QApplication::instance() != nullptr) return;
  CatchQuitSignals();
  state.qapp = new QApplication(argc, argv);
  WatchQuitSignals(state.qapp);
  // What killed runs left behind goes, once, before this run makes anything of its own.
  static const bool swept = (RemoveTemporaryFoldersOfEndedRuns(), true);
  (void)swept;
  // Quitting is the program's own (Quit, or the default view's close box), never a side effect of a window closing.
  QApplication::setQuitOnLastWindowClosed(false);
  state.qapp->installEventFilter(new ShortcutWatcher(state.qapp));
  QObject::connect(state.qapp, &QApplication::focusChanged, state.qapp, [](QWidget*, QWidget* now) {
    // The Edit menu's built-in commands depend on the focus; a change inside a handler is settled when it ends.
    if (detail::DispatchDepth() > 0) return;
    if (Window* window = WindowOfWidget(now)) detail::EnableMenuItemsSafely(*window);
  });
}

void SetApplicationIdentity(const std::string& name, const std::shared_ptr<FolderItem>& iconFile) {
  State().name = name;
  // A QIcon made from a file reads it only when it is first drawn, so start-up does not wait for the picture. The
  // application's display name stays unset: Qt would append it to every window's title.
  if (iconFile && QApplication::instance() != nullptr) {
    std::string path = iconFile->AbsolutePath();
    QApplication::setWindowIcon(QIcon(detail::ShownFileText(path)));
  }
}

std::string ApplicationName() { return State().name; }

void RegisterAppObject(std::unique_ptr<Application> app) { State().app = std::move(app); }

Application* CurrentApplication() { return State().app.get(); }

void SetDefaultView(Window& window) { State().defaultView = &window; }

int RuntimeRun() {
  Runtime& state = State();
  if (!state.quitRequested && QApplication::instance() != nullptr) {
    // A signal that came before this loop quits it as it starts; only one during the loop counts as the first.
    gQuitPending = 0;
    state.running = true;
    gLoopIdle = 1;
    state.exitCode = QApplication::exec();
    gLoopIdle = 0;
    state.running = false;
  }
  state.quitRequested = false;
  return state.exitCode;
}

void Quit(int code) {
  Runtime& state = State();
  state.exitCode = code;
  // Remembered, so that a Quit before the loop runs (during start-up, say) still ends the run at once. Qt is asked
  // only while the loop runs: its exit() without one would make every later modal dialog return at once.
  state.quitRequested = true;
  if (state.running && QApplication::instance() != nullptr) QApplication::exit(code);
}

int RuntimeExit() {
  Runtime& state = State();
  detail::DestroyAllWindows();
  state.defaultView = nullptr;
  state.app.reset();
  ReleaseQuitSignals();
  delete state.qapp;
  state.qapp = nullptr;
  state.quitRequested = false;
  return state.exitCode;
}

namespace {

void Report(const std::string& text) {
  Runtime& state = State();
  // A report that fails in its turn (or reports from inside itself) must not bring the loop down.
  if (state.reporting) return;
  state.reporting = true;
  try {
    ReportFailure(text);
  } catch (...) {
  }
  state.reporting = false;
}

}  // namespace

void UnhandledException(const std::exception& failure) {
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) {
    Report(kNoMemory);
    return;
  }
  std::string text = failure.what() != nullptr ? failure.what() : "";
  // The library's own texts ("std::bad_cast" and the like) say nothing to a user.
  if (text.empty() || text.rfind("std::", 0) == 0) text = kUnknownFailure;
  Report(text);
}

void UnhandledException() { Report(kUnknownFailure); }

void Dispatch(const std::function<void()>& handler) {
  detail::DispatchScope scope;
  try {
    handler();
  } catch (const std::exception& failure) {
    UnhandledException(failure);
  } catch (...) {
    UnhandledException();
  }
}

namespace detail {

int DispatchDepth() { return State().dispatchDepth; }
DispatchScope::DispatchScope() {
  ++State().dispatchDepth;
  gLoopIdle = 0;
}
DispatchScope::~DispatchScope() {
  Runtime& state = State();
  if (--state.dispatchDepth > 0) return;
  // By index: a hook may dispatch in its turn, and the end of that dispatch runs the hooks again.
  for (size_t i = 0; i < state.endHooks.size(); ++i) {
    try {
      state.endHooks[i].second();
    } catch (...) {
      // The dispatch that ends must not throw; each hook says what a failure of its own leaves.
    }
  }
  gLoopIdle = state.running ? 1 : 0;
}

void OnOutermostDispatchEnd(AfterDispatch step, void (*hook)()) {
  auto& hooks = State().endHooks;
  for (const auto& entry : hooks) {
    if (entry.second == hook) return;
  }
  const auto later = std::find_if(hooks.begin(), hooks.end(), [step](const auto& entry) { return entry.first > step; });
  hooks.emplace(later, step, hook);
}

bool IsDefaultView(const Window& window) { return State().defaultView == &window; }

void ForgetDefaultView(const Window& window) {
  if (State().defaultView == &window) State().defaultView = nullptr;
}

}  // namespace detail

}  // namespace fw
