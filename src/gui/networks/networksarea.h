#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QToolButton;

namespace pw::gui {

class ActionList;
class TFmNetworks;
struct Workspace;

// The networks area: the login menu PMLogin behind TBLogin, the networks
// dialog and the update of the network definitions.
class NetworksArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QToolButton* loginButton; // TBLogin
        QMenu* loginMenu;         // PMLogin
        QAction* networksItem;    // MINetwork
        QAction* updateItem;      // MIUpdateNetwork
    };

    NetworksArea(Workspace& workspace, const Widgets& widgets, QObject* parent = nullptr);
    void setDialog(TFmNetworks* dialog) { m_dialog = dialog; }

    // Start-up: the registration profiles, then the networks.
    void loadProfilesAndNetworks();

signals:
    void statusText(const QString& text);

private:
    Workspace& m_workspace;
    Widgets m_widgets;
    QPointer<TFmNetworks> m_dialog;
};

} // namespace pw::gui
