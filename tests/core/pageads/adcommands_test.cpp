#include "pageads/adcommands.h"

#include "core/pageads/pagefixture.h"
#include "pageads/adblock.h"
#include "pageads/scanner.h"
#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using test::Lines;
using test::TestPage;

constexpr PageEncoding kSjis = PageEncoding::ShiftJis;
const std::string kAbc = "<b>abc</b>";
const std::string kXyz = "<i>x</i>";

std::string Normal(const std::string& name, const std::string& html)
{
    return BuildAdBlock(name, html, abNormal, kSjis);
}

std::string Member(const std::string& name, const std::string& html)
{
    return BuildAdBlock(name, html, abMember, kSjis);
}

// A rotation block made by hand from its members.
std::string Rotation(const std::string& name, std::initializer_list<std::string> members)
{
    std::string text = "<!--PWR[" + name + "]-->\r\n<script type=\"text/javascript\">\r\nvar pw_banners=[\r\n";
    for (const auto& member : members)
        text += member + "\r\n";
    text += "\"\"];\r\ndocument.write(pw_banners[0]);\r\n</script>\r\n<!--PWREND-->";
    return text;
}

// A page with the banners ABC and XYZ in its catalogue, scanned as when opened.
struct OpenPage : TestPage {
    explicit OpenPage(std::string_view text)
        : TestPage(text)
    {
        abc = &AddBanner("ABC", kAbc);
        xyz = &AddBanner("XYZ", kXyz);
        ScanAdBlocks(page, catalogue);
    }
    TAdBanner* abc;
    TAdBanner* xyz;
};

TEST(AddAdBlock, NormalBlockPlacement)
{
    struct Case {
        const char* what;
        std::string page;
        TextPos caret;
        std::string expected;
    } cases[] = {
        { "empty line outside blocks: exactly the block", Lines({ "a", "", "b" }), { 2, 1 },
            Lines({ "a", Normal("ABC", kAbc), "b" }) },
        { "inside a line: the block on lines of its own", Lines({ "hello world" }), { 1, 6 },
            Lines({ "hello", Normal("ABC", kAbc), " world" }) },
        { "one character after the caret stays on the end marker line", Lines({ "hello!" }), { 1, 6 },
            Lines({ "hello", Normal("ABC", kAbc) + "!" }) },
        { "inside a normal block: in front of it", Lines({ "x", Normal("XYZ", kXyz) }), { 3, 2 },
            Lines({ "x", Normal("ABC", kAbc), Normal("XYZ", kXyz) }) },
        { "inside a rotation: in front of the rotation", Lines({ Rotation("R", { Member("XYZ", kXyz) }) }),
            { 5, 3 }, Lines({ Normal("ABC", kAbc), Rotation("R", { Member("XYZ", kXyz) }) }) },
        { "empty page", "", { 1, 1 }, Lines({ Normal("ABC", kAbc) }) },
    };
    for (const auto& c : cases) {
        OpenPage page(c.page);
        page.Caret(c.caret.Line, c.caret.Col);
        const AdCommandResult result = AddAdBlock(page.page, page.catalogue, *page.abc, false);
        EXPECT_TRUE(result.Done) << c.what;
        EXPECT_TRUE(result.Messages.empty()) << c.what;
        EXPECT_EQ(page.Text(), c.expected) << c.what;
        EXPECT_TRUE(page.editor.Modified()) << c.what;
        ASSERT_NE(page.tree.Selected(), nullptr) << c.what;
        EXPECT_EQ(page.tree.Selected()->Text(), "ABC") << c.what;
        EXPECT_EQ(page.tree.Selected()->Status(), nsMatched) << c.what;
    }
}

