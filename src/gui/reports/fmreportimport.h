#pragma once

#include "catalogue/banner.h"
#include "reports/reportimport.h"

#include <QDialog>

#include <functional>
#include <map>
#include <optional>
#include <string>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

namespace pw::gui {

class UnmatchedKeysGrid;

// "レポートの取り込み": a network's CSV report with a preview of its first rows,
// the column mapping (chosen from the network's remembered mapping and the
// words of the header, and open to change), match mode, network and period,
// the keys no banner matched with a banner picker each, and what the import
// would store, recomputed on every change. OK is enabled while at least one
// row matches; the caller stores the result.
class TFmReportImport : public QDialog {
    Q_OBJECT
public:
    explicit TFmReportImport(QWidget* parent = nullptr);

    // Reads the report; false (with why) when it cannot be read. A key given
    // a banner by hand gives the banner its stable id, hence `banners` is not
    // const.
    bool setReport(const QString& path, BannerList& banners, ReportError& error);
    // Network names for the network box (program text) and the one chosen.
    void setNetworks(const std::vector<std::string>& names, const std::string& chosen);
    // Where the mapping remembered for a network comes from: choosing a
    // network that has one applies it.
    using MappingSource = std::function<std::optional<ReportMapping>(const std::string& network)>;
    void setMappingSource(MappingSource source) { m_mappingSource = std::move(source); }
    // Chooses the columns, match mode and keys given by hand of a remembered
    // mapping (nullptr: none) where the report has them, the other columns by
    // the words of the report's header.
    void applyMapping(const ReportMapping* remembered);
    void setPeriod(const QString& period);
    // Gives a key a banner by hand (nullptr: takes it back).
    void assignKey(const std::string& key, TAdBanner* banner);

    // Program text; columns by header text where it is unique; with the keys
    // given a banner by hand.
    ReportMapping mapping() const;
    std::string network() const; // program text; empty for none
    std::string period() const; // "YYYY-MM" when no month column is chosen
    const ReportImportResult& result() const { return m_result; }
    const ReportTable& table() const { return m_table; }
    QString resultText() const;
    // The error of the last refresh (a missing period, a number that cannot be read).
    const QString& problem() const { return m_problem; }
    // Whether a banner picked for a key was given its stable id here (the
    // catalogue then needs saving before figures are stored under it).
    bool gaveStatsIds() const { return m_gaveIds; }

    // Recomputes the result from the current choices.
    void refresh();

    static constexpr int kPreviewRows = 10;

private:
    void fillColumns();
    std::string columnSpec(const QComboBox* box) const;

    void networkChosen();

    BannerList* m_banners = nullptr;
    MappingSource m_mappingSource;
    ReportTable m_table;
    ReportImportResult m_result;
    std::map<std::string, std::string> m_assigned; // key to banner id
    // The keys given (or taken back, with an empty id) in this dialog, kept
    // over a network's remembered keys when the network is chosen after.
    std::map<std::string, std::string> m_assignedHere;
    QString m_problem;
    bool m_filling = false;
    bool m_gaveIds = false;

    QLabel* m_file;
    QTableWidget* m_preview;
    QComboBox* m_key;
    QComboBox* m_pv;
    QComboBox* m_clicks;
    QComboBox* m_revenue;
    QComboBox* m_month;
    QComboBox* m_match;
    QComboBox* m_network;
    QLineEdit* m_period;
    QLabel* m_mappingNote;
    UnmatchedKeysGrid* m_unmatched;
    QPlainTextEdit* m_resultView;
    QDialogButtonBox* m_buttons;
};

} // namespace pw::gui
