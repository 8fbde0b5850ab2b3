#pragma once

// The inventory of a whole-site scan as a flat table: one row per ad block
// found in a page (page, line, status, banner), with a filter proxy that
// keeps the rows of one status and/or one banner.

#include "pageads/adtree.h"
#include "sites/sitewalk.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <cstdint>
#include <map>
#include <vector>

namespace pw::gui {

class SiteInventoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { PageColumn, LineColumn, StatusColumn, BannerColumn, ColumnCount };
    enum Role { StatusRole = Qt::UserRole + 1, PathRole, LineRole };

    explicit SiteInventoryModel(QObject* parent = nullptr);

    // Replaces the rows with the blocks of `scan`'s pages.
    void setScan(SiteScanResult scan);
    const SiteScanResult& scan() const { return m_scan; }

    // Rows per status, and per banner (program text).
    int countWithStatus(TAdNodeStatus status) const;
    const std::map<QString, int>& bannerCounts() const { return m_bannerCounts; }
    // The rows that pass both filters, status (-1: any) and banner (empty:
    // any), and the rows of each banner that pass the status filter: what one
    // filter shows beside its choices, given the choice of the other.
    int countRows(int status, const QString& banner) const;
    std::map<QString, int> bannerCounts(int status) const;

    static QString statusText(TAdNodeStatus status);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        std::uint32_t Page;
        std::uint32_t Node;
    };
    SiteScanResult m_scan;
    std::vector<Row> m_rows;
    std::vector<QString> m_pageNames; // display text of each page, made once
    std::vector<QString> m_bannerNames; // per row
    int m_statusCounts[4] = {};
    std::map<QString, int> m_bannerCounts;
};

// Keeps the rows of one status (-1: any) and one banner (empty: any).
class SiteInventoryFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit SiteInventoryFilter(QObject* parent = nullptr);
    void setStatus(int status);
    void setBanner(const QString& banner);
    int status() const { return m_status; }
    const QString& banner() const { return m_banner; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    int m_status = -1;
    QString m_banner;
};

} // namespace pw::gui
