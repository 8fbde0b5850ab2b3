#pragma once

class QMenu;
class QPoint;
class QToolButton;

namespace pw::gui {

// Opens a tool button's menu with its top-left corner 5 pixels left of and
// above the button's bottom-right corner.
void PopupBelow(QToolButton* button, QMenu* menu);

// Opens a menu just right of and below the pointer at `globalPos`, not under
// it: where the window manager's focus follows the pointer (twm and the like),
// a pointer that finds itself inside a new menu takes the focus away from the
// program, and the menu closes before it can be used.
void PopupAtPointer(QMenu* menu, const QPoint& globalPos);

} // namespace pw::gui
