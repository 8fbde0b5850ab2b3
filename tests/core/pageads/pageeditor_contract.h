#pragma once

// Behaviour every PageEditor must show. The window's editor adapter runs the
// same suite with its own factory:
//   INSTANTIATE_TEST_SUITE_P(Qt, PageEditorContract, ::testing::Values(&MakeAdapter),
//                            [](const auto&) { return std::string("QtAdapter"); });
// (without the name the test names carry the factory's address, which changes
// from run to run).

#include "pageads/pageeditor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pw::test {

using PageEditorFactory = std::unique_ptr<PageEditor> (*)(const std::vector<std::string>& lines);

class PageEditorContract : public ::testing::TestWithParam<PageEditorFactory> {
protected:
    std::unique_ptr<PageEditor> Make(const std::vector<std::string>& lines) { return GetParam()(lines); }

    static std::vector<std::string> LinesOf(const PageEditor& editor)
    {
        std::vector<std::string> lines;
        for (size_t line = 1; line <= editor.LineCount(); ++line)
            lines.emplace_back(editor.LineText(line));
        return lines;
    }
};

TEST_P(PageEditorContract, ReplaceSelectionSplitsAndJoinsLines)
{
    struct Case {
        std::vector<std::string> lines;
        TextPos anchor, caret;
        std::string text;
        std::vector<std::string> expected;
        TextPos caretAfter;
    } cases[] = {
        { { "hello world" }, { 1, 6 }, { 1, 6 }, "\r\nX\r\n", { "hello", "X", " world" }, { 3, 1 } },
        { { "abc", "def", "ghi" }, { 1, 2 }, { 3, 2 }, "", { "ahi" }, { 1, 2 } },
        { { "abc", "def", "ghi" }, { 3, 2 }, { 1, 2 }, "-", { "a-hi" }, { 1, 3 } },
        { { "abc" }, { 1, 4 }, { 1, 4 }, "x\ny\rz", { "abcx", "y", "z" }, { 3, 2 } },
        { { "abc", "def" }, { 1, 4 }, { 2, 1 }, "", { "abcdef" }, { 1, 4 } },
        { { "\x95\x5C" }, { 1, 3 }, { 1, 3 }, "\x8E\xA6", { "\x95\x5C\x8E\xA6" }, { 1, 5 } },
        { {}, { 1, 1 }, { 1, 1 }, "a\r\nb", { "a", "b" }, { 2, 2 } },
    };
    for (const auto& c : cases) {
        auto editor = Make(c.lines);
        editor->SetSelection(c.anchor, c.caret);
        EXPECT_FALSE(editor->Modified());
        editor->ReplaceSelection(c.text);
        EXPECT_EQ(LinesOf(*editor), c.expected) << c.text;
        EXPECT_EQ(editor->Caret(), c.caretAfter) << c.text;
        EXPECT_EQ(editor->SelectionStart(), editor->SelectionEnd());
        EXPECT_TRUE(editor->Modified());
    }
}

TEST_P(PageEditorContract, CaretAndSelection)
{
    auto editor = Make({ "abc", "defgh", "" });
    EXPECT_EQ(editor->Caret(), (TextPos { 1, 1 }));
    editor->SetCaret({ 2, 4 });
    EXPECT_EQ(editor->Caret(), (TextPos { 2, 4 }));
    EXPECT_EQ(editor->SelectionStart(), (TextPos { 2, 4 }));
    editor->SetSelection({ 2, 5 }, { 1, 2 });
    EXPECT_EQ(editor->Caret(), (TextPos { 1, 2 }));
    EXPECT_EQ(editor->SelectionStart(), (TextPos { 1, 2 }));
    EXPECT_EQ(editor->SelectionEnd(), (TextPos { 2, 5 }));
    editor->ScrollTo({ 3, 1 });
    EXPECT_EQ(editor->SelectionEnd(), (TextPos { 2, 5 }));
    // Positions beyond a line's end or the last line are taken as the end.
    editor->SetCaret({ 2, 99 });
    EXPECT_EQ(editor->Caret(), (TextPos { 2, 6 }));
    editor->SetCaret({ 9, 5 });
    EXPECT_EQ(editor->Caret(), (TextPos { 3, 1 }));
    editor->InsertAtCaret("z");
    EXPECT_EQ(LinesOf(*editor), (std::vector<std::string> { "abc", "defgh", "z" }));
}

TEST_P(PageEditorContract, LineEditsAndModifiedFlag)
{
    auto editor = Make({ "a", "b" });
    EXPECT_EQ(editor->LineCount(), 2u);
    editor->SetLineText(2, std::string("x\0y", 3));
    editor->AppendLine("c");
    EXPECT_EQ(LinesOf(*editor), (std::vector<std::string> { "a", std::string("x\0y", 3), "c" }));
    EXPECT_TRUE(editor->Modified());
    editor->SetModified(false);
    EXPECT_FALSE(editor->Modified());
}

} // namespace pw::test
