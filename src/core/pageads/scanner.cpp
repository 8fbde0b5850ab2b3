#include "pageads/scanner.h"

#include "pageads/adtext.h"
#include "pageads/linefinder.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <unordered_map>

namespace pw {

namespace {

// Numbers the names of one kind of block during one pass: the first block of
// a name keeps it, the k-th is shown as name[k].
class NameRegister {
public:
    std::string Number(std::string_view name)
    {
        const int count = ++m_counts[std::string(name)];
        std::string text(name);
        if (count > 1)
            text.append("[").append(std::to_string(count)).append("]");
        return text;
    }

private:
    std::unordered_map<std::string, int> m_counts;
};

// FindBannerByName for one scan: the catalogue's names and HTML as page text,
// looked up by hash so that a page of many blocks costs no more per block than
// a page of few.
class BannerLookup {
public:
    struct Entry {
        const TAdBanner* Banner;
        std::string Html; // page text
    };

    BannerLookup(const BannerList& catalogue, PageEncoding encoding)
    {
        for (const auto& row : catalogue.Rows) {
            std::string name = ToPageText(encoding, row->SpaceName);
            if (!m_entries.count(name))
                m_entries.emplace(std::move(name), Entry { row.get(), ToPageText(encoding, row->BannerHTML) });
        }
    }

    // The banner of a block name (a name never holds "[", so it is its own
    // FindBannerByName key).
    const Entry* Find(const std::string& name) const
    {
        if (name.empty())
            return nullptr;
        const auto it = m_entries.find(name);
        return it == m_entries.end() ? nullptr : &it->second;
    }

private:
    std::unordered_map<std::string, Entry> m_entries;
};

// The register of normal and member names, which also remembers the banner of
// each name, so that a block costs one hash lookup.
class NormalNameRegister {
public:
    explicit NormalNameRegister(const BannerLookup& lookup)
        : m_lookup(lookup)
    {
    }

    // The node text of the next block named `name`, and its banner.
    std::string Number(std::string_view name, const BannerLookup::Entry*& banner)
    {
        auto [it, added] = m_names.try_emplace(std::string(name));
        if (added)
            it->second.banner = m_lookup.Find(it->first);
        banner = it->second.banner;
        const int count = ++it->second.count;
        std::string text(name);
        if (count > 1)
            text.append("[").append(std::to_string(count)).append("]");
        return text;
    }

private:
    struct Info {
        int count = 0;
        const BannerLookup::Entry* banner = nullptr;
    };
    const BannerLookup& m_lookup;
    std::unordered_map<std::string, Info> m_names;
};

// A line being rewritten left to right: the new text of the repaired markers
// and the untouched bytes between them, joined once at the end of the line.
class LineRepair {
public:
    explicit LineRepair(std::string_view source)
        : m_source(source)
    {
    }

    // Replaces the source bytes [from, to) by `text`.
    void Replace(size_t from, size_t to, std::string_view text)
    {
        m_out.append(m_source.substr(m_copied, from - m_copied)).append(text);
        m_copied = to;
        m_changed = true;
    }
    bool Changed() const { return m_changed; }
    std::string Finish()
    {
        m_out.append(m_source.substr(m_copied));
        return std::move(m_out);
    }

private:
    std::string_view m_source;
    std::string m_out;
    size_t m_copied = 0;
    bool m_changed = false;
};

constexpr size_t npos = std::string_view::npos;

// A start marker found on a line: "<!--PW" at `at`, its kind letter and the
// "]" that ends its name (0-based indexes).
struct StartMarker {
    size_t at = npos;
    size_t close = npos;
    bool rotation = false;
};

enum class MarkerSearch { Found, NoCloseBracket, LineDone };

// Finds the next start marker from `from`: the prefix, at least 9 characters
// from it on, "R" or "H" and "[" after it, and the "]" after the name.
MarkerSearch FindStartMarker(
    std::string_view text, size_t from, LineFinder& prefix, CharFinder& bracket, StartMarker& marker)
{
    const size_t p = prefix.Find(text, from);
    if (p == npos || text.size() - p < 9 || (text[p + 6] != 'R' && text[p + 6] != 'H') || text[p + 7] != '[')
        return MarkerSearch::LineDone;
    marker.at = p;
    marker.rotation = text[p + 6] == 'R';
    marker.close = bracket.Find(text, p + 8);
    return marker.close == npos ? MarkerSearch::NoCloseBracket : MarkerSearch::Found;
}

bool ParseNumbering(std::string_view text, long long& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    int parsed = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end)
        return false;
    value = parsed;
    return true;
}

} // namespace

