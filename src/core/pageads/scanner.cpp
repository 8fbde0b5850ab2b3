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

// Lengths and places within the markers, 0-based from a marker's first byte.
static_assert(kNormalStart.size() == kRotationStart.size() && kNormalEnd.size() == kRotationEnd.size());
static_assert(kNormalStart.starts_with(kMarkerPrefix) && kRotationStart.starts_with(kMarkerPrefix));
constexpr size_t kKindAt = kMarkerPrefix.size(); // "H" or "R"
constexpr size_t kNameAt = kNormalStart.size(); // just after "["
constexpr size_t kEndLast = kNormalEnd.size() - 1; // the end marker's last character

// A start marker found on a line: "<!--PW" at `at`, its kind letter and the
// "]" that ends its name (0-based indexes).
struct StartMarker {
    size_t at = npos;
    size_t close = npos;
    bool rotation = false;
};

enum class MarkerSearch { Found, NoCloseBracket, LineDone };

// Finds the next start marker from `from`: the prefix with "R" or "H" and "["
// after it and room for one more character, and the "]" after the name. A
// prefix that is not the start of such a marker ends the line's search.
MarkerSearch FindStartMarker(
    std::string_view text, size_t from, LineFinder& prefix, CharFinder& bracket, StartMarker& marker)
{
    const size_t p = prefix.Find(text, from);
    if (p == npos || text.size() - p < kNameAt + 1 || (text[p + kKindAt] != 'R' && text[p + kKindAt] != 'H')
        || text[p + kKindAt + 1] != '[')
        return MarkerSearch::LineDone;
    marker.at = p;
    marker.rotation = text[p + kKindAt] == 'R';
    marker.close = bracket.Find(text, p + kNameAt);
    return marker.close == npos ? MarkerSearch::NoCloseBracket : MarkerSearch::Found;
}

// What the walk meets on a line.
enum class MarkerKind {
    Start, // a start marker with its name ("-->" after it or not)
    NormalEnd, // the end marker of the open normal block
    RotationEnd, // the end marker of the open rotation
    BlockText, // the open normal block's text runs on to the end of the line
};

struct MarkerEvent {
    MarkerKind Kind = MarkerKind::Start;
    size_t At = npos; // the marker's first byte (none for BlockText)
    size_t TextFrom = 0; // NormalEnd, BlockText: where the block's text on this line starts
    // Start only:
    bool Rotation = false;
    size_t NameEnd = npos; // the "]" after the name
    size_t TagClose = npos; // the "-->" after the name, npos when there is none on the line
    bool WithinRotation = false; // a rotation was open when the walk met it
    std::string_view Name;

    // 1-based column of the end marker's last character.
    size_t EndLastCol() const { return At + kEndLast + 1; }
};

// Walks the markers of a page line by line, keeping which blocks are open:
// inside a normal block only its end marker counts; inside a rotation its end
// marker is looked for before the next start marker; a start marker opens its
// block when a "-->" follows its name on the line. Every search goes forward
// on the line only, so a line costs one pass whatever it holds.
class MarkerWalker {
public:
    explicit MarkerWalker(PageEncoding encoding)
        : m_bracket(']', encoding)
    {
    }

    void StartLine(std::string_view text)
    {
        m_text = text;
        m_col = 0;
        m_normalEnd.Reset();
        m_rotationEnd.Reset();
        m_prefix.Reset();
        m_close.Reset();
        m_normalStart.Reset();
        m_rotationStart.Reset();
        m_bracket.Reset();
    }

    bool InNormal() const { return m_inNormal; }
    bool InRotation() const { return m_inRotation; }

