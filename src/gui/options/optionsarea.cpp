#include "gui/options/optionsarea.h"

#include "gui/common/popupmenu.h"
#include "gui/options/fmoption.h"

#include "gui/common/browserwindow.h"
#include "gui/common/cappeddownload.h"
#include "gui/common/datatext.h"
#include "gui/common/framewidgets.h"
#include "gui/common/messagebox.h"
#include "gui/common/webpane.h"
#include "gui/workspace.h"
#include "secrets/keyringstore.h"
#include "settings/settingsfile.h"
#include "settings/settingsfolder.h"
#include "shell/passwords.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QTimer>
#include <QToolButton>

namespace pw::gui {

namespace {

// A separate browser window of its own: shown, navigated without a history
// entry, maximised; it deletes itself when closed.
void OpenBrowserWindow(const QString& address, const QString& name)
{
    auto* window = new BrowserWindow;
    window->setObjectName(name);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->makeVisible();
    window->navigate(address, History::Skip);
    window->showMaximised();
}

OptionsArea::Widgets BuildWidgets(QWidget* window)
{
    OptionsArea::Widgets w {};
    w.optionsButton = MakeCommandButton(Command::TBOptions, QStringLiteral("オプション設定"));
    w.helpButton = MakeCommandButton(Command::TBHelp, QStringLiteral("ヘルプ・使い方"));
    w.optionsMenu = new QMenu(window);
    w.optionsMenu->setObjectName(QStringLiteral("PMOptions"));
    w.optionsMenu->setToolTipsVisible(true);
    w.adItem = MakeOptionItem(Command::MIAd, QStringLiteral("広告パネル"),
        QStringLiteral("広告パネルを見る・見ない"), true, w.optionsMenu);
    w.optionItem = MakeOptionItem(Command::MIOption, QStringLiteral("オプション設定"),
        QStringLiteral("オプション設定"), false, w.optionsMenu);
    w.adPane = new WebPane;
    w.adPane->setObjectName(QStringLiteral("WBAd"));
    w.adPane->setAccessibleName(QStringLiteral("広告パネル"));
    w.adPanel = MakePanel(QStringLiteral("PnAd"), w.adPane);
    w.adPanel->setFixedHeight(70);
    return w;
}

} // namespace

OptionsArea::OptionsArea(
    Workspace& workspace, QNetworkAccessManager& network, std::function<bool()> onlineProbe, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_widgets(BuildWidgets(window))
    , m_dialog(new TFmOption(workspace.IniListAd, workspace.IniListSetup, workspace.SettingsFolder, window))
    , m_network(network)
    , m_probe(std::move(onlineProbe))
{
    // No proxy until the options say so, whatever the environment holds.
    m_network.setProxy(QNetworkProxy::NoProxy);
    connect(m_widgets.optionsButton, &QToolButton::clicked, this,
        [this] { PopupBelow(m_widgets.optionsButton, m_widgets.optionsMenu); });
    connect(m_widgets.adItem, &QAction::toggled, this, &OptionsArea::setAdPanelVisible);
    connect(m_widgets.optionItem, &QAction::triggered, this, &OptionsArea::showOptionsDialog);
    connect(m_widgets.helpButton, &QToolButton::clicked, this, &OptionsArea::showHelp);

    m_monitor = new QTimer(this);
    connect(m_monitor, &QTimer::timeout, this, &OptionsArea::checkOnline);
    // The ad panel shows the page it has anew every ten minutes while it is visible.
    m_adReload = new QTimer(this);
    m_adReload->setInterval(600000);
    connect(m_adReload, &QTimer::timeout, this, [this] {
        if (m_widgets.adPanel->isVisible())
            m_widgets.adPane->refresh();
    });
    m_adReload->start();
}

void OptionsArea::showOptionsDialog()
{
    // The dialog always opens on the stored values; Cancel changes nothing.
    m_dialog->LoadOptions();
    const QString service = serviceUrl();
    if (m_dialog->exec() != QDialog::Accepted)
        return;
    applyProxySettings();
    const bool keyring = m_workspace.Secrets->Kind() == "keyring";
    if (m_dialog->keyringChosen() != keyring)
        movePasswords(m_dialog->keyringChosen(), m_dialog->parentWidget());
    if (serviceUrl() != service)
        restartOnlineServices();
}

void OptionsArea::restartOnlineServices()
{
    // A new address counts from now on, as if the program had started with it.
    m_monitor->stop();
    m_online = OnlineServices();
    m_isOnline = false;
    setAdPanelVisible(m_widgets.adItem->isChecked());
    startOnlineServices();
    emit serviceAddressChanged(serviceUrl());
}

bool OptionsArea::movePasswords(bool toKeyring, QWidget* parent)
{
    std::unique_ptr<SecretStore> keyring = MakeKeyringStore();
    const PasswordMove move = MovePasswords(m_workspace.IniListSetup, m_workspace.SettingsFolder, *keyring,
        toKeyring ? PasswordPlace::Keyring : PasswordPlace::File);
    if (!move.Result) {
        // The window's own words first; the core's and the keyring's behind 詳細.
        QString text = toKeyring ? QStringLiteral("パスワードをキーリングに移せませんでした。")
                                 : QStringLiteral("パスワードを設定ファイルに移せませんでした。");
        if (!move.Moved.empty())
            text += QStringLiteral("\n\n移動の途中で失敗しました。移動できていたもの: ")
                + FromData(MovedPasswordsText(move.Moved));
        if (move.IdsKept) {
            text += QStringLiteral("\n\nパスワードはすべて設定ファイルに残っています。キーリングに残った項目は、"
                                   "次に移動したときに置き換えられます。");
            // The file holds the records' keyring ids now: the records in
            // memory take them, so that a later save keeps them.
            emit passwordsMoved();
        } else {
            text += QStringLiteral("\n\n設定ファイルは変更されていません。");
        }
        ShowMessage(parent, MessageType::Error, text, QMessageBox::Ok, ErrorText(move.Result));
        return false;
    }
    if (toKeyring)
        m_workspace.Secrets = std::move(keyring);
    else
        m_workspace.Secrets = std::make_unique<FileSecretStore>();
    emit passwordsMoved();
    return true;
}

void OptionsArea::settlePasswordPlace()
{
    TIniList& store = m_workspace.IniListSetup;
    std::unique_ptr<SecretStore> keyring = MakeKeyringStore();
    switch (ReadPasswordPlace(store)) {
    case PasswordPlace::Keyring:
        m_workspace.Secrets = std::move(keyring);
        return;
    case PasswordPlace::File:
        return;
    case PasswordPlace::Unset:
        break;
    }
    QWidget* parent = m_widgets.adPanel->window();
    switch (DecidePasswordStart(store, keyring->Check().ok)) {
    case PasswordStartStep::Nothing:
        return;
    case PasswordStartStep::UseKeyring: {
        WritePasswordPlace(store, PasswordPlace::Keyring);
        if (const Status saved = SaveSettingsFile(store, m_workspace.SettingsFolder, kMainSettingsFile); !saved) {
            ShowMessage(parent, MessageType::Error, ErrorText(saved));
            return;
        }
        m_workspace.Secrets = std::move(keyring);
        return;
    }
    case PasswordStartStep::AskToMove:
        break;
    }
    const auto answer = ShowMessage(parent, MessageType::Confirmation,
        QStringLiteral("サイトと広告代理店のパスワードは設定ファイルに保存されています。"
                       "デスクトップのキーリングに移しますか？\n"
                       "（「いいえ」で設定ファイルのままにし、次からは尋ねません）"),
        QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        movePasswords(true, parent);
        return;
    }
    WritePasswordPlace(store, PasswordPlace::File);
    if (const Status saved = SaveSettingsFile(store, m_workspace.SettingsFolder, kMainSettingsFile); !saved)
        ShowMessage(parent, MessageType::Error, ErrorText(saved));
}

void OptionsArea::loadOptions()
{
    m_dialog->LoadOptions();
    applyProxySettings();
}

void OptionsArea::applyProxySettings()
{
    int port = 0;
    if (!m_dialog->proxyOn() || !m_dialog->proxyPort(port) || m_dialog->proxyServer().isEmpty()) {
        m_network.setProxy(QNetworkProxy::NoProxy);
        return;
    }
    m_network.setProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, m_dialog->proxyServer(), static_cast<quint16>(port)));
}

