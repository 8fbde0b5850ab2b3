#include "gui/banners/bannersarea.h"

#include "base/files.h"
#include "catalogue/bannerlist.h"
#include "catalogue/bannerstore.h"
#include "gui/common/actionlist.h"
#include "gui/common/datatext.h"
#include "gui/common/webpane.h"
#include "gui/workspace.h"

#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTreeView>

namespace pw::gui {

BannersArea::BannersArea(Workspace& workspace, ActionList&, const Widgets& widgets, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_widgets(widgets)
{
    connect(m_widgets.previewItem, &QAction::toggled, this, &BannersArea::setPreviewVisible);
    connect(m_widgets.list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                m_workspace.Banners.Selected = current.isValid() ? current.row() : -1;
                showBannerPreview();
                emit commandStateChanged();
            });
}

void BannersArea::loadBanners()
{
    LoadBanners(m_workspace.Banners, m_workspace.IniListAd, m_workspace.Networks);
    fillList();
}

void BannersArea::fillList()
{
    QStandardItemModel* model = m_widgets.model;
    model->removeRows(0, model->rowCount());
    const int columns = model->columnCount();
    for (const auto& banner : m_workspace.Banners.Rows) {
        QList<QStandardItem*> row;
        for (int column = 0; column < columns; ++column) {
            auto* item = new QStandardItem(FromData(BannerColumnText(*banner, column)));
            item->setTextAlignment(model->horizontalHeaderItem(column)->textAlignment());
            row << item;
        }
        model->appendRow(row);
    }
}

void BannersArea::selectRow(int row)
{
    const QModelIndex index = m_widgets.model->index(row, 0);
    m_widgets.list->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_widgets.list->scrollTo(index);
}

bool BannersArea::hasSelectedBanner() const
{
    return m_workspace.Banners.SelectedBanner() != nullptr;
}

void BannersArea::showBannerPreview()
{
    if (!m_workspace.Scratch.IsOpen())
        return;
    const TAdBanner* banner = m_workspace.Banners.SelectedBanner();
    const std::string html = banner ? banner->BannerHTML : std::string("<html><body></body></html>");
    if (m_workspace.Scratch.Write(2, html))
        m_widgets.preview->navigate(QString::fromStdString(m_workspace.Scratch.File(2)), History::Skip);
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
