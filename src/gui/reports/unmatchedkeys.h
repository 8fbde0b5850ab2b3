#pragma once

#include "catalogue/banner.h"
#include "reports/reportimport.h"

#include <QTableWidget>

class QComboBox;
class QStandardItemModel;

#include <string>
#include <vector>

namespace pw::gui {

// The keys of a report that no banner matched by itself, one row each with
// its row count and sums, and a banner picker (a combo of the catalogue's
// banners) to give the key a banner by hand. A key given one stays listed
// with it. The list is updated in place while the keys stay the same, so that
// a picker is never replaced while it is being used.
class UnmatchedKeysGrid : public QTableWidget {
    Q_OBJECT
public:
    enum Column { KeyColumn, RowsColumn, PVColumn, ClicksColumn, RevenueColumn, BannerColumn, ColumnCount };

    explicit UnmatchedKeysGrid(QWidget* parent = nullptr);

    void showKeys(const std::vector<ReportKeyGroup>& keys, const BannerList* banners);
    // Empties the list, so that the next keys shown build it anew (a new
    // report, or a catalogue that may have changed since).
    void clearKeys();
    // The picker of a row, and the key it is for (program text).
    QComboBox* picker(int row) const;
    const std::string& key(int row) const { return m_keys[static_cast<size_t>(row)]; }

signals:
    // The user gave `key` a banner (nullptr: none).
    void keyAssigned(const std::string& key, TAdBanner* banner);

private:
    void fillRow(int row, const ReportKeyGroup& group);

    QStandardItemModel* m_bannerModel;
    const BannerList* m_banners = nullptr;
    std::vector<std::string> m_keys;
    bool m_filling = false;
};

} // namespace pw::gui