TEST(AddAdBlock, RotationAndMemberPlacement)
{
    const std::string xyzRotation = Rotation("XYZ\x93\x99", { Member("XYZ", kXyz), Member("QQ", "q") });
    struct Case {
        const char* what;
        std::string page;
        TextPos caret;
        std::string expected;
        std::string tree;
    } cases[] = {
        { "outside blocks: a ten-line rotation block", Lines({ "" }), { 1, 1 },
            Lines({ BuildAdBlock("ABC", kAbc, abRotation, kSjis) }),
            "rotation\tABC\x93\x99\n  matched\tABC\t*\n" },
        { "on the script lines after the members: head of the array", Lines({ xyzRotation }), { 11, 4 },
            Lines({ Rotation("XYZ\x93\x99", { Member("ABC", kAbc), Member("XYZ", kXyz), Member("QQ", "q") }) }),
            "rotation\tXYZ\x93\x99\n  matched\tABC\t*\n  matched\tXYZ\n  unlisted\tQQ\n" },
        { "on the script lines before the members: in front of the first", Lines({ xyzRotation }), { 2, 4 },
            Lines({ Rotation("XYZ\x93\x99", { Member("ABC", kAbc), Member("XYZ", kXyz), Member("QQ", "q") }) }),
            "rotation\tXYZ\x93\x99\n  matched\tABC\t*\n  matched\tXYZ\n  unlisted\tQQ\n" },
        { "inside the second member: in front of it", Lines({ xyzRotation }), { 8, 2 },
            Lines({ Rotation("XYZ\x93\x99", { Member("XYZ", kXyz), Member("ABC", kAbc), Member("QQ", "q") }) }),
            "rotation\tXYZ\x93\x99\n  matched\tXYZ\n  matched\tABC\t*\n  unlisted\tQQ\n" },
    };
    for (const auto& c : cases) {
        OpenPage page(c.page);
        page.Caret(c.caret.Line, c.caret.Col);
        const AdCommandResult result = AddAdBlock(page.page, page.catalogue, *page.abc, true);
        EXPECT_TRUE(result.Done) << c.what;
        EXPECT_EQ(page.Text(), c.expected) << c.what;
        EXPECT_EQ(page.Tree(), c.tree) << c.what;
    }
}

TEST(AddAdBlock, SecondBlockOfANameSelectsItsNumberedNode)
{
    OpenPage page(Lines({ Normal("ABC", kAbc), "", Normal("ABC", kAbc) }));
    page.Caret(6, 2); // inside the second ABC block
    AddAdBlock(page.page, page.catalogue, *page.abc, false);
    EXPECT_EQ(page.Tree(), "matched\tABC\nmatched\tABC[2]\t*\nmatched\tABC[3]\n");
    EXPECT_EQ(page.editor.Caret(), (TextPos { 5, 1 })); // the tree reaction selected the new block
}

// The node selected after an add or a replace is the block just written,
// wherever other blocks of the same name stand.
TEST(AddAdBlock, SelectsTheBlockJustWritten)
{
    struct Case {
        const char* what;
        std::string page;
        TextPos caret;
        bool rotation;
        std::string selected; // the selected node's text
        size_t line; // where its block starts
    } cases[] = {
        { "below a block of the same name", Lines({ Normal("ABC", kAbc), "", "end" }), { 5, 1 }, false, "ABC[2]",
            5 },
        { "between two blocks of the same name", Lines({ Normal("ABC", kAbc), "mid", Normal("ABC", kAbc) }),
            { 4, 1 }, false, "ABC[2]", 4 },
        { "a member below a normal block of the same name",
            Lines({ Normal("ABC", kAbc), Rotation("R", { Member("XYZ", kXyz) }) }), { 8, 2 }, true, "ABC[2]", 7 },
    };
    for (const auto& c : cases) {
        OpenPage page(c.page);
        page.Caret(c.caret.Line, c.caret.Col);
        AddAdBlock(page.page, page.catalogue, *page.abc, c.rotation);
        ASSERT_NE(page.tree.Selected(), nullptr) << c.what;
        EXPECT_EQ(page.tree.Selected()->Text(), c.selected) << c.what;
        EXPECT_EQ(page.editor.Caret().Line, c.line) << c.what;
    }
}

TEST(ReplaceAdBlock, SelectsTheBlockJustWritten)
{
    // The second XYZ block becomes ABC; an ABC block stands above it.
    OpenPage page(Lines({ Normal("ABC", kAbc), Normal("XYZ", kXyz), Normal("XYZ", kXyz) }));
    page.Caret(8, 2);
    ReplaceAdBlock(page.page, page.catalogue, *page.abc);
    EXPECT_EQ(page.Text(), Lines({ Normal("ABC", kAbc), Normal("XYZ", kXyz), Normal("ABC", kAbc) }));
    ASSERT_NE(page.tree.Selected(), nullptr);
    EXPECT_EQ(page.tree.Selected()->Text(), "ABC[2]");
    EXPECT_EQ(page.editor.Caret().Line, size_t(7));
}

