#include "pageads/scanner.h"

#include "core/pageads/pagefixture.h"
#include "pageads/adblock.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using test::Lines;
using test::TestPage;

constexpr PageEncoding kSjis = PageEncoding::ShiftJis;
const std::string kAbcHtml = "<b>abc</b>";
const std::string kXyzHtml = "<i>x</i>";
const std::string kZone = "\x83\x5D\x81\x5B\x83\x93\x8DL\x8D\x90"; // ゾーン広告: ゾ ends in "]"
const std::string kZero = "\x83\x5B\x83\x8D"; // ゼロ: ゼ ends in "["

TEST(ScanAdBlocks, BuildsAndRatesTheTree)
{
    struct Case {
        const char* what;
        std::string page;
        std::string tree;
    } cases[] = {
        { "no markers", Lines({ "<html>", "<!-- a comment -->", "</html>" }), "" },
        { "normal blocks and a rotation of one name",
            Lines({ BuildAdBlock("ABC", kAbcHtml, abNormal, kSjis), BuildAdBlock("ABC", kAbcHtml, abNormal, kSjis),
                BuildAdBlock("ABC", kAbcHtml, abRotation, kSjis) }),
            "matched\tABC\nmatched\tABC[2]\nrotation\tABC\x93\x99\n  matched\tABC[3]\n" },
        { "blanks and line breaks do not count", Lines({ "<!--PWH[ABC]-->  <b>", "\tabc", "</b> <!--PWHEND-->" }),
            "matched\tABC\n" },
        { "one changed letter", Lines({ "<!--PWH[ABC]--><b>abd</b><!--PWHEND-->" }), "changed\tABC\n" },
        { "banner longer than the block", Lines({ "<!--PWH[ABC]--><b>abc<!--PWHEND-->" }), "changed\tABC\n" },
        { "unknown name", Lines({ "<!--PWH[QQ]-->x<!--PWHEND-->" }), "unlisted\tQQ\n" },
        { "member literal is unescaped; comma and end marker not compared",
            Lines({ BuildAdBlock("XYZ", kXyzHtml, abRotation, kSjis) }),
            "rotation\tXYZ\x93\x99\n  matched\tXYZ\n" },
        { "member with the HTML written plainly is changed",
            Lines({ "<!--PWR[R]-->", "<!--PWH[XYZ]-->", "<i>x</i>", "<!--PWHEND-->", "<!--PWREND-->" }),
            "rotation\tR\n  changed\tXYZ\n" },
        { "cut-off markers make no node",
            Lines({ "<!--PWH[ABC", "<!--PWH[ABC]", "<!--PWH[AB]- ->", "<!--PWX[ABC]-->", "<!--PWH", "<!--PW" }),
            "" },
        { "a stray end marker hides the rest of its line",
            Lines({ "<!--PWHEND--><!--PWH[ABC]-->x<!--PWHEND-->", "<!--PWREND-->" }), "" },
        { "a nested rotation leaves the outer one behind",
            Lines({ "<!--PWR[A]-->", "<!--PWR[B]-->", "<!--PWH[QQ]-->q<!--PWHEND-->", "<!--PWREND-->",
                "<!--PWH[QQ]-->q<!--PWHEND-->", "<!--PWREND-->" }),
            "rotation\tA\nrotation\tB\n  unlisted\tQQ\nunlisted\tQQ[2]\n" },
        { "rotation names have their own numbering",
            Lines({ "<!--PWR[A]--><!--PWREND-->", "<!--PWR[A]--><!--PWREND-->", "<!--PWH[A]-->a<!--PWHEND-->" }),
            "rotation\tA\nrotation\tA[2]\nunlisted\tA\n" },
        { "several blocks on one line",
            Lines({ "x<!--PWH[ABC]--><b>abc</b><!--PWHEND--><!--PWH[XYZ]--><i>x</i><!--PWHEND-->y" }),
            "matched\tABC\nmatched\tXYZ\n" },
        { "double-byte names holding the codes of ] and [",
            Lines({ "<!--PWH[" + kZone + "]-->zone<!--PWHEND-->", "<!--PWH[" + kZero + "]-->0<!--PWHEND-->" }),
            "matched\t" + kZone + "\nunlisted\t" + kZero + "\n" },
    };
    for (const auto& c : cases) {
        TestPage page(c.page);
        page.AddBanner("ABC", kAbcHtml);
        page.AddBanner("XYZ", kXyzHtml);
        page.AddBanner(kZone, "zone");
        ScanAdBlocks(page.page, page.catalogue);
        EXPECT_EQ(page.Tree(), c.tree) << c.what;
        EXPECT_EQ(page.Text(), c.page) << c.what;
    }
}

