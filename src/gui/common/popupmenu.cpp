#include "gui/common/popupmenu.h"

#include <QMenu>
#include <QToolButton>

namespace pw::gui {

void PopupBelow(QToolButton* button, QMenu* menu)
{
    const QPoint corner(button->width() - 5, button->height() - 5);
    menu->popup(button->mapToGlobal(corner));
}

void PopupAtPointer(QMenu* menu, const QPoint& globalPos)
{
    menu->popup(globalPos + QPoint(2, 2));
}

} // namespace pw::gui