void ScanAdBlocks(AdPage& page, const BannerList& catalogue)
{
    PageEditor& editor = page.Editor;
    const PageChange repairs(editor);
    AdTree& tree = page.Tree;
    const PageEncoding encoding = page.Encoding;
    const BannerLookup lookup(catalogue, encoding);
    const std::string defaultRotation = ToPageText(encoding, kDefaultRotationName);
    const std::string defaultNormal = ToPageText(encoding, kDefaultNormalName);

    NormalNameRegister normalNames(lookup);
    NameRegister rotationNames;
    AdNode* rotation = nullptr;
    AdNode* normal = nullptr;
    const BannerLookup::Entry* normalBanner = nullptr;
    std::optional<AdTextComparer> comparer; // compares the open block's text with its banner

    LineFinder normalEnd(kNormalEnd);
    LineFinder rotationEnd(kRotationEnd);
    LineFinder prefix(kMarkerPrefix);
    LineFinder close(kMarkerClose);
    CharFinder bracket(']', encoding);

    for (size_t line = 1; line <= editor.LineCount(); ++line) {
        const std::string_view text = editor.LineText(line);
        normalEnd.Reset();
        rotationEnd.Reset();
        prefix.Reset();
        close.Reset();
        bracket.Reset();
        LineRepair repair(text);
        size_t col = 0;
        while (col < text.size()) {
            if (normal) {
                const size_t d = normalEnd.Find(text, col);
                if (d == npos) {
                    if (comparer)
                        comparer->Feed(text.substr(col));
                    break;
                }
                if (comparer) {
                    comparer->Feed(text.substr(col, d - col));
                    if (comparer->Finish())
                        tree.SetStatus(*normal, nsMatched);
                    comparer.reset();
                }
                normal = nullptr;
                col = d + 12;
                continue;
            }
            if (rotation) {
                const size_t d = rotationEnd.Find(text, col);
                if (d != npos) {
                    rotation = nullptr;
                    col = d + 12;
                }
            }
            StartMarker marker;
            const MarkerSearch search = FindStartMarker(text, col, prefix, bracket, marker);
            if (search == MarkerSearch::LineDone)
                break;
            if (search == MarkerSearch::NoCloseBracket) {
                col = marker.at + 8;
                continue;
            }
            std::string_view name = text.substr(marker.at + 8, marker.close - marker.at - 8);
            if (name.empty() || FindPageChar(encoding, name, '[', 0) != npos) {
                name = marker.rotation ? defaultRotation : defaultNormal;
                repair.Replace(marker.at + 8, marker.close, name);
            }
            const size_t e = close.Find(text, marker.close);
            if (e == npos) {
                col = marker.close;
                continue;
            }
            if (marker.rotation) {
                rotation = &tree.Add(nullptr, rotationNames.Number(name), nsRotation);
                col = e;
            } else {
                std::string nodeText = normalNames.Number(name, normalBanner);
                normal = &tree.Add(rotation, std::move(nodeText), normalBanner ? nsChanged : nsUnlisted);
                if (normalBanner)
                    comparer.emplace(normalBanner->Html, rotation != nullptr, encoding);
                col = e + 3;
            }
        }
        if (repair.Changed())
            editor.SetLineText(line, repair.Finish());
    }
    if (normal)
        editor.AppendLine(kNormalEnd);
    if (rotation)
        editor.AppendLine(kRotationEnd);
    tree.ExpandAll();
}

BlockAtCaret LocateBlockAtCaret(const AdPage& page, std::string_view name)
{
    const PageEditor& editor = page.Editor;
    const TextPos caret = editor.Caret();
    BlockAtCaret result;
    result.Name = std::string(name);

    LineFinder normalEnd(kNormalEnd);
    LineFinder rotationEnd(kRotationEnd);
    LineFinder prefix(kMarkerPrefix);
    LineFinder close(kMarkerClose);
    CharFinder bracket(']', page.Encoding);
    bool inNormal = false;
    bool inRotation = false;
    size_t occurrences = 0;
    auto caretWithin
        = [&](size_t line, size_t col) { return caret.Line < line || (caret.Line == line && caret.Col <= col); };

    for (size_t line = 1; line <= editor.LineCount() && result.Kind == abNone; ++line) {
        if (!inNormal && !inRotation && caret.Line < line)
            break;
        const std::string_view text = editor.LineText(line);
        normalEnd.Reset();
        rotationEnd.Reset();
        prefix.Reset();
        close.Reset();
        bracket.Reset();
        size_t col = 0;
        while (col < text.size()) {
            if (inNormal) {
                const size_t d = normalEnd.Find(text, col);
                if (d == npos)
                    break;
                result.BlockEnd = { line, d + 13 };
                col = d + 12;
                if (caretWithin(line, d + 13)) {
                    result.Kind = inRotation ? abMember : abNormal;
                    break;
                }
                inNormal = false;
                continue;
            }
            if (inRotation) {
                const size_t d = rotationEnd.Find(text, col);
                if (d != npos) {
                    result.RotationEnd = { line, d + 13 };
                    col = d + 12;
                    if (caretWithin(line, d + 13)) {
                        result.Kind = abRotation;
                        break;
                    }
                    inRotation = false;
                }
            }
            StartMarker marker;
            const MarkerSearch search = FindStartMarker(text, col, prefix, bracket, marker);
            if (search == MarkerSearch::LineDone)
                break;
            if (search == MarkerSearch::NoCloseBracket) {
                col = marker.at + 8;
                continue;
            }
            if (marker.rotation) {
                if (inRotation) {
                    col = marker.close;
                    continue;
                }
                result.RotationStart = { line, marker.at + 1 };
                const size_t e = close.Find(text, marker.close);
                inRotation = e != npos;
                col = e != npos ? e : marker.close;
            } else {
                if (text.substr(marker.at + 8, marker.close - marker.at - 8) == name)
                    ++occurrences;
                result.BlockStart = { line, marker.at + 1 };
                const size_t e = close.Find(text, marker.close);
                inNormal = e != npos;
                col = e != npos ? e + 3 : marker.close;
            }
        }
    }
    if (result.Kind != abNone && occurrences >= 2)
        result.Name.append("[").append(std::to_string(occurrences)).append("]");
    return result;
}

