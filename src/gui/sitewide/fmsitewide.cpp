#include "gui/sitewide/fmsitewide.h"

#include "base/files.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/documents/adtreemodel.h"
#include "gui/sitewide/siteinventorymodel.h"
#include "gui/sitewide/sitewidejob.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>

namespace pw::gui {

namespace {

const QString kTitle = QStringLiteral("サイト全体の広告");
const QString kDefaultEndings = QStringLiteral(".html,.htm,.shtml,.php");
const QString kLeftOpen = QStringLiteral("タブで開いているため変更しません");

// The order of the status filter: what needs work first.
constexpr TAdNodeStatus kStatusOrder[] = { nsChanged, nsUnlisted, nsMatched, nsRotation };

QString ElapsedText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// "20261211-061502" → "2026/12/11 06:15:02".
QString RunDateText(const QString& run)
{
    if (run.size() != 15)
        return run;
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(run.mid(0, 4), run.mid(4, 2), run.mid(6, 2), run.mid(9, 2), run.mid(11, 2), run.mid(13, 2));
}

QString RunStateText(SiteRunState state)
{
    switch (state) {
    case SiteRunState::Complete:
        return QStringLiteral("完了");
    case SiteRunState::Stopped:
        return QStringLiteral("中断");
    case SiteRunState::Restored:
        return QStringLiteral("元に戻した");
    }
    return {};
}

// "39 / 103" where the run's plan counted its pages, else "39".
QString RunPagesText(const SiteRun& run)
{
    return run.Planned > 0 ? QStringLiteral("%1 / %2").arg(run.Pages).arg(run.Planned)
                           : QString::number(run.Pages);
}

// The reasons the window knows in its own words; a server's or the system's
// error as it came.
QString ProblemText(const SiteProblem& problem)
{
    switch (problem.Kind) {
    case SiteProblemKind::MarkersNeedRepair:
        return QStringLiteral("広告の目印に修復が必要なため変更しません (タブで開いて直してください)");
    case SiteProblemKind::ChangedOnServer:
        return QStringLiteral("読み込んだ後にサーバー上で変更されたため変更しません");
    case SiteProblemKind::ChangedSinceRun:
        return QStringLiteral("この実行の後に変更されたため戻しません");
    case SiteProblemKind::UnsafeName:
        return QStringLiteral("名前に制御文字などがあり安全に扱えないため読みません");
    case SiteProblemKind::WalkBound:
        return QStringLiteral("フォルダ・ページが多すぎるか深すぎるため、ここから先は読みません");
    case SiteProblemKind::PageTooLarge:
        return QStringLiteral("ページが大きすぎる（%1 MB 超）ため読みません").arg(kMaxSitePageBytes >> 20);
    case SiteProblemKind::RunBusy:
        return QStringLiteral("このサイトの別の実行が進行中です。終わってからもう一度実行してください");
    case SiteProblemKind::JournalUnreadable:
        return QStringLiteral("実行の記録（ジャーナル）がないか壊れているため、この実行には何もしません");
    case SiteProblemKind::OutsideSetup:
        return QStringLiteral("実行の記録がサイトのフォルダの外を指しているため、この実行には何もしません");
    case SiteProblemKind::BackupFailed:
        return QStringLiteral("変更前の内容を保存できなかったため変更しません (%1)").arg(FromData(problem.Error));
    case SiteProblemKind::Other:
        break;
    }
    return FromData(problem.Error);
}

// Blocks replaced and removed over the pages of a run.
std::pair<int, int> BlockTotals(const std::vector<SitePageChange>& pages)
{
    int replaced = 0;
    int removed = 0;
    for (const SitePageChange& page : pages) {
        replaced += page.Replaced;
        removed += page.Removed;
    }
    return { replaced, removed };
}

// The pages left alone because a tab shows them, one a line.
QString SkippedLines(const std::vector<std::string>& paths)
{
    QStringList lines;
    for (const std::string& path : paths)
        lines << FromData(path) + QStringLiteral(": ") + kLeftOpen;
    return lines.join(QLatin1Char('\n'));
}

QString ProblemLines(const std::vector<SiteProblem>& problems)
{
    QStringList lines;
    for (const SiteProblem& problem : problems)
        lines << FromData(problem.Path) + QStringLiteral(": ") + ProblemText(problem);
    return lines.join(QLatin1Char('\n'));
}

QString JoinBlocks(const QStringList& blocks)
{
    QStringList kept;
    for (const QString& block : blocks)
        if (!block.isEmpty())
            kept << block;
    return kept.join(QStringLiteral("\n\n"));
}

} // namespace

FmSiteWide::FmSiteWide(SiteWideSources sources, QWidget* parent)
    : QDialog(parent)
    , m_sources(std::move(sources))
    , m_job(new SiteWideJob(this))
{
    setObjectName(QStringLiteral("FmSiteWide"));
    setWindowTitle(kTitle);
    // The window stays usable while the dialog walks a site.
    setWindowModality(Qt::NonModal);
    setSizeGripEnabled(true);
    buildWidgets();
    connect(m_job, &SiteWideJob::progressed, this, &FmSiteWide::showProgress);
    connect(m_job, &SiteWideJob::finished, this, [this] {
        std::function<void()> done = std::move(m_done);
        m_done = nullptr;
        // The last state the work reported: the bar ends where the work did.
        showProgress();
        setOperation(Operation::None);
        if (done)
            done();
        // An update or restore ends with a new scan: the outcome is shown once that ends.
        if (!busy())
            emit operationFinished();
    });
    updateButtons();
}

FmSiteWide::~FmSiteWide()
{
    // The worker uses this dialog's job: it ends before the widgets go.
    m_job->cancelAndWait();
}

void FmSiteWide::buildWidgets()
{
    auto* layout = new QVBoxLayout(this);

    // What to walk.
    auto* walk = new QFormLayout;
    walk->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_setupLabel = new QLabel;
    m_setupLabel->setObjectName(QStringLiteral("LBSetup"));
    m_setupLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    walk->addRow(QStringLiteral("サイト:"), m_setupLabel);
    m_folder = new QLineEdit;
    m_folder->setObjectName(QStringLiteral("EDFolder"));
    m_folder->setAccessibleName(QStringLiteral("スキャンするフォルダ"));
    m_folder->setToolTip(QStringLiteral("このフォルダとその下のすべてのフォルダのページをスキャンします"));
    walk->addRow(QStringLiteral("フォルダ(&F):"), m_folder);
    auto* endingsRow = new QHBoxLayout;
    m_endings = new QLineEdit(kDefaultEndings);
    m_endings->setObjectName(QStringLiteral("EDEndings"));
    m_endings->setAccessibleName(QStringLiteral("ページの拡張子"));
    m_endings->setToolTip(
        QStringLiteral("ページとして読むファイル名の終わり（カンマ区切り、大文字小文字を区別しない）"));
    m_jobs = new QSpinBox;
    m_jobs->setObjectName(QStringLiteral("SBJobs"));
    m_jobs->setAccessibleName(QStringLiteral("接続数"));
    m_jobs->setRange(1, 8);
    m_jobs->setValue(4);
    m_jobs->setToolTip(
        QStringLiteral("同時に使う接続の数（1〜8）。サーバーが受け付ける数より多いと、受け付けた数で動きます"));
    auto* jobsLabel = new QLabel(QStringLiteral("接続数(&J):"));
    jobsLabel->setBuddy(m_jobs);
    m_scanButton = new QPushButton(QStringLiteral("スキャン(&S)"));
    m_scanButton->setObjectName(QStringLiteral("BTScan"));
    m_scanButton->setDefault(true);
    endingsRow->addWidget(m_endings, 1);
    endingsRow->addWidget(jobsLabel);
    endingsRow->addWidget(m_jobs);
    endingsRow->addWidget(m_scanButton);
    // A row of two widgets takes no buddy by itself: the label's key goes to the field.
    auto* endingsLabel = new QLabel(QStringLiteral("ページの拡張子(&E):"));
    endingsLabel->setBuddy(m_endings);
    walk->addRow(endingsLabel, endingsRow);
    layout->addLayout(walk);

    // Progress of the running operation.
    auto* progressRow = new QHBoxLayout;
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("PBProgress"));
    m_progress->setAccessibleName(QStringLiteral("進み具合"));
    m_progress->setFormat(QStringLiteral("%v / %m ページ"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false); // no "0 / 1" before anything ran
    m_progress->setMinimumWidth(200);
    m_time = new QLabel;
    m_time->setObjectName(QStringLiteral("LBTime"));
    m_time->setMinimumWidth(m_time->fontMetrics().horizontalAdvance(QStringLiteral("経過 00:00")) + 4);
    m_cancelButton = new QPushButton(QStringLiteral("キャンセル"));
    m_cancelButton->setObjectName(QStringLiteral("BTCancel"));
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_time);
    progressRow->addWidget(m_cancelButton);
    layout->addLayout(progressRow);
    m_current = new QLabel;
    m_current->setObjectName(QStringLiteral("LBCurrent"));
    // No fixed name: a screen reader hears the page or the result it shows.
    m_current->setAccessibleDescription(QStringLiteral("読んでいるページと結果"));
    m_current->setMinimumWidth(100);
    m_current->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_current);

    // The inventory with its filters.
    auto* filters = new QHBoxLayout;
    m_statusFilter = new QComboBox;
    m_statusFilter->setObjectName(QStringLiteral("CBStatus"));
    m_statusFilter->setAccessibleName(QStringLiteral("状態で絞り込む"));
    m_statusFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_bannerFilter = new QComboBox;
    m_bannerFilter->setObjectName(QStringLiteral("CBBanner"));
    m_bannerFilter->setAccessibleName(QStringLiteral("広告で絞り込む"));
    m_bannerFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_bannerFilter->setMinimumContentsLength(16);
    m_bannerFilter->setMaxVisibleItems(20);
    auto* statusLabel = new QLabel(QStringLiteral("状態(&T):"));
    statusLabel->setBuddy(m_statusFilter);
    auto* bannerLabel = new QLabel(QStringLiteral("広告(&A):"));
    bannerLabel->setBuddy(m_bannerFilter);
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("LBSummary"));
    m_stale = new QLabel;
    m_stale->setObjectName(QStringLiteral("LBStale"));
    m_stale->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_stale->hide();
    filters->addWidget(statusLabel);
    filters->addWidget(m_statusFilter);
    filters->addSpacing(8);
    filters->addWidget(bannerLabel);
    filters->addWidget(m_bannerFilter);
    filters->addStretch(1);
    filters->addWidget(m_stale);
    filters->addWidget(m_summary);
    layout->addLayout(filters);

    m_model = new SiteInventoryModel(this);
    m_filter = new SiteInventoryFilter(this);
    m_filter->setSourceModel(m_model);
    m_filter->setSortRole(Qt::DisplayRole);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("TVInventory"));
    m_table->setAccessibleName(QStringLiteral("サイトの広告の一覧"));
    m_table->setModel(m_filter);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(SiteInventoryModel::PageColumn, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setToolTip(QStringLiteral("ダブルクリックでページをタブで開きます"));
    // Widths from the texts the columns hold: measuring 100,000 rows would take seconds.
    QHeaderView* header = m_table->horizontalHeader();
    const QFontMetrics metrics = m_table->fontMetrics();
    int statusWidth = 0;
    for (const TAdNodeStatus status : kStatusOrder)
        statusWidth = std::max(statusWidth, metrics.horizontalAdvance(SiteInventoryModel::statusText(status)));
    header->setSectionResizeMode(SiteInventoryModel::PageColumn, QHeaderView::Stretch);
    header->resizeSection(
        SiteInventoryModel::LineColumn, metrics.horizontalAdvance(QStringLiteral("0000000")) + 16);
    header->resizeSection(SiteInventoryModel::StatusColumn, statusWidth + 16 + 24);
    header->resizeSection(SiteInventoryModel::BannerColumn, metrics.horizontalAdvance(QLatin1Char('M')) * 20);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(metrics.horizontalAdvance(QStringLiteral("行")) + 24);
    layout->addWidget(m_table, 1);

    auto* changes = new QHBoxLayout;
    m_updateButton = new QPushButton(QStringLiteral("更新(&U)..."));
    m_updateButton->setObjectName(QStringLiteral("BTUpdate"));
    m_updateButton->setToolTip(QStringLiteral(
        "「変更あり」のブロックを広告リストの現在の広告文に置き換えます（広告を選んでいればその広告だけ）"));
    m_deleteButton = new QPushButton(QStringLiteral("削除(&D)..."));
    m_deleteButton->setObjectName(QStringLiteral("BTDelete"));
    m_deleteButton->setToolTip(QStringLiteral("選んだ広告のブロックをすべてのページから削除します"));
    changes->addWidget(m_updateButton);
    changes->addWidget(m_deleteButton);
    changes->addStretch(1);
    layout->addLayout(changes);

    // Past runs.
    auto* runsBox = new QGroupBox(QStringLiteral("過去の実行"));
    runsBox->setObjectName(QStringLiteral("GBRuns"));
    auto* runsLayout = new QHBoxLayout(runsBox);
    m_runs = new QTreeWidget;
    m_runs->setObjectName(QStringLiteral("LVRuns"));
    m_runs->setAccessibleName(QStringLiteral("過去の実行"));
    m_runs->setHeaderLabels({ QStringLiteral("日時"), QStringLiteral("状態"), QStringLiteral("操作"),
        QStringLiteral("ページ数"), QStringLiteral("広告") });
    m_runs->setRootIsDecorated(false);
    m_runs->setUniformRowHeights(true);
    m_runs->setColumnWidth(0, metrics.horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) + 24);
    m_runs->setMaximumHeight(metrics.height() * 6 + 12);
    m_restoreButton = new QPushButton(QStringLiteral("元に戻す(&R)..."));
    m_restoreButton->setObjectName(QStringLiteral("BTRestore"));
    m_restoreButton->setToolTip(QStringLiteral("選んだ実行で書き込んだページを、実行前の内容に戻します"));
    m_resumeButton = new QPushButton(QStringLiteral("続行(&N)"));
    m_resumeButton->setObjectName(QStringLiteral("BTResume"));
    m_resumeButton->setToolTip(QStringLiteral("途中で止まった実行の残りのページを変更します"));
    m_keepRuns = new QSpinBox;
    m_keepRuns->setObjectName(QStringLiteral("SBKeepRuns"));
    m_keepRuns->setAccessibleName(QStringLiteral("保存する実行の数"));
    m_keepRuns->setRange(0, 9999);
    m_keepRuns->setSpecialValueText(QStringLiteral("すべて"));
    m_keepRuns->setToolTip(QStringLiteral(
        "サイトごとに保存する実行の数。新しい実行の後、古いものから削除します（途中で止まった実行は残します）"));
    m_keepRuns->setValue(m_sources.RunsToKeep ? static_cast<int>(m_sources.RunsToKeep()) : 0);
    auto* keepLabel = new QLabel(QStringLiteral("保存数(&K):"));
    keepLabel->setBuddy(m_keepRuns);
    auto* runButtons = new QVBoxLayout;
    runButtons->addWidget(m_resumeButton);
    runButtons->addWidget(m_restoreButton);
    runButtons->addStretch(1);
    runButtons->addWidget(keepLabel);
    runButtons->addWidget(m_keepRuns);
    runsLayout->addWidget(m_runs, 1);
    runsLayout->addLayout(runButtons);
    layout->addWidget(runsBox);

    auto* buttons = new QDialogButtonBox;
    m_closeButton = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    m_closeButton->setObjectName(QStringLiteral("BTClose"));
    m_closeButton->setAutoDefault(false);
    layout->addWidget(buttons);

    connect(m_scanButton, &QPushButton::clicked, this, &FmSiteWide::scan);
    connect(m_folder, &QLineEdit::returnPressed, this, &FmSiteWide::scan);
    connect(m_endings, &QLineEdit::returnPressed, this, &FmSiteWide::scan);
    connect(m_cancelButton, &QPushButton::clicked, this, &FmSiteWide::cancelOperation);
    connect(m_updateButton, &QPushButton::clicked, this, &FmSiteWide::updateBlocks);
    connect(m_deleteButton, &QPushButton::clicked, this, &FmSiteWide::deleteBlocks);
    connect(m_restoreButton, &QPushButton::clicked, this, &FmSiteWide::restoreRun);
    connect(m_resumeButton, &QPushButton::clicked, this, &FmSiteWide::resumeRun);
    connect(m_jobs, &QSpinBox::valueChanged, this, [this](int jobs) {
        if (m_setup && m_sources.SetJobs)
            m_sources.SetJobs(m_setup->Name, jobs);
    });
    connect(m_keepRuns, &QSpinBox::valueChanged, this, [this](int keep) {
        if (m_sources.SetRunsToKeep)
            m_sources.SetRunsToKeep(static_cast<size_t>(keep));
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &FmSiteWide::reject);
    connect(m_statusFilter, &QComboBox::currentIndexChanged, this, &FmSiteWide::applyFilters);
    connect(m_bannerFilter, &QComboBox::currentIndexChanged, this, &FmSiteWide::applyFilters);
    connect(m_table, &QAbstractItemView::doubleClicked, this, &FmSiteWide::openRow);
    connect(m_runs, &QTreeWidget::itemSelectionChanged, this, &FmSiteWide::updateButtons);

    resize(860, 640);
}