// The lines after a replaced block stay as they were: a blank line is not
// taken in, a short line is not joined to the end marker.
TEST(ReplaceAdBlock, KeepsTheLinesAfterTheBlock)
{
    struct Case {
        const char* what;
        std::string page;
        std::string expected;
    } cases[] = {
        { "a blank line", Lines({ Normal("XYZ", kXyz), "", "end" }), Lines({ Normal("ABC", kAbc), "", "end" }) },
        { "two blank lines", Lines({ Normal("XYZ", kXyz), "", "", "end" }),
            Lines({ Normal("ABC", kAbc), "", "", "end" }) },
        { "a one-character line", Lines({ Normal("XYZ", kXyz), "x" }), Lines({ Normal("ABC", kAbc), "x" }) },
        { "a blank last line", Lines({ Normal("XYZ", kXyz), "" }), Lines({ Normal("ABC", kAbc), "" }) },
    };
    for (const auto& c : cases) {
        OpenPage page(c.page);
        page.Caret(2, 1);
        const AdCommandResult result = ReplaceAdBlock(page.page, page.catalogue, *page.abc);
        EXPECT_TRUE(result.Done) << c.what;
        EXPECT_EQ(page.Text(), c.expected) << c.what;
    }
}

TEST(ReplaceAdBlock, ReplacesTheBlockAtTheCaretKeepingItsKind)
{
    struct Case {
        const char* what;
        std::string page;
        TextPos caret;
        std::string expected;
    } cases[] = {
        { "member stays a member", Lines({ Rotation("R", { Member("XYZ", kXyz) }), "after" }), { 5, 2 },
            Lines({ Rotation("R", { Member("ABC", kAbc) }), "after" }) },
        { "end marker as the last text of the page", Lines({ "top", Normal("XYZ", kXyz) }), { 3, 1 },
            Lines({ "top", Normal("ABC", kAbc) }) },
        { "text after the end marker goes to a line of its own", Lines({ "<!--PWH[XYZ]-->old<!--PWHEND-->after" }),
            { 1, 2 }, Lines({ Normal("ABC", kAbc), "after" }) },
        { "one character after the end marker stays on its line", Lines({ "a <!--PWH[XYZ]-->old<!--PWHEND-->!" }),
            { 1, 5 }, Lines({ "a ", Normal("ABC", kAbc) + "!" }) },
        { "the line after the block is kept", Lines({ Normal("XYZ", kXyz), "next line", "end" }), { 2, 1 },
            Lines({ Normal("ABC", kAbc), "next line", "end" }) },
    };
    for (const auto& c : cases) {
        OpenPage page(c.page);
        page.Caret(c.caret.Line, c.caret.Col);
        const AdCommandResult result = ReplaceAdBlock(page.page, page.catalogue, *page.abc);
        EXPECT_TRUE(result.Done) << c.what;
        EXPECT_TRUE(result.Messages.empty()) << c.what;
        EXPECT_EQ(page.Text(), c.expected) << c.what;
        ASSERT_NE(page.tree.Selected(), nullptr) << c.what;
        EXPECT_EQ(page.tree.Selected()->Text(), "ABC") << c.what;
    }
}

TEST(ReplaceAdBlock, FallsBackToTheSelectedNode)
{
    const std::string page1 = Lines({ "top", Rotation("R", { Member("XYZ", kXyz), Member("QQ", "q") }) });
    OpenPage page(page1);
    page.tree.Select(page.tree.First()); // the rotation node
    page.Caret(1, 2);
    const AdCommandResult result = ReplaceAdBlock(page.page, page.catalogue, *page.abc);
    EXPECT_TRUE(result.Messages.empty());
    EXPECT_EQ(page.Text(), Lines({ "top", Rotation("R", { Member("ABC", kAbc), Member("QQ", "q") }) }));
}

