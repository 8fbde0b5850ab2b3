#pragma once

#include "catalogue/bannerlist.h"

#include <QAbstractTableModel>

#include <functional>

namespace pw::gui {

// The rows of the banner list LVAdFlights, read straight from the catalogue:
// no copy of the cells is kept, so ten thousand banners cost nothing to show
// and re-ordering the catalogue only needs a layout change.
class BannerListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BannerListModel(BannerList& banners, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // The width of a column as the list is built (0: the list's standard width).
    static int columnWidth(int column);

    // The sort mark: the marked column (-1 for none) and its direction.
    const BannerSortState& sortState() const { return m_sort; }
    // Puts a mark on a column without sorting (start-up, before its click).
    void setSortMark(int column, bool descending);
    // A click on a column header: flips or starts the mark and sorts the
    // catalogue; the selected banner stays selected in the catalogue.
    void clickColumn(int column);
    // Sorts the catalogue again by the marked column, after a banner was
    // added or changed; rows and selection follow their banners.
    void resort();

    // The catalogue was rebuilt: every row is read again.
    void reload();
    // The catalogue is about to change in any way, and has changed.
    void beginReload();
    void endReload();
    // A banner is about to be appended at the end of the catalogue, and was.
    void beginAppend();
    void endAppend();
    // The banner of `row` changed in place.
    void rowChanged(int row);
    // The catalogue is about to lose `row`, and has lost it.
    void beginRemove(int row);
    void endRemove();

signals:
    // The sort mark moved or flipped.
    void sortMarkChanged();

private:
    // Runs `sort` on the catalogue as one layout change.
    void reorder(const std::function<void()>& sort);

    BannerList& m_banners;
    BannerSortState m_sort;
};

} // namespace pw::gui
