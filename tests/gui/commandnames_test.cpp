// Every command is named by the object name of its action or widget; the
// window applies the command state through those names and skips a name it
// does not find. Every command must therefore have its object in the window,
// and the action list's commands must be found by their command.

#include "gui/common/actionlist.h"
#include "gui/mainwindow.h"
#include "net/curlftpclient.h"
// moc cannot read the <compare> header that the node kinds pull in.
#ifndef Q_MOC_RUN
#include "shell/commandstate.h"
#endif

#include <QAction>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace pw;
using namespace pw::gui;

class CommandNamesTest : public QObject {
    Q_OBJECT

private slots:
    void everyCommandHasAnActionOrWidgetInTheWindow()
    {
        QTemporaryDir dir;
        TMainForm form(dir.path(), dir.path(), net::CurlFtpClientFactory());
        QStringList missing;
        for (const Command command : AllCommands()) {
            const QString objectName = CommandObjectName(command);
            bool found = false;
            for (QObject* object : form.findChildren<QObject*>(objectName))
                found = found || qobject_cast<QAction*>(object) || qobject_cast<QWidget*>(object);
            if (!found)
                missing << objectName;
        }
        QCOMPARE(missing, QStringList());
    }

    // Looked up by command or by name, an action is the same object.
    void actionsAreFoundByCommandAndByName()
    {
        ActionList list;
        QVERIFY(!list.actions().isEmpty());
        for (QAction* action : list.actions()) {
            const auto command = CommandByName(action->objectName().toStdString());
            QVERIFY2(command.has_value(), qPrintable(action->objectName()));
            QCOMPARE(list.action(*command), action);
            QCOMPARE(list.actionNamed(action->objectName()), action);
        }
        QCOMPARE(list.action(Command::TBConnect), nullptr); // a tool button, not an action
        QCOMPARE(list.actionNamed(QStringLiteral("NoSuchCommand")), nullptr);
    }
};

QTEST_MAIN(CommandNamesTest)
#include "commandnames_test.moc"