TEST(ScanAdBlocks, EmptyBannerHtmlAgainstNonBlankBlockIsChanged)
{
    TestPage page(Lines({ "<!--PWH[E]-->x<!--PWHEND-->", "<!--PWH[E]-->  <!--PWHEND-->" }));
    page.AddBanner("E", "");
    ScanAdBlocks(page.page, page.catalogue);
    EXPECT_EQ(page.Tree(), "changed\tE\nmatched\tE[2]\n");
}

TEST(ScanAdBlocks, RepairsNamesAndAppendsMissingEndMarkers)
{
    struct Case {
        const char* what;
        std::string page;
        std::string repaired;
        std::string tree;
    } cases[] = {
        { "empty normal name", Lines({ "<!--PWH[]-->x<!--PWHEND-->" }),
            Lines({ "<!--PWH[\x96\xA2\x96\xBD\x96\xBC\x8DL\x8D\x90]-->x<!--PWHEND-->" }),
            "unlisted\t\x96\xA2\x96\xBD\x96\xBC\x8DL\x8D\x90\n" },
        { "bracket in a rotation name, unterminated", Lines({ "a<!--PWR[x[y]-->b" }),
            Lines({ "a<!--PWR[\x83\x8D\x81[\x83"
                    "e\x81[\x83V\x83\x87\x83\x93]-->b",
                "<!--PWREND-->" }),
            "rotation\t\x83\x8D\x81[\x83"
            "e\x81[\x83V\x83\x87\x83\x93\n" },
        { "several repairs on one line keep the bytes between them",
            Lines({ "1<!--PWH[]-->2<!--PWHEND-->3<!--PWH[[]-->4<!--PWHEND-->5" }),
            Lines({ "1<!--PWH[\x96\xA2\x96\xBD\x96\xBC\x8DL\x8D\x90]-->2<!--PWHEND-->3<!--PWH["
                    "\x96\xA2\x96\xBD\x96\xBC"
                    "\x8DL\x8D\x90]-->4<!--PWHEND-->5" }),
            "unlisted\t\x96\xA2\x96\xBD\x96\xBC\x8DL\x8D\x90\nunlisted\t\x96\xA2\x96\xBD\x96\xBC\x8DL\x8D\x90[2]"
            "\n" },
        { "a marker without --> is repaired but makes no node", Lines({ "<!--PWH[]" }),
            Lines({ "<!--PWH[\x96\xA2\x96\xBD\x96\xBC\x8DL\x8D\x90]" }), "" },
        { "unterminated normal block", Lines({ "<!--PWH[ABC]-->", "<b>abc</b>" }),
            Lines({ "<!--PWH[ABC]-->", "<b>abc</b>", "<!--PWHEND-->" }), "changed\tABC\n" },
        { "unterminated member inside an unterminated rotation", Lines({ "<!--PWR[R]-->", "<!--PWH[ABC]-->" }),
            Lines({ "<!--PWR[R]-->", "<!--PWH[ABC]-->", "<!--PWHEND-->", "<!--PWREND-->" }),
            "rotation\tR\n  changed\tABC\n" },
    };
    for (const auto& c : cases) {
        TestPage page(c.page);
        page.AddBanner("ABC", kAbcHtml);
        ScanAdBlocks(page.page, page.catalogue);
        EXPECT_EQ(page.Text(), c.repaired) << c.what;
        EXPECT_EQ(page.Tree(), c.tree) << c.what;
    }
}

TEST(ScanAdBlocks, AllRepairsAreOneUndoStep)
{
    TestPage page(Lines({ "<!--PWR[]-->", "<!--PWH[[x]-->" }));
    ScanAdBlocks(page.page, page.catalogue);
    EXPECT_EQ(page.editor.ChangeCount(), 4u);
    EXPECT_EQ(page.editor.UndoSteps(), 1u);
    // Nothing left to repair: no step at all.
    ScanAdBlocks(page.page, page.catalogue);
    EXPECT_EQ(page.editor.UndoSteps(), 1u);
}

