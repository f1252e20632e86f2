// What the framework's GUI sources share among themselves: the inner state of windows and controls and the hooks
// between them. Not for the program. Qt classes are only declared here, never included.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Controls.h"
#include "Menu.h"
#include "Window.h"

class QAction;
class QImage;
class QKeyEvent;
class QMainWindow;
class QMenuBar;
class QShortcut;
class QWidget;

namespace fw {

namespace detail {

// The Qt side of a menu model in one window's menu bar. It follows every change of the model.
class MenuView {
 public:
  virtual ~MenuView() = default;
  virtual QAction* Action(const std::string& itemName) const = 0;
  // Whether the key press is the keyboard shortcut of an item shown.
  virtual bool IsShortcut(const QKeyEvent& press) const = 0;
  // Stops following the model and goes away once the current event is over (it may be inside its own signal).
  virtual void Dispose() = 0;
};
MenuView* MakeMenuView(Window& window, QMenuBar& bar, std::shared_ptr<MenuBar> model);

// Greater than 0 while a handler runs inside Dispatch.
int DispatchDepth();
class DispatchScope {
 public:
  DispatchScope();
  ~DispatchScope();
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;
};
// What waits for the outermost handler to end, in the order it then runs: the texts the command set in multi-line
// fields are laid out, then the menu items are enabled for what the command changed.
enum class AfterDispatch { ShowTexts, EnableMenuItems };
// Runs the hook each time the outermost handler ends (Application.cpp), after the hooks of the steps before its
// own. What a hook lets through is dropped there, as an ending dispatch must not throw.
void OnOutermostDispatchEnd(AfterDispatch step, void (*hook)());
// Runs the window's menu enabling inside Dispatch, unless the window is closed or another enabling of it runs.
void EnableMenuItemsSafely(Window& window);

// The window whose close quits (Application.cpp).
bool IsDefaultView(const Window& window);
void ForgetDefaultView(const Window& window);
// The windows the framework holds (Window.cpp): destroys them all, closed or not.
void DestroyAllWindows();

// Creates the control object of a class for the window, with its widget on the window's content
// (ControlFactory.cpp).
std::unique_ptr<RectControl> CreateControl(ControlClass cls, Window& owner, const std::string& name);

// The picture as it is drawn: with its white made transparent when it asks for that (Picture.cpp).
const QImage& DisplayImage(const Picture& picture);

}  // namespace detail

struct Window::Impl {
  Window* self = nullptr;
  QMainWindow* qwin = nullptr;
  QWidget* content = nullptr;
  WindowDesign design;
  std::string title;
  std::shared_ptr<MenuBar> menuBar;
  detail::MenuView* menuView = nullptr;
  std::vector<std::unique_ptr<RectControl>> controls;
  std::map<std::string, std::function<bool()>> menuHandlers;
  bool closed = false;
  bool enabling = false;
  // Escape's shortcut, made once a design asks for it.
  QShortcut* escape = nullptr;

  void BuildFocusChain();
  // The keys that work anywhere in the window: quitting, and switching the pages of a tab panel.
  void AddWindowKeys();
  // Before the window first shows: centres it over the window in front and keeps it in front of that one.
  void PlaceOverFrontWindow();
};

struct RectControl::Impl {
  Window* owner = nullptr;
  std::string name;
  QWidget* widget = nullptr;
  // The visibility the program set; a page control is shown only while its page is in front as well.
  bool visible = true;
  bool enabled = true;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int tabIndex = 0;
  int tabPanelIndex = 0;
  TabPanel* panel = nullptr;
  std::vector<RectControl*> pageControls;
  double textSize = 0;
  int textUnit = 0;
  std::string helpTag;
  std::vector<std::pair<std::string, std::function<void()>>> handlers;

  // Class data: the text as bytes (text fields, labels), the mask and limit, the backdrop.
  std::string text;
  std::string mask;
  int32_t limit = 0;
  int textAlign = 0;
  bool multiline = false;
  std::shared_ptr<Picture> backdrop;
  // A text area's line end for what the user types: that of the text it was given.
  std::string lineEnd = "\n";
  // True while the handlers of an edit that the user made in this field run.
  bool userEditing = false;
  // A pop-up menu's: true once the user has chosen a row since the program last set one.
  bool userChose = false;

  void UpdateShown();
};

}  // namespace fw
