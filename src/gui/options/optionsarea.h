#pragma once

#include "gui/workspace.h"
#include "shell/onlineservices.h"

#include <QObject>

#include <functional>

class QAction;
class QTimer;
class QUrl;
class QMenu;
class QNetworkAccessManager;
class QToolButton;
class QWidget;

namespace pw::gui {

class TFmOption;
class WebPane;

// The options area: the options menu PMOptions behind TBOptions with its
// check items, the options dialog, the ad panel and the help button.
class OptionsArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QToolButton* optionsButton; // TBOptions
        QMenu* optionsMenu; // PMOptions
        QAction* adItem; // MIAd
        QAction* optionItem; // MIOption
        QWidget* adPanel; // PnAd
        QToolButton* helpButton; // TBHelp
        WebPane* adPane; // WBAd
    };

    // `network` is the program's web client: every request to the online
    // service goes through it, so this area puts the proxy option on it.
    // `onlineProbe` says whether the machine is online; without one the area
    // asks for reachability where the system reports it, else for an own
    // address other than the loopback. The
    // widgets and the options dialog are made here; the menu and the dialog
    // are children of `window`.
    OptionsArea(
        Workspace& workspace, QNetworkAccessManager& network, std::function<bool()> onlineProbe, QWidget* window);
    // What the window places: the two buttons on its tool bar, the ad panel
    // along its bottom, the items in PMOptions (which the window completes
    // with the other areas' items).
    const Widgets& widgets() const { return m_widgets; }
    // Shows the ad panel when asked to and a service address is set.
    void setAdPanelVisible(bool visible);

    QNetworkAccessManager* network() const { return &m_network; }

    // Start-up: the stored options into the dialog, then the proxy into the client.
    void loadOptions();
    // Start-up, before the records load: the store that keeps the passwords.
    // A first start with no password anywhere takes the keyring when a Secret
    // Service answers; an install with passwords in the file is asked once
    // whether to move them (No keeps the file and is not asked again).
    void settlePasswordPlace();
    // Puts the dialog's proxy into the web client (a direct connection when it
    // is off).
    void applyProxySettings();
    // The service address as stored; empty when none is set.
    QString serviceUrl() const { return StoredServiceUrl(m_workspace); }

    // The online services, started once the window is shown. Without a
    // service address they make no request of any kind and the ad panel shows
    // the local page.
    void startOnlineServices();
    // One check of the monitor: reports a change of the online state.
    void checkOnline();
    const OnlineServices& onlineServices() const { return m_online; }
    // The local ad page and help page.
    static QString localAdPage();
    static QString localHelpPage();

signals:
    void statusText(const QString& text);
    // The user agreed to download the newer network definitions.
    void networkUpdateRequested();
    // The options dialog stored another service address (empty: none).
    void serviceAddressChanged(const QString& address);
    // The passwords moved between the file and the keyring, or a move that
    // failed left new keyring ids in Pagewick.ini: the records are to be read
    // again from it (their keyring ids changed).
    void passwordsMoved();

private:
    void showOptionsDialog();
    // The services begin anew with the address the options now hold.
    void restartOnlineServices();
    // Moves every password to the keyring (true) or the file; shows what
    // failed. True when they moved.
    bool movePasswords(bool toKeyring, QWidget* parent);
    void fetchVersionFile();
    void run(const OnlineActions& actions);
    void showHelp();
    void updateMonitor();
    QUrl serviceAddress(const QString& path) const;

    Workspace& m_workspace;
    Widgets m_widgets;
    TFmOption* m_dialog;
    QNetworkAccessManager& m_network;
    OnlineServices m_online;
    QTimer* m_monitor = nullptr;
    QTimer* m_adReload = nullptr;
    bool m_isOnline = false;
    std::function<bool()> m_probe;
};

} // namespace pw::gui
