#pragma once

#include "sites/nodes.h"

#include <string>
#include <string_view>

namespace pw {

// Column tags of the file list.
enum FileColumn { fcName = 0, fcDate = 1, fcAttributes = 2, fcSize = 3 };

// Header images of the sort arrows.
inline constexpr int kArrowAscending = 5;
inline constexpr int kArrowDescending = 6;

// Names compared byte by byte after upper-casing a to z only; a prefix comes first.
int CompareNames(std::string_view a, std::string_view b);

// The comparison of the file list for a column tag; direction 0 ascending,
// 1 descending. Negative puts `a` first.
int CompareEntries(const TNode& a, const TNode& b, int direction, int tag);

// Sorts the folder's entries in place (not a stable sort). A folder not yet
// listed is left alone.
void SortChildren(TDirNode& folder, int direction, int tag);

// The size column: the decimal size of a file, "<DIR>" for a folder.
std::string SizeText(const TNode& node);

// Sort state of the file list: at most one column shows an arrow.
struct FileListSort {
    int Column = -1; // none
    int Arrow = 0; // kArrowAscending or kArrowDescending while Column >= 0

    // A click on a column header: ascending unless that column was ascending.
    // Sorts `shown` (the folder the list shows, may be none) accordingly.
    void ColumnClick(int tag, TDirNode* shown);
    // Re-applies the state to a folder newly shown.
    void Apply(TDirNode& folder) const;
    int ArrowOf(int tag) const { return tag == Column ? Arrow : 0; }
};

} // namespace pw