TEST(ReplaceAdBlock, WarnsOnceWhenNothingCanBeReplaced)
{
    const UserMessage warning { MessageType::Warning, std::string(kNoBannerAtCaretMessage) };
    {
        SCOPED_TRACE("rotation without members");
        const std::string text = Lines({ "top", "<!--PWR[R]-->", "<!--PWREND-->" });
        OpenPage page(text);
        page.tree.Select(page.tree.First());
        page.Caret(1, 1);
        const AdCommandResult result = ReplaceAdBlock(page.page, page.catalogue, *page.abc);
        EXPECT_EQ(result.Messages, std::vector<UserMessage> { warning });
        EXPECT_EQ(page.Text(), text);
        EXPECT_FALSE(result.Done);
    }
    {
        SCOPED_TRACE("no selected node");
        const std::string text = Lines({ "top", Normal("XYZ", kXyz) });
        OpenPage page(text);
        page.Caret(1, 1);
        const AdCommandResult result = ReplaceAdBlock(page.page, page.catalogue, *page.abc);
        EXPECT_EQ(result.Messages, std::vector<UserMessage> { warning });
        EXPECT_EQ(page.Text(), text);
        EXPECT_FALSE(page.editor.Modified());
    }
}

// Pages written by older versions doubled the 0x5C second byte of characters
// such as 表 in member literals; they rate as changed, and replacing writes
// them correctly.
TEST(ReplaceAdBlock, RewritesOldDoubledSecondBytes)
{
    const std::string html = "\x95\x5C\x8E\xA6"; // 表示
    const std::string old = Lines(
        { "<!--PWR[R]-->", "<!--PWH[HY]-->", "\"\x95\x5C\x5C\x8E\xA6\",", "<!--PWHEND-->", "<!--PWREND-->" });
    TestPage page(old);
    TAdBanner& banner = page.AddBanner("HY", html);
    ScanAdBlocks(page.page, page.catalogue);
    EXPECT_EQ(page.Tree(), "rotation\tR\n  changed\tHY\n");
    page.Caret(3, 2);
    ReplaceAdBlock(page.page, page.catalogue, banner);
    EXPECT_EQ(page.Text(),
        Lines({ "<!--PWR[R]-->", "<!--PWH[HY]-->", "\"\x95\x5C\x8E\xA6\",", "<!--PWHEND-->", "<!--PWREND-->" }));
    EXPECT_EQ(page.Tree(), "rotation\tR\n  matched\tHY\t*\n");
}

// The question before an add or a replace is about where the block would be
// written, not where the caret happens to be: the checks change nothing.
TEST(AdBlockInsideTag, AskedWhereTheBlockWouldBeWritten)
{
    const std::string rotation = Rotation("R", { Member("XYZ", kXyz) });
    struct Case {
        const char* what;
        std::string page;
        TextPos caret;
        bool add;
        bool addRotation;
        bool replace;
    } cases[] = {
        { "between the attributes of a tag", Lines({ "<a href=\"x\" title=\"y\">" }), { 1, 13 }, true, true,
            false },
        { "just after a tag's '<'", Lines({ "<p>one</p>" }), { 1, 8 }, true, true, false },
        { "in a tag over two lines", Lines({ "<img src=\"x.gif\"", " alt=\"\">" }), { 2, 1 }, true, true, false },
        { "between two tags", Lines({ "<p>one</p>" }), { 1, 4 }, false, false, false },
        { "at the start of a line", Lines({ "<p>one</p>" }), { 1, 1 }, false, false, false },
        { "in a tag of a block: in front of the block", Lines({ "x", Normal("XYZ", kXyz) }), { 3, 3 }, false,
            false, false },
        { "in a member's tag: a new member at the head of the array", Lines({ rotation }), { 5, 4 }, false, false,
            false },
        { "in a block that starts in a tag", Lines({ "<div", Normal("XYZ", kXyz), ">" }), { 3, 2 }, true, true,
            true },
    };
    for (const auto& c : cases) {
        OpenPage page(c.page);
        page.Caret(c.caret.Line, c.caret.Col);
        EXPECT_EQ(AddAdBlockInsideTag(page.page, *page.abc, false), c.add) << c.what;
        EXPECT_EQ(AddAdBlockInsideTag(page.page, *page.abc, true), c.addRotation) << c.what;
        EXPECT_EQ(ReplaceAdBlockInsideTag(page.page, *page.abc), c.replace) << c.what;
        EXPECT_EQ(page.Text(), c.page) << c.what;
        EXPECT_EQ(page.editor.Caret(), c.caret) << c.what;
        EXPECT_EQ(page.editor.ChangeCount(), size_t(0)) << c.what;
    }
}

