#include "core/pageads/pageeditor_contract.h"

namespace pw::test {
namespace {

std::unique_ptr<PageEditor> MakeMemoryEditor(const std::vector<std::string>& lines)
{
    return std::make_unique<MemoryPageEditor>(lines);
}

// Named, so that the test names do not carry the factory's address.
INSTANTIATE_TEST_SUITE_P(Memory, PageEditorContract, ::testing::Values(&MakeMemoryEditor),
    [](const auto&) { return std::string("MemoryPageEditor"); });

TEST(MemoryPageEditor, CountsOneChangePerReplacement)
{
    MemoryPageEditor editor({ "abc" });
    editor.SetSelection({ 1, 1 }, { 1, 4 });
    EXPECT_EQ(editor.SelectedText(), "abc");
    editor.ReplaceSelection("1\r\n2\r\n3");
    EXPECT_EQ(editor.ChangeCount(), 1u);
    editor.SetSelection({ 1, 1 }, { 3, 2 });
    EXPECT_EQ(editor.SelectedText(), "1\r\n2\r\n3");
}

TEST(MemoryPageEditor, NestedChangesMakeOneUndoStep)
{
    MemoryPageEditor editor({ "abc" });
    editor.SetLineText(1, "x");
    {
        const PageChange outer(editor);
        editor.AppendLine("y");
        {
            const PageChange inner(editor);
            editor.AppendLine("z");
        }
        EXPECT_EQ(editor.ChangeDepth(), 1u);
        editor.InsertAtCaret("w");
    }
    {
        const PageChange empty(editor);
    }
    EXPECT_EQ(editor.ChangeCount(), 4u);
    EXPECT_EQ(editor.UndoSteps(), 2u);
}

} // namespace
} // namespace pw::test
