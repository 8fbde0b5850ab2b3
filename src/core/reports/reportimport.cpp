#include "reports/reportimport.h"

#include "base/files.h"
#include "base/sjistext.h"
#include "reports/csv.h"
#include "text/codec.h"
#include "text/pageencoding.h"
#include "text/sjis.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <utility>

namespace pw {

namespace {

// Blanks around a cell: ASCII space and tab, no-break space, ideographic space.
std::string_view TrimCell(std::string_view s)
{
    while (true) {
        if (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        else if (s.starts_with("\xC2\xA0"))
            s.remove_prefix(2);
        else if (s.starts_with("\xE3\x80\x80"))
            s.remove_prefix(3);
        else
            break;
    }
    while (true) {
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        else if (s.ends_with("\xC2\xA0"))
            s.remove_suffix(2);
        else if (s.ends_with("\xE3\x80\x80"))
            s.remove_suffix(3);
        else
            break;
    }
    return s;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsWordByte(char c)
{
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Whether `key` occurs in `html` (both Shift_JIS) as characters of their own,
// with no letter, digit or underscore right before or after it, so that the
// ID "123" is not found inside "a8mat=1234", nor "モ" in the bytes of "ャい".
bool ContainsWord(std::string_view html, std::string_view key)
{
    const bool wordStart = IsWordByte(key.front());
    const bool wordEnd = IsWordByte(key.back());
    size_t boundary = 0; // a character start at or before the occurrence
    for (size_t at = html.find(key); at != std::string_view::npos; at = html.find(key, at + 1)) {
        while (boundary < at)
            boundary += sjis::CharLength(html, boundary);
        if (boundary != at)
            continue;
        if (wordStart && at > 0 && IsWordByte(html[at - 1]))
            continue;
        const size_t end = at + key.size();
        if (wordEnd && end < html.size() && IsWordByte(html[end]))
            continue;
        return true;
    }
    return false;
}

// At most kQuotedCellChars characters of `text`, "…" after them when there
// were more. `length` gives the bytes of the character at a position.
template <typename Length> std::string CutText(std::string_view text, std::string_view ellipsis, Length length)
{
    size_t at = 0;
    for (size_t chars = 0; at < text.size() && chars < kQuotedCellChars; ++chars)
        at += length(text, at);
    if (at >= text.size())
        return std::string(text);
    return std::string(text.substr(0, at)).append(ellipsis);
}

// A cell (UTF-8) as a message quotes it: trimmed and cut.
std::string CutCell(std::string_view cell)
{
    return CutText(TrimCell(cell), "…", pageenc::Utf8CharLength);
}

// a + b into `sum`; false when it would leave int64_t.
bool AddFigure(int64_t& sum, int64_t add)
{
    return !__builtin_add_overflow(sum, add, &sum);
}

// a + b held at the ends of int64_t: the sums of keys nobody imports are
// shown, never refused.
int64_t AddHeld(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return sum;
}

Status Failed(ReportError& to, ReportError error)
{
    to = std::move(error);
    return Status::Fail(ReportErrorText(to));
}

} // namespace

Status ReadReportTable(std::string_view bytes, ReportTable& out, ReportError* error)
{
    out = ReportTable {};
    ReportError local;
    ReportError& why = error ? *error : local;
    why = ReportError {};
    if (bytes.size() > kReportMaxBytes)
        return Failed(why, { .Kind = ReportErrorKind::FileTooLarge, .Size = bytes.size() });
    ReportTable table;
    table.Encoding = DetectPageEncoding(bytes);
    if (bytes.starts_with(kUtf8ByteOrderMark))
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    table.Text = codec::Decode(table.Encoding, bytes);
    CsvReader reader(table.Text);
    std::string_view field;
    auto unclosed
        = [&] { return Failed(why, { .Kind = ReportErrorKind::UnclosedQuote, .Line = reader.ErrorLine() }); };
    if (!reader.NextRecord()) {
        if (!reader.Error())
            return unclosed();
        return Failed(why, { .Kind = ReportErrorKind::Empty });
    }
    while (reader.NextField(field)) {
        if (table.Header.size() == kReportMaxColumns)
            return Failed(why, { .Kind = ReportErrorKind::TooManyColumns });
        table.Header.emplace_back(field);
    }
    // Every record is read once here, so that a broken quote is found before
    // the report is used.
    while (reader.NextRecord()) {
        while (reader.NextField(field)) { }
        ++table.RowCount;
    }
    if (!reader.Error())
        return unclosed();
    out = std::move(table);
    return Status::Ok();
}

Status ReadReportFile(const std::string& path, ReportTable& out, ReportError* error)
{
    ReportError local;
    ReportError& why = error ? *error : local;
    why = ReportError {};
    FileBytes file;
    if (Status read = MapWholeFile(path, file); !read) {
        out = ReportTable {};
        return Failed(why, { .Kind = ReportErrorKind::Unreadable, .Path = path, .Detail = read.error });
    }
    if (Status parsed = ReadReportTable(file.Bytes, out, &why); !parsed) {
        why.Path = path;
        return Status::Fail(ReportErrorText(why));
    }
    return Status::Ok();
}

ReportRowReader::ReportRowReader(const ReportTable& table)
    : m_csv(table.Text)
    , m_columns(table.Header.size())
{
    m_csv.NextRecord(); // the header
}

bool ReportRowReader::Next()
{
    m_count = 0;
    m_blank = true;
    m_total = false;
    if (!m_csv.NextRecord())
        return false;
    std::string_view field;
    while (m_csv.NextField(field)) {
        if (m_count < m_columns) {
            if (m_count == m_cells.size())
                m_cells.emplace_back();
            m_cells[m_count++].assign(field);
        }
        if (!TrimCell(field).empty()) {
            m_blank = false;
            m_total = m_total || IsReportTotalCell(field);
        }
    }
    return true;
}

std::optional<size_t> FindReportColumn(const ReportTable& table, std::string_view spec)
{
    const std::string name = codec::DecodeSjis(spec);
    const std::string_view wanted = TrimCell(name);
    if (wanted.empty())
        return std::nullopt;
    if (std::all_of(wanted.begin(), wanted.end(), IsDigit)) {
        size_t number = 0;
        const auto [ptr, ec] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
        if (ec == std::errc() && ptr == wanted.data() + wanted.size() && number >= 1
            && number <= table.Header.size())
            return number - 1;
        // A header that is itself a number is still found by its text.
    }
    for (size_t i = 0; i < table.Header.size(); ++i)
        if (TrimCell(table.Header[i]) == wanted)
            return i;
    return std::nullopt;
}

ReportNumberError ReadReportNumber(std::string_view cell, int64_t& value)
{
    value = 0;
    std::string_view s = TrimCell(cell);
    bool negative = false;
    if (s.starts_with('-')) {
        negative = true;
        s.remove_prefix(1);
    } else if (s.starts_with("\xE2\x96\xB2")) { // ▲
        negative = true;
        s.remove_prefix(3);
    }
    s = TrimCell(s);
    if (s.starts_with("\xC2\xA5")) // ¥
        s.remove_prefix(2);
    else if (s.starts_with("\xEF\xBF\xA5")) // ￥
        s.remove_prefix(3);
    else if (s.starts_with('\\'))
        s.remove_prefix(1);
    else if (s.ends_with("\xE5\x86\x86")) // 円
        s.remove_suffix(3);
    s = TrimCell(s);
    if (!negative && s.starts_with('-')) {
        negative = true;
        s.remove_prefix(1);
    }
    if (s.empty())
        return negative ? ReportNumberError::NotANumber : ReportNumberError::None;
    uint64_t number = 0;
    bool tooLarge = false;
    size_t i = 0;
    size_t groupDigits = 0;
    bool grouped = false;
    for (; i < s.size() && s[i] != '.'; ++i) {
        const char c = s[i];
        if (c == ',') {
            // Separators stand between groups of three digits, after a first
            // group of one to three.
            if (groupDigits == 0 || groupDigits > 3 || (grouped && groupDigits != 3))
                return ReportNumberError::Grouping;
            grouped = true;
            groupDigits = 0;
            continue;
        }
        if (!IsDigit(c))
            return ReportNumberError::NotANumber;
        if (!tooLarge) {
            number = number * 10 + static_cast<uint64_t>(c - '0');
            tooLarge = number > static_cast<uint64_t>(kReportFigureLimit);
        }
        ++groupDigits;
    }
    if (i == 0)
        return ReportNumberError::NotANumber;
    if (s[i - 1] == ',' || (grouped && groupDigits != 3))
        return ReportNumberError::Grouping;
    if (i < s.size()) {
        // Only a fraction of zeros: the figures are whole yen and counts.
        if (i + 1 == s.size())
            return ReportNumberError::NotANumber;
        for (size_t k = i + 1; k < s.size(); ++k)
            if (s[k] != '0')
                return ReportNumberError::NotANumber;
    }
    if (tooLarge)
        return ReportNumberError::TooLarge;
    value = negative ? -static_cast<int64_t>(number) : static_cast<int64_t>(number);
    return ReportNumberError::None;
}

std::optional<int64_t> ParseReportNumber(std::string_view cell)
{
    int64_t value = 0;
    if (ReadReportNumber(cell, value) != ReportNumberError::None)
        return std::nullopt;
    return value;
}

bool IsReportPeriod(std::string_view text)
{
    if (text.size() != 7 || text[4] != '-')
        return false;
    for (size_t i : { 0, 1, 2, 3, 5, 6 })
        if (!IsDigit(text[i]))
            return false;
    const int month = (text[5] - '0') * 10 + (text[6] - '0');
    return month >= 1 && month <= 12 && text.substr(0, 4) != "0000";
}

std::optional<std::string> ParseReportMonth(std::string_view cell)
{
    const std::string_view s = TrimCell(cell);
    std::vector<std::string_view> runs;
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size();) {
        if (!IsDigit(s[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < s.size() && IsDigit(s[i]))
            ++i;
        runs.push_back(s.substr(start, i - start));
        starts.push_back(start);
    }
    if (runs.empty() || starts.front() != 0)
        return std::nullopt;
    std::string year, month;
    if (runs[0].size() == 4 && runs.size() >= 2 && runs[1].size() <= 2 && runs.size() <= 6) {
        // The separator after the year: "-", "/", "." or "年".
        const std::string_view separator = s.substr(4, starts[1] - 4);
        if (separator != "-" && separator != "/" && separator != "." && separator != "\xE5\xB9\xB4")
            return std::nullopt;
        year = std::string(runs[0]);
        month = std::string(runs[1]);
    } else if ((runs[0].size() == 6 || runs[0].size() == 8) && runs.size() <= 3) {
        year = std::string(runs[0].substr(0, 4));
        month = std::string(runs[0].substr(4, 2));
    } else {
        return std::nullopt;
    }
    if (month.size() == 1)
        month.insert(0, "0");
    std::string period = year + "-" + month;
    if (!IsReportPeriod(period))
        return std::nullopt;
    return period;
}

bool IsReportTotalCell(std::string_view cell)
{
    static constexpr std::string_view kTotals[]
        = { "合計", "総計", "総合計", "小計", "計", "合計金額", "total", "grand total", "subtotal" };
    std::string text(TrimCell(cell).substr(0, 17));
    if (text.empty() || text.size() > 16)
        return false;
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const auto total : kTotals)
        if (text == total)
            return true;
    return false;
}

bool IsReportTotalRow(const std::vector<std::string>& cells)
{
    return std::any_of(
        cells.begin(), cells.end(), [](const std::string& cell) { return IsReportTotalCell(cell); });
}

std::string_view ReportMatchKey(ReportMatch match)
{
    return match == ReportMatch::Code ? "code" : "name";
}

std::optional<ReportMatch> ReportMatchFromKey(std::string_view key)
{
    if (key == "name")
        return ReportMatch::Name;
    if (key == "code")
        return ReportMatch::Code;
    return std::nullopt;
}

Status ReportImport(const ReportTable& table, const ReportMapping& mapping, std::string_view period,
    const BannerList& banners, ReportImportResult& out)
{
    out = ReportImportResult {};
    struct Wanted {
        const std::string& spec;
        ReportField field;
        size_t column = 0;
    };
    Wanted columns[] = { { mapping.Key, ReportField::Key }, { mapping.PV, ReportField::PV },
        { mapping.Clicks, ReportField::Clicks }, { mapping.Revenue, ReportField::Revenue },
        { mapping.Month, ReportField::Month } };
    const bool byMonthColumn = !mapping.Month.empty();
    for (auto& wanted : columns) {
        if (wanted.field == ReportField::Month && !byMonthColumn)
            continue;
        const auto found = FindReportColumn(table, wanted.spec);
        if (!found)
            return Failed(out.Error,
                { .Kind = ReportErrorKind::NoColumn,
                    .Field = wanted.field,
                    .Value = CutCell(codec::DecodeSjis(wanted.spec)) });
        wanted.column = *found;
    }
    if (!byMonthColumn && !IsReportPeriod(period))
        return Failed(out.Error, { .Kind = ReportErrorKind::BadPeriod, .Value = CutCell(period) });
    // Where a failure points: the line, the column and its cell.
    auto at = [&](ReportErrorKind kind, ReportField field, size_t line, size_t column, std::string_view cell) {
        ReportError error {
            .Kind = kind, .Field = field, .Line = line, .Column = column + 1, .Value = CutCell(cell)
        };
        if (column < table.Header.size())
            error.ColumnName = CutCell(table.Header[column]);
        return error;
    };

    // Banners by name, or their HTML for code matching.
    std::multimap<std::string_view, const TAdBanner*> byName;
    if (mapping.Match == ReportMatch::Name)
        for (const auto& banner : banners.Rows)
            byName.emplace(banner->SpaceName, banner.get());
    std::map<const TAdBanner*, size_t> order;
    for (size_t i = 0; i < banners.Rows.size(); ++i)
        order.emplace(banners.Rows[i].get(), i);
    // The keys given a banner by hand, where the banner is still there.
    std::map<std::string_view, const TAdBanner*> assigned;
    if (!mapping.Assigned.empty()) {
        std::map<std::string_view, const TAdBanner*> byId;
        for (const auto& banner : banners.Rows)
            if (!banner->StatsId.empty())
                byId.emplace(banner->StatsId, banner.get());
        for (const auto& [key, id] : mapping.Assigned)
            if (const auto banner = byId.find(id); banner != byId.end())
                assigned.emplace(key, banner->second);
    }

    std::map<std::pair<size_t, std::string>, ReportBannerSum> sums;
    std::map<std::string, const TAdBanner*> codeMatches; // keys seen before: codes repeat in daily reports
    std::map<std::string, std::vector<const TAdBanner*>> codeAmbiguous;
    std::map<std::string, size_t> keyGroups; // key to its place in out.UnmatchedKeys
    auto skip = [](std::vector<ReportSkippedRow>& listed, size_t& count, ReportSkippedRow row) {
        ++count;
        if (listed.size() < kReportListedRows)
            listed.push_back(std::move(row));
    };
    // Adds the row to its key's group, while there is room for the key.
    auto group = [&](const std::string& key, const int64_t(&figures)[3], const TAdBanner* banner) {
        auto found = keyGroups.find(key);
        if (found == keyGroups.end()) {
            if (out.UnmatchedKeys.size() == kReportListedRows)
                return;
            found = keyGroups.emplace(key, out.UnmatchedKeys.size()).first;
            out.UnmatchedKeys.push_back({ key, 0, 0, 0, 0, banner });
        }
        ReportKeyGroup& into = out.UnmatchedKeys[found->second];
        ++into.Rows;
        into.PV = AddHeld(into.PV, figures[0]);
        into.Clicks = AddHeld(into.Clicks, figures[1]);
        into.Revenue = AddHeld(into.Revenue, figures[2]);
    };
    ReportRowReader rows(table);
    while (rows.Next()) {
        const std::span<const std::string> row = rows.Cells();
        const size_t line = rows.Line();
        auto cell = [&](size_t column) -> std::string_view {
            return column < row.size() ? std::string_view(row[column]) : std::string_view();
        };
        if (rows.Blank())
            continue;
        const std::string key = codec::EncodeSjis(TrimCell(cell(columns[0].column))).bytes;
        if (rows.Total()) {
            skip(out.Totals, out.TotalRows, { line, key, {} });
            continue;
        }
        int64_t figures[3] = {};
        for (int k = 0; k < 3; ++k) {
            const Wanted& wanted = columns[k + 1];
            const ReportNumberError error = ReadReportNumber(cell(wanted.column), figures[k]);
            if (error == ReportNumberError::None)
                continue;
            const ReportErrorKind kind = error == ReportNumberError::TooLarge ? ReportErrorKind::FigureTooLarge
                : error == ReportNumberError::Grouping                        ? ReportErrorKind::Grouping
                                                                              : ReportErrorKind::NotANumber;
            return Failed(out.Error, at(kind, wanted.field, line, wanted.column, cell(wanted.column)));
        }
        std::string rowPeriod(period);
        if (byMonthColumn) {
            const auto month = ParseReportMonth(cell(columns[4].column));
            if (!month)
                return Failed(out.Error,
                    at(ReportErrorKind::NotAMonth, ReportField::Month, line, columns[4].column,
                        cell(columns[4].column)));
            rowPeriod = *month;
        }

        std::vector<const TAdBanner*> candidates;
        if (const auto given = assigned.find(key); given != assigned.end()) {
            candidates.push_back(given->second);
            group(key, figures, given->second);
        } else if (!key.empty()) {
            if (mapping.Match == ReportMatch::Name) {
                const auto [first, last] = byName.equal_range(key);
                for (auto it = first; it != last; ++it)
                    candidates.push_back(it->second);
            } else if (const auto seen = codeMatches.find(key); seen != codeMatches.end()) {
                candidates.push_back(seen->second);
            } else if (const auto both = codeAmbiguous.find(key); both != codeAmbiguous.end()) {
                candidates = both->second;
            } else {
                for (const auto& banner : banners.Rows)
                    if (ContainsWord(banner->BannerHTML, key))
                        candidates.push_back(banner.get());
                if (candidates.size() == 1)
                    codeMatches.emplace(key, candidates.front());
                else if (candidates.size() > 1)
                    codeAmbiguous.emplace(key, candidates);
            }
        }
        if (candidates.empty()) {
            if (!key.empty())
                group(key, figures, nullptr);
            skip(out.Unmatched, out.UnmatchedRows, { line, key, {} });
            continue;
        }
        if (candidates.size() > 1) {
            skip(out.Ambiguous, out.AmbiguousRows, { line, key, std::move(candidates) });
            continue;
        }
        const TAdBanner* banner = candidates.front();
        auto& sum = sums[{ order[banner], rowPeriod }];
        sum.Banner = banner;
        sum.Period = rowPeriod;
        int64_t* totals[3] = { &sum.PV, &sum.Clicks, &sum.Revenue };
        for (int k = 0; k < 3; ++k)
            if (!AddFigure(*totals[k], figures[k]))
                return Failed(out.Error,
                    { .Kind = ReportErrorKind::SumOverflow,
                        .Field = columns[k + 1].field,
                        .Line = line,
                        .Banner = banner->SpaceName,
                        .Period = rowPeriod });
        ++sum.Rows;
        ++out.MatchedRows;
        if (std::find(out.Periods.begin(), out.Periods.end(), rowPeriod) == out.Periods.end())
            out.Periods.push_back(rowPeriod);
    }
    out.Matched.reserve(sums.size());
    for (auto& [where, sum] : sums)
        out.Matched.push_back(std::move(sum));
    std::sort(out.Periods.begin(), out.Periods.end());
    return Status::Ok();
}

std::string ShortReportKey(std::string_view key)
{
    return CutText(key, "…"_sjis, sjis::CharLength);
}

std::string DescribeSkippedRow(const ReportSkippedRow& row)
{
    std::string text
        = "line " + std::to_string(row.Line) + ": " + (row.Key.empty() ? "(no key)" : ShortReportKey(row.Key));
    for (size_t i = 0; i < row.Candidates.size(); ++i)
        text.append(i == 0 ? " [" : ", ").append(row.Candidates[i]->SpaceName);
    if (!row.Candidates.empty())
        text += "]";
    return text;
}

} // namespace pw
