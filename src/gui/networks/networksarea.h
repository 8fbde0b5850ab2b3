#pragma once

#include <QObject>
#include <QString>

#include <string>
#include <vector>

class QAction;
class QMenu;
class QNetworkAccessManager;
class QToolButton;

namespace pw {
class TLoginInfo;
}

namespace pw::gui {

class ActionList;
class BrowserWindow;
class TFmEditIni;
class TFmNetworks;
struct Workspace;

// The networks area: the login menu PMLogin behind TBLogin, the networks
// dialog and the update of the network definitions.
class NetworksArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QToolButton* loginButton; // TBLogin
        QMenu* loginMenu; // PMLogin
        QAction* networksItem; // MINetwork
        QAction* updateItem; // MIUpdateNetwork
    };

    // `client` is the program's web client, which downloads the definitions
    // from the stored service address. The networks dialog, its explanation
    // window and the settings text editor (opened after the maintainer's
    // export) are made here, children of `window`, as are the widgets.
    NetworksArea(Workspace& workspace, QNetworkAccessManager& client, QWidget* window);
    // What the window places: the login button on its tool bar, the login
    // menu in its menu bar, the two items in its options menu.
    const Widgets& widgets() const { return m_widgets; }
    // Downloads the definitions file from the service and merges it, with a
    // message either way. Without a service address no request is made.
    void updateNetworks();

    // Start-up: the registration profiles, then the networks, then the login menu.
    void loadProfilesAndNetworks();

    // Rebuilds PMLogin from the network list and enables TBLogin when it has
    // entries. Also parses every network's field map.
    void buildLoginMenu();

    // One login: writes the login page into the first scratch file and opens
    // it in a new maximised browser window, which posts the form by itself.
    // Returns the window, or nullptr after showing why it failed.
    BrowserWindow* openLogin(const TLoginInfo& login);
    // The update item's hint names the service address in use.
    void showServiceAddress(const QString& address);
    // Writes the networks into Pagewick.ini's store, their passwords where passwords are kept.
    void storeNetworks(QWidget* parent);

signals:
    void statusText(const QString& text);
    // The network records were replaced or removed: whatever points at them
    // must look them up again.
    void networksReplaced();

private:
    void showNetworksDialog();
    // However the dialog was closed, the lists are stored.
    void dialogClosed();

    Workspace& m_workspace;
    Widgets m_widgets;
    TFmNetworks* m_dialog;
    TFmEditIni* m_editor;
    QNetworkAccessManager& m_client;
};

} // namespace pw::gui
