#include "gui/options/optionsarea.h"

#include "gui/common/popupmenu.h"
#include "gui/options/fmoption.h"

#include "gui/common/datatext.h"
#include "gui/workspace.h"

#include <QAction>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QMenu>
#include <QToolButton>

namespace pw::gui {

OptionsArea::OptionsArea(Workspace& workspace, const Widgets& widgets, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_widgets(widgets), m_network(new QNetworkAccessManager(this))
{
    // No proxy until the options say so, whatever the environment holds.
    m_network->setProxy(QNetworkProxy::NoProxy);
    connect(m_widgets.optionsButton, &QToolButton::clicked, this,
            [this] { PopupBelow(m_widgets.optionsButton, m_widgets.optionsMenu); });
    connect(m_widgets.adItem, &QAction::toggled, this, &OptionsArea::setAdPanelVisible);
    connect(m_widgets.optionItem, &QAction::triggered, this, &OptionsArea::showOptionsDialog);
    connect(m_widgets.helpButton, &QToolButton::clicked, this, [this] {
        emit statusText(m_widgets.helpButton->toolTip() + QStringLiteral(": この機能はまだ使えません"));
    });
}

void OptionsArea::showOptionsDialog()
{
    if (!m_dialog)
        return;
    // The dialog always opens on the stored values; Cancel changes nothing.
    m_dialog->LoadOptions();
    if (m_dialog->exec() == QDialog::Accepted)
        applyProxySettings();
}

void OptionsArea::loadOptions()
{
    if (!m_dialog)
        return;
    m_dialog->LoadOptions();
    applyProxySettings();
}

void OptionsArea::applyProxySettings()
{
    int port = 0;
    if (!m_dialog || !m_dialog->proxyOn() || !m_dialog->proxyPort(port) || m_dialog->proxyServer().isEmpty()) {
        m_network->setProxy(QNetworkProxy::NoProxy);
        return;
    }
    m_network->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, m_dialog->proxyServer(), static_cast<quint16>(port)));
}

QString OptionsArea::serviceUrl() const
{
    return FromData(m_workspace.IniListSetup.ReadString(kOptionsSection, kServiceUrlKey, "")).trimmed();
}

void OptionsArea::setAdPanelVisible(bool visible)
{
    m_widgets.adPanel->setVisible(visible);
}

} // namespace pw::gui
