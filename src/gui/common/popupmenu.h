#pragma once

class QMenu;
class QToolButton;

namespace pw::gui {

// Opens a tool button's menu with its top-left corner 5 pixels left of and
// above the button's bottom-right corner.
void PopupBelow(QToolButton* button, QMenu* menu);

} // namespace pw::gui
