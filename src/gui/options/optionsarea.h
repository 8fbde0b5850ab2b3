#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QNetworkAccessManager;
class QToolButton;
class QWidget;

namespace pw::gui {

class TFmOption;
struct Workspace;

// The options area: the options menu PMOptions behind TBOptions with its
// check items, the options dialog, the ad panel and the help button.
class OptionsArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QToolButton* optionsButton; // TBOptions
        QMenu* optionsMenu;         // PMOptions
        QAction* adItem;            // MIAd
        QAction* optionItem;        // MIOption
        QWidget* adPanel;           // PnAd
        QToolButton* helpButton;    // TBHelp
    };

    OptionsArea(Workspace& workspace, const Widgets& widgets, QObject* parent = nullptr);
    void setDialog(TFmOption* dialog) { m_dialog = dialog; }
    void setAdPanelVisible(bool visible);

    // The program's web client: every request to the online service goes
    // through it, so it carries the proxy option.
    QNetworkAccessManager* network() const { return m_network; }

    // Start-up: the stored options into the dialog, then the proxy into the client.
    void loadOptions();
    // Puts the dialog's proxy into the web client (a direct connection when it
    // is off).
    void applyProxySettings();
    // The service address as stored; empty when none is set.
    QString serviceUrl() const;

signals:
    void statusText(const QString& text);

private:
    void showOptionsDialog();

    Workspace& m_workspace;
    Widgets m_widgets;
    QPointer<TFmOption> m_dialog;
    QNetworkAccessManager* m_network = nullptr;
};

} // namespace pw::gui