    // The next marker on the line; false when the line is done.
    bool Next(MarkerEvent& event)
    {
        while (m_col < m_text.size()) {
            event = MarkerEvent {};
            if (m_inNormal) {
                event.TextFrom = m_col;
                const size_t d = m_normalEnd.Find(m_text, m_col);
                if (d == npos) {
                    event.Kind = MarkerKind::BlockText;
                    m_col = m_text.size();
                    return true;
                }
                event.Kind = MarkerKind::NormalEnd;
                event.At = d;
                m_inNormal = false;
                m_col = d + kEndLast;
                return true;
            }
            if (m_inRotation) {
                if (const size_t d = m_rotationEnd.Find(m_text, m_col); d != npos) {
                    event.Kind = MarkerKind::RotationEnd;
                    event.At = d;
                    m_inRotation = false;
                    m_col = d + kEndLast;
                    return true;
                }
            }
            StartMarker marker;
            const MarkerSearch search = FindStartMarker(m_text, m_col, m_prefix, m_bracket, marker);
            if (search == MarkerSearch::LineDone) {
                m_col = m_text.size();
                return false;
            }
            if (search == MarkerSearch::NoCloseBracket) {
                m_col = marker.at + kNameAt;
                continue;
            }
            FillStart(event, marker);
            event.TagClose = m_close.Find(m_text, marker.close);
            event.WithinRotation = m_inRotation;
            if (event.TagClose == npos) {
                m_col = marker.close;
            } else if (marker.rotation) {
                m_inRotation = true;
                m_col = event.TagClose;
            } else {
                m_inNormal = true;
                m_col = event.TagClose + kMarkerClose.size();
            }
            return true;
        }
        return false;
    }

    // Takes the start marker `event` just met as plain text: the walk goes on
    // from the "]" after its name and the blocks open before it stay as they were.
    void IgnoreStart(const MarkerEvent& event)
    {
        m_col = event.NameEnd;
        m_inNormal = false;
        m_inRotation = event.WithinRotation;
    }

    // Start markers of one kind only, met whatever block is open; their
    // TagClose is not looked for. False when the line has no more.
    bool NextStartOf(bool rotation, MarkerEvent& event)
    {
        LineFinder& start = rotation ? m_rotationStart : m_normalStart;
        for (;;) {
            const size_t p = start.Find(m_text, m_col);
            if (p == npos)
                return false;
            StartMarker marker { p, m_bracket.Find(m_text, p + kNameAt), rotation };
            if (marker.close == npos) {
                m_col = p + kNameAt;
                continue;
            }
            m_col = marker.close + 1;
            event = MarkerEvent {};
            FillStart(event, marker);
            return true;
        }
    }

    // The first "-->" at or after `from` on the line, or npos.
    size_t TagCloseFrom(size_t from)
    {
        m_close.Reset();
        return m_close.Find(m_text, from);
    }

    // The first end marker of one kind from where the walk is on the line, or npos.
    size_t NextEndOf(bool rotation) { return (rotation ? m_rotationEnd : m_normalEnd).Find(m_text, m_col); }

private:
    void FillStart(MarkerEvent& event, const StartMarker& marker) const
    {
        event.Kind = MarkerKind::Start;
        event.At = marker.at;
        event.Rotation = marker.rotation;
        event.NameEnd = marker.close;
        event.Name = m_text.substr(marker.at + kNameAt, marker.close - marker.at - kNameAt);
    }

    std::string_view m_text;
    size_t m_col = 0;
    bool m_inNormal = false;
    bool m_inRotation = false;
    LineFinder m_normalEnd { kNormalEnd };
    LineFinder m_rotationEnd { kRotationEnd };
    LineFinder m_prefix { kMarkerPrefix };
    LineFinder m_close { kMarkerClose };
    LineFinder m_normalStart { kNormalStart };
    LineFinder m_rotationStart { kRotationStart };
    CharFinder m_bracket;
};

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

