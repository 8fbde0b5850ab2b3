#pragma once

// Shared pieces of the page ads and catalogue commands: the page file, the
// catalogue of --dir and the ad tree output.

#include "catalogue/banner.h"
#include "cli/cli.h"
#include "pageads/adcommands.h"
#include "pageads/adpage.h"
#include "settings/inilist.h"

#include <string>
#include <string_view>
#include <vector>

namespace pw::cli {

// "LINE:COL", both from 1.
bool ParsePosition(std::string_view text, TextPos& pos);
std::string FormatPosition(const TextPos& pos);

// A page file loaded into an in-memory editor, which holds its bytes, in the
// encoding --encoding gives or detection finds. A UTF-8 byte order mark is kept
// out of the lines (so that columns count as in the window) and written back
// on save.
struct PageFile {
    std::string path;
    bool byteOrderMark = false;
    LineBreak lineBreak = LineBreak::CrLf; // the page's own style, written back on save
    MemoryPageEditor editor;
    AdTree tree;
    AdPage page { editor, tree, PageEncoding::ShiftJis };
};

int LoadPage(Context& c, const std::string& path, PageFile& file);
// Writes the editor's lines back with the page's own line break style.
int SavePage(Context& c, const PageFile& file);

// A text of a page (node text, block name) from a command-line argument:
// UTF-8 converted into the page's encoding, or with --raw the bytes as given.
std::string PageTextFromTerminal(const Context& c, PageEncoding encoding, std::string_view terminalText);
// A text of a page for standard output: UTF-8, or with --raw the page's bytes.
std::string PageTextToTerminal(const Context& c, PageEncoding encoding, std::string_view pageText);

// The settings of --dir that the catalogue needs.
struct CatalogueFiles {
    TIniList mainStore;
    NetworkList networks;
    TIniList bannerStore;
    BannerList banners;
};

// Loads the networks and the catalogue. With `forWriting`, a missing ads.ini
// is created as the window does at start-up; otherwise it reads as empty.
int LoadCatalogue(Context& c, CatalogueFiles& files, bool forWriting);

// The first banner whose name is exactly `name`, or -1.
int FindBannerRow(const BannerList& banners, std::string_view name);

// One line per node, depth-first: two blanks per level, status word, TAB, text,
// and TAB "*" after the selected node.
void PrintAdTree(Context& c, const AdPage& page);

// Message boxes on standard error.
void PrintMessages(Context& c, const std::vector<UserMessage>& messages);

} // namespace pw::cli