bool FmSiteWide::busy() const
{
    return m_operation != Operation::None;
}

QString FmSiteWide::setupName() const
{
    return m_setup ? FromData(m_setup->Name) : QString();
}

std::string FmSiteWide::backupFolder() const
{
    return SetupBackupFolder(m_sources.SettingsFolder, m_setup ? m_setup->Name : std::string());
}

void FmSiteWide::showFor(std::unique_ptr<TSetup> setup)
{
    if (!busy() && setup) {
        const bool other = !m_setup || m_setup->Name != setup->Name;
        m_setup = std::move(setup);
        if (other) {
            m_setupLabel->setText(setupName());
            m_folder->setText(FromData(m_setup->IniPath));
            {
                const QSignalBlocker quiet(m_jobs);
                m_jobs->setValue(m_sources.Jobs ? m_sources.Jobs(m_setup->Name) : 4);
            }
            m_stale->hide();
            m_model->setScan({});
            m_scanned = false;
            fillFilters();
            m_progress->setRange(0, 1);
            m_progress->setValue(0);
            m_progress->setTextVisible(false);
            m_current->clear();
            m_time->clear();
        }
        setWindowTitle(kTitle + QStringLiteral(" - ") + setupName());
        refreshRuns();
        updateButtons();
        show();
        raise();
        activateWindow();
        // A run that stopped part way is offered as soon as the dialog shows.
        QTimer::singleShot(0, this, &FmSiteWide::offerStoppedRun);
        return;
    }
    show();
    raise();
    activateWindow();
}

