#include "gui/networks/networksarea.h"

#include "gui/common/popupmenu.h"
#include "gui/networks/fmnetworks.h"
#include "gui/workspace.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace pw::gui {

NetworksArea::NetworksArea(Workspace& workspace, const Widgets& widgets, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_widgets(widgets)
{
    connect(m_widgets.loginButton, &QToolButton::clicked, this,
            [this] { PopupBelow(m_widgets.loginButton, m_widgets.loginMenu); });
    connect(m_widgets.networksItem, &QAction::triggered, this, [this] {
        if (m_dialog)
            m_dialog->exec();
    });
    connect(m_widgets.updateItem, &QAction::triggered, this, [this] {
        emit statusText(m_widgets.updateItem->text() + QStringLiteral(": この機能はまだ使えません"));
    });
}

void NetworksArea::loadProfilesAndNetworks()
{
    LoadSiteInfos(m_workspace.IniListSiteInfo, m_workspace.Profiles);
    LoadNetworks(m_workspace.IniListSetup, m_workspace.Networks);
    m_widgets.loginButton->setEnabled(!m_widgets.loginMenu->isEmpty());
}

} // namespace pw::gui
