// The window program: creates the main window and its dialogs, runs the
// start-up sequence, shows the window and runs until it closes.

#include "gui/common/browserwindow.h"
#include "gui/common/qttexts.h"
#include "gui/common/terminationwatch.h"
#include "gui/mainwindow.h"
#include "net/curlftpclient.h"
#include "pagewick_version.h"
#include "settings/settingsfolder.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    // The window holds site and network passwords in plain memory: a crash
    // must not leave them in a core file, nor may another process of the same
    // user attach to read them.
    const struct rlimit noCore {
        0, 0
    };
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    // Answered before Qt starts, so that they work without a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pagewick %s\n", pw::kVersion.data());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: pagewick [--version] [--help] [Qt options]\n"
                        "Starts the Pagewick window. Settings live in $XDG_CONFIG_HOME/pagewick\n"
                        "(default ~/.config/pagewick), or beside the program when a Pagewick.ini\n"
                        "stands there. See pagewick(1).\n");
            return 0;
        }
    }

    QApplication app(argc, argv);
    // The name is the window class the desktop entry matches (StartupWMClass).
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pagewick(V1.1)"));
    QApplication::setApplicationVersion(QString::fromLatin1(pw::kVersion.data(), pw::kVersion.size()));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pagewick.Pagewick"));
    if (!pw::gui::InstallJapaneseQtTexts(app))
        std::fprintf(stderr, "pagewick: Qt's Japanese texts (qtbase_ja.qm) are not installed\n");
    // The desktop's font, unless it cannot show Japanese.
    if (!QFontDatabase::writingSystems(QApplication::font().family()).contains(QFontDatabase::Japanese)
        && QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        QFont font(QStringLiteral("IPAGothic"));
        font.setPointSizeF(QApplication::font().pointSizeF());
        QApplication::setFont(font);
    }

    // $XDG_CONFIG_HOME/pagewick, or the program's folder in portable mode.
    pw::SettingsPlace place;
    std::string scratch;
    pw::Status ready = pw::ResolveSettingsFolder(QCoreApplication::applicationDirPath().toStdString(), place);
    if (ready)
        ready = pw::PrepareScratchFolder(place.folder, scratch);
    if (!ready) {
        std::fprintf(stderr, "pagewick: %s\n", ready.error.c_str());
        QMessageBox::critical(
            nullptr, QApplication::applicationDisplayName(), QString::fromStdString(ready.error));
        return 1;
    }
    if (!place.notice.empty()) {
        std::fprintf(stderr, "pagewick: %s\n", place.notice.c_str());
        QMessageBox::warning(
            nullptr, QApplication::applicationDisplayName(), QString::fromStdString(place.notice));
    }
    const QString settingsFolder = QString::fromStdString(place.folder);
    const QString scratchFolder = QString::fromStdString(scratch);

    pw::gui::TMainForm form(settingsFolder, scratchFolder, pw::net::CurlFtpClientFactory());
    form.startUp();
    if (form.quitRequested())
        return 1;
    form.show();
    // A signal or the end of the desktop session ends the program as its
    // user would, without questions: modified pages are kept for the next start.
    pw::gui::TerminationWatch watch;
    const auto endNow = [&form] {
        form.endWithoutQuestions();
        QApplication::exit(0);
    };
    QObject::connect(&watch, &pw::gui::TerminationWatch::terminationRequested, &form, endNow);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, endNow);
    const int code = QApplication::exec();
    form.shutDown();
    // Browser windows still open (closed, but not yet deleted, as the loop
    // ended) go before the application, which takes the web engine with it.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<pw::gui::BrowserWindow*>(window))
            delete window;
    return code;
}
