#include "gui/common/toolbarfocus.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QToolBar>

namespace pw::gui {

ToolBarFocus::ToolBarFocus(QToolBar* bar, QWidget* home)
    : QObject(bar)
    , m_bar(bar)
    , m_home(home)
{
    for (QWidget* control : controls()) {
        control->installEventFilter(this);
        control->setFocusPolicy(Qt::NoFocus);
    }
    makeStop(m_home);
}

QList<QWidget*> ToolBarFocus::controls() const
{
    QList<QWidget*> found;
    for (QAction* action : m_bar->actions()) {
        QWidget* widget = m_bar->widgetForAction(action);
        if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget))
            found << widget;
    }
    return found;
}

void ToolBarFocus::makeStop(QWidget* control)
{
    if (m_stop && m_stop != control)
        m_stop->setFocusPolicy(Qt::NoFocus);
    m_stop = control;
    // The box keeps taking the focus from a click, as boxes do.
    control->setFocusPolicy(qobject_cast<QComboBox*>(control) ? Qt::StrongFocus : Qt::TabFocus);
}

bool ToolBarFocus::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && event->type() == QEvent::FocusIn)
        makeStop(control);
    if (control == m_stop && event->type() == QEvent::EnabledChange && !control->isEnabled())
        makeStop(m_home);
    if (!control || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Left && key != Qt::Key_Right)
        return QObject::eventFilter(watched, event);
    const QList<QWidget*> all = controls();
    const int step = key == Qt::Key_Right ? 1 : -1;
    for (qsizetype i = all.indexOf(control) + step; i >= 0 && i < all.size(); i += step) {
        QWidget* next = all[i];
        if (next->isEnabled() && next->isVisible()) {
            makeStop(next);
            next->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    return true;
}

} // namespace pw::gui
