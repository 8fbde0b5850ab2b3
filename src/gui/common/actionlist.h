#pragma once

#include "shell/commands.h"

#include <QAction>
#include <QList>
#include <QObject>
#include <QString>

namespace pw::gui {

// The main window's commands that are actions, in a fixed order, found by
// their command.
//
// Two actions may share a key (AddRotation and RefreshDir both use Ctrl+R).
// When both are enabled, the key triggers the first enabled action in list
// order rather than being dropped as ambiguous.
class ActionList : public QObject {
    Q_OBJECT
public:
    explicit ActionList(QObject* parent = nullptr);

    // Null for a command that is a widget of the window rather than an action.
    QAction* action(Command command) const { return m_byCommand[CommandIndex(command)]; }
    // By object name, for tests and tables that also name widgets.
    QAction* actionNamed(const QString& name) const;
    const QList<QAction*>& actions() const { return m_actions; }

    // A menu item linked to an action: its own objectName, the action's caption,
    // hint, icon, shortcut text and enabled state, and a click triggers the action.
    static QAction* linkedItem(QAction* source, const QString& objectName, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* add(Command command, const char* category, const QString& caption, const QKeySequence& shortcut,
        const QString& hint);

    QList<QAction*> m_actions;
    std::array<QAction*, kCommandCount> m_byCommand {};
};

// The object name of a command's action or widget.
inline QString CommandObjectName(Command command)
{
    const std::string_view name = CommandName(command);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// Splits a hint "short|long" into the tool tip and the status bar text.
void ApplyHint(QAction* action, const QString& hint);

// A caption without its mnemonic: "保存(&S)" gives "保存", "&Copy" "Copy".
QString PlainCaption(QString caption);

} // namespace pw::gui
