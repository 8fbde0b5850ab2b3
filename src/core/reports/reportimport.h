#pragma once

#include "base/result.h"
#include "catalogue/banner.h"
#include "reports/csv.h"
#include "reports/reporterror.h"
#include "text/encoding.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reading an affiliate network's CSV report and matching its rows to the
// catalogue's banners. The table's cells are the report's text decoded to
// Unicode (UTF-8), so that signs such as "¥", which Shift_JIS cannot hold, are
// still read; the mapping's column names and the keys in the result are
// program text (Shift_JIS), as the catalogue's names are.
namespace pw {

// The largest report read, and the most columns its header may have. No
// network's monthly report comes near either; a larger file is a wrong file
// or a crafted one, and is refused before it costs memory.
inline constexpr size_t kReportMaxBytes = 64 * 1024 * 1024;
inline constexpr size_t kReportMaxColumns = 1000;

// A report after decoding: its text and header. The rows are read from the
// text one at a time (ReportRowReader), so that a report costs the memory of
// its text, not of every cell in it.
struct ReportTable {
    PageEncoding Encoding = PageEncoding::ShiftJis; // what the file was written in
    std::string Text; // the report in UTF-8, without a byte order mark
    std::vector<std::string> Header; // the cells of the first record
    size_t RowCount = 0; // the records after the header
};

// Decodes the report's bytes (a UTF-8 byte order mark, else Shift_JIS, UTF-8 or
// EUC-JP as detection finds) and checks that they split as CSV. A file with no
// record at all, with a quote that is never closed, larger than
// kReportMaxBytes or with more than kReportMaxColumns columns is an error,
// told in `error` (when given) as well as in English.
Status ReadReportTable(std::string_view bytes, ReportTable& out, ReportError* error = nullptr);
Status ReadReportFile(const std::string& path, ReportTable& out, ReportError* error = nullptr);

// The rows of a table after its header, one at a time.
class ReportRowReader {
public:
    explicit ReportRowReader(const ReportTable& table);

