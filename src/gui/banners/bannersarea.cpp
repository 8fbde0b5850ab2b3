#include "gui/banners/bannersarea.h"

#include "base/files.h"
#include "catalogue/archive.h"
#include "catalogue/bannercheck.h"
#include "catalogue/bannerlist.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/bannerlistmodel.h"
#include "gui/banners/fmbanner.h"
#include "gui/common/actionlist.h"
#include "gui/common/datatext.h"
#include "gui/common/emptyhint.h"
#include "gui/common/framewidgets.h"
#include "gui/common/messagebox.h"
#include "gui/common/webpane.h"
#include "gui/workspace.h"
#include "pageads/adcommands.h"
#include "shell/generalsettings.h"
#include "text/codec.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>

namespace pw::gui {

namespace {

BannersArea::Widgets BuildWidgets(WebPane* preview, QWidget* previewPanel, QWidget* window)
{
    BannersArea::Widgets w {};
    w.list = MakeReportList(QStringLiteral("LVAdFlights"));
    w.list->setAccessibleName(QStringLiteral("広告リスト"));
    w.list->setSelectionMode(QAbstractItemView::SingleSelection);
    w.preview = preview;
    // Room for a 468x60 banner, the widest of the common small sizes, with the
    // page's margins of 8 pixels and a scroll bar for a taller one. The window
    // still fits 1280 pixels with the list's name, network and type columns.
    preview->setMinimumWidth(468 + 2 * 8 + 16);
    w.previewPanel = previewPanel;
    w.previewItem = MakeOptionItem(Command::MIAdPreview, QStringLiteral("プレビュー"),
        QStringLiteral("広告リストの広告プレビューを見る・見ない"), true, window);
    w.monitorItem = MakeOptionItem(Command::MIMonitor, QStringLiteral("クリップボード"),
        QStringLiteral("クリップボードを自動監視する・しない"), true, window);
    return w;
}

} // namespace

BannersArea::BannersArea(
    Workspace& workspace, ActionList& actions, WebPane* preview, QWidget* previewPanel, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_actions(actions)
    , m_widgets(BuildWidgets(preview, previewPanel, window))
{
    m_dialog = new TFmBanner(window);
    QTreeView* list = m_widgets.list;
    m_model = new BannerListModel(m_workspace.Banners, list);
    list->setModel(m_model);
    new EmptyHint(list, m_model,
        QStringLiteral(
            "広告がまだありません。「広告を新規する」(Ctrl+Insert) で、アフィリエイトの広告コードを登録します。"));
    for (int column = 0; column < kBannerColumnCount; ++column) {
        if (const int width = BannerListModel::columnWidth(column))
            list->setColumnWidth(column, width);
    }
    list->setDragDropMode(QAbstractItemView::DragOnly);
    list->setDragEnabled(false);

    QHeaderView* header = list->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    // The header flips its own mark on a click; the model's mark is the one that counts.
    connect(header, &QHeaderView::sectionClicked, this, &BannersArea::clickColumn);
    connect(m_model, &BannerListModel::sortMarkChanged, header, [this, header] {
        const BannerSortState& sort = m_model->sortState();
        header->setSortIndicator(sort.Column, sort.Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    });

    connect(
        list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
            m_workspace.Banners.Selected = current.isValid() ? current.row() : -1;
            if (m_reacting)
                selectionReaction();
        });
    connect(list, &QAbstractItemView::doubleClicked, this, [this] {
        QAction* edit = m_actions.action(Command::EditBanner);
        if (edit && edit->isEnabled())
            edit->trigger();
    });
    // A banner can be dragged into a page exactly while it can be jumped to.
    if (QAction* jump = m_actions.action(Command::Jump))
        connect(jump, &QAction::enabledChanged, list, [list](bool enabled) { list->setDragEnabled(enabled); });

    connect(m_actions.action(Command::NewBanner), &QAction::triggered, this, [this] { newBanner(" "); });
    connect(m_actions.action(Command::EditBanner), &QAction::triggered, this, &BannersArea::editBanner);
    connect(m_actions.action(Command::DeleteBanner), &QAction::triggered, this, &BannersArea::deleteBanner);
    connect(m_actions.action(Command::ArchiveBanner), &QAction::triggered, this, &BannersArea::archiveBanner);

    connect(m_widgets.previewItem, &QAction::toggled, this, [this](bool visible) {
        if (visible && !m_widgets.previewPanel->isVisible())
            showBannerPreview();
        setPreviewVisible(visible);
    });
}

void BannersArea::loadBanners(int lastAdIndex, int sortColumn)
{
    m_reacting = false;
    m_model->beginReload();
    m_workspace.Banners.Selected = -1;
    LoadBanners(m_workspace.Banners, m_workspace.IniListAd, m_workspace.Networks);
    m_model->endReload();
    const int rows = m_model->rowCount();
    if (rows > 0)
        selectRow(lastAdIndex >= 1 && lastAdIndex <= rows ? lastAdIndex - 1 : 0);
    const StoredSort stored = StoredSortFromValue(sortColumn, kBannerColumnCount);
    if (stored.column >= 0) {
        m_model->setSortMark(stored.column, stored.markDescending);
        clickColumn(stored.column);
    }
    showBannerPreview();
    m_reacting = true;
    // Watched whatever the monitor item says: the capture looks at it.
    if (!m_watchingClipboard) {
        m_watchingClipboard = true;
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &BannersArea::clipboardChanged);
    }
}

void BannersArea::reloadBanners()
{
    const TAdBanner* selected = m_workspace.Banners.SelectedBanner();
    const QHeaderView* header = m_widgets.list->header();
    const int sorted = header->sortIndicatorSection();
    const int sortValue
        = sorted >= 0 ? SortColumnValue(sorted, header->sortIndicatorOrder() == Qt::DescendingOrder) : 0;
    loadBanners(selected ? selected->Number : 0, sortValue);
}

void BannersArea::clipboardChanged()
{
    // Only copies made in other programs, and never while the editor is open.
    if (!m_widgets.monitorItem->isChecked() || (m_dialog && m_dialog->isVisible())
        || QGuiApplication::focusWindow())
        return;
    const QString text = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
    const QString lower = text.toLower();
    for (const char* part : { "<a ", "http", "=", "</a>" }) {
        if (!lower.contains(QLatin1String(part)))
            return;
    }
    QWidget* window = m_widgets.list->window();
    window->show();
    window->raise();
    window->activateWindow();

    const QByteArray utf8 = text.toUtf8();
    const codec::EncodeResult html
        = codec::EncodeSjis(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    const int row = FindBannerByHTML(m_workspace.Banners, html.bytes);
    if (row >= 0) {
        selectRow(row);
        emit commandStateChanged();
        editBanner();
    } else {
        newBanner(html.bytes, html.unencodable);
    }
}

void BannersArea::selectionReaction()
{
    emit bannerSelectionChanged();
    if (m_widgets.previewItem->isChecked())
        showBannerPreview();
    emit commandStateChanged();
}

void BannersArea::clickColumn(int column)
{
    m_model->clickColumn(column);
    const int selected = m_workspace.Banners.Selected;
    if (selected >= 0)
        m_widgets.list->scrollTo(m_model->index(selected, 0));
    if (m_reacting)
        selectionReaction();
}

void BannersArea::selectRow(int row)
{
    QItemSelectionModel* selection = m_widgets.list->selectionModel();
    if (row < 0 || row >= m_model->rowCount()) {
        selection->clear();
        return;
    }
    const QModelIndex index = m_model->index(row, 0);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_widgets.list->scrollTo(index);
}

void BannersArea::prepareDialog()
{
    m_dialog->setCatalogue(&m_workspace.Banners, &m_workspace.Networks);
}

void BannersArea::saveCatalogue()
{
    const Status saved = SaveBanners(m_workspace.Banners, m_workspace.IniListAd, m_workspace.SettingsFolder);
    if (!saved)
        ShowMessage(m_widgets.list->window(), MessageType::Error, ErrorText(saved));
}

void BannersArea::newBanner(const std::string& html, size_t convertedCount)
{
    if (!m_dialog)
        return;
    BannerList& list = m_workspace.Banners;
    std::unique_ptr<TAdBanner> banner = NewBannerFromHTML(list, html, m_workspace.Networks);
    prepareDialog();
    m_dialog->LoadBanner(*banner);
    m_dialog->setConvertedCount(convertedCount);
    if (m_dialog->exec() != QDialog::Accepted)
        return;
    const TAdBanner* added = banner.get();
    m_model->beginAppend();
    list.Rows.push_back(std::move(banner));
    m_model->endAppend();
    // A sorted list keeps its order: the new banner takes its place in it.
    m_model->resort();
    saveCatalogue();
    selectRow(static_cast<int>(std::find_if(list.Rows.begin(), list.Rows.end(), [added](const auto& row) {
        return row.get() == added;
    }) - list.Rows.begin()));
    emit bannerChanged(std::nullopt, added);
    emit commandStateChanged();
}

void BannersArea::editBanner()
{
    TAdBanner* banner = m_workspace.Banners.SelectedBanner();
    if (!banner || !m_dialog)
        return;
    const int row = m_workspace.Banners.Selected;
    const std::string oldName = banner->SpaceName;
    prepareDialog();
    m_dialog->LoadBanner(*banner);
    if (m_dialog->exec() != QDialog::Accepted)
        return;
    m_model->rowChanged(row);
    m_model->resort();
    emit bannerChanged(oldName, banner);
    saveCatalogue();
    if (m_widgets.previewItem->isChecked())
        showBannerPreview();
}

void BannersArea::deleteBanner()
{
    const int row = m_workspace.Banners.Selected;
    if (!m_workspace.Banners.SelectedBanner())
        return;
    if (ShowMessage(m_widgets.list->window(), MessageType::Confirmation, FromData(kConfirmDeleteQuestion),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
        != QMessageBox::Yes)
        return;
    const BannerRemoved removed = [this](const std::string& name) { emit bannerChanged(name, nullptr); };
    m_model->beginRemove(row);
    const Status saved
        = RemoveBanner(m_workspace.Banners, m_workspace.IniListAd, m_workspace.SettingsFolder, row, removed);
    const int selected = m_workspace.Banners.Selected;
    m_model->endRemove();
    if (!saved)
        ShowMessage(m_widgets.list->window(), MessageType::Error, ErrorText(saved));
    selectRow(selected);
    emit commandStateChanged();
}

void BannersArea::archiveBanner()
{
    const int row = m_workspace.Banners.Selected;
    if (!m_workspace.Banners.SelectedBanner())
        return;
    if (ShowMessage(m_widgets.list->window(), MessageType::Confirmation, FromData(kConfirmArchiveQuestion),
            QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    const BannerRemoved removed = [this](const std::string& name) { emit bannerChanged(name, nullptr); };
    m_model->beginReload();
    const ArchiveResult result
        = ArchiveBanner(m_workspace.Banners, m_workspace.IniListAd, m_workspace.SettingsFolder, row, removed);
    const int selected = m_workspace.Banners.Selected;
    m_model->endReload();
    if (result.Archived && !result.Saved)
        ShowMessage(m_widgets.list->window(), MessageType::Error, ErrorText(result.Saved));
    if (!result.Message.Text.empty())
        ShowMessage(m_widgets.list->window(), result.Message.Kind, FromData(result.Message.Text));
    selectRow(selected);
    emit commandStateChanged();
}

bool BannersArea::hasSelectedBanner() const
{
    return m_workspace.Banners.SelectedBanner() != nullptr;
}

void BannersArea::showBannerPreview()
{
    const TAdBanner* banner = m_workspace.Banners.SelectedBanner();
    m_widgets.preview->showUntrusted(banner ? banner->BannerHTML : std::string());
}

int BannersArea::previewWidth() const
{
    return m_widgets.previewPanel->isVisible() ? m_widgets.previewPanel->width() : m_shownPreviewWidth;
}

void BannersArea::setPreviewVisible(bool visible)
{
    if (!visible && m_widgets.previewPanel->isVisible())
        m_shownPreviewWidth = m_widgets.previewPanel->width();
    m_widgets.previewPanel->setVisible(visible);
}

} // namespace pw::gui
