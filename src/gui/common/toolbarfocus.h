#pragma once

#include <QObject>
#include <QPointer>

class QToolBar;
class QWidget;

namespace pw::gui {

// Makes a tool bar one stop of the Tab key, as desktop programs do: one of its
// controls takes the focus from Tab (the one used last; at first, and whenever
// that one is disabled, `home`), and Left and Right move among the enabled
// controls inside the bar. The mouse works as before.
class ToolBarFocus : public QObject {
    Q_OBJECT
public:
    // Call once the bar holds its controls, `home` among them.
    ToolBarFocus(QToolBar* bar, QWidget* home);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QWidget*> controls() const;
    // `control` becomes the bar's one tab stop.
    void makeStop(QWidget* control);

    QToolBar* m_bar;
    QWidget* m_home;
    QPointer<QWidget> m_stop;
};

} // namespace pw::gui