void FmSiteWide::offerStoppedRun()
{
    if (busy() || !m_setup || !isVisible())
        return;
    for (const SiteRun& run : ListRuns(backupFolder())) {
        if (run.State != SiteRunState::Stopped)
            continue;
        const QString name = QString::fromStdString(run.Name);
        const QString text
            = QStringLiteral("前回の実行は途中で止まりました（%1 ページ）。\n実行 %2 の%3を続けますか？"
                             "\n「元に戻す」を選ぶと、この実行で書き込んだページを実行前の内容に戻します。")
                  .arg(RunPagesText(run), RunDateText(name),
                      run.Deletes ? QStringLiteral("削除") : QStringLiteral("更新"));
        const QMessageBox::StandardButton answer = AskWithButtons(this, MessageType::Warning, text,
            { { QMessageBox::Yes, QStringLiteral("続行") }, { QMessageBox::Reset, QStringLiteral("元に戻す") },
                { QMessageBox::Cancel, QStringLiteral("後で") } },
            QMessageBox::Cancel);
        selectRun(name);
        if (answer == QMessageBox::Yes)
            resumeRun();
        else if (answer == QMessageBox::Reset)
            restoreRun();
        return;
    }
}

void FmSiteWide::selectRun(const QString& run)
{
    for (int i = 0; i < m_runs->topLevelItemCount(); ++i)
        if (m_runs->topLevelItem(i)->data(0, Qt::UserRole).toString() == run)
            m_runs->setCurrentItem(m_runs->topLevelItem(i));
}

