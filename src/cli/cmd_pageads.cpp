// block and ads: the ad block format and the ad commands of an open page, run
// on page files against the catalogue of --dir.

#include "cli/cli.h"
#include "cli/cmd_pageads_support.h"
#include "cli/commands.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"

#include "base/files.h"

#include <charconv>
#include <istream>
#include <iterator>
#include <ostream>

namespace pw::cli {

const std::string_view kBlockUsage
    = "Usage:\n"
      "  pagewick-cli block normal|member|rotation NAME   read banner HTML from standard input and\n"
      "                                                   print the ad block text exactly\n"
      "\n"
      "With --encoding utf-8 or euc-jp the block is made for a page in that encoding\n"
      "(auto means shift_jis here). With --raw, NAME and the HTML are Shift_JIS as the\n"
      "catalogue stores them and the block is printed as the page's bytes.\n";

const std::string_view kEncodingUsage
    = "Usage:\n"
      "  pagewick-cli encoding PAGE   print the encoding PAGE is read in: shift_jis, utf-8\n"
      "                               or euc-jp (detected, or the one --encoding names)\n"
      "\n"
      "Detection: a UTF-8 byte order mark; else a <meta charset>, <meta http-equiv\n"
      "Content-Type> or XML encoding declaration in the first 4 KiB; else the bytes\n"
      "(well-formed UTF-8 with non-ASCII characters is utf-8, bytes valid in EUC-JP\n"
      "and not in Shift_JIS are euc-jp); else shift_jis.\n";

const std::string_view kAdsUsage
    = "Usage:\n"
      "  pagewick-cli ads scan PAGE [--repair]                 print the ad tree (--repair writes the\n"
      "                                                        repaired markers back to PAGE)\n"
      "  pagewick-cli ads locate PAGE --at LINE:COL --name NAME   the block at the caret\n"
      "  pagewick-cli ads find PAGE --node TEXT [--rotation]   the selection of a node's block\n"
      "  pagewick-cli ads add PAGE --banner NAME (--normal | --rotation) --at LINE:COL\n"
      "                                                        insert a banner at the caret\n"
      "  pagewick-cli ads replace PAGE --banner NAME --at LINE:COL [--node TEXT]\n"
      "                                                        replace the block at the caret\n"
      "  pagewick-cli ads delete PAGE --node TEXT              remove a node's block\n"
      "  pagewick-cli ads jump PAGE --banner NAME --times N    press F3 N times\n"
      "\n"
      "The ad tree is printed one node per line: two blanks per level, the status\n"
      "(rotation, matched, changed, unlisted), TAB, the node text; TAB * marks the\n"
      "selected node.\n"
      "\n"
      "PAGE is read in the encoding --encoding names (default auto: detected; see\n"
      "pagewick-cli encoding --help). Banners go into the page in its encoding;\n"
      "characters the encoding cannot hold are written as &#xHHHH;. A UTF-8 byte\n"
      "order mark is kept and not counted in columns.\n";

int RunBlock(Context& c)
{
    const ParsedArgs args = c.Parse(0);
    if (!args.error.empty())
        return c.UsageError(args.error);
    const std::vector<std::string>& a = args.positional;
    if (a.size() != 2)
        return c.UsageError("block needs normal, member or rotation and NAME");
    TAdBlockKind kind;
    if (a[0] == "normal")
        kind = abNormal;
    else if (a[0] == "member")
        kind = abMember;
    else if (a[0] == "rotation")
        kind = abRotation;
    else
        return c.UsageError("unknown block kind '" + a[0] + "'");
    const PageEncoding encoding
        = c.encoding == PageCharset::Auto ? PageEncoding::ShiftJis : ResolvePageEncoding(c.encoding, {});
    const std::string input { std::istreambuf_iterator<char>(c.in), std::istreambuf_iterator<char>() };
    std::string name;
    std::string html;
    if (c.raw) {
        name = ToPageText(encoding, a[1]);
        html = ToPageText(encoding, input);
    } else {
        name = Utf8ToPageText(encoding, a[1]);
        html = Utf8ToPageText(encoding, input);
    }
    c.out << PageTextToTerminal(c, encoding, BuildAdBlock(name, html, kind, encoding));
    return kExitOk;
}

int RunEncoding(Context& c)
{
    const ParsedArgs args = c.Parse(0);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (args.positional.size() != 1)
        return c.UsageError("encoding needs exactly one PAGE");
    const std::string& path = args.positional[0];
    std::string bytes;
    if (Status read = ReadWholeFile(path, bytes); !read) {
        c.Error(path + ": " + read.error);
        return kExitFile;
    }
    c.out << PageEncodingName(ResolvePageEncoding(c.encoding, bytes)) << '\n';
    return kExitOk;
}

namespace {

// A page of the command line, opened as the window opens it: loaded and
// scanned against the catalogue.
struct OpenPage {
    CatalogueFiles catalogue;
    PageFile file;
};

int Open(Context& c, const ParsedArgs& args, OpenPage& open)
{
    if (args.positional.size() != 1)
        return c.UsageError("ads " + c.args[0] + " needs exactly one PAGE");
    if (int code = LoadCatalogue(c, open.catalogue, false); code != kExitOk)
        return code;
    if (int code = LoadPage(c, args.positional[0], open.file); code != kExitOk)
        return code;
    ScanAdBlocks(open.file.page, open.catalogue.banners);
    return kExitOk;
}

int Required(Context& c, const ParsedArgs& args, std::initializer_list<const char*> options)
{
    for (const char* option : options)
        if (!args.Has(option))
            return c.UsageError(std::string("ads ") + c.args[0] + " needs " + option);
    return kExitOk;
}

int Caret(Context& c, const ParsedArgs& args, OpenPage& open)
{
    TextPos at;
    if (!ParsePosition(*args.Value("--at"), at))
        return c.UsageError("--at needs LINE:COL, both from 1");
    open.file.editor.SetCaret(at);
    return kExitOk;
}

// The banner named by --banner, or -1 after reporting it missing.
int Banner(Context& c, const ParsedArgs& args, const OpenPage& open)
{
    const std::string name = c.Data(*args.Value("--banner"));
    const int row = FindBannerRow(open.catalogue.banners, name);
    if (row < 0)
        c.Error("no banner named [" + name + "] in the catalogue");
    return row;
}

std::string PageArg(Context& c, const OpenPage& open, const std::string& terminalText)
{
    return PageTextFromTerminal(c, open.file.page.Encoding, terminalText);
}

int Scan(Context& c, const ParsedArgs& args)
{
    OpenPage open;
    if (int code = Open(c, args, open); code != kExitOk)
        return code;
    PrintAdTree(c, open.file.page);
    if (args.flags.count("--repair") && open.file.editor.Modified())
        return SavePage(c, open.file);
    return kExitOk;
}

int Locate(Context& c, const ParsedArgs& args)
{
    OpenPage open;
    if (int code = Required(c, args, { "--at", "--name" }); code != kExitOk)
        return code;
    if (int code = Open(c, args, open); code != kExitOk)
        return code;
    if (int code = Caret(c, args, open); code != kExitOk)
        return code;
    const BlockAtCaret at = LocateBlockAtCaret(open.file.page, PageArg(c, open, *args.Value("--name")));
    static constexpr std::string_view kWords[] = { "rotation", "normal", "member", "none" };
    c.PrintLine(kWords[at.Kind]);
    c.out << PageTextToTerminal(c, open.file.page.Encoding, at.Name) << '\n';
    if (at.Kind == abNormal || at.Kind == abMember)
        c.PrintLine("block\t" + FormatPosition(at.BlockStart) + "\t" + FormatPosition(at.BlockEnd));
    if (at.Kind == abRotation)
        c.PrintLine("rotation\t" + FormatPosition(at.RotationStart) + "\t" + FormatPosition(at.RotationEnd));
    if (at.Kind == abMember)
        c.PrintLine("rotation\t" + FormatPosition(at.RotationStart));
    return kExitOk;
}

int Find(Context& c, const ParsedArgs& args)
{
    OpenPage open;
    if (int code = Required(c, args, { "--node" }); code != kExitOk)
        return code;
    if (int code = Open(c, args, open); code != kExitOk)
        return code;
    const SelectResult result = SelectBlockByName(
        open.file.page, PageArg(c, open, *args.Value("--node")), true, args.flags.count("--rotation") > 0);
    if (result == SelectResult::BadNumbering)
        c.Error(kInternalErrorMessage);
    if (result != SelectResult::Found)
        return kExitFailure;
    c.PrintLine(FormatPosition(open.file.editor.SelectionStart()) + "\t"
        + FormatPosition(open.file.editor.SelectionEnd()));
    return kExitOk;
}

// Writes the page and prints the tree after a command that changed it.
int Finish(Context& c, OpenPage& open, const AdCommandResult& result)
{
    PrintMessages(c, result.Messages);
    if (int code = SavePage(c, open.file); code != kExitOk)
        return code;
    PrintAdTree(c, open.file.page);
    return kExitOk;
}

int Add(Context& c, const ParsedArgs& args)
{
    OpenPage open;
    if (int code = Required(c, args, { "--banner", "--at" }); code != kExitOk)
        return code;
    const bool normal = args.flags.count("--normal") > 0;
    const bool rotation = args.flags.count("--rotation") > 0;
    if (normal == rotation)
        return c.UsageError("ads add needs exactly one of --normal and --rotation");
    if (int code = Open(c, args, open); code != kExitOk)
        return code;
    if (int code = Caret(c, args, open); code != kExitOk)
        return code;
    const int row = Banner(c, args, open);
    if (row < 0)
        return kExitFailure;
    const AdCommandResult result
        = AddAdBlock(open.file.page, open.catalogue.banners, *open.catalogue.banners.Rows[row], rotation);
    return Finish(c, open, result);
}

int Replace(Context& c, const ParsedArgs& args)
{
    OpenPage open;
    if (int code = Required(c, args, { "--banner", "--at" }); code != kExitOk)
        return code;
    if (int code = Open(c, args, open); code != kExitOk)
        return code;
    if (int code = Caret(c, args, open); code != kExitOk)
        return code;
    const int row = Banner(c, args, open);
    if (row < 0)
        return kExitFailure;
    if (const std::string* node = args.Value("--node"))
        open.file.tree.Select(FindAdNode(open.file.tree, PageArg(c, open, *node), abRotation));
    const AdCommandResult result
        = ReplaceAdBlock(open.file.page, open.catalogue.banners, *open.catalogue.banners.Rows[row]);
    if (!result.Done) {
        PrintMessages(c, result.Messages);
        return kExitFailure;
    }
    return Finish(c, open, result);
}

int Delete(Context& c, const ParsedArgs& args)
{
    OpenPage open;
    if (int code = Required(c, args, { "--node" }); code != kExitOk)
        return code;
    if (int code = Open(c, args, open); code != kExitOk)
        return code;
    const std::string text = PageArg(c, open, *args.Value("--node"));
    AdNode* node = FindAdNode(open.file.tree, text, abRotation);
    if (!node) {
        c.Error("no node [" + c.Data(*args.Value("--node")) + "] in the ad tree");
        return kExitFailure;
    }
    open.file.tree.Select(node);
    const AdCommandResult result = DeleteAdBlock(open.file.page, open.catalogue.banners);
    if (!result.Done) {
        PrintMessages(c, { result.Messages.front() });
        return kExitFailure;
    }
    return Finish(c, open, result);
}

int JumpCommand(Context& c, const ParsedArgs& args)
{
    OpenPage open;
    if (int code = Required(c, args, { "--banner", "--times" }); code != kExitOk)
        return code;
    const std::string& timesText = *args.Value("--times");
    int times = 0;
    const auto [ptr, ec] = std::from_chars(timesText.data(), timesText.data() + timesText.size(), times);
    if (ec != std::errc() || ptr != timesText.data() + timesText.size() || times < 0)
        return c.UsageError("--times needs a number of presses");
    if (int code = Open(c, args, open); code != kExitOk)
        return code;
    const int row = Banner(c, args, open);
    if (row < 0)
        return kExitFailure;
    int counter = 1;
    for (int press = 0; press < times; ++press) {
        const AdCommandResult result
            = Jump(open.file.page, open.catalogue.banners, *open.catalogue.banners.Rows[row], counter);
        if (!result.Messages.empty())
            c.PrintLine(result.Messages.front().Text);
        else
            c.out << PageTextToTerminal(c, open.file.page.Encoding, result.Shown) << '\n';
    }
    return kExitOk;
}

} // namespace

int RunAds(Context& c)
{
    if (c.args.empty())
        return c.UsageError("ads needs a subcommand: scan, locate, find, add, replace, delete or jump");
    const std::string& sub = c.args[0];
    const ParsedArgs args = c.Parse(
        1, { "--at", "--name", "--node", "--banner", "--times" }, { "--repair", "--rotation", "--normal" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (sub == "scan")
        return Scan(c, args);
    if (sub == "locate")
        return Locate(c, args);
    if (sub == "find")
        return Find(c, args);
    if (sub == "add")
        return Add(c, args);
    if (sub == "replace")
        return Replace(c, args);
    if (sub == "delete")
        return Delete(c, args);
    if (sub == "jump")
        return JumpCommand(c, args);
    return c.UsageError("unknown ads subcommand '" + sub + "'");
}

} // namespace pw::cli
