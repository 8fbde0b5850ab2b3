#pragma once

#include "text/linebuffer.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// A place in a page: line and column, both counted from 1, the column in bytes
// of the page's encoding (a double-byte character takes two columns).
struct TextPos {
    size_t Line = 1;
    size_t Col = 1;

    friend bool operator==(const TextPos&, const TextPos&) = default;
};

// The page text as the ad commands see it: lines of bytes without their line
// breaks, a caret and a selection. The window implements it over its text
// editor (mapping byte columns through the codec); MemoryPageEditor implements
// it over a LineBuffer.
//
// A position whose line lies beyond the last line is taken as the last line; a
// column beyond the end of its line as the end of the line (Col = length + 1).
// An empty page has no lines; positions in it are (1, 1).
class PageEditor {
public:
    virtual ~PageEditor() = default;

    virtual size_t LineCount() const = 0;
    // The bytes of line `line` (from 1), valid until the next change.
    virtual std::string_view LineText(size_t line) const = 0;
    // Replaces the bytes of one line; `text` holds no line break.
    virtual void SetLineText(size_t line, std::string_view text) = 0;
    // Adds a line after the last one.
    virtual void AppendLine(std::string_view text) = 0;

    virtual TextPos Caret() const = 0;
    // Moves the caret, drops the selection and scrolls the caret into view.
    virtual void SetCaret(TextPos pos) = 0;
    // Selects from `anchor` to `caret`; the caret ends at `caret`.
    virtual void SetSelection(TextPos anchor, TextPos caret) = 0;
    // Scrolls so that `pos` is visible; caret and selection stay.
    virtual void ScrollTo(TextPos pos) = 0;
    // Start and end of the selection in text order (equal when it is empty).
    virtual TextPos SelectionStart() const = 0;
    virtual TextPos SelectionEnd() const = 0;
    // Replaces the selection by `text` (which may hold CR LF, LF or CR line
    // breaks) as one undoable change; the caret ends after the new text.
    virtual void ReplaceSelection(std::string_view text) = 0;

    virtual bool Modified() const = 0;
    virtual void SetModified(bool modified) = 0;

    // The changes made between BeginChange and the matching EndChange are one
    // step for the user's undo. Pairs nest; the outermost pair makes the step.
    // PageChange calls them for a scope.
    virtual void BeginChange() = 0;
    virtual void EndChange() = 0;

    // Convenience: replaces the selection by nothing.
    void DeleteSelection() { ReplaceSelection({}); }
    // Convenience: empties the selection at the caret and inserts `text` there.
    void InsertAtCaret(std::string_view text)
    {
        const TextPos caret = Caret();
        SetSelection(caret, caret);
        ReplaceSelection(text);
    }
};

// Makes the changes of a scope one undo step of `editor`.
class PageChange {
public:
    explicit PageChange(PageEditor& editor)
        : m_editor(editor)
    {
        m_editor.BeginChange();
    }
    ~PageChange() { m_editor.EndChange(); }
    PageChange(const PageChange&) = delete;
    PageChange& operator=(const PageChange&) = delete;

private:
    PageEditor& m_editor;
};

// An editor seen through the lines it was just loaded with: LineText reads
// them from `loaded` instead of asking the editor, which may have to encode
// each line anew; every other call goes to the editor. A line written through
// this view is read from the editor afterwards, and after any other change
// every line is. `loaded` must hold the editor's lines as they stand when the
// view is made, and both must outlive it. Made for the scan of a page just
// opened, which reads every line once.
class LoadedPageEditor final : public PageEditor {
public:
    LoadedPageEditor(PageEditor& editor, const LineBuffer& loaded);

    size_t LineCount() const override { return m_editor.LineCount(); }
    std::string_view LineText(size_t line) const override;
    void SetLineText(size_t line, std::string_view text) override;
    void AppendLine(std::string_view text) override { m_editor.AppendLine(text); }

    TextPos Caret() const override { return m_editor.Caret(); }
    void SetCaret(TextPos pos) override { m_editor.SetCaret(pos); }
    void SetSelection(TextPos anchor, TextPos caret) override { m_editor.SetSelection(anchor, caret); }
    void ScrollTo(TextPos pos) override { m_editor.ScrollTo(pos); }
    TextPos SelectionStart() const override { return m_editor.SelectionStart(); }
    TextPos SelectionEnd() const override { return m_editor.SelectionEnd(); }
    void ReplaceSelection(std::string_view text) override;

    bool Modified() const override { return m_editor.Modified(); }
    void SetModified(bool modified) override { m_editor.SetModified(modified); }

    void BeginChange() override { m_editor.BeginChange(); }
    void EndChange() override { m_editor.EndChange(); }

private:
    PageEditor& m_editor;
    const LineBuffer& m_loaded;
    std::vector<bool> m_written; // lines (from 0) changed through this view
    bool m_detached = false; // lines may have moved: read every line from the editor
};

// The page editor of the tests and the command-line program.
class MemoryPageEditor final : public PageEditor {
public:
    MemoryPageEditor() = default;
    explicit MemoryPageEditor(const std::vector<std::string>& lines);

    // A copy of the lines, one string each.
    std::vector<std::string> Lines() const { return m_lines.ToVector(); }
    const LineBuffer& Buffer() const { return m_lines; }
    void SetLines(const std::vector<std::string>& lines);
    // Takes a page's bytes as they were read and splits them into lines.
    void SetText(std::string bytes);
    // The same over bytes that `owner` keeps alive and unchanged (a mapped file).
    void SetText(std::shared_ptr<const void> owner, std::string_view bytes);
    // Takes lines already indexed.
    void SetBuffer(LineBuffer lines);

    size_t LineCount() const override { return m_lines.Count(); }
    std::string_view LineText(size_t line) const override;
    void SetLineText(size_t line, std::string_view text) override;
    void AppendLine(std::string_view text) override;

    TextPos Caret() const override { return m_caret; }
    void SetCaret(TextPos pos) override;
    void SetSelection(TextPos anchor, TextPos caret) override;
    void ScrollTo(TextPos pos) override { m_scrolledTo = Clamp(pos); }
    TextPos SelectionStart() const override;
    TextPos SelectionEnd() const override;
    void ReplaceSelection(std::string_view text) override;

    bool Modified() const override { return m_modified; }
    void SetModified(bool modified) override { m_modified = modified; }

    void BeginChange() override;
    void EndChange() override;

    // The text of the selection, lines joined by CR LF.
    std::string SelectedText() const;
    // The last position scrolled to (by SetCaret or ScrollTo).
    TextPos ScrolledTo() const { return m_scrolledTo; }
    // Number of changes made (one per replaced selection or line edit).
    size_t ChangeCount() const { return m_changes; }
    // Number of undo steps the changes make: one per change outside a
    // BeginChange/EndChange pair, one per outermost pair that changed something.
    size_t UndoSteps() const { return m_changes - m_groupedAway; }
    // Depth of open BeginChange calls.
    size_t ChangeDepth() const { return m_changeDepth; }

private:
    TextPos Clamp(TextPos pos) const;
    void Reset();

    LineBuffer m_lines;
    TextPos m_anchor;
    TextPos m_caret;
    TextPos m_scrolledTo;
    bool m_modified = false;
    size_t m_changes = 0;
    size_t m_changeDepth = 0;
    size_t m_changesAtBegin = 0;
    size_t m_groupedAway = 0;
};

} // namespace pw
