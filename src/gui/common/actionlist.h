#pragma once

#include <QAction>
#include <QList>
#include <QObject>
#include <QString>

namespace pw::gui {

// The main window's commands, in a fixed order, found by objectName.
//
// Two actions may share a key (AddRotation and RefreshDir both use Ctrl+R).
// When both are enabled, the key triggers the first enabled action in list
// order rather than being dropped as ambiguous.
class ActionList : public QObject {
    Q_OBJECT
public:
    explicit ActionList(QObject* parent = nullptr);

    QAction* action(const QString& name) const;
    const QList<QAction*>& actions() const { return m_actions; }

    // A menu item linked to an action: its own objectName, the action's caption,
    // hint, icon, shortcut text and enabled state, and a click triggers the action.
    static QAction* linkedItem(QAction* source, const QString& objectName, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* add(const char* name, const char* category, const QString& caption, const QKeySequence& shortcut,
        const QString& hint);

    QList<QAction*> m_actions;
};

// Splits a hint "short|long" into the tool tip and the status bar text.
void ApplyHint(QAction* action, const QString& hint);

// A caption without its mnemonic: "保存(&S)" gives "保存", "&Copy" "Copy".
QString PlainCaption(QString caption);

} // namespace pw::gui