SelectResult FindBlockByName(const AdPage& page, std::string_view nodeText, bool rotation, BlockRange& range)
{
    if (nodeText.empty())
        return SelectResult::NotFound;
    std::string_view name = nodeText;
    long long n = 1;
    const size_t open = FindPageChar(page.Encoding, nodeText, '[', 0);
    if (open != npos) {
        name = nodeText.substr(0, open);
        if (nodeText.size() - open < 2)
            return SelectResult::BadNumbering;
        const std::string_view number = nodeText.substr(open + 1, nodeText.size() - open - 2);
        if (!ParseNumbering(number, n))
            return SelectResult::BadNumbering;
    }

    const PageEditor& editor = page.Editor;
    const std::string_view startMarker = rotation ? kRotationStart : kNormalStart;
    LineFinder start(startMarker);
    LineFinder end(rotation ? kRotationEnd : kNormalEnd);
    LineFinder close(kMarkerClose);
    CharFinder bracket(']', page.Encoding);
    bool found = false;
    size_t afterName = 0; // column just after the found start marker's "]"
    for (size_t line = 1; line <= editor.LineCount(); ++line) {
        const std::string_view text = editor.LineText(line);
        start.Reset();
        end.Reset();
        bracket.Reset();
        size_t col = 0;
        while (!found) {
            const size_t p = start.Find(text, col);
            if (p == npos)
                break;
            const size_t q = bracket.Find(text, p + 8);
            if (q == npos) {
                col = p + 8;
                continue;
            }
            col = q + 1;
            if (text.substr(p + 8, q - p - 8) != name)
                continue;
            if (n > 1) {
                --n;
                continue;
            }
            found = true;
            range.Start = { line, p + 1 };
            close.Reset();
            const size_t e = close.Find(text, q);
            afterName = q + 2;
            range.ContentStart = { line, e != npos ? e + 4 : afterName };
        }
        if (!found)
            continue;
        const size_t d = end.Find(text, col);
        if (d == npos)
            continue;
        range.ContentEnd = { line, d + 1 };
        range.End = { line, d + kNormalEnd.size() + 1 };
        // A "-->" that only the end marker supplies does not close the start marker.
        if (range.ContentStart.Line == line && range.ContentStart.Col > range.ContentEnd.Col)
            range.ContentStart.Col = std::min(afterName, range.ContentEnd.Col);
        return SelectResult::Found;
    }
    return SelectResult::NotFound;
}

SelectResult SelectBlockByName(AdPage& page, std::string_view nodeText, bool scroll, bool rotation)
{
    BlockRange range;
    const SelectResult result = FindBlockByName(page, nodeText, rotation, range);
    if (result == SelectResult::Found)
        SelectBlockRange(page.Editor, range, scroll);
    return result;
}

void SelectBlockRange(PageEditor& editor, const BlockRange& range, bool scroll)
{
    if (scroll)
        editor.ScrollTo(range.End);
    editor.SetSelection(range.End, range.Start);
    if (scroll)
        editor.ScrollTo(range.Start);
}

std::string BlockContent(const PageEditor& editor, const BlockRange& range)
{
    std::string content;
    for (size_t line = range.ContentStart.Line; line <= range.ContentEnd.Line; ++line) {
        const std::string_view text = editor.LineText(line);
        const size_t from = line == range.ContentStart.Line ? range.ContentStart.Col - 1 : 0;
        const size_t to = line == range.ContentEnd.Line ? range.ContentEnd.Col - 1 : text.size();
        if (from < to && from < text.size())
            content.append(text.substr(from, to - from));
    }
    return content;
}

} // namespace pw
