#include "pageads/pageeditor.h"

#include <algorithm>

namespace pw {

namespace {

bool Before(const TextPos& a, const TextPos& b)
{
    return a.Line < b.Line || (a.Line == b.Line && a.Col < b.Col);
}

// Splits inserted text at CR LF, LF and CR. Unlike a page split, a break at
// the end yields a last, empty piece.
std::vector<std::string> SplitInserted(std::string_view text)
{
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    return pieces;
}

} // namespace

MemoryPageEditor::MemoryPageEditor(const std::vector<std::string>& lines)
    : m_lines(lines)
{
}

void MemoryPageEditor::Reset()
{
    m_anchor = m_caret = m_scrolledTo = TextPos {};
}

void MemoryPageEditor::SetLines(const std::vector<std::string>& lines)
{
    m_lines = LineBuffer(lines);
    Reset();
}

void MemoryPageEditor::SetText(std::string bytes)
{
    m_lines = LineBuffer(std::move(bytes));
    Reset();
}

void MemoryPageEditor::SetText(std::shared_ptr<const void> owner, std::string_view bytes)
{
    m_lines = LineBuffer(std::move(owner), bytes);
    Reset();
}

void MemoryPageEditor::SetBuffer(LineBuffer lines)
{
    m_lines = std::move(lines);
    Reset();
}

std::string_view MemoryPageEditor::LineText(size_t line) const
{
    if (line < 1 || line > m_lines.Count())
        return {};
    return m_lines[line - 1];
}

void MemoryPageEditor::SetLineText(size_t line, std::string_view text)
{
    if (line < 1 || line > m_lines.Count())
        return;
    m_lines.Set(line - 1, text);
    m_anchor = Clamp(m_anchor);
    m_caret = Clamp(m_caret);
    m_modified = true;
    ++m_changes;
}

void MemoryPageEditor::AppendLine(std::string_view text)
{
    m_lines.Append(text);
    m_modified = true;
    ++m_changes;
}

TextPos MemoryPageEditor::Clamp(TextPos pos) const
{
    if (m_lines.Empty())
        return TextPos {};
    pos.Line = std::clamp<size_t>(pos.Line, 1, m_lines.Count());
    pos.Col = std::clamp<size_t>(pos.Col, 1, m_lines[pos.Line - 1].size() + 1);
    return pos;
}

void MemoryPageEditor::SetCaret(TextPos pos)
{
    m_anchor = m_caret = m_scrolledTo = Clamp(pos);
}

void MemoryPageEditor::SetSelection(TextPos anchor, TextPos caret)
{
    m_anchor = Clamp(anchor);
    m_caret = Clamp(caret);
}

TextPos MemoryPageEditor::SelectionStart() const
{
    return Before(m_caret, m_anchor) ? m_caret : m_anchor;
}

TextPos MemoryPageEditor::SelectionEnd() const
{
    return Before(m_caret, m_anchor) ? m_anchor : m_caret;
}

std::string MemoryPageEditor::SelectedText() const
{
    if (m_lines.Empty())
        return {};
    const TextPos start = SelectionStart();
    const TextPos end = SelectionEnd();
    if (start.Line == end.Line)
        return std::string(m_lines[start.Line - 1].substr(start.Col - 1, end.Col - start.Col));
    std::string text(m_lines[start.Line - 1].substr(start.Col - 1));
    for (size_t line = start.Line + 1; line < end.Line; ++line)
        text.append("\r\n").append(m_lines[line - 1]);
    text.append("\r\n").append(m_lines[end.Line - 1].substr(0, end.Col - 1));
    return text;
}

void MemoryPageEditor::ReplaceSelection(std::string_view text)
{
    if (m_lines.Empty()) {
        if (text.empty())
            return;
        m_lines.Append({});
    }
    const TextPos start = Clamp(SelectionStart());
    const TextPos end = Clamp(SelectionEnd());
    const std::string_view head = m_lines[start.Line - 1].substr(0, start.Col - 1);
    const std::string_view tail = m_lines[end.Line - 1].substr(end.Col - 1);

    std::vector<std::string> pieces = SplitInserted(text);
    TextPos caret { start.Line + pieces.size() - 1, pieces.back().size() + 1 };
    if (pieces.size() == 1)
        caret.Col += head.size();
    pieces.front().insert(0, head);
    pieces.back().append(tail);

    m_lines.Replace(start.Line - 1, end.Line - start.Line + 1, pieces);
    m_anchor = m_caret = caret;
    m_modified = true;
    ++m_changes;
}

void MemoryPageEditor::BeginChange()
{
    if (m_changeDepth++ == 0)
        m_changesAtBegin = m_changes;
}

void MemoryPageEditor::EndChange()
{
    if (m_changeDepth == 0 || --m_changeDepth > 0)
        return;
    if (m_changes > m_changesAtBegin)
        m_groupedAway += m_changes - m_changesAtBegin - 1;
}

// ---------------------------------------------------------------------------
// LoadedPageEditor

LoadedPageEditor::LoadedPageEditor(PageEditor& editor, const LineBuffer& loaded)
    : m_editor(editor)
    , m_loaded(loaded)
    , m_written(loaded.Count(), false)
{
}

std::string_view LoadedPageEditor::LineText(size_t line) const
{
    if (m_detached || line < 1 || line > m_loaded.Count() || m_written[line - 1])
        return m_editor.LineText(line);
    return m_loaded[line - 1];
}

void LoadedPageEditor::SetLineText(size_t line, std::string_view text)
{
    m_editor.SetLineText(line, text);
    if (line >= 1 && line <= m_written.size())
        m_written[line - 1] = true;
}

void LoadedPageEditor::ReplaceSelection(std::string_view text)
{
    m_editor.ReplaceSelection(text);
    m_detached = true;
}

} // namespace pw