QString OptionsArea::localAdPage()
{
    const std::string folder = FindDataFolder(QCoreApplication::applicationDirPath().toStdString());
    return QString::fromStdString(folder) + QStringLiteral("/ad.html");
}

QString OptionsArea::localHelpPage()
{
    const std::string folder = FindDataFolder(QCoreApplication::applicationDirPath().toStdString());
    return QString::fromStdString(folder) + QStringLiteral("/help/index.html");
}

QUrl OptionsArea::serviceAddress(const QString& path) const
{
    QString base = serviceUrl();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return QUrl(base).resolved(QUrl(path));
}

void OptionsArea::startOnlineServices()
{
    if (serviceUrl().isEmpty()) {
        // No service: no check, no request; the panel explains itself.
        m_widgets.adPane->navigate(localAdPage(), History::Skip);
        return;
    }
    m_online.Start();
    updateMonitor();
}

void OptionsArea::updateMonitor()
{
    if (m_online.MonitorEnabled() && m_online.DispatchInterval() > 0) {
        if (!m_monitor->isActive() || m_monitor->interval() != m_online.DispatchInterval())
            m_monitor->start(m_online.DispatchInterval());
    } else {
        m_monitor->stop();
    }
}

void OptionsArea::checkOnline()
{
    if (!m_online.MonitorEnabled())
        return;
    bool online = false;
    if (m_probe) {
        online = m_probe();
    } else if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)
        && QNetworkInformation::instance()) {
        online = QNetworkInformation::instance()->reachability() == QNetworkInformation::Reachability::Online;
    } else {
        QString last;
        for (const QHostAddress& address : QNetworkInterface::allAddresses())
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                last = address.toString();
        online = IsOnlineAddress(last.toStdString());
    }
    if (online == m_isOnline)
        return;
    m_isOnline = online;
    run(m_online.OnlineChanged(online));
}

