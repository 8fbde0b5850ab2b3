#include "gui/options/optionsarea.h"

#include "gui/common/popupmenu.h"
#include "gui/options/fmoption.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace pw::gui {

OptionsArea::OptionsArea(const Widgets& widgets, QObject* parent) : QObject(parent), m_widgets(widgets)
{
    connect(m_widgets.optionsButton, &QToolButton::clicked, this,
            [this] { PopupBelow(m_widgets.optionsButton, m_widgets.optionsMenu); });
    connect(m_widgets.adItem, &QAction::toggled, this, &OptionsArea::setAdPanelVisible);
    connect(m_widgets.optionItem, &QAction::triggered, this, [this] {
        if (m_dialog)
            m_dialog->exec();
    });
    connect(m_widgets.helpButton, &QToolButton::clicked, this, [this] {
        emit statusText(m_widgets.helpButton->toolTip() + QStringLiteral(": この機能はまだ使えません"));
    });
}

void OptionsArea::setAdPanelVisible(bool visible)
{
    m_widgets.adPanel->setVisible(visible);
}

} // namespace pw::gui
