// The window program: creates the main window and its dialogs, runs the
// start-up sequence, shows the window and runs until it closes.

#include "gui/mainwindow.h"
#include "pagewick_version.h"
#include "settings/settingsfolder.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
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
    QApplication::setApplicationName(QStringLiteral("Pagewick(V1.1)"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pagewick(V1.1)"));
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(12);
        QApplication::setFont(font);
    }

    // The window reports a settings folder it cannot use when it loads the files.
    pw::SettingsPlace place;
    if (pw::Status resolved = pw::ResolveSettingsFolder(QCoreApplication::applicationDirPath().toStdString(), place);
        !resolved)
        std::fprintf(stderr, "pagewick: %s\n", resolved.error.c_str());
    const QString settingsFolder = QString::fromStdString(place.folder);
    std::string scratch;
    if (!place.folder.empty())
        if (pw::Status prepared = pw::PrepareScratchFolder(place.folder, scratch); !prepared)
            std::fprintf(stderr, "pagewick: %s\n", prepared.error.c_str());
    const QString scratchFolder = scratch.empty() ? QDir::tempPath() : QString::fromStdString(scratch);

    pw::gui::TMainForm form(settingsFolder, scratchFolder);
    form.createDialogs();
    form.startUp();
    if (form.quitRequested())
        return 1;
    form.show();
    const int code = QApplication::exec();
    form.shutDown();
    return code;
}
