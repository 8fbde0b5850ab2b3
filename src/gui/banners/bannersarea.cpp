#include "gui/banners/bannersarea.h"

#include "base/files.h"
#include "catalogue/bannerlist.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/bannerlistmodel.h"
#include "gui/common/actionlist.h"
#include "gui/common/webpane.h"
#include "gui/workspace.h"
#include "shell/generalsettings.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>

namespace pw::gui {

BannersArea::BannersArea(Workspace& workspace, ActionList& actions, const Widgets& widgets, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_actions(actions), m_widgets(widgets)
{
    QTreeView* list = m_widgets.list;
    m_model = new BannerListModel(m_workspace.Banners, list);
    list->setModel(m_model);
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

    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        m_workspace.Banners.Selected = current.isValid() ? current.row() : -1;
        if (m_reacting)
            selectionReaction();
    });
    connect(list, &QAbstractItemView::doubleClicked, this, [this] {
        QAction* edit = m_actions.action(QStringLiteral("EditBanner"));
        if (edit && edit->isEnabled())
            edit->trigger();
    });
    // A banner can be dragged into a page exactly while it can be jumped to.
    if (QAction* jump = m_actions.action(QStringLiteral("Jump")))
        connect(jump, &QAction::enabledChanged, list, [list](bool enabled) { list->setDragEnabled(enabled); });

    connect(m_widgets.previewItem, &QAction::toggled, this, [this](bool visible) {
        if (visible && !m_widgets.previewPanel->isVisible())
            showBannerPreview();
        setPreviewVisible(visible);
    });
}

void BannersArea::loadBanners(int lastAdIndex, int sortColumn)
{
    m_reacting = false;
    m_workspace.Banners.Selected = -1;
    LoadBanners(m_workspace.Banners, m_workspace.IniListAd, m_workspace.Networks);
    m_model->reload();
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

bool BannersArea::hasSelectedBanner() const
{
    return m_workspace.Banners.SelectedBanner() != nullptr;
}

void BannersArea::showBannerPreview()
{
    const std::string& file = m_workspace.ScratchFiles[1];
    if (file.empty())
        return;
    const TAdBanner* banner = m_workspace.Banners.SelectedBanner();
    const std::string html = banner ? banner->BannerHTML : std::string("<html><body></body></html>");
    if (WriteFileAtomically(file, html))
        m_widgets.preview->navigate(QString::fromStdString(file), History::Skip);
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