// A replace with the caret outside every block writes over the selected
// node's block: that block's place decides.
TEST(AdBlockInsideTag, ReplaceOfTheSelectedNode)
{
    OpenPage page(Lines({ "top", "<div", Normal("XYZ", kXyz), ">" }));
    page.Caret(1, 2);
    EXPECT_FALSE(ReplaceAdBlockInsideTag(page.page, *page.abc)); // no node selected: nothing replaced
    page.tree.Select(page.tree.First());
    EXPECT_TRUE(ReplaceAdBlockInsideTag(page.page, *page.abc));
    EXPECT_EQ(page.editor.Caret(), (TextPos { 1, 2 }));
}

TEST(DeleteAdBlock, RemovesTheRotationWithItsMembersAndSelectsTheNextNode)
{
    OpenPage page(Lines({ "a", Rotation("R", { Member("XYZ", kXyz) }), Normal("ABC", kAbc) }));
    page.tree.Select(page.tree.First());
    const AdCommandResult result = DeleteAdBlock(page.page, page.catalogue);
    EXPECT_EQ(page.Text(), Lines({ "a", "", Normal("ABC", kAbc) }));
    EXPECT_EQ(page.Tree(), "matched\tABC\t*\n");
    EXPECT_EQ(result.Messages,
        (std::vector<UserMessage> { { MessageType::Information, std::string(kBlockDeletedMessage) } }));
    EXPECT_EQ(result.SelectBannerRow, 0);
    EXPECT_EQ(page.editor.SelectionStart(), (TextPos { 3, 1 }));
}

TEST(DeleteAdBlock, ChoosesTheNodeBeforeWhenNothingFollows)
{
    OpenPage page(Lines({ Rotation("R", { Member("XYZ", kXyz) }), Normal("ABC", kAbc) }));
    page.tree.Select(page.tree.Next(*page.tree.Next(*page.tree.First()))); // ABC, the last node
    DeleteAdBlock(page.page, page.catalogue);
    EXPECT_EQ(page.Tree(), "rotation\tR\n  matched\tXYZ\t*\n");
}

TEST(DeleteAdBlock, ABlockMissingFromTheTextStillLosesItsNode)
{
    OpenPage page(Lines({ Normal("ABC", kAbc) }));
    page.tree.Select(page.tree.First());
    page.SetText(Lines({ "edited by hand" }));
    const AdCommandResult result = DeleteAdBlock(page.page, page.catalogue);
    EXPECT_FALSE(result.Done);
    EXPECT_EQ(page.Text(), Lines({ "edited by hand" }));
    EXPECT_EQ(page.Tree(), "");
    EXPECT_EQ(result.Messages,
        (std::vector<UserMessage> { { MessageType::Warning, std::string(kBlockMissingDeletedMessage) } }));
    ASSERT_TRUE(result.StatusText);
    EXPECT_EQ(codec::DecodeSjis(*result.StatusText), "広告文[ABC]はファイルから削除しました");
}

TEST(DeleteAdBlock, NothingHappensWithoutASelectedNode)
{
    const std::string text = Lines({ Normal("ABC", kAbc) });
    OpenPage page(text);
    const AdCommandResult result = DeleteAdBlock(page.page, page.catalogue);
    EXPECT_TRUE(result.Messages.empty());
    EXPECT_EQ(page.Text(), text);
    EXPECT_EQ(page.Tree(), "matched\tABC\n");
}

