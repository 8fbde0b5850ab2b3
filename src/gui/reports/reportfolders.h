#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace pw {
class TIniList;
}

namespace pw::gui {

// Where the reports area's file choosers start: the folder a report was last
// taken from or a chart last saved to, else the home folder. Never the
// settings folder: it holds the history and the passwords, and a chooser
// left to itself starts in the working folder, which in portable mode is that
// one. The folder is remembered in Pagewick.ini.
class ReportFolders {
public:
    // (parent, title, start path, filter) -> the path chosen, empty for none.
    using Chooser = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    ReportFolders(TIniList& settings, QString settingsFolder);

    // A report to read; a file to write, offered as `fileName` in the folder.
    QString chooseOpen(QWidget* parent, const QString& title, const QString& filter);
    QString chooseSave(QWidget* parent, const QString& title, const QString& fileName, const QString& filter);

    // The folder the next chooser starts in.
    QString startFolder() const;

    // Seams for window tests, in place of Qt's file dialogs.
    void setChoosers(Chooser open, Chooser save);

private:
    void remember(const QString& chosen);

    TIniList& m_settings;
    QString m_settingsFolder;
    Chooser m_open;
    Chooser m_save;
};

} // namespace pw::gui
