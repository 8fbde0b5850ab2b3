#include "gui/reports/reportfolders.h"

#include "gui/common/datatext.h"
#include "settings/inilist.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace pw::gui {

namespace {

constexpr std::string_view kSection = "Reports";
constexpr std::string_view kLastFolder = "LastFolder";

bool SameFolder(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

} // namespace

ReportFolders::ReportFolders(TIniList& settings, QString settingsFolder)
    : m_settings(settings)
    , m_settingsFolder(std::move(settingsFolder))
    , m_open([](QWidget* parent, const QString& title, const QString& start, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, start, filter);
    })
    , m_save([](QWidget* parent, const QString& title, const QString& start, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, title, start, filter);
    })
{
}

void ReportFolders::setChoosers(Chooser open, Chooser save)
{
    m_open = std::move(open);
    m_save = std::move(save);
}

QString ReportFolders::startFolder() const
{
    const QString last = FromData(m_settings.ReadString(kSection, kLastFolder, ""));
    if (!last.isEmpty() && QFileInfo(last).isDir() && !SameFolder(last, m_settingsFolder))
        return last;
    return QDir::homePath();
}

void ReportFolders::remember(const QString& chosen)
{
    const QString folder = QFileInfo(chosen).absolutePath();
    // A name with a line break would not stay one line of the settings file.
    for (const QChar c : folder)
        if (c.category() == QChar::Other_Control)
            return;
    m_settings.WriteString(kSection, kLastFolder, ToData(folder));
}

QString ReportFolders::chooseOpen(QWidget* parent, const QString& title, const QString& filter)
{
    const QString chosen = m_open(parent, title, startFolder(), filter);
    if (!chosen.isEmpty())
        remember(chosen);
    return chosen;
}

QString ReportFolders::chooseSave(
    QWidget* parent, const QString& title, const QString& fileName, const QString& filter)
{
    const QString chosen = m_save(parent, title, QDir(startFolder()).filePath(fileName), filter);
    if (!chosen.isEmpty())
        remember(chosen);
    return chosen;
}

} // namespace pw::gui
