#pragma once

#include "base/result.h"
#include "sites/datetime.h"
#include "sites/nodes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// A line of a listing that gave no entry.
struct ListingProblem {
    size_t Line = 0; // its number in the listing, from 1
    std::string Error;
};

// Reads the lines of a Unix-style LIST answer ("ls -l" form) into entries of
// `folder`, appended in the server's order. A leading "total N" line is
// skipped. A name runs from the ninth field to the end of the line (blanks
// included); for a symbolic link it ends before " -> ". `now` is the
// reference moment for dates without a year. Sizes are read up to 64 bits.
//
// A line that cannot be read gives no entry and a problem, and the lines
// around it are read as usual: a line of ten characters or fewer ("bad
// listing var"), a number that is not a decimal integer of its range, a date
// or time that does not exist, a line of another listing style. The problems
// come back in line order; none when every line was read.
[[nodiscard]] std::vector<ListingProblem> ParseListing(
    TDirNode& folder, const std::vector<std::string>& lines, const DateTime& now);

// The problems as one text, "line N: error" each, separated by "; "; past
// `most` of them the rest are counted only.
std::string ListingProblemsText(const std::vector<ListingProblem>& problems, size_t most = 5);

// One result of a local folder search.
struct LocalSearchResult {
    std::string Name;
    bool Directory = false;
    bool ReadOnly = false;
    bool Hidden = false;
    bool System = false;
    std::int64_t Size = 0;
    DateTime LastWrite;
};

// Appends the entry of one local search result to `folder`.
TNode* AddLocalEntry(TDirNode& folder, const LocalSearchResult& result);

// Sets the kind of a file entry from the extension of its name.
void ClassifyByExtension(TNode& node);
TNodeKind KindOfName(std::string_view name);

// Searches a local folder (everything but "." and ".."), in the order the
// disk gives. Fails with "bad directory" when the folder does not exist.
Status SearchLocalFolder(const std::string& path, std::vector<LocalSearchResult>& results);

// Kind words of the command-line listing: folder, text, other, archive, page.
std::string_view KindWord(TNodeKind kind);

} // namespace pw
