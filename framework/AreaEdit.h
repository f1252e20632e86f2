// The multi-line field's widget: its line ends, the characters and the limit it takes, and the layout of a text
// that the program sets, put off to the end of the command. For the framework's GUI sources only.
#pragma once

#include <string>

class QWidget;

namespace fw {

class RectControl;

namespace detail {

// The widget of the multi-line field control, on parent.
QWidget* NewAreaEdit(QWidget* parent, RectControl& control);
// Shows the bytes in a widget that NewAreaEdit made: at once, or during a command once the command is over.
void ShowAreaText(QWidget& area, const std::string& bytes);
// Shows the texts that the program set in multi-line fields during the command under way. The outermost dispatch
// runs it as it ends, and so does every modal dialog before it shows.
void ShowPendingTexts();

}  // namespace detail

}  // namespace fw
