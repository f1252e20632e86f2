#include "QtAccess.h"

#include <QMainWindow>
#include <QMenuBar>

#include "GuiPrivate.h"

namespace fw {

QWidget* WidgetOf(const RectControl& control) { return control.impl().widget; }

QMainWindow* WidgetOf(const Window& window) { return window.impl().qwin; }

QMenuBar* MenuBarOf(const Window& window) {
  if (!window.impl().menuBar) return nullptr;
  return qobject_cast<QMenuBar*>(window.impl().qwin->menuWidget());
}

QAction* ActionOf(const Window& window, const std::string& itemName) {
  if (window.impl().menuView == nullptr) return nullptr;
  return window.impl().menuView->Action(itemName);
}

}  // namespace fw
