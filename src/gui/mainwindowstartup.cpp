// The main window's run: the start-up sequence (scratch folder, settings
// files, general settings, the areas' records, the online services), the
// offer of pages kept by an earlier run, and the exit writes.

#include "base/files.h"
#include "gui/banners/bannersarea.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/documents/documentsarea.h"
#include "gui/mainwindow.h"
#include "gui/networks/networksarea.h"
#include "gui/options/optionsarea.h"
#include "gui/sites/sitesarea.h"
#include "gui/workspace.h"
#include "settings/settingsfile.h"
#include "sites/recovery.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

#include <chrono>

namespace pw::gui {

namespace {

// Milliseconds since the system started, as a 32-bit tick count.
std::uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

bool TMainForm::loadSettingsFiles()
{
    const std::string folder = m_settingsFolder.toStdString();
    bool ok = true;
    const std::pair<TIniList*, std::string_view> files[] = { { &m_workspace->IniListSetup, kMainSettingsFile },
        { &m_workspace->IniListAd, kBannerFile }, { &m_workspace->IniListSiteInfo, kProfileFile } };
    for (const auto& [store, name] : files) {
        SettingsLoadReport report;
        const Status loaded = LoadSettingsFile(*store, folder, name, &report);
        if (!loaded) {
            ShowMessage(this, MessageType::Error, ErrorText(loaded));
            ok = false;
        } else if (report.Damaged) {
            ShowMessage(this, MessageType::Warning,
                QStringLiteral("設定ファイル[%1]が壊れています。%2バイト中%3バイト目までしか読めませんでした。"
                               "元のファイルは[%4]に保存しました。")
                    .arg(QString::fromStdString(JoinPath(folder, name)))
                    .arg(report.FileBytes)
                    .arg(report.LoadedBytes)
                    .arg(QString::fromStdString(report.DamagedCopy)));
        }
    }
    return ok;
}

void TMainForm::startUp()
{
    if (m_startedUp)
        return;
    m_startedUp = true;

    // The private scratch folder with its three files (stale folders of a
    // crashed run go first); the transfer buffer lives in the workspace.
    if (const Status made = m_workspace->Scratch.Create(m_scratchFolder.toStdString(), TickCount()); !made) {
        ShowMessage(this, MessageType::Error, ErrorText(made));
        m_quitRequested = true;
    }
    m_workspace->ScratchFiles = m_workspace->Scratch.Files();

    // The three settings files, in this order.
    if (!loadSettingsFiles())
        m_quitRequested = true;
    m_options->loadOptions();
    if (!m_quitRequested)
        m_options->settlePasswordPlace();

    // The window takes the screen's work area, without being maximised.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    // General settings: the definitions' version, the check items, panes and sizes.
    GeneralSettings designed;
    designed.TreeWidth = 217;
    designed.TreeHeight = 146;
    designed.PreviewWidth = 127;
    const int setupCount = m_workspace->IniListSetup.ReadInteger("Setups", "Count", 0);
    m_startSettings = ReadGeneralSettings(m_workspace->IniListSetup, designed, setupCount);
    applyGeneralSettings(m_startSettings);

    // Site setups, profiles and networks, then the catalogue.
    m_sites->loadSetups();
    m_networks->loadProfilesAndNetworks();
    m_networks->showServiceAddress(m_options->serviceUrl());
    m_banners->loadBanners(m_startSettings.LastAdIndex, m_startSettings.SortColumn);
    updateCommandState();
    if (!m_quitRequested)
        m_options->startOnlineServices();
}

void TMainForm::applyGeneralSettings(const GeneralSettings& s)
{
    m_workspace->NetworkVersion = s.NetworkVersion;
    m_banners->widgets().monitorItem->setChecked(s.ClipMonitor);
    m_options->widgets().adItem->setChecked(s.Ad);
    m_options->setAdPanelVisible(s.Ad);
    m_banners->rememberPreviewWidth(s.PreviewWidth);
    m_banners->widgets().previewItem->setChecked(s.PreviewAd);
    m_banners->setPreviewVisible(s.PreviewAd);
    m_sites->widgets().tree->resize(s.TreeWidth, s.TreeHeight);
    m_previewPanel->resize(s.PreviewWidth, m_previewPanel->height());
    m_documents->setAdTreeWidth(s.AdTreeWidth);
    m_paneSizesApplied = false;
    if (isVisible())
        applyPaneSizes();
}

GeneralSettings TMainForm::collectGeneralSettings() const
{
    GeneralSettings s = m_startSettings;
    s.ClipMonitor = m_banners->widgets().monitorItem->isChecked();
    s.Ad = m_options->widgets().adItem->isChecked();
    s.PreviewAd = m_banners->widgets().previewItem->isChecked();
    s.DefautIndex = m_sites->widgets().setups->currentIndex();
    s.TreeWidth = m_sites->widgets().tree->width();
    s.TreeHeight = m_sites->widgets().tree->height();
    s.PreviewWidth = m_banners->previewWidth();
    s.AdTreeWidth = m_documents->adTreeWidth();
    const QHeaderView* sort = m_banners->widgets().list->header();
    if (sort->sortIndicatorSection() >= 0)
        s.SortColumn
            = SortColumnValue(sort->sortIndicatorSection(), sort->sortIndicatorOrder() == Qt::DescendingOrder);
    const TAdBanner* selected = m_workspace->Banners.SelectedBanner();
    s.LastAdIndex = selected ? selected->Number : 0;
    return s;
}

std::string TMainForm::recoveryFolder() const
{
    return JoinPath(m_settingsFolder.toStdString(), "recovery");
}

void TMainForm::endWithoutQuestions()
{
    if (m_shutDown || !m_startedUp)
        return;
    if (const Status kept = SaveRecoveryCopies(recoveryFolder(), m_documents->recoveryCopies()); !kept)
        qWarning("pagewick: modified pages could not be kept: %s", kept.error.c_str());
    shutDown();
}

void TMainForm::offerRecovery()
{
    const std::vector<RecoveryCopy> copies = LoadRecoveryCopies(recoveryFolder());
    if (copies.empty())
        return;
    QString list;
    for (const RecoveryCopy& copy : copies)
        list += FromData(copy.SetupName) + QStringLiteral(": ") + FromData(copy.Path) + QLatin1Char('\n');
    const auto answer = ShowMessage(this, MessageType::Confirmation,
        QStringLiteral("前回の終了時に保存されていなかったページがあります。\n\n") + list
            + QStringLiteral("\nこれらのページを開き直しますか？（「いいえ」で破棄します）"),
        QMessageBox::Yes | QMessageBox::No);
    std::vector<RecoveryCopy> notOpened;
    if (answer == QMessageBox::Yes) {
        for (const RecoveryCopy& copy : copies) {
            TFileNode* file = m_sites->findFile(copy.SetupName, copy.Path);
            if (file && m_documents->openDocument(*file))
                m_documents->restoreText(*file, copy.Bytes);
            else
                notOpened.push_back(copy);
        }
    }
    ClearRecoveryCopies(recoveryFolder());
    if (!notOpened.empty()) {
        // Kept for the next start: the site may be reachable then.
        SaveRecoveryCopies(recoveryFolder(), notOpened);
        ShowMessage(this, MessageType::Warning,
            QStringLiteral("開けなかったページは次回の起動時にもう一度お尋ねします。"));
    }
    updateCommandState();
}

void TMainForm::shutDown()
{
    if (m_shutDown || !m_startedUp)
        return;
    m_shutDown = true;

    m_workspace->Scratch.Remove();

    // A start-up that could not create its settings files writes nothing back.
    if (m_quitRequested)
        return;

    WriteGeneralSettings(m_workspace->IniListSetup, collectGeneralSettings(),
        m_banners->widgets().list->header()->sortIndicatorSection() >= 0);
    m_sites->storeSetups();
    const Status saved
        = SaveSettingsFile(m_workspace->IniListSetup, m_settingsFolder.toStdString(), kMainSettingsFile);
    if (!saved)
        ShowMessage(this, MessageType::Error, ErrorText(saved));
}

} // namespace pw::gui
