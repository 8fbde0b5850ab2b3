// The ad commands on pages in Shift_JIS, UTF-8 and EUC-JP: script literals and
// their comparison per encoding, the commands on one page of each encoding, and
// the rotation script in a real JavaScript engine.
#include "text/pageencoding.h"

#include "core/pageads/pagefixture.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/adtext.h"
#include "pageads/scanner.h"
#include "support/command.h"
#include "support/tempdir.h"
#include "text/codec.h"
#include "text/lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace pw {
namespace {

constexpr PageEncoding kSjis = PageEncoding::ShiftJis;
constexpr PageEncoding kUtf8 = PageEncoding::Utf8;
constexpr PageEncoding kEuc = PageEncoding::EucJp;
constexpr PageEncoding kAll[] = { kSjis, kUtf8, kEuc };

std::string Sjis(std::string_view utf8)
{
    return codec::EncodeSjis(utf8).bytes;
}

std::string In(PageEncoding encoding, std::string_view utf8)
{
    return codec::Encode(encoding, utf8).bytes;
}

std::string Name(PageEncoding encoding)
{
    return std::string(PageEncodingName(encoding));
}

TEST(ScriptQuote, EachEncodingEscapesOnlyItsOwnAsciiBytes)
{
    struct Case {
        const char* what;
        PageEncoding encoding;
        std::string html;
        std::string literal;
    } cases[] = {
        { "UTF-8 characters copied whole", kUtf8, "表ソ①\"</a>", "\"表ソ①\\\"<\\/a>\"," },
        { "UTF-8: 0x5C after a stray byte is a backslash", kUtf8, "\x95\x5C", "\"\x95\\\\\"," },
        { "UTF-8: a cut-off sequence before a quotation mark", kUtf8, "\xE8\xA1\"", "\"\xE8\xA1\\\"\"," },
        { "EUC-JP characters copied whole", kEuc, "\xC9\xBD\xA5\xBD\"", "\"\xC9\xBD\xA5\xBD\\\"\"," },
        { "EUC-JP: 0x5C after a lead byte is a backslash", kEuc, "\xC9\x5C", "\"\xC9\\\\\"," },
        { "EUC-JP: three-byte character", kEuc, "\x8F\xB0\xA1/", "\"\x8F\xB0\xA1/\"," },
        { "Shift_JIS: the same bytes are 表", kSjis, "\x95\x5C", "\"\x95\x5C\"," },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScriptQuote(c.html, c.encoding), c.literal) << c.what;
}

TEST(SameAdText, LiteralComparisonPerEncoding)
{
    // A member's literal matches its banner in every encoding, also when the
    // text arrives cut inside a character.
    const std::string html = Sjis("<b>表ソ①\"\\</b>");
    for (PageEncoding encoding : kAll) {
        SCOPED_TRACE(Name(encoding));
        const std::string pageHtml = ToPageText(encoding, html);
        const std::string literal = ScriptQuote(pageHtml, encoding);
        EXPECT_TRUE(SameAdText(literal, pageHtml, true, encoding));
        for (size_t cut = 0; cut <= literal.size(); ++cut) {
            AdTextComparer comparer(pageHtml, true, encoding);
            comparer.Feed(std::string_view(literal).substr(0, cut));
            comparer.Feed(std::string_view(literal).substr(cut));
            EXPECT_TRUE(comparer.Finish()) << cut;
        }
        EXPECT_FALSE(SameAdText(literal, ToPageText(encoding, Sjis("<b>表ソ①\"</b>")), true, encoding));
    }
}

// One page per encoding, written as its bytes from the same Unicode text, with
// bytes the encoding does not read as characters on one line.
struct EncodedPage : test::TestPage {
    PageEncoding encoding;
    std::string byteOrderMark;
    std::string original; // the page file's bytes

    EncodedPage(PageEncoding pageEncoding, std::string_view bom)
        : encoding(pageEncoding)
        , byteOrderMark(bom)
    {
        page.Encoding = encoding;
        AddBanner(Sjis("表ソ広告"), Sjis("<a href=\"/a\">表示ソフト</a>"));
        AddBanner(Sjis("丸①"), Sjis("<b>①㈱ \"q\" 表\\</b>"));
        const std::string odd = encoding == kUtf8 ? "\x80\xC3(\xED\xA0\x80"
            : encoding == kEuc                    ? "\xAD\xA1\x8F\xA2\xB7\xFF\xA4"
                                                  : "\xED\x40\x80\xFD\x81";
        const std::string text
            = In(encoding, "<html><head><meta charset=\"" + Name(encoding) + "\"></head><body>\r\n")
            + In(encoding, "<p>表示テスト ソフト ") + odd + "</p>\r\n"
            + In(encoding,
                "<!--PWH[表ソ広告]-->\r\n<a href=\"/a\">表示ソフト</a>\r\n"
                "<!--PWHEND-->\r\n\r\n<p>おわり 表</p>\r\n");
        original = byteOrderMark + text;
        SetText(text);
        ScanAdBlocks(page, catalogue);
    }