void FmSiteWide::resumeRun()
{
    if (busy() || !m_setup || !m_runs->currentItem())
        return;
    SiteUpdateOptions update;
    update.Resume = true;
    update.RunFolder
        = JoinPath(backupFolder(), m_runs->currentItem()->data(0, Qt::UserRole).toString().toStdString());
    runUpdate(std::move(update));
}

void FmSiteWide::catalogueChanged()
{
    if (!m_scanned)
        return;
    m_stale->setText(QStringLiteral("広告が変更されました。スキャンし直してください"));
    m_stale->setAccessibleName(m_stale->text());
    m_stale->show();
}

void FmSiteWide::refreshOpenPages()
{
    std::vector<std::string> open = m_setup ? m_sources.OpenPages(m_setup->Name) : std::vector<std::string>();
    std::lock_guard lock(m_openPages->mutex);
    m_openPages->paths = std::set<std::string>(open.begin(), open.end());
}

void FmSiteWide::setOperation(Operation operation)
{
    m_operation = operation;
    updateButtons();
}

void FmSiteWide::updateButtons()
{
    const bool idle = !busy();
    const bool haveSetup = m_setup != nullptr;
    m_folder->setEnabled(idle);
    m_jobs->setEnabled(idle);
    m_endings->setEnabled(idle);
    m_scanButton->setEnabled(idle && haveSetup);
    m_cancelButton->setEnabled(!idle);
    m_updateButton->setEnabled(idle && m_scanned);
    m_deleteButton->setEnabled(idle && m_scanned && !m_filter->banner().isEmpty());
    m_runs->setEnabled(idle);
    m_restoreButton->setEnabled(idle && haveSetup && !m_runs->selectedItems().isEmpty());
    const QTreeWidgetItem* run = m_runs->selectedItems().isEmpty() ? nullptr : m_runs->selectedItems().first();
    m_resumeButton->setEnabled(idle && haveSetup && run && run->data(1, Qt::UserRole).toBool());
}

