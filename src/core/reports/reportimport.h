#pragma once

#include "base/result.h"
#include "catalogue/banner.h"
#include "text/encoding.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading an affiliate network's CSV report and matching its rows to the
// catalogue's banners. The table's cells are the report's text decoded to
// Unicode (UTF-8), so that signs such as "¥", which Shift_JIS cannot hold, are
// still read; the mapping's column names and the keys in the result are
// program text (Shift_JIS), as the catalogue's names are.
namespace pw {

// A report's cells after decoding: the first record is the header.
struct ReportTable {
    PageEncoding Encoding = PageEncoding::ShiftJis; // what the file was written in
    std::vector<std::string> Header;
    std::vector<std::vector<std::string>> Rows;
    std::vector<size_t> Lines; // the line of the file each row starts on
};

// Decodes the report's bytes (a UTF-8 byte order mark, else Shift_JIS, UTF-8 or
// EUC-JP as detection finds) and splits them as CSV. A file with no record at
// all, or with a quote that is never closed, is an error.
Status ReadReportTable(std::string_view bytes, ReportTable& out);
Status ReadReportFile(const std::string& path, ReportTable& out);

// The index of the column that `spec` names: a number from 1 counts columns,
// any other text is compared with the header's cells (blanks around them
// ignored). nullopt when there is no such column.
std::optional<size_t> FindReportColumn(const ReportTable& table, std::string_view spec);

// A whole number as reports write them: thousands separators, a yen sign in
// front ("¥", "￥", or "\" as Shift_JIS shows it) or "円" after, a minus sign
// or "▲" for a negative number, blanks around; a fraction of zeros only
// ("1,234.00"). An empty cell is 0. nullopt for anything else.
std::optional<int64_t> ParseReportNumber(std::string_view cell);

// The month "YYYY-MM" a date or month cell names: "2026-11", "2026/11/05",
// "2026年11月", "2026.11", "202611", "20261105". nullopt for anything else.
std::optional<std::string> ParseReportMonth(std::string_view cell);
// Whether `text` is a month written "YYYY-MM".
bool IsReportPeriod(std::string_view text);

// A row that holds a sum of the others ("合計", "総計", "小計", "Total", ...) in any
// of its cells.
bool IsReportTotalRow(const std::vector<std::string>& cells);

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

struct ReportImportResult {
    std::vector<ReportBannerSum> Matched; // catalogue order, then period
    std::vector<ReportSkippedRow> Unmatched; // rows that match no banner
    std::vector<ReportSkippedRow> Ambiguous; // rows that match several banners
    std::vector<ReportSkippedRow> Totals; // sum rows, never matched
    std::vector<std::string> Periods; // the periods the report covers, ascending
    size_t MatchedRows = 0;
};

// Reads the table's rows with the mapping and matches them to the catalogue.
// `period` is the month of every row when the mapping has no month column.
// Rows of one banner and period add up. A row whose key is empty or matches
// no banner is listed as unmatched, one that matches several as ambiguous;
// neither is counted, nor is a total row, nor a row with no text at all. A
// column the table lacks, a number or month that cannot be read (outside a
// total row) fails the whole import, naming the line.
Status ReportImport(const ReportTable& table, const ReportMapping& mapping, std::string_view period,
    const BannerList& banners, ReportImportResult& out);

// One line for the skipped row: "line N: KEY" and, for an ambiguous row, the
// names of the banners it matched.
std::string DescribeSkippedRow(const ReportSkippedRow& row);

} // namespace pw