    // Moves to the next row; false after the last.
    bool Next();
    // The line of the file the row starts on.
    size_t Line() const { return m_csv.RecordLine(); }
    // The row's cells under the header's columns (fewer when the row is
    // shorter); valid until the next call of Next.
    std::span<const std::string> Cells() const { return { m_cells.data(), m_count }; }
    // Whether no cell of the row, those past the header's columns included,
    // holds text; and whether one names a sum (see IsReportTotalRow).
    bool Blank() const { return m_blank; }
    bool Total() const { return m_total; }

private:
    CsvReader m_csv;
    size_t m_columns;
    std::vector<std::string> m_cells;
    size_t m_count = 0;
    bool m_blank = true;
    bool m_total = false;
};

// The index of the column that `spec` names: a number from 1 counts columns,
// any other text is compared with the header's cells (blanks around them
// ignored). nullopt when there is no such column.
std::optional<size_t> FindReportColumn(const ReportTable& table, std::string_view spec);

// The largest figure a report cell may hold, as a count or in yen: far above
// any affiliate's month, far below what sums of many such figures overflow.
inline constexpr int64_t kReportFigureLimit = 1'000'000'000'000'000; // 10^15
inline constexpr const char* kReportFigureLimitText = "1,000,000,000,000,000 (10^15)";

enum class ReportNumberError {
    None,
    NotANumber, // not a whole number in any form reports write
    Grouping, // digits and commas not in groups of three: "1234,567" has a decimal comma
    TooLarge, // beyond kReportFigureLimit either way
};

// A whole number as reports write them: thousands separators (a first group
// of one to three digits, then groups of three), a yen sign in front ("¥",
// "￥", or "\" as Shift_JIS shows it) or "円" after, with or without blanks
// between sign and number, a minus sign or "▲" for a negative number, blanks
// around; a fraction of zeros only ("1,234.00"). An empty cell is 0. Returns
// why a cell is refused, else None with the number in `value`.
ReportNumberError ReadReportNumber(std::string_view cell, int64_t& value);
// The number, or nullopt for a cell that ReadReportNumber refuses.
std::optional<int64_t> ParseReportNumber(std::string_view cell);

// The month "YYYY-MM" a date or month cell names: "2026-11", "2026/11/05",
// "2026年11月", "2026.11", "202611", "20261105". nullopt for anything else.
std::optional<std::string> ParseReportMonth(std::string_view cell);
// Whether `text` is a month written "YYYY-MM".
bool IsReportPeriod(std::string_view text);

// A row that holds a sum of the others ("合計", "総計", "小計", "Total", ...) in any
// of its cells; and a cell that names such a sum.
bool IsReportTotalRow(const std::vector<std::string>& cells);
bool IsReportTotalCell(std::string_view cell);

enum class ReportMatch {
    Name, // the key equals the banner's name
    Code, // the key occurs in the banner's HTML as a word of its own
};

// Which columns hold what, each a header text or a 1-based column number.
struct ReportMapping {
    std::string Key;
    std::string PV;
    std::string Clicks;
    std::string Revenue;
    std::string Month; // empty: the whole report is one period, given apart
    ReportMatch Match = ReportMatch::Name;
    // Keys the user gave a banner by hand, key (program text) to the banner's
    // StatsId: such a key matches that banner, whatever its name or code
    // would match, as long as the catalogue still has it.
    std::map<std::string, std::string> Assigned {};
};

// "name" or "code", and back.
std::string_view ReportMatchKey(ReportMatch match);
std::optional<ReportMatch> ReportMatchFromKey(std::string_view key);

// The figures of one banner for one period, summed over its rows.
struct ReportBannerSum {
    const TAdBanner* Banner = nullptr;
    std::string Period;
    int64_t PV = 0;
    int64_t Clicks = 0;
    int64_t Revenue = 0;
    int Rows = 0;
};

// A row that was not counted.
struct ReportSkippedRow {
    size_t Line = 0;
    std::string Key;
    std::vector<const TAdBanner*> Candidates; // the banners an ambiguous row matched
};

// The skipped rows of each kind listed in a result: a report of a million
// unknown keys is told by their count, not by a list that costs more memory
// than the report.
inline constexpr size_t kReportListedRows = 1000;

// The rows of one key that neither name nor code matched, summed over all
// periods: what the user sees to give the key a banner by hand. A key given
// one (ReportMapping::Assigned) stays listed, with its banner.
struct ReportKeyGroup {
    std::string Key; // program text, never empty
    size_t Rows = 0;
    int64_t PV = 0;
    int64_t Clicks = 0;
    int64_t Revenue = 0;
    const TAdBanner* Assigned = nullptr;
};

struct ReportImportResult {
    std::vector<ReportBannerSum> Matched; // catalogue order, then period
    // The first kReportListedRows skipped rows of each kind, in file order.
    std::vector<ReportSkippedRow> Unmatched; // rows that match no banner
    std::vector<ReportSkippedRow> Ambiguous; // rows that match several banners
    std::vector<ReportSkippedRow> Totals; // sum rows, never matched
    std::vector<std::string> Periods; // the periods the report covers, ascending
    // The keys that match no banner by themselves, in order of their first
    // row, at most kReportListedRows of them (sums held at the figure bound).
    std::vector<ReportKeyGroup> UnmatchedKeys;
    size_t MatchedRows = 0;
    // Every skipped row of each kind, listed or not.
    size_t UnmatchedRows = 0;
    size_t AmbiguousRows = 0;
    size_t TotalRows = 0;
    // Why the import failed; Kind None after a success.
    ReportError Error;
};

// Reads the table's rows with the mapping and matches them to the catalogue.
// `period` is the month of every row when the mapping has no month column.
// Rows of one banner and period add up. A row whose key is empty or matches
// no banner is listed as unmatched, one that matches several as ambiguous;
// neither is counted, nor is a total row, nor a row with no text at all. A
// column the table lacks, a number or month that cannot be read (outside a
// total row), and a sum that no figure can hold fail the whole import, naming
// the line; a message quotes at most kQuotedCellChars characters of a cell.
// The failure's facts are in out.Error, its English words in the Status.
Status ReportImport(const ReportTable& table, const ReportMapping& mapping, std::string_view period,
    const BannerList& banners, ReportImportResult& out);

// The characters of a cell that a message quotes; a longer cell is cut there
// and "…" marks the cut.
inline constexpr size_t kQuotedCellChars = 40;

// One line for the skipped row: "line N: KEY" (the key cut as a message
// quotes a cell) and, for an ambiguous row, the names of the banners it
// matched.
std::string DescribeSkippedRow(const ReportSkippedRow& row);
// A key (program text) cut as a message quotes a cell.
std::string ShortReportKey(std::string_view key);

} // namespace pw
