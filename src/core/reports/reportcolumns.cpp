#include "reports/reportcolumns.h"

#include "text/codec.h"

#include <algorithm>
#include <array>
#include <vector>

namespace pw {

namespace {

// The words of each role, surest first. A word of ASCII letters is found as
// whole words of the cell ("Ad Name", "page views (PV)"), a Japanese word
// anywhere in it ("発生報酬額（確定）"), except a word of one character ("月"),
// which must be the whole cell.
struct RoleWords {
    ReportField Field;
    std::vector<std::string_view> Words;
};

const std::array<RoleWords, 5>& Roles()
{
    static const std::array<RoleWords, 5> roles = { {
        { ReportField::Key,
            { "プログラム名", "広告名", "商品名", "広告主名", "案件名", "サイト名", "広告主", "プログラム",
                "program", "program name", "ad", "ad name", "advertiser", "code", "コード" } },
        { ReportField::PV,
            { "インプレッション", "インプレッション数", "表示回数", "表示数", "imp", "imps", "impressions",
                "impression", "pv", "page views", "pageviews", "views", "表示" } },
        { ReportField::Clicks, { "クリック数", "クリック", "クリック回数", "clicks", "click" } },
        { ReportField::Revenue,
            { "確定報酬", "確定報酬額", "報酬", "成果報酬", "成果報酬額", "報酬額", "収益", "revenue",
                "commission", "commissions", "earnings" } },
        { ReportField::Month, { "日付", "年月", "期間", "対象月", "対象期間", "月", "date", "month", "period" } },
    } };
    return roles;
}

// Words that make a cell name no figure: a rate, a unit price, an average,
// or revenue that is not (or no longer) confirmed.
constexpr std::string_view kNotAFigure[] = { "率", "単価", "平均", "未確定", "否認", "却下", "キャンセル", "rate",
    "ctr", "cvr", "cpc", "average", "avg", "%" };

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

// The cell as it is compared: full-width letters, digits and signs as ASCII,
// ASCII letters in lower case, blanks of every width as one space, none at the ends.
std::string Normalized(std::string_view cell)
{
    std::string out;
    auto blank = [&] {
        if (!out.empty() && out.back() != ' ')
            out += ' ';
    };
    for (size_t i = 0; i < cell.size();) {
        const auto b = static_cast<unsigned char>(cell[i]);
        if (b == ' ' || b == '\t') {
            blank();
            ++i;
        } else if (cell.substr(i, 3) == "\xE3\x80\x80" || cell.substr(i, 2) == "\xC2\xA0") {
            blank();
            i += b == 0xE3 ? 3 : 2;
        } else if (b == 0xEF && i + 2 < cell.size()
            && ((cell[i + 1] == '\xBC' && static_cast<unsigned char>(cell[i + 2]) >= 0x81)
                || (cell[i + 1] == '\xBD' && static_cast<unsigned char>(cell[i + 2]) <= 0x9E))) {
            // U+FF01 to U+FF5E: the full-width forms of "!" to "~".
            const int code
                = (cell[i + 1] == '\xBC' ? 0xFF00 : 0xFF40) + (static_cast<unsigned char>(cell[i + 2]) & 0x3F);
            char c = static_cast<char>(code - 0xFEE0);
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            out += c;
            i += 3;
        } else {
            char c = cell[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            out += c;
            ++i;
        }
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The ASCII words of a cell, each between single spaces: " page views pv ".
std::string AsciiWords(std::string_view normalized)
{
    std::string out = " ";
    for (char c : normalized) {
        if (IsAlnum(c))
            out += c;
        else if (out.back() != ' ')
            out += ' ';
    }
    if (out.back() != ' ')
        out += ' ';
    return out;
}

bool HoldsWord(std::string_view normalized, std::string_view words, std::string_view word)
{
    if (IsAscii(word) && std::all_of(word.begin(), word.end(), [](char c) { return IsAlnum(c) || c == ' '; }))
        return words.find(" " + std::string(word) + " ") != std::string_view::npos;
    if (word.size() <= 3)
        return normalized == word;
    return normalized.find(word) != std::string_view::npos;
}

} // namespace

std::optional<ReportField> ReportFieldOfHeader(std::string_view cell, int* score)
{
    const std::string normalized = Normalized(cell);
    if (normalized.empty())
        return std::nullopt;
    const std::string words = AsciiWords(normalized);
    bool notAFigure = false;
    for (const auto word : kNotAFigure)
        notAFigure = notAFigure || HoldsWord(normalized, words, word);
    std::optional<ReportField> best;
    int bestScore = 0;
    for (const auto& role : Roles()) {
        const bool figure = role.Field == ReportField::PV || role.Field == ReportField::Clicks
            || role.Field == ReportField::Revenue;
        if (figure && notAFigure)
            continue;
        const int count = static_cast<int>(role.Words.size());
        for (int i = 0; i < count; ++i) {
            const std::string_view word = role.Words[static_cast<size_t>(i)];
            int found = 0;
            if (normalized == word)
                found = 2000 - i;
            else if (HoldsWord(normalized, words, word))
                found = 1000 - i;
            if (found > bestScore) {
                bestScore = found;
                best = role.Field;
            }
        }
    }
    if (score)
        *score = bestScore;
    return best;
}

std::string ReportColumnSpec(const ReportTable& table, size_t column)
{
    if (column >= table.Header.size())
        return {};
    const std::string& header = table.Header[column];
    const std::string name = codec::EncodeSjis(header).bytes;
    const auto found = FindReportColumn(table, name);
    if (!name.empty() && found && *found == column
        && std::count(table.Header.begin(), table.Header.end(), header) == 1
        && !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return name;
    return std::to_string(column + 1);
}

ReportMapping ChooseReportMapping(const ReportTable& table, const ReportMapping* remembered)
{
    ReportMapping mapping;
    std::string* specs[] = { &mapping.Key, &mapping.PV, &mapping.Clicks, &mapping.Revenue, &mapping.Month };
    std::vector<bool> used(table.Header.size(), false);
    bool chosen[5] = {};
    if (remembered) {
        mapping.Match = remembered->Match;
        mapping.Assigned = remembered->Assigned;
        const std::string* kept[]
            = { &remembered->Key, &remembered->PV, &remembered->Clicks, &remembered->Revenue, &remembered->Month };
        for (size_t role = 0; role < 5; ++role) {
            if (kept[role]->empty())
                continue;
            if (const auto column = FindReportColumn(table, *kept[role])) {
                *specs[role] = ReportColumnSpec(table, *column);
                used[*column] = true;
                chosen[role] = true;
            }
        }
        // Reports given a period apart stay so.
        if (remembered->Month.empty())
            chosen[static_cast<size_t>(ReportField::Month)] = true;
    }

    struct Candidate {
        int Score;
        size_t Column;
        ReportField Field;
    };
    std::vector<Candidate> candidates;
    for (size_t column = 0; column < table.Header.size(); ++column) {
        int score = 0;
        if (const auto field = ReportFieldOfHeader(table.Header[column], &score))
            candidates.push_back({ score, column, *field });
    }
    std::stable_sort(candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.Score > b.Score; });
    bool keyByCode = false;
    for (const auto& candidate : candidates) {
        const auto role = static_cast<size_t>(candidate.Field);
        if (chosen[role] || used[candidate.Column])
            continue;
        *specs[role] = ReportColumnSpec(table, candidate.Column);
        used[candidate.Column] = true;
        chosen[role] = true;
        if (candidate.Field == ReportField::Key) {
            const std::string normalized = Normalized(table.Header[candidate.Column]);
            const std::string words = AsciiWords(normalized);
            keyByCode = HoldsWord(normalized, words, "code") || HoldsWord(normalized, words, "コード");
        }
    }
    if (!remembered && keyByCode)
        mapping.Match = ReportMatch::Code;
    return mapping;
}

} // namespace pw
