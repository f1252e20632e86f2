// The Edit menu's built-in commands, run on the single- or multi-line field that has the focus.
#include "TextCommands.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <set>

#include "GuiPrivate.h"

namespace fw {

namespace detail {

namespace {

const std::set<std::string>& TextCommands() {
  static const std::set<std::string> names{"EditUndo", "EditCut", "EditCopy", "EditPaste", "EditClear"};
  return names;
}

QWidget* FocusedText(const Window& window) {
  QWidget* focused = window.impl().qwin->focusWidget();
  if (focused == nullptr || !focused->isEnabled()) return nullptr;
  if (qobject_cast<QLineEdit*>(focused) != nullptr || qobject_cast<QPlainTextEdit*>(focused) != nullptr) {
    return focused;
  }
  return nullptr;
}

// A single-line and a multi-line edit offer the same calls, but for removing the selection.
template <class Edit, class Clear>
bool RunOn(Edit& edit, const std::string& itemName, const Clear& clear) {
  if (itemName == "EditUndo") {
    edit.undo();
  } else if (itemName == "EditCut") {
    edit.cut();
  } else if (itemName == "EditCopy") {
    edit.copy();
  } else if (itemName == "EditPaste") {
    edit.paste();
  } else if (itemName == "EditClear") {
    clear();
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool IsTextCommand(const std::string& itemName) { return TextCommands().count(itemName) > 0; }

bool HasFocusedTextWidget(const Window& window) { return FocusedText(window) != nullptr; }

bool RunTextCommand(const Window& window, const std::string& itemName) {
  QWidget* focused = FocusedText(window);
  if (auto* line = qobject_cast<QLineEdit*>(focused)) {
    return RunOn(*line, itemName, [line] {
      if (line->hasSelectedText()) line->del();
    });
  }
  if (auto* area = qobject_cast<QPlainTextEdit*>(focused)) {
    return RunOn(*area, itemName, [area] {
      QTextCursor cursor = area->textCursor();
      cursor.removeSelectedText();
      area->setTextCursor(cursor);
    });
  }
  return false;
}

}  // namespace detail

}  // namespace fw