// Each command, with the repairs of the scan that follows it, is one undo step
// of the editor however many edits it makes.
TEST(AdCommands, EachCommandIsOneUndoStep)
{
    struct Case {
        const char* what;
        AdCommandResult (*run)(OpenPage&);
        size_t minimumChanges;
    } cases[] = {
        { "add, then the refresh repairs two markers",
            [](OpenPage& p) { return AddAdBlock(p.page, p.catalogue, *p.abc, false); }, 3 },
        { "replace, then the refresh repairs two markers",
            [](OpenPage& p) { return ReplaceAdBlock(p.page, p.catalogue, *p.abc); }, 3 },
        { "delete", [](OpenPage& p) { return DeleteAdBlock(p.page, p.catalogue); }, 1 },
    };
    for (const auto& c : cases) {
        OpenPage page(Lines({ "a", Normal("XYZ", kXyz), "b" }));
        page.tree.Select(page.tree.First());
        page.Caret(2, 2);
        // A marker typed after the open: empty name and no end marker.
        page.editor.AppendLine("<!--PWH[]-->");
        const size_t changes = page.editor.ChangeCount();
        const size_t steps = page.editor.UndoSteps();
        EXPECT_TRUE(c.run(page).Done) << c.what;
        EXPECT_GE(page.editor.ChangeCount() - changes, c.minimumChanges) << c.what;
        EXPECT_EQ(page.editor.UndoSteps() - steps, 1u) << c.what;
        EXPECT_EQ(page.editor.ChangeDepth(), 0u) << c.what;
    }
}

TEST(Jump, WalksTheBlocksOfTheNameAndStartsOver)
{
    OpenPage page(
        Lines({ Normal("ABC", kAbc), "x", Normal("ABC", kAbc), "y", Rotation("R", { Member("ABC", kAbc) }) }));
    int counter = 1;
    const std::pair<std::string, TextPos> expected[] = {
        { "ABC", { 1, 1 } },
        { "ABC[2]", { 5, 1 } },
        { "ABC[3]", { 12, 1 } },
        { "ABC", { 1, 1 } },
        { "ABC[2]", { 5, 1 } },
    };
    for (const auto& [text, start] : expected) {
        const AdCommandResult result = Jump(page.page, page.catalogue, *page.abc, counter);
        EXPECT_TRUE(result.Messages.empty()) << text;
        EXPECT_EQ(result.Shown, text);
        EXPECT_EQ(page.editor.Caret(), start) << text;
        ASSERT_NE(page.tree.Selected(), nullptr);
        EXPECT_EQ(page.tree.Selected()->Text(), text);
    }
}

TEST(Jump, WarnsWhenTheNameIsNotInThePage)
{
    OpenPage page(Lines({ Normal("XYZ", kXyz) }));
    int counter = 1;
    for (int press = 0; press < 2; ++press) {
        const AdCommandResult result = Jump(page.page, page.catalogue, *page.abc, counter);
        EXPECT_EQ(
            result.Messages, (std::vector<UserMessage> { { MessageType::Warning, AdNotFoundMessage("ABC") } }));
        EXPECT_EQ(counter, 2);
        EXPECT_EQ(page.tree.Selected(), nullptr);
    }
}

TEST(ShowAdNode, StatusTextsAndBannerRow)
{
    OpenPage page(Lines({ Rotation("R", { Member("XYZ", kXyz) }), Normal("ABC", "<b>old</b>"), Normal("QQ", "q"),
        Normal("XYZ", kXyz) }));
    struct Case {
        std::string text;
        const char* status;
        int row;
    } cases[] = {
        { "R", "ローテーション広告[R]は見つけました。", -1 },
        { "XYZ", "バナー広告[XYZ]は見つけました。", 1 },
        { "ABC", "バナー広告[ABC]の広告文はバナーリストと一致しません。ファイルに見つけました。", 0 },
        { "QQ", "バナー広告[QQ]の広告文はバナーリストにないです。ファイルには見つけました。", -1 },
        { "XYZ[2]", "バナー広告[XYZ[2]]は見つけました。", -1 },
    };
    for (const auto& c : cases) {
        AdNode* node = FindAdNode(page.tree, c.text, abRotation);
        ASSERT_NE(node, nullptr) << c.text;
        int counter = 1;
        const AdCommandResult result = ShowAdNode(page.page, page.catalogue, node, true, counter);
        ASSERT_TRUE(result.StatusText);
        EXPECT_EQ(codec::DecodeSjis(*result.StatusText), c.status);
        EXPECT_EQ(page.tree.Hint(), *result.StatusText);
        EXPECT_EQ(result.SelectBannerRow, c.row) << c.text;
        EXPECT_TRUE(result.Messages.empty());
    }
}

