#include "sites/filelist.h"

#include "text/sjis.h"

#include <algorithm>

namespace pw {

namespace {

unsigned char Folded(char c)
{
    return static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

int Sign(long long v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

int SizeOrder(const TNode& a, const TNode& b, bool descending)
{
    const bool aFolder = a.IsFolder();
    const bool bFolder = b.IsFolder();
    if (aFolder && bFolder)
        return 0;
    if (aFolder != bFolder) {
        // Ascending: files before folders; descending: folders first.
        const int fileFirst = aFolder ? 1 : -1;
        return descending ? -fileFirst : fileFirst;
    }
    const long long sa = static_cast<const TFileNode&>(a).Size;
    const long long sb = static_cast<const TFileNode&>(b).Size;
    return descending ? Sign(sb - sa) : Sign(sa - sb);
}

} // namespace

int CompareNames(std::string_view a, std::string_view b)
{
    // The trail byte of a double-byte character is never taken for a letter.
    bool trailA = false;
    bool trailB = false;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = trailA ? static_cast<unsigned char>(a[i]) : Folded(a[i]);
        const unsigned char cb = trailB ? static_cast<unsigned char>(b[i]) : Folded(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        trailA = !trailA && sjis::CharLength(a, i) == 2;
        trailB = !trailB && sjis::CharLength(b, i) == 2;
    }
    return Sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

int CompareEntries(const TNode& a, const TNode& b, int direction, int tag)
{
    const bool descending = direction == 1;
    switch (tag) {
    case fcName:
        return descending ? CompareNames(b.Name, a.Name) : CompareNames(a.Name, b.Name);
    case fcDate:
        if (a.Date == b.Date)
            return 0;
        return (a.Date < b.Date) != descending ? -1 : 1;
    case fcAttributes:
        return descending ? CompareNames(b.Attributes, a.Attributes) : CompareNames(a.Attributes, b.Attributes);
    case fcSize:
        return SizeOrder(a, b, descending);
    default:
        return 0;
    }
}

void SortChildren(TDirNode& folder, int direction, int tag)
{
    if (!folder.Children)
        return;
    std::sort(folder.Children->begin(), folder.Children->end(),
        [direction, tag](const std::unique_ptr<TNode>& a, const std::unique_ptr<TNode>& b) {
            return CompareEntries(*a, *b, direction, tag) < 0;
        });
}

std::string SizeText(const TNode& node)
{
    if (node.IsFolder())
        return "<DIR>";
    return std::to_string(static_cast<const TFileNode&>(node).Size);
}

void FileListSort::ColumnClick(int tag, TDirNode* shown)
{
    Arrow = (Column == tag && Arrow == kArrowAscending) ? kArrowDescending : kArrowAscending;
    Column = tag;
    if (shown)
        SortChildren(*shown, Arrow - kArrowAscending, tag);
}

void FileListSort::Apply(TDirNode& folder) const
{
    if (Column >= 0)
        SortChildren(folder, Arrow - kArrowAscending, Column);
}

} // namespace pw
