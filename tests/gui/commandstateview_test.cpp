// The command state applied to the real main window: every command the state
// covers has its action or widget there, and menu items and tool buttons bound
// to an action follow it.

#include "gui/mainwindow.h"
// moc cannot read the <compare> header that the node kinds pull in.
#ifndef Q_MOC_RUN
#include "gui/common/commandstateview.h"
#endif

#include <QAction>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace pw;
using namespace pw::gui;

class CommandStateViewTest : public QObject {
    Q_OBJECT

private slots:
    void everyCommandHasAnObjectInTheWindow()
    {
        QTemporaryDir dir;
        TMainForm form(dir.path(), dir.path());
        CommandState all;
        for (const std::string_view name : CommandNames())
            all.Enabled.emplace(name, true);
        QCOMPARE(ApplyCommandState(&form, all), QStringList());
    }

    void flagsReachActionsWidgetsAndLinkedItems()
    {
        QTemporaryDir dir;
        TMainForm form(dir.path(), dir.path());
        CommandFacts facts;
        facts.SetupCount = 1;
        facts.SelectedSetup = 0;
        facts.FolderSelected = true;
        facts.FileSelected = true;
        facts.SelectedFileKind = nkArchive;
        const CommandState state = ComputeCommandState(facts);
        QCOMPARE(ApplyCommandState(&form, state), QStringList());
        for (const auto& [name, enabled] : state.Enabled) {
            const QList<QObject*> objects = form.findChildren<QObject*>(QString::fromStdString(name));
            for (QObject* object : objects) {
                if (auto* action = qobject_cast<QAction*>(object))
                    QVERIFY2(action->isEnabled() == enabled, name.c_str());
                else if (auto* widget = qobject_cast<QWidget*>(object))
                    QVERIFY2(widget->isEnabled() == enabled, name.c_str());
            }
        }
        // Items and buttons bound to an action, by the action they show.
        const struct {
            const char* name;
            bool enabled;
        } bound[] = {
            { "MIRefresh", true },
            { "TBRefresh", true },
            { "MIOpen", false },
            { "TBOpen", false },
            { "MISave", false },
            { "TBSave", false },
            { "MIAddNormal", true },
            { "MIReplaceAd1", false },
            { "TBEdit", false },
            { "MIDeleteAd", false },
        };
        for (const auto& b : bound) {
            QObject* object = form.findChild<QObject*>(QLatin1String(b.name));
            QVERIFY2(object, b.name);
            const bool enabled = qobject_cast<QAction*>(object) ? qobject_cast<QAction*>(object)->isEnabled()
                                                                : qobject_cast<QWidget*>(object)->isEnabled();
            QVERIFY2(enabled == b.enabled, b.name);
        }
    }

    void siteSelectorMovesToTheEntryTheStateSelects()
    {
        QTemporaryDir dir;
        TMainForm form(dir.path(), dir.path());
        auto* setups = form.findChild<QComboBox*>(QStringLiteral("CBSetups"));
        QVERIFY(setups);
        setups->clear();
        setups->addItems({ QStringLiteral("a"), QStringLiteral("b") });
        setups->setCurrentIndex(-1);
        CommandFacts facts;
        facts.SetupCount = setups->count();
        facts.SelectedSetup = setups->currentIndex();
        ApplyCommandState(&form, ComputeCommandState(facts));
        QCOMPARE(setups->currentIndex(), 0);
        QVERIFY(form.findChild<QToolButton*>(QStringLiteral("TBConnect"))->isEnabled());
    }
};

QTEST_MAIN(CommandStateViewTest)
#include "commandstateview_test.moc"