bool FmSiteWide::start(Operation operation,
    std::function<void(const SiteProgressCallback&, const std::atomic<bool>&)> work, std::function<void()> done)
{
    if (busy() || !m_setup)
        return false;
    m_done = std::move(done);
    setOperation(operation);
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(true);
    m_current->clear();
    m_time->setText(QStringLiteral("経過 ") + ElapsedText(0));
    m_job->start(std::move(work));
    return true;
}

void FmSiteWide::showProgress()
{
    if (!busy())
        return;
    const SiteProgress now = m_job->progress();
    // Pages found grow while the walk goes on: the bar runs against what is known.
    if (now.PagesFound > 0) {
        m_progress->setRange(0, static_cast<int>(now.PagesFound));
        m_progress->setValue(static_cast<int>(now.PagesDone));
    }
    const QString path = FromData(now.Current);
    m_current->setText(m_current->fontMetrics().elidedText(path, Qt::ElideMiddle, m_current->width()));
    m_current->setToolTip(path);
    m_time->setText(QStringLiteral("経過 ") + ElapsedText(m_job->elapsedMs()));
}

void FmSiteWide::cancelOperation()
{
    if (busy())
        m_job->cancel();
}

void FmSiteWide::reject()
{
    // Closing while an operation runs cancels it and waits for its end: what
    // it has done stays done, and the rest is left.
    stopAndWait();
    QDialog::reject();
}

void FmSiteWide::stopAndWait()
{
    if (!busy())
        return;
    m_job->cancelAndWait();
    m_done = nullptr;
    setOperation(Operation::None);
    m_current->setText(QStringLiteral("キャンセルしました"));
    refreshRuns();
    emit operationFinished();
}

SiteWalkOptions FmSiteWide::walkOptions() const
{
    SiteWalkOptions options;
    options.Folder = m_scanFolder;
    options.Endings = m_scanEndings;
    options.Charset = m_setup ? m_setup->Charset : PageCharset::Auto;
    options.Jobs = m_jobs->value();
    return options;
}

// Scan

void FmSiteWide::scan()
{
    if (busy() || !m_setup)
        return;
    std::vector<std::string> endings;
    if (!ParseEndings(ToData(m_endings->text()), endings)) {
        ShowMessage(this, MessageType::Error,
            QStringLiteral("ページの拡張子を「.html,.htm」のようにカンマで区切って入力してください。"));
        return;
    }
    SiteWalkOptions options;
    options.Folder = ToData(m_folder->text().trimmed());
    options.Endings = endings;
    options.Charset = m_setup->Charset;
    const SiteAccessFactory access = SiteAccessFor(*m_setup, m_sources.Clients);
    auto catalogue = std::make_shared<BannerList>(m_sources.Catalogue());
    auto result = std::make_shared<SiteScanResult>();
    start(
        Operation::Scan,
        [access, catalogue, options, result](
            const SiteProgressCallback& progress, const std::atomic<bool>& cancel) {
            *result = ScanSite(access, *catalogue, options, progress, &cancel);
        },
        [this, result, endings] {
            m_scanEndings = endings;
            showScan(std::move(*result));
        });
}

