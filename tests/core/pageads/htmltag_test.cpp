#include "pageads/htmltag.h"

#include "text/lines.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

// The page of `marked` without its '|', lines split at CR LF, and the place
// of the '|' in it.
struct MarkedPage {
    MemoryPageEditor editor;
    TextPos caret;

    explicit MarkedPage(std::string marked)
    {
        const size_t at = marked.find('|');
        const std::string before = marked.substr(0, at);
        const size_t lineStart = before.rfind("\r\n");
        caret.Line = 1;
        for (size_t i = before.find("\r\n"); i != std::string::npos; i = before.find("\r\n", i + 2))
            ++caret.Line;
        caret.Col = at - (lineStart == std::string::npos ? 0 : lineStart + 2) + 1;
        marked.erase(at, 1);
        editor.SetLines(SplitLines(marked));
    }
};

TEST(InsideHtmlTag, TellsMarkupFromText)
{
    struct Case {
        const char* page; // '|' marks the place asked about
        bool inside;
    } cases[] = {
        // Tags, from the '<' to the '>'.
        { "<p>one|</p>", false },
        { "<p>one<|/p>", true },
        { "|<a href=\"x\">", false },
        { "<|a href=\"x\">", true },
        { "<a href=\"x\"|>", true },
        { "<a href=\"x\">|", false },
        { "<a href=\"x\"><img src=\"y\"|></a>", true },
        { "<br|/>", true },
        // A tag over several lines.
        { "<img\r\n src=\"x.gif\"\r\n |alt=\"\">", true },
        { "<img\r\n src=\"x.gif\"\r\n alt=\"\">|", false },
        // A '>' in a quoted value does not end the tag; a quote that is no value opens nothing.
        { "<a title=\"a>b\" |href=\"x\">", true },
        { "<a title='a>b'>|x", false },
        { "<a title=\"a\r\n>b\" |href=x>", true },
        { "<p don't>|text", false },
        { "<a href=x title=\"y\">|z", false },
        // A '<' that opens nothing.
        { "a < b |and c > d", false },
        { "1 <2 |x", false },
        { "last <\r\n|line", false },
        // Comments, declarations, processing instructions.
        { "<!-- <b>| -->", true },
        { "<!-- a --|>", true },
        { "<!-- a -->|", false },
        { "<!-- a\r\n-- b|\r\n-->", true },
        { "<!DOCTYPE html|>", true },
        { "<!DOCTYPE html>|", false },
        { "<?xml version=\"1.0\"|?>", true },
        // Script and style text holds no markup until its end tag.
        { "<script>if (a<b) |{ s = '>'; }</script>", false },
        { "<SCRIPT type=\"text/javascript\">\r\nvar s = \"<a href=x>|\";\r\n</SCRIPT>", false },
        { "<style>a>b { }</style>|<p>", false },
        { "<script>x</script><p |class=a>", true },
        { "<script>x</scripts>|<p>", false },
        { "<scripts>x<p |class=a>", true },
        // Shift_JIS text: its bytes are no markup.
        { "<a title=\"\x95\x5c\x8e\xa6\"|>", true },
        { "<p>\x95\x5c\x8e\xa6|</p>", false },
        // A column past the end of its line: the end of the line.
        { "<a href|", true },
    };
    for (const auto& c : cases) {
        MarkedPage page(c.page);
        EXPECT_EQ(InsideHtmlTag(page.editor, page.caret), c.inside) << c.page;
    }
}

// Places past a line's end or the last line are taken as the editor takes them.
TEST(InsideHtmlTag, PlacesPastTheText)
{
    MemoryPageEditor editor;
    EXPECT_FALSE(InsideHtmlTag(editor, { 1, 1 }));
    editor.SetLines({ "<p>", "<a href" });
    EXPECT_FALSE(InsideHtmlTag(editor, { 1, 50 }));
    EXPECT_TRUE(InsideHtmlTag(editor, { 9, 50 }));
    EXPECT_FALSE(InsideHtmlTag(editor, { 9, 1 }));
}

} // namespace
} // namespace pw
