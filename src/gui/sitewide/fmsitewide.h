#pragma once

#include "catalogue/banner.h"
#include "sites/ftpclient.h"
#include "sites/setup.h"
#include "sites/sitewalk.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QTreeWidget;

namespace pw::gui {

class SiteInventoryFilter;
class SiteInventoryModel;
class SiteWideJob;

// What the whole-site dialog takes from the window.
struct SiteWideSources {
    // Clients that make their calls on the calling thread: the dialog's
    // connections run on its worker, not through the window's transfers.
    FtpClientFactory Clients;
    std::string SettingsFolder; // the runs' backups go below it
    // A copy of the banner catalogue as it stands, for one operation.
    std::function<BannerList()> Catalogue;
    // The full paths of the pages open in tabs on a setup: a run leaves them alone.
    std::function<std::vector<std::string>(const std::string& setupName)> OpenPages;
    // How many past runs of a setup to keep (0: all): older ones go after a run.
    std::function<size_t()> RunsToKeep;
    std::function<void(size_t)> SetRunsToKeep;
    // The connections a setup's walks use (1 to 8), remembered per setup.
    std::function<int(const std::string& setupName)> Jobs;
    std::function<void(const std::string& setupName, int jobs)> SetJobs;
};

// The whole-site dialog on one setup: scans every page below a folder into
// the inventory table (filtered by status and banner), replaces the changed
// blocks or removes a banner's blocks in every page (a plan first, then the
// run, then its report), and lists the past runs with their restore. Each
// operation runs on a worker thread with progress and Cancel; the window
// stays usable. Pages open in a tab of the window are left alone.
class FmSiteWide : public QDialog {
    Q_OBJECT
public:
    FmSiteWide(SiteWideSources sources, QWidget* parent);
    ~FmSiteWide() override;

    // Shows the dialog on `setup` (a copy with its password). Another setup
    // starts afresh; while an operation runs the dialog only comes forward.
    void showFor(std::unique_ptr<TSetup> setup);
    const TSetup* setup() const { return m_setup.get(); }
    bool busy() const;

    // The dialog's buttons, also reachable by tests.
    void scan();
    void updateBlocks();
    void deleteBlocks();
    void restoreRun();
    void resumeRun();
    void cancelOperation();
    // Stops the running operation and waits for its end; a run is recorded
    // as stopped, so it can be resumed.
    void stopAndWait();
    // Takes the pages open in tabs anew: a run going on leaves them alone from now on.
    void refreshOpenPages();
    // The banner catalogue changed: the inventory shown is no longer what a scan would give.
    void catalogueChanged();

    SiteInventoryModel* inventory() const { return m_model; }
    SiteInventoryFilter* filter() const { return m_filter; }

signals:
    // Open the page at `path` of the setup in a tab, line `line` selected.
    void pageRequested(const QString& setupName, const QString& path, int line);
    // An operation has ended and the dialog shows its outcome.
    void operationFinished();

protected:
    void reject() override;

private:
    enum class Operation { None, Scan, Plan, Update, RestorePlan, Restore };

    void buildWidgets();
    void setOperation(Operation operation);
    void updateButtons();
    void showProgress();
    bool start(Operation operation,
        std::function<void(const SiteProgressCallback&, const std::atomic<bool>&)> work,
        std::function<void()> done);

    void showScan(SiteScanResult scan);
    void fillFilters();
    void applyFilters();
    void openRow(const QModelIndex& index);

    // Update and delete: the plan (a dry run), the question, the run, the report.
    void plan(bool remove);
    void askPlan(const SiteUpdateOptions& update, const SiteUpdateResult& planned);
    void runUpdate(SiteUpdateOptions update);
    void reportRun(const SiteUpdateResult& result, const QString& run);

    void refreshRuns();
    void selectRun(const QString& run);
    // Asks to resume or restore a run of the setup that stopped part way.
    void offerStoppedRun();
    // Restores `run` on the worker (only a plan with dryRun), then `done`.
    void startRestore(
        Operation operation, const QString& run, bool dryRun, std::function<void(const SiteRestoreResult&)> done);
    void askRestore(const QString& run, const SiteRestoreResult& planned);
    void reportRestore(const SiteRestoreResult& result);

    QString setupName() const;
    std::string backupFolder() const;
    SiteWalkOptions walkOptions() const;

    SiteWideSources m_sources;
    std::unique_ptr<TSetup> m_setup;
    SiteWideJob* m_job = nullptr;
    Operation m_operation = Operation::None;
    std::function<void()> m_done; // what the running operation does when it ends
    bool m_scanned = false;
    // The walk of the table's scan: updates work on the same pages.
    std::string m_scanFolder;
    std::vector<std::string> m_scanEndings;
    // The pages open in tabs, read by a run's threads before each store.
    struct OpenPages {
        std::mutex mutex;
        std::set<std::string> paths;
    };
    std::shared_ptr<OpenPages> m_openPages = std::make_shared<OpenPages>();

    QLabel* m_setupLabel = nullptr; // LBSetup
    QLineEdit* m_folder = nullptr; // EDFolder
    QLineEdit* m_endings = nullptr; // EDEndings
    QSpinBox* m_jobs = nullptr; // SBJobs
    QPushButton* m_scanButton = nullptr; // BTScan
    QProgressBar* m_progress = nullptr; // PBProgress
    QLabel* m_current = nullptr; // LBCurrent
    QLabel* m_time = nullptr; // LBTime
    QPushButton* m_cancelButton = nullptr; // BTCancel
    QComboBox* m_statusFilter = nullptr; // CBStatus
    QComboBox* m_bannerFilter = nullptr; // CBBanner
    QLabel* m_summary = nullptr; // LBSummary
    QLabel* m_stale = nullptr; // LBStale
    QTableView* m_table = nullptr; // TVInventory
    QPushButton* m_updateButton = nullptr; // BTUpdate
    QPushButton* m_deleteButton = nullptr; // BTDelete
    QTreeWidget* m_runs = nullptr; // LVRuns
    QPushButton* m_restoreButton = nullptr; // BTRestore
    QPushButton* m_resumeButton = nullptr; // BTResume
    QSpinBox* m_keepRuns = nullptr; // SBKeepRuns
    QPushButton* m_closeButton = nullptr; // BTClose
    SiteInventoryModel* m_model = nullptr;
    SiteInventoryFilter* m_filter = nullptr;
};

} // namespace pw::gui