void FmSiteWide::showScan(SiteScanResult scan)
{
    const qint64 ms = m_job->elapsedMs();
    const size_t pages = scan.Pages.size();
    const bool cancelled = scan.Cancelled;
    const bool opened = !scan.Folder.empty();
    std::vector<SiteProblem> problems = scan.Problems;
    m_scanFolder = scan.Folder;
    m_model->setScan(std::move(scan));
    m_stale->hide();
    // A cancelled scan shows what it read, but a run needs the whole site.
    m_scanned = opened && !cancelled;
    fillFilters();
    m_progress->setRange(0, std::max<int>(1, static_cast<int>(pages)));
    m_progress->setValue(static_cast<int>(pages));
    QString text = cancelled
        ? QStringLiteral("キャンセルしました（%1 ページを読みました）").arg(pages)
        : QStringLiteral("スキャンしました: %1 ページ（%2 秒）").arg(pages).arg(ms / 1000.0, 0, 'f', 1);
    if (!problems.empty())
        text += QStringLiteral("　読めなかったもの %1 件").arg(problems.size());
    m_current->setText(text);
    m_current->setToolTip(ProblemLines(problems));
    m_time->setText(QStringLiteral("経過 ") + ElapsedText(ms));
    updateButtons();
    if (!opened)
        ShowMessage(this, MessageType::Error, QStringLiteral("フォルダを開けませんでした。"), QMessageBox::Ok,
            ProblemLines(problems));
}

void FmSiteWide::fillFilters()
{
    const int status = m_statusFilter->currentData().isValid() ? m_statusFilter->currentData().toInt() : -1;
    const QString banner = m_bannerFilter->currentData().toString();
    {
        const QSignalBlocker blockStatus(m_statusFilter);
        const QSignalBlocker blockBanner(m_bannerFilter);
        // The counts go beside the choices in applyFilters.
        m_statusFilter->clear();
        m_statusFilter->addItem(QString(), -1);
        for (const TAdNodeStatus s : kStatusOrder)
            m_statusFilter->addItem(AdTreeModel::statusIcon(s), QString(), static_cast<int>(s));
        m_statusFilter->setCurrentIndex(std::max(0, m_statusFilter->findData(status)));

        m_bannerFilter->clear();
        m_bannerFilter->addItem(QString(), QString());
        for (const auto& [name, count] : m_model->bannerCounts())
            if (!name.isEmpty())
                m_bannerFilter->addItem(QString(), name);
        // The banner chosen before stays chosen while the site still has it.
        const int kept = banner.isEmpty() ? 0 : m_bannerFilter->findData(banner);
        m_bannerFilter->setCurrentIndex(std::max(0, kept));
    }
    applyFilters();
}

void FmSiteWide::applyFilters()
{
    const int status = m_statusFilter->currentData().isValid() ? m_statusFilter->currentData().toInt() : -1;
    const QString banner = m_bannerFilter->currentData().toString();
    // Each choice counts the rows it would show with the other filter as it is.
    m_statusFilter->setItemText(0, QStringLiteral("すべて (%1)").arg(m_model->countRows(-1, banner)));
    for (int i = 1; i < m_statusFilter->count(); ++i) {
        const int s = m_statusFilter->itemData(i).toInt();
        m_statusFilter->setItemText(i,
            QStringLiteral("%1 (%2)")
                .arg(SiteInventoryModel::statusText(static_cast<TAdNodeStatus>(s)))
                .arg(m_model->countRows(s, banner)));
    }
    const std::map<QString, int> perBanner = m_model->bannerCounts(status);
    m_bannerFilter->setItemText(0, QStringLiteral("すべての広告 (%1)").arg(m_model->countRows(status, QString())));
    for (int i = 1; i < m_bannerFilter->count(); ++i) {
        const QString name = m_bannerFilter->itemData(i).toString();
        const auto count = perBanner.find(name);
        m_bannerFilter->setItemText(
            i, QStringLiteral("%1 (%2)").arg(name).arg(count == perBanner.end() ? 0 : count->second));
    }

    m_filter->setStatus(status);
    m_filter->setBanner(banner);
    m_summary->setText(QStringLiteral("%1 ページ・%2 ブロック中 %3 件を表示")
                           .arg(m_model->scan().Pages.size())
                           .arg(m_model->rowCount())
                           .arg(m_filter->rowCount()));
    updateButtons();
}

void FmSiteWide::openRow(const QModelIndex& index)
{
    if (!index.isValid() || !m_setup)
        return;
    const QString path = index.data(SiteInventoryModel::PathRole).toString();
    const int line = static_cast<int>(index.data(SiteInventoryModel::LineRole).toULongLong());
    emit pageRequested(setupName(), path, line);
}

// Update and delete

void FmSiteWide::updateBlocks()
{
    plan(false);
}

void FmSiteWide::deleteBlocks()
{
    if (!m_filter->banner().isEmpty())
        plan(true);
}