TEST(ScanAdBlocks, NulBytesAndLongLinesAreOrdinaryBytes)
{
    std::string line(3'000'000, 'x');
    line += std::string("\0<!--PWH[ABC]-->\0<b>abc</b><!--PWHEND-->", 41);
    for (int i = 0; i < 20000; ++i)
        line += "<!--PWH[cut"; // many markers without "]" on one line
    std::string farBracket;
    for (int i = 0; i < 20000; ++i)
        farBracket += "<!--PWH[a<!--PWR[b"; // one "]" at the very end, no "-->"
    farBracket += "]";
    TestPage page;
    page.editor.SetLines({ line, farBracket });
    page.AddBanner("ABC", kAbcHtml);
    ScanAdBlocks(page.page, page.catalogue);
    EXPECT_EQ(page.Tree(), "matched\tABC\n");
    page.Caret(2, 1);
    EXPECT_EQ(LocateBlockAtCaret(page.page, "ABC").Kind, abNone);
    EXPECT_EQ(SelectBlockByName(page.page, "ABC[2]", true, false), SelectResult::NotFound);
    EXPECT_EQ(SelectBlockByName(page.page, "b", true, true), SelectResult::NotFound);
}

// The page used by the caret and selection tests.
const std::string kPage = Lines({
    "<!--PWH[ABC]-->", // 1
    "<b>abc</b>", // 2
    "<!--PWHEND-->", // 3
    "", // 4
    "<!--PWR[ABC\x93\x99]-->", // 5
    "<script type=\"text/javascript\">", // 6
    "var pw_banners=[", // 7
    "<!--PWH[XYZ]-->", // 8
    "\"<i>x<\\/i>\",", // 9
    "<!--PWHEND-->", // 10
    "<!--PWH[ABC]-->", // 11
    "\"<b>abc<\\/b>\",", // 12
    "<!--PWHEND-->", // 13
    "\"\"];", // 14
    "document.write(pw_banners[0]);", // 15
    "</script>", // 16
    "<!--PWREND-->", // 17
    "tail", // 18
});

TEST(LocateBlockAtCaret, FindsTheBlockHoldingTheCaret)
{
    struct Case {
        TextPos caret;
        std::string name;
        TAdBlockKind kind;
        std::string outName;
        TextPos blockStart, blockEnd, rotationStart, rotationEnd;
    } cases[] = {
        { { 4, 1 }, "ABC", abNone, "ABC", {}, {}, {}, {} },
        { { 18, 2 }, "ABC", abNone, "ABC", {}, {}, {}, {} },
        { { 1, 1 }, "ABC", abNormal, "ABC", { 1, 1 }, { 3, 13 }, {}, {} },
        { { 2, 5 }, "XYZ", abNormal, "XYZ", { 1, 1 }, { 3, 13 }, {}, {} },
        { { 3, 13 }, "ABC", abNormal, "ABC", { 1, 1 }, { 3, 13 }, {}, {} },
        { { 3, 14 }, "ABC", abNone, "ABC", {}, {}, {}, {} },
        { { 15, 3 }, "XYZ", abRotation, "XYZ", {}, {}, { 5, 1 }, { 17, 13 } },
        { { 15, 3 }, "ABC", abRotation, "ABC[2]", {}, {}, { 5, 1 }, { 17, 13 } },
        { { 12, 2 }, "ABC", abMember, "ABC[2]", { 11, 1 }, { 13, 13 }, { 5, 1 }, {} },
        { { 6, 1 }, "ABC", abMember, "ABC", { 8, 1 }, { 10, 13 }, { 5, 1 }, {} },
        { { 99, 1 }, "ABC", abNone, "ABC", {}, {}, {}, {} },
    };
    for (const auto& c : cases) {
        TestPage page(kPage);
        page.Caret(c.caret.Line, c.caret.Col);
        const BlockAtCaret at = LocateBlockAtCaret(page.page, c.name);
        SCOPED_TRACE(::testing::Message() << "caret " << c.caret.Line << ":" << c.caret.Col);
        EXPECT_EQ(at.Kind, c.kind);
        EXPECT_EQ(at.Name, c.outName);
        if (c.kind == abNormal || c.kind == abMember) {
            EXPECT_EQ(at.BlockStart, c.blockStart);
            EXPECT_EQ(at.BlockEnd, c.blockEnd);
        }
        if (c.kind == abRotation || c.kind == abMember) {
            EXPECT_EQ(at.RotationStart, c.rotationStart);
        }
        if (c.kind == abRotation) {
            EXPECT_EQ(at.RotationEnd, c.rotationEnd);
        }
    }
}