    // The page's bytes after the command, as the command-line program saves them.
    std::string Saved() const { return byteOrderMark + Text(); }

    // The tree in program text, as messages and the tree output show it.
    std::string ProgramTree() const { return FromPageText(encoding, Tree()); }

    // The same edit made the window's way: the original decoded, lines
    // [first, last] (from 1) replaced by the new lines [first, newLast] read
    // through the codec, and the whole encoded again.
    std::string SavedThroughCodec(size_t first, size_t last, size_t newLast) const
    {
        const DecodedPage decoded = DecodePage(encoding, original);
        std::vector<std::string> lines = SplitLines(decoded.Text);
        std::vector<std::string> replacement;
        for (size_t line = first; line <= newLast; ++line)
            replacement.push_back(codec::Decode(encoding, editor.LineText(line)));
        lines.erase(lines.begin() + static_cast<long>(first - 1), lines.begin() + static_cast<long>(last));
        lines.insert(lines.begin() + static_cast<long>(first - 1), replacement.begin(), replacement.end());
        return EncodePage(encoding, JoinLines(lines, LineBreak::CrLf), decoded.ByteOrderMark).bytes;
    }

    // Lines of the original page (from 1).
    std::vector<std::string> OriginalLines() const
    {
        return SplitLines(std::string_view(original).substr(byteOrderMark.size()));
    }
};

struct PageSetup {
    PageEncoding encoding;
    const char* bom;
};
const PageSetup kPages[] = { { kSjis, "" }, { kUtf8, "" }, { kUtf8, "\xEF\xBB\xBF" }, { kEuc, "" } };

// The block text of banner "丸①" as it must stand in each page.
std::vector<std::string> CircleBlock(PageEncoding encoding)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return { "<!--PWH[丸①]-->", "<b>①㈱ \"q\" 表\\</b>", "<!--PWHEND-->" };
    case PageEncoding::EucJp:
        return { "<!--PWH[\xB4\xDD&#x2460;]-->", "<b>&#x2460;&#x3231; \"q\" \xC9\xBD\\</b>", "<!--PWHEND-->" };
    case PageEncoding::ShiftJis:
        break;
    }
    return { Sjis("<!--PWH[丸①]-->"), Sjis("<b>①㈱ \"q\" 表\\</b>"), "<!--PWHEND-->" };
}

TEST(EncodedPages, ScanRatesBlocksAgainstTheCatalogue)
{
    for (const auto& setup : kPages) {
        SCOPED_TRACE(Name(setup.encoding) + (*setup.bom ? " with BOM" : ""));
        EncodedPage page(setup.encoding, setup.bom);
        EXPECT_EQ(page.ProgramTree(), Sjis("matched\t表ソ広告\n"));
        EXPECT_FALSE(page.editor.Modified());
        EXPECT_EQ(page.Saved(), page.original);
        EXPECT_EQ(DetectPageEncoding(page.original), setup.encoding);
    }
}

TEST(EncodedPages, RepairWritesDefaultNamesInThePageEncoding)
{
    for (PageEncoding encoding : kAll) {
        SCOPED_TRACE(Name(encoding));
        test::TestPage page(In(encoding, "<!--PWR[]-->\r\n<!--PWH[a[1]]-->\r\n\"表\",\r\n<!--PWHEND-->\r\n"));
        page.page.Encoding = encoding;
        ScanAdBlocks(page.page, page.catalogue);
        EXPECT_EQ(page.editor.Lines()[0], In(encoding, "<!--PWR[ローテーション]-->"));
        // The name ends at the first "]": "a[1" gives way, the second "]" stays.
        EXPECT_EQ(page.editor.Lines()[1], In(encoding, "<!--PWH[未命名広告]]-->"));
        EXPECT_EQ(page.editor.Lines().back(), "<!--PWREND-->"); // appended
        EXPECT_EQ(FromPageText(encoding, page.Tree()), Sjis("rotation\tローテーション\n  unlisted\t未命名広告\n"));
    }
}