void FmSiteWide::plan(bool remove)
{
    if (busy() || !m_setup || !m_scanned)
        return;
    const std::string banner = ToData(m_filter->banner());
    SiteUpdateOptions update;
    if (remove) {
        // The banner's blocks go; naming it for the replace too keeps the
        // changed blocks of every other banner as they are (an empty list
        // would replace them all).
        update.Delete = { banner };
        update.Replace = { banner };
    } else if (!banner.empty()) {
        update.Replace = { banner };
    }
    // Pages open in a tab are left alone: the tab's text, saved later, would
    // otherwise undo the run or be undone by it.
    update.Skip = m_sources.OpenPages(m_setup->Name);
    update.DryRun = true;
    const SiteAccessFactory access = SiteAccessFor(*m_setup, m_sources.Clients);
    auto catalogue = std::make_shared<BannerList>(m_sources.Catalogue());
    const SiteWalkOptions options = walkOptions();
    auto result = std::make_shared<SiteUpdateResult>();
    start(
        Operation::Plan,
        [access, catalogue, options, update, result](
            const SiteProgressCallback& progress, const std::atomic<bool>& cancel) {
            *result = UpdateSite(access, *catalogue, options, update, progress, &cancel);
        },
        [this, update, result] { askPlan(update, *result); });
}

void FmSiteWide::askPlan(const SiteUpdateOptions& update, const SiteUpdateResult& planned)
{
    if (planned.Cancelled) {
        m_current->setText(QStringLiteral("キャンセルしました"));
        return;
    }
    const auto [replaced, removed] = BlockTotals(planned.Changed);
    QStringList pages;
    for (const SitePageChange& page : planned.Changed) {
        pages << QStringLiteral("%1　置換 %2・削除 %3")
                     .arg(FromData(page.Path))
                     .arg(page.Replaced)
                     .arg(page.Removed);
    }
    const QString details = JoinBlocks(
        { pages.join(QLatin1Char('\n')), SkippedLines(planned.Skipped), ProblemLines(planned.Problems) });
    m_current->setText(QStringLiteral("計画: %1 ページ").arg(planned.Changed.size()));
    if (planned.Changed.empty()) {
        ShowMessage(this, MessageType::Information, QStringLiteral("変更するブロックはありません。"),
            QMessageBox::Ok, details);
        return;
    }
    const bool deletes = !update.Delete.empty();
    QString question = deletes
        ? QStringLiteral("%1 ページから %2 ブロックを削除します。").arg(planned.Changed.size()).arg(removed)
        : QStringLiteral("%1 ページで %2 ブロックを置き換えます。").arg(planned.Changed.size()).arg(replaced);
    if (!planned.Skipped.empty())
        question += QStringLiteral("\nタブで開いている %1 ページは変更しません。").arg(planned.Skipped.size());
    question += QStringLiteral("\n変更前のページはバックアップされ、「元に戻す」で戻せます。\n実行しますか?");
    // A question that deletes defaults to No.
    if (ShowMessage(this, deletes ? MessageType::Warning : MessageType::Confirmation, question,
            QMessageBox::Yes | QMessageBox::No, details)
        != QMessageBox::Yes)
        return;
    SiteUpdateOptions run = update;
    run.DryRun = false;
    run.Planned = planned.Changed.size();
    runUpdate(std::move(run));
}

void FmSiteWide::runUpdate(SiteUpdateOptions update)
{
    // Pages open in a tab are left alone, those opened while the run goes on too.
    refreshOpenPages();
    update.Skip.clear();
    update.SkipNow = [open = m_openPages](const std::string& path) {
        std::lock_guard lock(open->mutex);
        return open->paths.count(path) != 0;
    };
    const SiteAccessFactory access = SiteAccessFor(*m_setup, m_sources.Clients);
    auto catalogue = std::make_shared<BannerList>(m_sources.Catalogue());
    const SiteWalkOptions options = walkOptions();
    const std::string backups = backupFolder();
    auto result = std::make_shared<SiteUpdateResult>();
    auto run = std::make_shared<std::string>();
    start(
        Operation::Update,
        [access, catalogue, options, update, backups, result, run](
            const SiteProgressCallback& progress, const std::atomic<bool>& cancel) mutable {
            if (update.Resume) {
                *run = update.RunFolder.substr(backups.size() + 1);
            } else if (Status made = NewRunFolder(backups, *run); !made) {
                result->Problems.push_back({ backups, made.error });
                return;
            } else {
                update.RunFolder = JoinPath(backups, *run);
            }
            *result = UpdateSite(access, *catalogue, options, update, progress, &cancel);
        },
        [this, result, run] {
            reportRun(*result, QString::fromStdString(*run));
            if (!result->Cancelled)
                PruneRuns(backupFolder(), m_sources.RunsToKeep ? m_sources.RunsToKeep() : 0);
            refreshRuns();
            scan();
        });
}