void ScanAdBlocks(AdPage& page, const BannerList& catalogue, MarkerRepairs repairs)
{
    PageEditor& editor = page.Editor;
    const bool write = repairs == MarkerRepairs::Write;
    std::optional<PageChange> change;
    if (write)
        change.emplace(editor);
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

    MarkerWalker walker(encoding);
    for (size_t line = 1; line <= editor.LineCount(); ++line) {
        const std::string_view text = editor.LineText(line);
        walker.StartLine(text);
        LineRepair repair(text);
        MarkerEvent marker;
        while (walker.Next(marker)) {
            switch (marker.Kind) {
            case MarkerKind::BlockText:
                if (comparer)
                    comparer->Feed(text.substr(marker.TextFrom));
                break;
            case MarkerKind::NormalEnd:
                if (comparer) {
                    comparer->Feed(text.substr(marker.TextFrom, marker.At - marker.TextFrom));
                    if (comparer->Finish())
                        tree.SetStatus(*normal, nsMatched);
                    comparer.reset();
                }
                normal = nullptr;
                break;
            case MarkerKind::RotationEnd:
                rotation = nullptr;
                break;
            case MarkerKind::Start: {
                std::string_view name = marker.Name;
                if (name.empty() || FindPageChar(encoding, name, '[', 0) != npos) {
                    name = marker.Rotation ? defaultRotation : defaultNormal;
                    repair.Replace(marker.At + kNameAt, marker.NameEnd, name);
                }
                if (marker.TagClose == npos)
                    break;
                if (marker.Rotation) {
                    rotation = &tree.Add(nullptr, rotationNames.Number(name), nsRotation);
                } else {
                    std::string nodeText = normalNames.Number(name, normalBanner);
                    normal = &tree.Add(rotation, std::move(nodeText), normalBanner ? nsChanged : nsUnlisted);
                    if (normalBanner)
                        comparer.emplace(normalBanner->Html, rotation != nullptr, encoding);
                }
                break;
            }
            }
        }
        if (write && repair.Changed())
            editor.SetLineText(line, repair.Finish());
    }
    if (write && normal)
        editor.AppendLine(kNormalEnd);
    if (write && rotation)
        editor.AppendLine(kRotationEnd);
    tree.ExpandAll();
}

BlockAtCaret LocateBlockAtCaret(const AdPage& page, std::string_view name)
{
    return LocateBlockAt(page, name, page.Editor.Caret());
}

BlockAtCaret LocateBlockAt(const AdPage& page, std::string_view name, TextPos caret)
{
    const PageEditor& editor = page.Editor;
    BlockAtCaret result;
    result.Name = std::string(name);

    MarkerWalker walker(page.Encoding);
    size_t occurrences = 0;
    auto caretWithin
        = [&](size_t line, size_t col) { return caret.Line < line || (caret.Line == line && caret.Col <= col); };

    for (size_t line = 1; line <= editor.LineCount() && result.Kind == abNone; ++line) {
        if (!walker.InNormal() && !walker.InRotation() && caret.Line < line)
            break;
        walker.StartLine(editor.LineText(line));
        MarkerEvent marker;
        while (result.Kind == abNone && walker.Next(marker)) {
            switch (marker.Kind) {
            case MarkerKind::BlockText:
                break;
            case MarkerKind::NormalEnd:
                result.BlockEnd = { line, marker.EndLastCol() };
                if (caretWithin(line, marker.EndLastCol()))
                    result.Kind = walker.InRotation() ? abMember : abNormal;
                break;
            case MarkerKind::RotationEnd:
                result.RotationEnd = { line, marker.EndLastCol() };
                if (caretWithin(line, marker.EndLastCol()))
                    result.Kind = abRotation;
                break;
            case MarkerKind::Start:
                if (marker.Rotation) {
                    // A rotation start within the open rotation is text here.
                    if (marker.WithinRotation) {
                        walker.IgnoreStart(marker);
                        break;
                    }
                    result.RotationStart = { line, marker.At + 1 };
                } else {
                    if (marker.Name == name)
                        ++occurrences;
                    result.BlockStart = { line, marker.At + 1 };
                }
                break;
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
    MarkerWalker walker(page.Encoding);
    bool found = false;
    size_t afterName = 0; // column just after the found start marker's "]"
    for (size_t line = 1; line <= editor.LineCount(); ++line) {
        walker.StartLine(editor.LineText(line));
        MarkerEvent marker;
        while (!found && walker.NextStartOf(rotation, marker)) {
            if (marker.Name != name)
                continue;
            if (n > 1) {
                --n;
                continue;
            }
            found = true;
            range.Start = { line, marker.At + 1 };
            const size_t e = walker.TagCloseFrom(marker.NameEnd);
            afterName = marker.NameEnd + 2;
            range.ContentStart = { line, e != npos ? e + kMarkerClose.size() + 1 : afterName };
        }
        if (!found)
            continue;
        const size_t d = walker.NextEndOf(rotation);
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

AdNode* FindAdNodeAtLine(const AdPage& page, size_t line)
{
    for (AdNode* node = page.Tree.First(); node; node = page.Tree.Next(*node)) {
        BlockRange range;
        if (FindBlockByName(page, node->Text(), node->Status() == nsRotation, range) == SelectResult::Found
            && range.Start.Line == line)
            return node;
    }
    return nullptr;
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
