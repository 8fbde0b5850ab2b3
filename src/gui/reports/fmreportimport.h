#pragma once

#include "catalogue/banner.h"
#include "reports/reportimport.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

namespace pw::gui {

// "レポートの取り込み": a network's CSV report with a preview of its first rows,
// the column mapping, match mode, network and period, and what the import
// would store, recomputed on every change. OK is enabled while at least one
// row matches; the caller stores the result.
class TFmReportImport : public QDialog {
    Q_OBJECT
public:
    explicit TFmReportImport(QWidget* parent = nullptr);

    // Reads the report; false (with the error text) when it cannot be read.
    bool setReport(const QString& path, const BannerList& banners, QString& error);
    // Network names for the network box (program text) and the one chosen.
    void setNetworks(const std::vector<std::string>& names, const std::string& chosen);
    // Where the mapping remembered for a network comes from: choosing a
    // network applies its mapping.
    using MappingSource = std::function<std::optional<ReportMapping>(const std::string& network)>;
    void setMappingSource(MappingSource source) { m_mappingSource = std::move(source); }
    // Chooses the columns and match mode of a remembered mapping; columns the
    // report lacks stay as they were.
    void applyMapping(const ReportMapping& mapping);
    void setPeriod(const QString& period);

    ReportMapping mapping() const; // program text; columns by header text where it is unique
    std::string network() const; // program text; empty for none
    std::string period() const; // "YYYY-MM" when no month column is chosen
    const ReportImportResult& result() const { return m_result; }
    const ReportTable& table() const { return m_table; }
    QString resultText() const;
    // The error of the last refresh (a missing period, a number that cannot be read).
    const QString& problem() const { return m_problem; }

    // Recomputes the result from the current choices.
    void refresh();

    static constexpr int kPreviewRows = 10;

private:
    void fillColumns();
    std::string columnSpec(const QComboBox* box) const;

    void networkChosen();

    const BannerList* m_banners = nullptr;
    MappingSource m_mappingSource;
    ReportTable m_table;
    ReportImportResult m_result;
    QString m_problem;
    bool m_filling = false;

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
    QPlainTextEdit* m_resultView;
    QDialogButtonBox* m_buttons;
};

} // namespace pw::gui
