// The window program: creates the main window and its dialogs, runs the
// start-up sequence, shows the window and runs until it closes.

#include "net/curlftpclient.h"
#include "gui/mainwindow.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick(V1.1)"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pagewick(V1.1)"));
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(12);
        QApplication::setFont(font);
    }

    const QString settingsFolder =
        QString::fromStdString(pw::SettingsFolder(QCoreApplication::applicationDirPath().toStdString()));
    QString scratchFolder = QDir::tempPath();
    if (scratchFolder.isEmpty())
        scratchFolder = QCoreApplication::applicationDirPath();

    pw::gui::TMainForm form(settingsFolder, scratchFolder, pw::net::CurlFtpClientFactory());
    form.createDialogs();
    form.startUp();
    if (form.quitRequested())
        return 1;
    form.show();
    const int code = QApplication::exec();
    form.shutDown();
    return code;
}
