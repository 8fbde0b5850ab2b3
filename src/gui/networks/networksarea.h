#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
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

    NetworksArea(Workspace& workspace, const Widgets& widgets, QObject* parent = nullptr);
    void setDialog(TFmNetworks* dialog);
    // The web client and the service address of the definitions download,
    // and the installed definitions version it raises.
    void setService(QNetworkAccessManager* client, std::function<QString()> serviceUrl, int* networkVersion);
    // Downloads the definitions file from the service and merges it, with a
    // message either way. Without a service address no request is made.
    void updateNetworks();
    // The settings text editor, opened after the maintainer's export.
    void setEditor(TFmEditIni* editor) { m_editor = editor; }

    // Start-up: the registration profiles, then the networks, then the login menu.
    void loadProfilesAndNetworks();

    // Rebuilds PMLogin from the network list and enables TBLogin when it has
    // entries. Also parses every network's field map.
    void buildLoginMenu();

    // One login: writes the login page into the first scratch file and opens
    // it in a new maximised browser window, which posts the form by itself.
    // Returns the window, or nullptr after showing why it failed.
    BrowserWindow* openLogin(const TLoginInfo& login);

signals:
    void statusText(const QString& text);
    // The network records were replaced or removed: whatever points at them
    // must look them up again.
    void networksReplaced();

private:
    void showNetworksDialog();

    Workspace& m_workspace;
    Widgets m_widgets;
    QPointer<TFmNetworks> m_dialog;
    QPointer<TFmEditIni> m_editor;
    QNetworkAccessManager* m_client = nullptr;
    std::function<QString()> m_serviceUrl;
    int* m_networkVersion = nullptr;
};

} // namespace pw::gui
