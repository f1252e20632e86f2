// The Qt objects behind the framework's, for tests that drive the widgets as a user would. Nothing but the
// framework and the tests includes this header.
#pragma once

#include <string>

class QAction;
class QMainWindow;
class QMenuBar;
class QWidget;

namespace fw {

class RectControl;
class Window;

QWidget* WidgetOf(const RectControl& control);
QMainWindow* WidgetOf(const Window& window);
QMenuBar* MenuBarOf(const Window& window);
// The action that shows the menu item of that name in the window's menu bar, or nullptr.
QAction* ActionOf(const Window& window, const std::string& itemName);

}  // namespace fw