void OptionsArea::run(const OnlineActions& actions)
{
    updateMonitor();
    if (actions.ShowLocalAd)
        m_widgets.adPane->navigate(localAdPage(), History::Skip);
    if (actions.ShowServiceAd)
        m_widgets.adPane->navigate(
            serviceAddress(QString::fromLatin1(kAdPagePath.data())).toString(), History::Skip);
    QWidget* parent = m_widgets.adPanel->window();
    const QUrl service = serviceAddress(QString());
    if (actions.AskNetworkUpdate) {
        QString question = service.host()
            + QStringLiteral("から最新の広告ネットワーク情報をドウンロードします、よろしいでしょうか？");
        if (service.scheme() != QLatin1String("https"))
            question += QStringLiteral("\n（暗号化されていない接続です。）");
        if (ShowMessage(parent, MessageType::Confirmation, question, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes) {
            m_workspace.NetworkVersion = *actions.AskNetworkUpdate;
            emit networkUpdateRequested();
        }
    }
    if (actions.Error)
        ShowMessage(parent, MessageType::Error, FromData(*actions.Error));
    if (actions.AskNewProgram) {
        const QString question = QStringLiteral("新しいバージョンが公開されました、") + service.toString()
            + QStringLiteral("にジャンプしてダウンロードしますか？");
        if (ShowMessage(parent, MessageType::Confirmation, question, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes)
            OpenBrowserWindow(service.toString(), QStringLiteral("DownloadWindow"));
        else
            m_workspace.IniListSetup.WriteBool(kOptionsSection, "Questioned", true);
    }
    if (actions.FetchVersionFile)
        fetchVersionFile();
}

void OptionsArea::fetchVersionFile()
{
    const CappedDownload got = DownloadCapped(
        m_network, serviceAddress(QString::fromLatin1(kVersionFilePath.data())), qint64(kVersionFileLimit));
    switch (got.Result) {
    case CappedDownload::Outcome::Ok: {
        const bool declined = m_workspace.IniListSetup.ReadBool(kOptionsSection, "Questioned", false);
        run(m_online.VersionReceived(got.Body.toStdString(), m_workspace.NetworkVersion, declined));
        return;
    }
    case CappedDownload::Outcome::HttpError:
    case CappedDownload::Outcome::TooLarge:
        // Asked without a click: an answer that is not a version file is
        // dropped quietly, and the check runs again later.
        run(m_online.VersionFailed());
        return;
    case CappedDownload::Outcome::Failed:
        break;
    }
    // No connection at all: the services stop for this run.
    m_online.ConnectionFailed();
    updateMonitor();
    ShowMessage(m_widgets.adPanel->window(), MessageType::Error, got.ErrorText);
}

void OptionsArea::showHelp()
{
    // The help installed with the program, unless the service is known to answer.
    if (serviceUrl().isEmpty() || !m_isOnline || m_online.State() == OnlineState::Stopped)
        OpenBrowserWindow(localHelpPage(), QStringLiteral("HelpWindow"));
    else
        OpenBrowserWindow(serviceAddress(QString()).toString(), QStringLiteral("HelpWindow"));
}

void OptionsArea::setAdPanelVisible(bool visible)
{
    // Without a service there is nothing to show in it.
    m_widgets.adPanel->setVisible(visible && !serviceUrl().isEmpty());
}

} // namespace pw::gui