TEST(ShowAdNode, MissingBlockIsReportedByTheTreeOrOnBehalfOfJump)
{
    OpenPage page(Lines({ Normal("ABC", kAbc) }));
    AdNode* node = page.tree.First();
    page.SetText(Lines({ "gone" }));
    const std::string status = "バナー広告[ABC]は見つけませんでした。広告一覧を更新してください。";

    int counter = 3;
    AdCommandResult fromTree = ShowAdNode(page.page, page.catalogue, node, true, counter);
    ASSERT_EQ(fromTree.Messages.size(), 1u);
    EXPECT_EQ(codec::DecodeSjis(fromTree.Messages[0].Text), status);
    EXPECT_EQ(counter, 3);

    AdCommandResult fromJump = ShowAdNode(page.page, page.catalogue, node, false, counter);
    EXPECT_EQ(
        fromJump.Messages, (std::vector<UserMessage> { { MessageType::Warning, AdNotFoundMessage("ABC") } }));
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(codec::DecodeSjis(*fromJump.StatusText), status);

    fromJump = ShowAdNode(page.page, page.catalogue, node, false, counter);
    EXPECT_TRUE(fromJump.Messages.empty()); // counter 1: the first block was sought
}

TEST(RefreshAdNodes, FollowsRenamesRemovalsAndNewBanners)
{
    OpenPage page(Lines({ Normal("ABC", kAbc), Normal("ABC", kAbc), Normal("NEW", kAbc), Normal("XYZ", kXyz) }));
    EXPECT_EQ(page.Tree(), "matched\tABC\nmatched\tABC[2]\nunlisted\tNEW\nmatched\tXYZ\n");

    // A new banner NEW with the HTML of its block.
    TAdBanner& created = page.AddBanner("NEW", kAbc);
    RefreshAdNodes(page.page, std::nullopt, &created);
    EXPECT_EQ(page.Tree(), "matched\tABC\nmatched\tABC[2]\nmatched\tNEW\nmatched\tXYZ\n");

    // ABC renamed to XYZ with other HTML: the node ABC turns unlisted, the node XYZ is rated
    // against the new HTML, numbered nodes keep their status.
    page.abc->SpaceName = "XYZ";
    page.abc->BannerHTML = "<i>other</i>";
    RefreshAdNodes(page.page, std::string("ABC"), page.abc);
    EXPECT_EQ(page.Tree(), "unlisted\tABC\nmatched\tABC[2]\nmatched\tNEW\nchanged\tXYZ\n");

    // An edit of the HTML without a rename re-rates by content.
    page.abc->BannerHTML = kXyz;
    RefreshAdNodes(page.page, std::string("XYZ"), page.abc);
    EXPECT_EQ(page.Tree(), "unlisted\tABC\nmatched\tABC[2]\nmatched\tNEW\nmatched\tXYZ\n");

    // Removal.
    RefreshAdNodes(page.page, std::string("NEW"), nullptr);
    EXPECT_EQ(page.Tree(), "unlisted\tABC\nmatched\tABC[2]\nunlisted\tNEW\nmatched\tXYZ\n");

    RefreshAdNodes(page.page, std::nullopt, nullptr); // nothing to do
    EXPECT_EQ(page.Tree(), "unlisted\tABC\nmatched\tABC[2]\nunlisted\tNEW\nmatched\tXYZ\n");
}

TEST(RefreshAdList, RebuildsTheTreeAndReselectsTheBlockText)
{
    OpenPage page(Lines({ Normal("ABC", kAbc), Normal("XYZ", kXyz) }));
    page.tree.Select(FindAdNode(page.tree, "XYZ", abNormal));
    page.editor.SetSelection({ 1, 1 }, { 1, 1 });
    RefreshAdList(page.page, page.catalogue);
    EXPECT_EQ(page.tree.Selected(), nullptr);
    EXPECT_EQ(page.editor.SelectionStart(), (TextPos { 4, 1 }));
    EXPECT_EQ(page.editor.SelectionEnd(), (TextPos { 6, 14 }));
}

} // namespace
} // namespace pw
