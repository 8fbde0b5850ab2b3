#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QToolButton;
class QWidget;

namespace pw::gui {

class TFmOption;

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

    OptionsArea(const Widgets& widgets, QObject* parent = nullptr);
    void setDialog(TFmOption* dialog) { m_dialog = dialog; }
    void setAdPanelVisible(bool visible);

signals:
    void statusText(const QString& text);

private:
    Widgets m_widgets;
    QPointer<TFmOption> m_dialog;
};

} // namespace pw::gui