TEST(EncodedPages, AddKeepsEveryOtherByte)
{
    for (const auto& setup : kPages) {
        SCOPED_TRACE(Name(setup.encoding) + (*setup.bom ? " with BOM" : ""));
        EncodedPage page(setup.encoding, setup.bom);
        page.Caret(6, 1);
        const AdCommandResult result = AddAdBlock(page.page, page.catalogue, *page.catalogue.Rows[1], false);
        ASSERT_TRUE(result.Done);
        std::vector<std::string> expected = page.OriginalLines();
        const std::vector<std::string> block = CircleBlock(setup.encoding);
        expected.erase(expected.begin() + 5);
        expected.insert(expected.begin() + 5, block.begin(), block.end());
        EXPECT_EQ(page.editor.Lines(), expected);
        EXPECT_EQ(page.ProgramTree(), Sjis("matched\t表ソ広告\nmatched\t丸①\t*\n"));
        EXPECT_EQ(page.SavedThroughCodec(6, 6, 8), page.Saved());
        // The status text names the banner in program text.
        ASSERT_TRUE(result.StatusText.has_value());
        EXPECT_NE(result.StatusText->find(Sjis("[丸①]")), std::string::npos);
    }
}

TEST(EncodedPages, ReplaceKeepsEveryOtherByte)
{
    for (const auto& setup : kPages) {
        SCOPED_TRACE(Name(setup.encoding) + (*setup.bom ? " with BOM" : ""));
        EncodedPage page(setup.encoding, setup.bom);
        page.Caret(4, 3);
        const AdCommandResult result = ReplaceAdBlock(page.page, page.catalogue, *page.catalogue.Rows[1]);
        ASSERT_TRUE(result.Done);
        std::vector<std::string> expected = page.OriginalLines();
        const std::vector<std::string> block = CircleBlock(setup.encoding);
        // The block makes way; the blank line after its end marker stays.
        expected.erase(expected.begin() + 2, expected.begin() + 5);
        expected.insert(expected.begin() + 2, block.begin(), block.end());
        EXPECT_EQ(page.editor.Lines(), expected);
        EXPECT_EQ(page.ProgramTree(), Sjis("matched\t丸①\t*\n"));
        EXPECT_EQ(page.SavedThroughCodec(3, 5, 5), page.Saved());
    }
}

TEST(EncodedPages, DeleteKeepsEveryOtherByte)
{
    for (const auto& setup : kPages) {
        SCOPED_TRACE(Name(setup.encoding) + (*setup.bom ? " with BOM" : ""));
        EncodedPage page(setup.encoding, setup.bom);
        page.tree.Select(page.tree.First());
        const AdCommandResult result = DeleteAdBlock(page.page, page.catalogue);
        ASSERT_TRUE(result.Done);
        std::vector<std::string> expected = page.OriginalLines();
        expected.erase(expected.begin() + 2, expected.begin() + 5);
        expected.insert(expected.begin() + 2, "");
        EXPECT_EQ(page.editor.Lines(), expected);
        EXPECT_EQ(page.Tree(), "");
        EXPECT_EQ(result.StatusText, Sjis("広告文[表ソ広告]はファイルから削除しました"));
        EXPECT_EQ(page.SavedThroughCodec(3, 5, 3), page.Saved());
    }
}

TEST(EncodedPages, RotationAndMembersRatedMatched)
{
    for (const auto& setup : kPages) {
        SCOPED_TRACE(Name(setup.encoding) + (*setup.bom ? " with BOM" : ""));
        EncodedPage page(setup.encoding, setup.bom);
        page.Caret(6, 1);
        ASSERT_TRUE(AddAdBlock(page.page, page.catalogue, *page.catalogue.Rows[1], true).Done);
        // A second member goes in with the caret in the rotation.
        page.Caret(8, 1);
        ASSERT_TRUE(AddAdBlock(page.page, page.catalogue, *page.catalogue.Rows[0], true).Done);
        // The member just written is the selected node.
        EXPECT_EQ(page.ProgramTree(),
            Sjis("matched\t表ソ広告\nrotation\t丸①等\n  matched\t表ソ広告[2]\t*\n  matched\t丸①\n"));
        // The rotation's marker holds the banner's name and 等 in page text.
        const AdNode* rotation = page.tree.Next(*page.tree.First());
        ASSERT_NE(rotation, nullptr);
        EXPECT_EQ(rotation->Text(), ToPageText(setup.encoding, Sjis("丸①等")));
    }
}

