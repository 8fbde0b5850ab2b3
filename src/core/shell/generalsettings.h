#pragma once

#include "settings/inilist.h"

#include <cstdint>
#include <string>

namespace pw {

// The main window's own settings in Pagewick.ini: check items, pane sizes,
// selections and the banner list's sort.
struct GeneralSettings {
    int NetworkVersion = 1;
    bool ClipMonitor = true;
    bool Ad = true;
    bool PreviewAd = true;
    int TreeWidth = 217;
    int TreeHeight = 146;
    int PreviewWidth = 127;
    // The ad tree beside each page's editor; wide enough for Japanese names.
    int AdTreeWidth = 200;
    int DefautIndex = -1;
    int LastAdIndex = 0;
    int SortColumn = 1;
};

// Reads the general keys. `designed` gives the defaults of the sizes (the
// window's designed sizes); `setupCount` decides the default of "DefautIndex"
// (-1 below one stored setup, else 0).
GeneralSettings ReadGeneralSettings(const TIniList& store, const GeneralSettings& designed, int setupCount);

// Writes what the window writes at exit: the check items, "DefautIndex", the
// tree and preview sizes, "LastAdIndex", and "SortColumn" only when the banner
// list shows a sort mark. The ad tree's width is written only once the user
// changed it. "v2" is never written here.
void WriteGeneralSettings(TIniList& store, const GeneralSettings& settings, bool sortMarkShown);

// The sort state of the banner list as stored in "SortColumn": column index
// (from 0) and whether it is sorted descending. Zero means unsorted.
int SortColumnValue(int column, bool descending);

// The column (from 0) that "SortColumn" names and the sort mark that start-up
// puts on it before the column click flips it; column -1 when the value names
// no column of a list with `columnCount` columns (then the list stays unsorted).
struct StoredSort {
    int column = -1;
    bool markDescending = false;
};
StoredSort StoredSortFromValue(int value, int columnCount);

// Scratch file name: the folder (ending in '/'), "pwh", the tick count in
// milliseconds divided by 500 plus `number` in upper-case hexadecimal, ".", the extension.
std::string MakeScratchFileName(
    const std::string& folder, std::string_view extension, int number, std::uint32_t tickMilliseconds);

} // namespace pw