void FmSiteWide::reportRun(const SiteUpdateResult& result, const QString& run)
{
    const auto [replaced, removed] = BlockTotals(result.Changed);
    QStringList written;
    for (const SitePageChange& page : result.Changed)
        written << FromData(page.Path);
    const QString problems = ProblemLines(result.Problems);
    QString text = QStringLiteral("書き込んだページ: %1\n置き換えたブロック: %2\n削除したブロック: %3\n"
                                  "変更しなかったページ: %4")
                       .arg(result.Changed.size())
                       .arg(replaced)
                       .arg(removed)
                       .arg(result.Skipped.size() + result.Problems.size());
    if (result.AlreadyDone > 0)
        text += QStringLiteral("\n前回までに書き込んだページ: %1").arg(result.AlreadyDone);
    if (result.Cancelled)
        text += QStringLiteral("\n\n中止しました。残りのページは変更していません。「続行」で続きを実行できます。");
    if (!result.Changed.empty())
        text += QStringLiteral("\n\n変更前のページは実行 %1 に保存しました。").arg(RunDateText(run));
    const QString details = JoinBlocks({ SkippedLines(result.Skipped), problems,
        written.isEmpty() ? QString() : QStringLiteral("書き込んだページ:\n") + written.join(QLatin1Char('\n')) });
    ShowMessage(this, result.Problems.empty() ? MessageType::Information : MessageType::Warning, text,
        QMessageBox::Ok, details);
}

// Runs and restore

void FmSiteWide::refreshRuns()
{
    const QString selected
        = m_runs->currentItem() ? m_runs->currentItem()->data(0, Qt::UserRole).toString() : QString();
    m_runs->clear();
    if (!m_setup)
        return;
    for (const SiteRun& run : ListRuns(backupFolder())) {
        const QString name = QString::fromStdString(run.Name);
        QStringList banners;
        for (const std::string& banner : run.Banners)
            banners << FromData(banner);
        auto* item = new QTreeWidgetItem(m_runs,
            { RunDateText(name), RunStateText(run.State),
                run.Deletes ? QStringLiteral("削除") : QStringLiteral("更新"), RunPagesText(run),
                banners.isEmpty() ? QStringLiteral("変更ありのすべて") : banners.join(QStringLiteral("、")) });
        item->setData(0, Qt::UserRole, name);
        item->setData(1, Qt::UserRole, run.State == SiteRunState::Stopped);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        if (name == selected)
            m_runs->setCurrentItem(item);
    }
    updateButtons();
}

void FmSiteWide::restoreRun()
{
    if (busy() || !m_setup || !m_runs->currentItem())
        return;
    const QString run = m_runs->currentItem()->data(0, Qt::UserRole).toString();
    startRestore(Operation::RestorePlan, run, true,
        [this, run](const SiteRestoreResult& planned) { askRestore(run, planned); });
}

void FmSiteWide::startRestore(
    Operation operation, const QString& run, bool dryRun, std::function<void(const SiteRestoreResult&)> done)
{
    const std::string runFolder = JoinPath(backupFolder(), run.toStdString());
    const SiteAccessFactory access = SiteAccessFor(*m_setup, m_sources.Clients);
    auto result = std::make_shared<SiteRestoreResult>();
    start(
        operation,
        [access, runFolder, dryRun, result](
            const SiteProgressCallback& progress, const std::atomic<bool>& cancel) {
            *result = RestoreRun(access, runFolder, dryRun, progress, &cancel);
        },
        [result, done = std::move(done)] { done(*result); });
}

void FmSiteWide::askRestore(const QString& run, const SiteRestoreResult& planned)
{
    const QString problems = ProblemLines(planned.Problems);
    if (planned.Restored.empty()) {
        ShowMessage(this, MessageType::Information, QStringLiteral("元に戻すページはありません。"),
            QMessageBox::Ok, problems);
        return;
    }
    // A page open in a tab would go back under the tab's text: those tabs close first.
    const std::vector<std::string> open = m_sources.OpenPages(m_setup->Name);
    const std::set<std::string> openSet(open.begin(), open.end());
    QStringList blocked;
    QStringList pages;
    for (const std::string& path : planned.Restored) {
        pages << FromData(path);
        if (openSet.count(path))
            blocked << FromData(path);
    }
    if (!blocked.isEmpty()) {
        ShowMessage(this, MessageType::Warning,
            QStringLiteral(
                "この実行のページがタブで開いています。タブを閉じてから、もう一度「元に戻す」を押してください。"),
            QMessageBox::Ok, blocked.join(QLatin1Char('\n')));
        return;
    }
    const QString question
        = QStringLiteral("実行 %1 で書き込んだ %2 ページを、実行前の内容に戻します。よろしいですか?")
              .arg(RunDateText(run))
              .arg(planned.Restored.size());
    if (ShowMessage(this, MessageType::Confirmation, question, QMessageBox::Yes | QMessageBox::No,
            JoinBlocks({ pages.join(QLatin1Char('\n')), problems }))
        != QMessageBox::Yes)
        return;
    startRestore(Operation::Restore, run, false, [this](const SiteRestoreResult& restored) {
        reportRestore(restored);
        refreshRuns();
        scan();
    });
}

void FmSiteWide::reportRestore(const SiteRestoreResult& result)
{
    QStringList pages;
    for (const std::string& path : result.Restored)
        pages << FromData(path);
    QString text = QStringLiteral("元に戻したページ: %1").arg(result.Restored.size());
    if (!result.Problems.empty())
        text += QStringLiteral("\n戻せなかったページ: %1").arg(result.Problems.size());
    ShowMessage(this, result.Problems.empty() ? MessageType::Information : MessageType::Warning, text,
        QMessageBox::Ok, JoinBlocks({ ProblemLines(result.Problems), pages.join(QLatin1Char('\n')) }));
}

} // namespace pw::gui
