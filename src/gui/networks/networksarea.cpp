#include "gui/networks/networksarea.h"

#include "gui/common/browserwindow.h"
#include "gui/common/cappeddownload.h"
#include "gui/common/datatext.h"
#include "gui/common/fmmessage.h"
#include "gui/common/framewidgets.h"
#include "gui/common/messagebox.h"
#include "gui/common/passworddialog.h"
#include "gui/common/popupmenu.h"
#include "gui/networks/fmnetworks.h"
#include "gui/options/fmeditini.h"
#include "gui/workspace.h"
#include "networks/definitions.h"
#include "networks/login.h"
#include "settings/settingsfile.h"
#include "shell/onlineservices.h"
#include "shell/passwords.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QToolButton>

namespace pw::gui {

namespace {

// The login window: a new top-level browser window of its own, shown, sent to
// the local login page without a history entry, and maximised. Nobody tracks
// it afterwards; it deletes itself when the user closes it.
class LoginWindowOpener : public LoginBrowser {
public:
    Status OpenMaximised(const std::string& pageFile) override
    {
        // The page is our own local file; its form posts to the network's web
        // address, and it has no business with other local files.
        WebView::Options options;
        options.localMayReachRemote = true;
        auto* window = new BrowserWindow(nullptr, options);
        window->setObjectName(QStringLiteral("LoginWindow"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (!window->makeVisible() || !window->navigate(QString::fromStdString(pageFile), History::Skip)
            || !window->showMaximised()) {
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

NetworksArea::Widgets BuildWidgets(QWidget* window)
{
    NetworksArea::Widgets w {};
    w.loginButton
        = MakeCommandButton(Command::TBLogin, QStringLiteral("広告代理店ホームページに自動ログインする"));
    w.loginMenu = new QMenu(window);
    w.loginMenu->setObjectName(QStringLiteral("PMLogin"));
    w.loginMenu->setToolTipsVisible(true);
    w.networksItem = MakeOptionItem(Command::MINetwork, QStringLiteral("広告代理店設定..."),
        QStringLiteral("広告代理店登録・修正する"), false, window);
    w.updateItem = MakeOptionItem(Command::MIUpdateNetwork, QStringLiteral("広告代理店設定更新"),
        QStringLiteral("オンラインサービスから最新の広告代理店設定を更新する"), false, window);
    return w;
}

} // namespace

NetworksArea::NetworksArea(Workspace& workspace, QNetworkAccessManager& client, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_widgets(BuildWidgets(window))
    , m_dialog(new TFmNetworks(workspace, window))
    , m_editor(new TFmEditIni(workspace.IniListAd, workspace.IniListSetup, workspace.IniListSiteInfo,
          workspace.SettingsFolder, window))
    , m_client(client)
{
    m_dialog->setExplanation(new TFmMessage(window));
    connect(m_dialog, &TFmNetworks::definitionsExported, this, [this] {
        m_editor->refill();
        m_editor->exec();
    });
    connect(m_dialog, &TFmNetworks::loginRequested, this, [this](TLoginInfo* login) {
        if (login)
            openLogin(*login);
    });
    connect(m_widgets.loginButton, &QToolButton::clicked, this,
        [this] { PopupBelow(m_widgets.loginButton, m_widgets.loginMenu); });
    connect(m_widgets.networksItem, &QAction::triggered, this, &NetworksArea::showNetworksDialog);
    connect(m_dialog, &QDialog::finished, this, &NetworksArea::dialogClosed);
    connect(m_widgets.updateItem, &QAction::triggered, this, &NetworksArea::updateNetworks);
}

void NetworksArea::showServiceAddress(const QString& address)
{
    const QString hint = address.isEmpty() ? QStringLiteral("オンラインサービスから最新の広告代理店設定を更新する"
                                                            "（サービスのアドレスはオプション設定で入力します）")
                                           : address + QStringLiteral(" から最新の広告代理店設定を更新する");
    m_widgets.updateItem->setStatusTip(hint);
    m_widgets.updateItem->setToolTip(hint);
}

void NetworksArea::updateNetworks()
{
    QWidget* parent = QApplication::activeWindow();
    const QString base = StoredServiceUrl(m_workspace);
    if (base.isEmpty()) {
        ShowMessage(parent, MessageType::Information,
            QStringLiteral(
                "オンラインサービスのアドレスが設定されていません。オプション設定で入力してください。"));
        return;
    }
    const QUrl service = QUrl(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/'));
    const QUrl address = service.resolved(
        QUrl(QString::fromLatin1(kDefinitionsFile.data(), static_cast<qsizetype>(kDefinitionsFile.size()))));
    const CappedDownload got = DownloadCapped(m_client, address, qint64(kDefinitionsFileLimit));
    if (got.Result == CappedDownload::Outcome::TooLarge) {
        ShowMessage(parent, MessageType::Error,
            service.host()
                + QStringLiteral("サーバーから受け取った広告代理店情報が大きすぎます（%1 MiB まで）。"
                                 "ダウンロードを中止しました。")
                      .arg(kDefinitionsFileLimit / (1024 * 1024)));
        return;
    }
    if (got.Result != CappedDownload::Outcome::Ok) {
        ShowMessage(parent, MessageType::Error,
            service.host() + QStringLiteral("サーバーに接続エラー") + QLatin1Char('\n') + got.ErrorText);
        return;
    }
    TIniList scratch;
    std::vector<LoginHostChange> movedLogins;
    const Status merged = ApplyNetworkUpdate(scratch, got.Body.toStdString(), m_workspace.Networks,
        m_workspace.IniListSetup, m_workspace.NetworkVersion, nullptr, &movedLogins);
    // The networks may be new objects now: the catalogue looks them up again.
    emit networksReplaced();
    if (!merged) {
        ShowMessage(parent, MessageType::Error, ErrorText(merged));
        return;
    }
    // The merge wrote the records as they are in memory, where the passwords
    // read from the keyring sit too: written again, they go where they are kept.
    storeNetworks(parent);
    // A definition that moves the login of a network with stored passwords to
    // another host is taken only when the user says so.
    if (!movedLogins.empty()) {
        QString list;
        for (const LoginHostChange& change : movedLogins)
            list += FromData(change.Name) + QStringLiteral(":\n  ") + FromData(change.OldURL)
                + QStringLiteral("\n  → ") + FromData(change.NewURL) + QLatin1Char('\n');
        const auto answer = ShowMessage(parent, MessageType::Warning,
            QStringLiteral(
                "次の広告代理店のログイン先が別のサーバーに変わります。保存されたパスワードは新しいログイン先に"
                "送られます。\n\n")
                + list
                + QStringLiteral(
                    "\n新しいログイン先を使いますか？（「いいえ」で今までのログイン先のままにします）"),
            QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes) {
            AcceptLoginHostChanges(m_workspace.Networks, movedLogins);
            storeNetworks(parent);
        }
    }
    buildLoginMenu();
    m_dialog->reload();
    const Status saved = SaveSettingsFile(m_workspace.IniListSetup, m_workspace.SettingsFolder, kMainSettingsFile);
    if (!saved) {
        ShowMessage(parent, MessageType::Error, ErrorText(saved));
        return;
    }
    ShowMessage(parent, MessageType::Information, FromData(kNetworksUpdatedMessage));
}

void NetworksArea::storeNetworks(QWidget* parent)
{
    // With the keyring, the passwords go there and the file gets none.
    const Status kept
        = SaveNetworksWithSecrets(m_workspace.IniListSetup, m_workspace.Networks, *m_workspace.Secrets);
    if (!kept)
        ShowMessage(parent, MessageType::Error, ErrorText(kept));
}

void NetworksArea::showNetworksDialog()
{
    // The dialog shows the passwords: those kept in the keyring are read first.
    if (const Status read = FillLoginPasswords(*m_workspace.Secrets, m_workspace.Networks); !read)
        ShowMessage(m_dialog, MessageType::Error, ErrorText(read));
    m_dialog->reload();
    // Modal to the main window only: the signup and login windows it opens are
    // windows of their own, which take clicks and keys while it shows.
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->open();
}

void NetworksArea::dialogClosed()
{
    // However the dialog was closed, the lists are stored.
    buildLoginMenu();
    storeNetworks(m_dialog);
    SaveSiteInfos(m_workspace.IniListSiteInfo, m_workspace.Profiles);
    for (const auto& [store, name] : { std::pair { &m_workspace.IniListSetup, kMainSettingsFile },
             std::pair { &m_workspace.IniListSiteInfo, kProfileFile } }) {
        const Status saved = SaveSettingsFile(*store, m_workspace.SettingsFolder, name);
        if (!saved)
            ShowMessage(m_dialog, MessageType::Error, ErrorText(saved));
    }
}

void NetworksArea::loadProfilesAndNetworks()
{
    LoadSiteInfos(m_workspace.IniListSiteInfo, m_workspace.Profiles);
    LoadNetworks(m_workspace.IniListSetup, m_workspace.Networks);
    buildLoginMenu();
    m_dialog->reload();
}

void NetworksArea::buildLoginMenu()
{
    // The old items may hold the last pointers to logins that are gone.
    m_widgets.loginMenu->clear();
    const LoginMenu menu = BuildLoginMenu(m_workspace.Networks);
    for (const LoginMenuItem& item : menu.Items)
        AddLoginItem(this, m_widgets.loginMenu, item);
    m_widgets.loginButton->setEnabled(menu.LoginEnabled);
}

BrowserWindow* NetworksArea::openLogin(const TLoginInfo& login)
{
    // The login's password from where passwords are kept; asked for when it
    // cannot be read.
    LoginEntry* entry = nullptr;
    if (login.Network)
        for (LoginEntry& candidate : login.Network->Logins)
            if (candidate.Info.get() == &login)
                entry = &candidate;
    bool once = false;
    if (entry && login.Password.empty()) {
        if (const Status read = FillLoginPassword(*m_workspace.Secrets, *login.Network, *entry); !read) {
            PasswordDialog dialog(FromData(login.Network->Name + " " + entry->Name), ErrorText(read), true,
                QApplication::activeWindow());
            if (dialog.exec() != QDialog::Accepted)
                return nullptr;
            entry->Info->Password = ToData(dialog.password());
            once = !dialog.savePassword();
            if (!once) {
                storeNetworks(QApplication::activeWindow());
                if (const Status saved
                    = SaveSettingsFile(m_workspace.IniListSetup, m_workspace.SettingsFolder, kMainSettingsFile);
                    !saved)
                    ShowMessage(QApplication::activeWindow(), MessageType::Error, ErrorText(saved));
            }
        }
    }
    LoginWindowOpener opener;
    const Status opened = OpenLogin(login, m_workspace.ScratchFiles[0], opener);
    if (once)
        WipeString(entry->Info->Password);
    if (!opened) {
        ShowMessage(QApplication::activeWindow(), MessageType::Error, ErrorText(opened));
        return nullptr;
    }
    return opener.Opened;
}

} // namespace pw::gui
