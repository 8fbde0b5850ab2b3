// The command state names every command by the object name of its action or
// widget; the window applies the state by those names and skips a name it
// does not find. Every name must therefore have its object in the window.

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
        for (const std::string_view name : CommandNames()) {
            const QString objectName = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
            bool found = false;
            for (QObject* object : form.findChildren<QObject*>(objectName))
                found = found || qobject_cast<QAction*>(object) || qobject_cast<QWidget*>(object);
            if (!found)
                missing << objectName;
        }
        QCOMPARE(missing, QStringList());
    }
};

QTEST_MAIN(CommandNamesTest)
#include "commandnames_test.moc"
