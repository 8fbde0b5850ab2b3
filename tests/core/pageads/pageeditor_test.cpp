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

// A view over an editor and a copy of its lines, owning both.
class OwnedLoadedEditor : public PageEditor {
public:
    explicit OwnedLoadedEditor(const std::vector<std::string>& lines)
        : m_editor(lines)
        , m_loaded(m_editor.Buffer())
        , m_view(m_editor, m_loaded)
    {
    }
    size_t LineCount() const override { return m_view.LineCount(); }
    std::string_view LineText(size_t line) const override { return m_view.LineText(line); }
    void SetLineText(size_t line, std::string_view text) override { m_view.SetLineText(line, text); }
    void AppendLine(std::string_view text) override { m_view.AppendLine(text); }
    TextPos Caret() const override { return m_view.Caret(); }
    void SetCaret(TextPos pos) override { m_view.SetCaret(pos); }
    void SetSelection(TextPos anchor, TextPos caret) override { m_view.SetSelection(anchor, caret); }
    void ScrollTo(TextPos pos) override { m_view.ScrollTo(pos); }
    TextPos SelectionStart() const override { return m_view.SelectionStart(); }
    TextPos SelectionEnd() const override { return m_view.SelectionEnd(); }
    void ReplaceSelection(std::string_view text) override { m_view.ReplaceSelection(text); }
    bool Modified() const override { return m_view.Modified(); }
    void SetModified(bool modified) override { m_view.SetModified(modified); }
    void BeginChange() override { m_view.BeginChange(); }
    void EndChange() override { m_view.EndChange(); }

private:
    MemoryPageEditor m_editor;
    LineBuffer m_loaded;
    LoadedPageEditor m_view;
};

std::unique_ptr<PageEditor> MakeLoadedView(const std::vector<std::string>& lines)
{
    return std::make_unique<OwnedLoadedEditor>(lines);
}

// Every promise of an editor holds through the view of its loaded lines.
INSTANTIATE_TEST_SUITE_P(Loaded, PageEditorContract, ::testing::Values(&MakeLoadedView),
    [](const auto&) { return std::string("LoadedPageEditor"); });

// The view reads untouched lines from the loaded copy, and a line from the
// editor once the editor's line may differ from it.
TEST(LoadedPageEditor, ReadsTheCopyUntilALineOrTheLayoutChanges)
{
    MemoryPageEditor editor({ "one", "two", "three" });
    // A copy whose lines differ from the editor's shows which side was read.
    const LineBuffer loaded { "ONE", "TWO", "THREE" };
    LoadedPageEditor view(editor, loaded);
    EXPECT_EQ(view.LineText(1), "ONE");
    view.SetLineText(2, "new");
    EXPECT_EQ(view.LineText(2), "new");
    EXPECT_EQ(view.LineText(3), "THREE");
    view.AppendLine("four");
    EXPECT_EQ(view.LineCount(), 4u);
    EXPECT_EQ(view.LineText(4), "four");
    EXPECT_EQ(view.LineText(1), "ONE");
    // A replaced selection may move every line after it.
    view.SetSelection({ 1, 1 }, { 1, 1 });
    view.ReplaceSelection("zero\r\n");
    EXPECT_EQ(view.LineText(1), "zero");
    EXPECT_EQ(view.LineText(2), "one");
    EXPECT_EQ(view.LineText(4), "three");
}

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
