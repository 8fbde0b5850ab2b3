#include "gui/networks/networksarea.h"

#include "gui/common/browserwindow.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/common/popupmenu.h"
#include "gui/networks/fmnetworks.h"
#include "gui/options/fmeditini.h"
#include "gui/workspace.h"
#include "networks/login.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QToolButton>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace pw::gui {

namespace {

// The login window: a new top-level browser window of its own, shown, sent to
// the local login page without a history entry, and maximised. Nobody tracks
// it afterwards; it deletes itself when the user closes it.
class LoginWindowOpener : public LoginBrowser {
public:
    Status OpenMaximised(const std::string& pageFile) override
    {
        auto* window = new BrowserWindow;
        window->setObjectName(QStringLiteral("LoginWindow"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        // The page is our own local file; its form posts to the network's web address.
        window->view()->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        if (!window->makeVisible() || !window->navigate(QString::fromStdString(pageFile), History::Skip) ||
            !window->showMaximised()) {
            delete window;
            return Status::Fail(ToData(BrowserWindow::closedError()));
        }
        Opened = window;
        return Status::Ok();
    }
    BrowserWindow* Opened = nullptr;
};

void AddLoginItem(NetworksArea* area, QMenu* menu, const LoginMenuItem& item)
{
    const QString caption = FromData(item.Caption);
    if (!item.SubItems.empty()) {
        QMenu* sub = menu->addMenu(caption);
        for (const LoginMenuItem& child : item.SubItems)
            AddLoginItem(area, sub, child);
        return;
    }
    QAction* action = menu->addAction(caption);
    if (TLoginInfo* login = item.Login)
        QObject::connect(action, &QAction::triggered, area, [area, login] { area->openLogin(*login); });
}

} // namespace

NetworksArea::NetworksArea(Workspace& workspace, const Widgets& widgets, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_widgets(widgets)
{
    connect(m_widgets.loginButton, &QToolButton::clicked, this,
            [this] { PopupBelow(m_widgets.loginButton, m_widgets.loginMenu); });
    connect(m_widgets.networksItem, &QAction::triggered, this, &NetworksArea::showNetworksDialog);
    connect(m_widgets.updateItem, &QAction::triggered, this, [this] {
        emit statusText(m_widgets.updateItem->text() + QStringLiteral(": この機能はまだ使えません"));
    });
}

void NetworksArea::setDialog(TFmNetworks* dialog)
{
    m_dialog = dialog;
    if (!dialog)
        return;
    connect(dialog, &TFmNetworks::definitionsExported, this, [this] {
        if (m_editor) {
            m_editor->refill();
            m_editor->exec();
        }
    });
    connect(dialog, &TFmNetworks::loginRequested, this, [this](TLoginInfo* login) {
        if (login)
            openLogin(*login);
    });
}

void NetworksArea::showNetworksDialog()
{
    if (!m_dialog)
        return;
    m_dialog->exec();
    // However the dialog was closed, the lists are stored.
    buildLoginMenu();
    SaveNetworks(m_workspace.IniListSetup, m_workspace.Networks);
    SaveSiteInfos(m_workspace.IniListSiteInfo, m_workspace.Profiles);
    for (const auto& [store, name] : {std::pair{&m_workspace.IniListSetup, kMainSettingsFile},
                                      std::pair{&m_workspace.IniListSiteInfo, kProfileFile}}) {
        const Status saved = SaveSettingsFile(*store, m_workspace.SettingsFolder, name);
        if (!saved)
            ShowMessage(m_dialog, MessageType::Error, FromData(saved.error));
    }
}

void NetworksArea::loadProfilesAndNetworks()
{
    LoadSiteInfos(m_workspace.IniListSiteInfo, m_workspace.Profiles);
    LoadNetworks(m_workspace.IniListSetup, m_workspace.Networks);
    buildLoginMenu();
    if (m_dialog)
        m_dialog->reload();
}

void NetworksArea::buildLoginMenu()
{
    // The old items may hold the last pointers to logins that are gone.
    m_widgets.loginMenu->clear();
    const LoginMenu menu = BuildLoginMenu(m_workspace.Networks);
    for (const LoginMenuItem& item : menu.Items)
        AddLoginItem(this, m_widgets.loginMenu, item);
    m_networkChoice = menu.NetworkChoice;
    m_widgets.loginButton->setEnabled(menu.LoginEnabled);
    emit loginMenuRebuilt();
}

BrowserWindow* NetworksArea::openLogin(const TLoginInfo& login)
{
    LoginWindowOpener opener;
    const Status opened = OpenLogin(login, m_workspace.ScratchFiles[0], opener);
    if (!opened) {
        ShowMessage(QApplication::activeWindow(), MessageType::Error, FromData(opened.error));
        return nullptr;
    }
    return opener.Opened;
}

} // namespace pw::gui