TEST(LocateBlockAtCaret, CaretOnAStartMarkerLineBeforeTheMarker)
{
    TestPage page(Lines({ "text <!--PWH[A]-->a<!--PWHEND--> more" }));
    page.Caret(1, 1);
    const BlockAtCaret at = LocateBlockAtCaret(page.page, "A");
    EXPECT_EQ(at.Kind, abNormal);
    EXPECT_EQ(at.BlockStart, (TextPos { 1, 6 }));
    EXPECT_EQ(at.BlockEnd, (TextPos { 1, 32 }));
}

TEST(SelectBlockByName, NodeTextsLeadBackToTheirBlocks)
{
    struct Case {
        std::string nodeText;
        bool rotation;
        SelectResult result;
        TextPos start, end;
    } cases[] = {
        { "ABC", false, SelectResult::Found, { 1, 1 }, { 3, 14 } },
        { "ABC[2]", false, SelectResult::Found, { 11, 1 }, { 13, 14 } },
        { "XYZ", false, SelectResult::Found, { 8, 1 }, { 10, 14 } },
        { "ABC\x93\x99", true, SelectResult::Found, { 5, 1 }, { 17, 14 } },
        { "ABC[3]", false, SelectResult::NotFound, {}, {} },
        { "XYZ", true, SelectResult::NotFound, {}, {} },
        { "", false, SelectResult::NotFound, {}, {} },
        { "ABC[x]", false, SelectResult::BadNumbering, {}, {} },
        { "ABC[", false, SelectResult::BadNumbering, {}, {} },
        { "ABC[]", false, SelectResult::BadNumbering, {}, {} },
        { "ABC[0]", false, SelectResult::Found, { 1, 1 }, { 3, 14 } },
    };
    for (const auto& c : cases) {
        TestPage page(kPage);
        page.editor.SetSelection({ 18, 1 }, { 18, 3 });
        EXPECT_EQ(SelectBlockByName(page.page, c.nodeText, true, c.rotation), c.result) << c.nodeText;
        if (c.result == SelectResult::Found) {
            EXPECT_EQ(page.editor.SelectionStart(), c.start) << c.nodeText;
            EXPECT_EQ(page.editor.SelectionEnd(), c.end) << c.nodeText;
            EXPECT_EQ(page.editor.Caret(), c.start) << c.nodeText;
            EXPECT_EQ(page.editor.ScrolledTo(), c.start) << c.nodeText;
        } else {
            EXPECT_EQ(page.editor.SelectionStart(), (TextPos { 18, 1 })) << c.nodeText;
            EXPECT_EQ(page.editor.SelectionEnd(), (TextPos { 18, 3 })) << c.nodeText;
        }
    }
}

TEST(SelectBlockByName, ScanNumberingMatchesTheSelection)
{
    TestPage page(kPage);
    ScanAdBlocks(page.page, page.catalogue);
    for (const AdNode* node = page.tree.First(); node; node = page.tree.Next(*node)) {
        ASSERT_EQ(
            SelectBlockByName(page.page, node->Text(), false, node->Status() == nsRotation), SelectResult::Found)
            << node->Text();
        EXPECT_EQ(page.editor.SelectedText().rfind("<!--PW", 0), 0u) << node->Text();
    }
}

TEST(FindAdNode, HonoursTheMinimumKind)
{
    TestPage page(
        Lines({ "<!--PWR[A]-->", "<!--PWH[A]-->a<!--PWHEND-->", "<!--PWREND-->", "<!--PWH[B]-->b<!--PWHEND-->" }));
    ScanAdBlocks(page.page, page.catalogue);
    struct Case {
        std::string text;
        TAdBlockKind minimum;
        TAdBlockKind found; // abNone when no node comes back
    } cases[] = {
        { "A", abRotation, abRotation },
        { "A", abNormal, abMember },
        { "A", abMember, abMember },
        { "B", abNormal, abNormal },
        { "B", abMember, abNone },
        { "C", abRotation, abNone },
    };
    for (const auto& c : cases) {
        const AdNode* node = FindAdNode(page.tree, c.text, c.minimum);
        EXPECT_EQ(node ? node->Kind() : abNone, c.found) << c.text << " " << c.minimum;
    }
}

} // namespace
} // namespace pw
