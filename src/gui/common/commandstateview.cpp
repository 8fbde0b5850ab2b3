#include "gui/common/commandstateview.h"

#include <QAction>
#include <QComboBox>
#include <QWidget>

namespace pw::gui {

QStringList ApplyCommandState(QObject* root, const CommandState& state)
{
    QStringList missing;
    for (const auto& [name, enabled] : state.Enabled) {
        const QString objectName = QString::fromStdString(name);
        bool found = false;
        for (QObject* object : root->findChildren<QObject*>(objectName)) {
            if (auto* action = qobject_cast<QAction*>(object)) {
                action->setEnabled(enabled);
                found = true;
            } else if (auto* widget = qobject_cast<QWidget*>(object)) {
                widget->setEnabled(enabled);
                found = true;
            }
        }
        if (!found)
            missing << objectName;
    }
    if (state.SelectSetup >= 0) {
        if (auto* setups = root->findChild<QComboBox*>(QStringLiteral("CBSetups"));
            setups && state.SelectSetup < setups->count() && setups->currentIndex() != state.SelectSetup)
            setups->setCurrentIndex(state.SelectSetup);
    }
    return missing;
}

} // namespace pw::gui