TEST(EncodedPages, JumpFindsBlocksByTheirPageName)
{
    for (const auto& setup : kPages) {
        SCOPED_TRACE(Name(setup.encoding) + (*setup.bom ? " with BOM" : ""));
        EncodedPage page(setup.encoding, setup.bom);
        page.Caret(6, 1);
        ASSERT_TRUE(AddAdBlock(page.page, page.catalogue, *page.catalogue.Rows[1], false).Done);
        int counter = 1;
        const AdCommandResult first = Jump(page.page, page.catalogue, *page.catalogue.Rows[1], counter);
        EXPECT_TRUE(first.Done);
        EXPECT_EQ(FromPageText(setup.encoding, first.Shown), Sjis("丸①"));
        EXPECT_EQ(first.SelectBannerRow, 1);
        EXPECT_EQ(page.editor.SelectionStart(), (TextPos { 6, 1 }));
    }
}

// ---- The rotation script in a real JavaScript engine

std::string RunCommand(const std::string& command)
{
    return test::RunShell(command).out;
}

// Decodes the page file as a browser does, runs the rotation's script once for
// every member (the clock's seconds picking it), and prints what
// document.write got, with character references resolved, one member per line
// as JSON strings.
constexpr std::string_view kRunner = R"JS(
const fs = require('fs');
const vm = require('vm');
const [file, label] = process.argv.slice(2);
const text = new TextDecoder(label).decode(fs.readFileSync(file));
const open = text.indexOf('<script type="text/javascript">');
const close = text.indexOf('</script>', open);
const script = text.slice(open + '<script type="text/javascript">'.length, close);
const references = (html) => html.replace(/&#x([0-9A-Fa-f]+);/g, (_, hex) => String.fromCodePoint(parseInt(hex, 16)));
let count = 1;
for (let second = 0; second < count; ++second) {
  const written = [];
  const context = {
    document: { write: (html) => written.push(html) },
    Date: class { getSeconds() { return second; } },
  };
  vm.runInNewContext(script, context);
  count = context.pw_banners.length - 1;
  console.log(JSON.stringify(references(written.join(''))));
}
)JS";

std::string JsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

TEST(RotationScript, WritesEveryMemberInNode)
{
    ASSERT_EQ(RunCommand("node --version 2>/dev/null").substr(0, 1), "v")
        << "node is needed (scripts/install-deps installs the nodejs package)";
    test::TempDir dir;
    {
        std::ofstream runner(dir.file("runner.js"), std::ios::binary);
        runner << kRunner;
    }
    const std::vector<std::string> members = {
        "<a href=\"/x\">表示</a>",
        "<img alt=\"ソフト\" src=\"/s.gif\">",
        "<b>①㈱ \"quoted\"</b>",
        "<span>a\\b</span>\r\n<script>x=1;</script>",
        "<p>ゾーン 申 能 予 ＼</p>",
    };
    for (PageEncoding encoding : { kUtf8, kEuc }) {
        SCOPED_TRACE(Name(encoding));
        test::TestPage page(In(encoding, "<html><body>\r\n<p>表</p>\r\n\r\n</body></html>\r\n"));
        page.page.Encoding = encoding;
        for (size_t i = 0; i < members.size(); ++i)
            page.AddBanner(Sjis("バナー" + std::to_string(i)), Sjis(members[i]));
        ScanAdBlocks(page.page, page.catalogue);
        page.Caret(3, 1);
        ASSERT_TRUE(AddAdBlock(page.page, page.catalogue, *page.catalogue.Rows[0], true).Done);
        for (size_t i = 1; i < members.size(); ++i) {
            page.Caret(3, 1); // on the rotation's start marker: the new member goes first
            ASSERT_TRUE(AddAdBlock(page.page, page.catalogue, *page.catalogue.Rows[i], true).Done);
        }
        std::string tree;
        for (size_t i = members.size(); i-- > 0;)
            tree
                += "  matched\t" + Sjis("バナー" + std::to_string(i)) + (i + 1 == members.size() ? "\t*\n" : "\n");
        EXPECT_EQ(FromPageText(encoding, page.Tree()), Sjis("rotation\tバナー0等\n") + tree);
        const std::string file = dir.file("page-" + Name(encoding) + ".html");
        {
            std::ofstream out(file, std::ios::binary);
            out << page.Text();
        }
        const std::string output = RunCommand("node " + dir.file("runner.js") + " " + file + " " + Name(encoding));
        std::string expected;
        for (size_t i = members.size(); i-- > 0;)
            expected += JsonString(members[i]) + "\n";
        EXPECT_EQ(output, expected);
    }
}

} // namespace
} // namespace pw
