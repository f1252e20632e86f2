// The Edit menu's built-in commands on the focused text widget: Undo, Cut, Copy, Paste and Clear. For the
// framework's GUI sources only.
#pragma once

#include <string>

namespace fw {

class Window;

namespace detail {

// Whether the menu item of that name is one of the commands below.
bool IsTextCommand(const std::string& itemName);
// Whether the window has a text widget, enabled, with (or last with) the focus for those commands to act on.
bool HasFocusedTextWidget(const Window& window);
// Runs the command on that widget; false when there is none, or the name is no text command.
bool RunTextCommand(const Window& window, const std::string& itemName);

}  // namespace detail

}  // namespace fw
