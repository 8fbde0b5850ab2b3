#pragma once

// The server home shared by the network tests: folders three levels deep, a
// Shift_JIS page with LF breaks, names with blanks and '#', a Shift_JIS folder
// name and a symbolic link.

#include "base/files.h"

#include <filesystem>
#include <string>

namespace pw::test {

// 表示 (its trail byte is 0x5C, the backslash).
inline const std::string kSjisFolder = "\x95\x5C\x8E\xA6";
// <p>日本語</p> in Shift_JIS, three lines with LF breaks.
inline const std::string kSjisPage = "<html>\n<p>\x93\xFA\x96\x7B\x8C\xEA</p>\n</html>\n";

inline void FillHome(const std::string& home)
{
    namespace fs = std::filesystem;
    fs::create_directories(home + "/www/a/b/c");
    fs::create_directories(home + "/www/dir with space");
    fs::create_directories(home + "/www/" + kSjisFolder);
    WriteFileAtomically(home + "/www/index.html", kSjisPage);
    WriteFileAtomically(home + "/www/my page.html", "blank\n");
    WriteFileAtomically(home + "/www/a/b/c/deep.html", "deep\n");
    WriteFileAtomically(home + "/www/dir with space/a b#c.html", "hash\n");
    WriteFileAtomically(home + "/www/" + kSjisFolder + "/" + kSjisFolder + ".html", "sjis\n");
    fs::create_symlink("a", home + "/www/link");
}

} // namespace pw::test
