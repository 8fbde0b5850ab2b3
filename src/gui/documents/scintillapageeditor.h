#pragma once

#include "gui/documents/editorcodec.h"
#include "pageads/pageeditor.h"
#include "text/linebuffer.h"
#include "text/lines.h"
#include "text/pageencoding.h"

#include <Qsci/qsciscintilla.h>

#include <QElapsedTimer>

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QsciLexerHTML;
class QTimer;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

namespace pw {

class ScintillaPageEditor;

// The ad commands' view of a ScintillaPageEditor: lines as page bytes, columns
// in bytes of the page's encoding. The page's lines are the lines of the text
// as SplitLines cuts them, so the empty line the editor shows after a final
// line break is no page line; a position there counts as the end of the last
// line.
class ScintillaPageAdapter final : public PageEditor {
public:
    explicit ScintillaPageAdapter(ScintillaPageEditor& editor);

    size_t LineCount() const override;
    std::string_view LineText(size_t line) const override;
    void SetLineText(size_t line, std::string_view text) override;
    void AppendLine(std::string_view text) override;

    TextPos Caret() const override;
    void SetCaret(TextPos pos) override;
    void SetSelection(TextPos anchor, TextPos caret) override;
    void ScrollTo(TextPos pos) override;
    TextPos SelectionStart() const override;
    TextPos SelectionEnd() const override;
    void ReplaceSelection(std::string_view text) override;

    bool Modified() const override;
    void SetModified(bool modified) override;

    void BeginChange() override;
    void EndChange() override;

private:
    ScintillaPageEditor& m_editor;
};

// The text editor of a page tab: QScintilla in UTF-8 mode with the HTML lexer,
// line numbers and a fixed-width font with Japanese glyphs. It holds the page
// decoded by the page's codec; bytes the codec cannot read show as labelled
// blobs and are written back unchanged.
class ScintillaPageEditor : public QsciScintilla {
    Q_OBJECT

public:
    explicit ScintillaPageEditor(QWidget* parent = nullptr);
    ~ScintillaPageEditor() override;

    // Replaces the text by a page: its lines as SplitLines cuts them, each
    // followed by `lineBreak` (the break the page is saved with). The undo
    // history is empty and the page unmodified afterwards.
    void LoadPage(std::string_view bytes, LineBreak lineBreak, PageEncoding encoding = PageEncoding::ShiftJis);
    void LoadLines(const std::vector<std::string>& lines, LineBreak lineBreak,
        PageEncoding encoding = PageEncoding::ShiftJis);
    void LoadBuffer(const LineBuffer& lines, LineBreak lineBreak, PageEncoding encoding = PageEncoding::ShiftJis);

    // The page's lines in its encoding, and the bytes to save: every line
    // followed by the page's break.
    std::vector<std::string> PageLines() const;
    std::string PageBytes() const;
    // The page's lines in one buffer (as a document text holds them).
    LineBuffer PageLineBuffer() const;
    // Characters of the text that the page's encoding cannot hold.
    size_t UnencodableCount() const;

    LineBreak PageLineBreak() const { return m_lineBreak; }
    PageEncoding Encoding() const { return m_encoding; }
    const EditorCodec& Codec() const { return *m_codec; }

    // The editor seen by the ad commands.
    PageEditor& Page() { return m_adapter; }

    // Modified since the load or the last SetPageModified(false).
    bool PageModified() const;
    void SetPageModified(bool modified);

    // The whole text as the editor holds it (UTF-8, NUL-safe).
    std::string_view EditorText() const;

signals:
    // A banner was dropped: the caret is at the character under the drop point
    // (scrolled into view); `globalPos` is where to pop up the add menu.
    void BannerDropped(const QPoint& globalPos);
    // An undo or redo changed the text; sent once the step is over, not from
    // inside the editor's change notifications.
    void UndoneOrRedone();

public:
    // Takes the editor's own bindings off these keys, so that they reach the
    // window's actions while the editor has the focus.
    void ReleaseKeys(const QList<QKeySequence>& keys);

    // The font used for the text: the desktop's fixed font when it has
    // Japanese glyphs, else IPAGothic.
    static QFont PageFont();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The caret stays drawn while the focus is in the ad tree or the banner
    // list, so that the user sees where an added block will go.
    void focusOutEvent(QFocusEvent* event) override;
    // Both hold back the styling of the text below (StyleAhead) for a moment.
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    friend class ScintillaPageAdapter;

    // Replaces the text by page bytes whose every line ends with `lineBreak`.
    void LoadJoined(const std::string& bytes, LineBreak lineBreak, PageEncoding encoding);

    long Sci(unsigned int msg, unsigned long wParam = 0, long lParam = 0) const
    {
        return SendScintilla(msg, wParam, lParam);
    }

    // Editor UTF-8 text of a Scintilla line (from 0), without its break.
    std::string_view EditorLine(size_t sciLine) const;
    // Page lines (see ScintillaPageAdapter).
    size_t PageLineCount() const;
    long PositionOf(TextPos pos) const;
    TextPos TextPosOf(long position) const;
    // Editor text for page text: decoded, line breaks in the editor's style.
    std::string ToEditorText(std::string_view pageText) const;
    const std::string& CachedLine(size_t line) const;
    void OnModified(int position, int modificationType);
    // Brings the line cache in step with the change announced last, once it is done.
    void SettleChange() const;
    void ShowStandIns(std::string_view editorText) const;
    void UpdateMarginWidth();
    // Styles the next slice of the text not yet styled; stops at its end.
    void StyleAhead();

    std::unique_ptr<EditorCodec> m_codec;
    PageEncoding m_encoding = PageEncoding::ShiftJis;
    LineBreak m_lineBreak = LineBreak::CrLf;
    QsciLexerHTML* m_lexer = nullptr;
    ScintillaPageAdapter m_adapter;
    bool m_forcedModified = false;
    bool m_undoReportPending = false;
    int m_marginDigits = 0;

    // Page bytes of each Scintilla line, encoded on demand. A deque, so that
    // growing it at its end keeps the lines handed out where they are.
    mutable std::deque<std::string> m_lineCache;
    mutable std::vector<char> m_lineCached;
    // PageLineCount, -1 when the text changed since.
    mutable long m_pageLines = -1;
    // The change announced last: where, and the editor's line count before it
    // (-1: none pending).
    mutable long m_changeAt = 0;
    mutable long m_linesBeforeChange = -1;
    bool m_marginUpdatePending = false;
    QTimer* m_styleTimer = nullptr;
    QElapsedTimer m_lastInput; // since the last key or wheel turn
};

} // namespace pw
