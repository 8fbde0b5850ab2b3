#pragma once

#include "base/sjistext.h"
#include "catalogue/banner.h"
#include "pageads/adpage.h"

#include <string>
#include <string_view>

// Reading ad blocks out of a page: the scan that builds the ad tree and
// repairs malformed markers, the block at the caret, and the block of a node.
namespace pw {

// Default names written over empty or bracketed names in start markers.
inline const std::string_view kDefaultRotationName = "ローテーション"_sjis;
inline const std::string_view kDefaultNormalName = "未命名広告"_sjis;

enum class MarkerRepairs {
    Write, // repaired markers go into the text
    Leave, // the text is not touched; the tree shows what a repair would
};

// Walks the whole text once and fills the (cleared) ad tree, rating every
// normal and member block against the catalogue. Start markers whose name is
// empty or holds "[" get a default name, and missing end markers of blocks
// still open at the end are appended as last lines, unless `repairs` says to
// leave the text as it is (a rescan after an undo, which must not cut off the
// redo history).
void ScanAdBlocks(AdPage& page, const BannerList& catalogue, MarkerRepairs repairs = MarkerRepairs::Write);

struct BlockAtCaret {
    TAdBlockKind Kind = abNone;
    TextPos RotationStart;
    TextPos RotationEnd; // column of the end marker's last character
    TextPos BlockStart;
    TextPos BlockEnd; // column of the end marker's last character
    std::string Name; // the given name, with "[j]" when the block is the j-th of that name (j >= 2)
};

// Which block holds the caret. `name` is a banner name in page text.
BlockAtCaret LocateBlockAtCaret(const AdPage& page, std::string_view name);
// The same for a caret at `caret`.
BlockAtCaret LocateBlockAt(const AdPage& page, std::string_view name, TextPos caret);

enum class SelectResult {
    Found,
    NotFound,
    BadNumbering, // the node text's numbering is not a number (内部エラー)
};

inline const std::string_view kInternalErrorMessage = "内部エラー"_sjis;

struct BlockRange {
    TextPos Start; // first character of the start marker
    TextPos ContentStart; // just after the start marker ("-->", or "]" when it has none)
    TextPos ContentEnd; // first character of the end marker
    TextPos End; // just after the end marker
};

// Finds the block of a node text (name with optional "[n]") among the start
// markers of the sought kind; nullopt-like NotFound when it or its end marker
// is missing.
SelectResult FindBlockByName(const AdPage& page, std::string_view nodeText, bool rotation, BlockRange& range);

// The node of the tree whose block's start marker stands on `line` (from 1),
// nullptr when none does.
AdNode* FindAdNodeAtLine(const AdPage& page, size_t line);

// Finds the block of a node text and selects it, from the start marker to just
// after the end marker. With `scroll` the caret goes to the selection's end and
// then to its start, so the block comes into view; the caret ends at the start.
SelectResult SelectBlockByName(AdPage& page, std::string_view nodeText, bool scroll, bool rotation);

// Selects a found block as SelectBlockByName does.
void SelectBlockRange(PageEditor& editor, const BlockRange& range, bool scroll);

// The text between a block's start marker and its end marker, lines joined
// without their breaks (as the scan collects it).
std::string BlockContent(const PageEditor& editor, const BlockRange& range);

} // namespace pw
