#include "gui/documents/scintillapageeditor.h"
#include "gui/common/bannerdrag.h"

#include "text/codec.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qscilexerhtml.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QMimeData>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>

namespace pw {

namespace {

// QScintilla's accessible text interface, once made for an editor, counts
// the characters from the start of the text on every caret move. Without
// assistive technology running, nothing reads it: the page editor gets a
// plain accessible (its name and role) instead. With it running, QScintilla's
// is made, as for any other editor.
QAccessibleInterface* PlainEditorAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String(ScintillaPageEditor::staticMetaObject.className()) || !object->isWidgetType()
        || QAccessible::isActive())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
}

void InstallPlainAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(PlainEditorAccessible);
        return true;
    }();
    (void)installed;
}

// Codecs draw their stand-ins from the supplementary private use areas
// (U+F0000 and up); their UTF-8 forms start with F3 or F4.
constexpr unsigned char kStandInLeadByte = 0xF3;

} // namespace

// ---------------------------------------------------------------------------
// ScintillaPageEditor

ScintillaPageEditor::ScintillaPageEditor(QWidget* parent)
    : QsciScintilla(parent)
    , m_codec(MakeEditorCodec(PageEncoding::ShiftJis))
    , m_adapter(*this)
{
    setUtf8(true);
    const QFont font = PageFont();
    m_lexer = new QsciLexerHTML(this);
    m_lexer->setDefaultFont(font);
    m_lexer->setFont(font, -1);
    setLexer(m_lexer);
    setMarginsFont(font);
    setMarginType(0, NumberMargin);
    setMarginLineNumbers(0, true);
    setEolMode(EolWindows);
    setWrapMode(WrapNone);
    // The lexer styles what is shown; the rest of the text is styled a slice
    // at a time while the window is idle (StyleAhead), so that a jump to the
    // end of a big page finds it styled. Scintilla's own idle styling takes
    // slices of a tenth of a second, long enough to stall a key.
    m_styleTimer = new QTimer(this);
    connect(m_styleTimer, &QTimer::timeout, this, &ScintillaPageEditor::StyleAhead);
    UpdateMarginWidth();
    // Keys of window commands that the editor binds by default: lower case
    // (ReplaceAd), copy (NewBanner), delete word (DeleteBanner).
    ReleaseKeys({ QKeySequence(Qt::CTRL | Qt::Key_U), QKeySequence(Qt::CTRL | Qt::Key_Insert),
        QKeySequence(Qt::CTRL | Qt::Key_Delete) });
    // QScintilla passes every insertion and deletion on to the accessibility
    // layer, counting the characters from the start of the text each time: a
    // keystroke at the end of a 20 MB page would cost a tenth of a second.
    // The editor asks only for the notices sent before a change, which
    // QScintilla passes on without that work, and settles each change once it
    // is done (SettleChange).
    Sci(SCI_SETMODEVENTMASK, SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE);
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
        [this](int position, int type, const char*, int, int, int, int, int, int, int) {
            OnModified(position, type);
        });
    InstallPlainAccessible();
}

ScintillaPageEditor::~ScintillaPageEditor() = default;

void ScintillaPageEditor::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(QLatin1String(kBannerMimeType))) {
        event->acceptProposedAction();
        return;
    }
    QsciScintilla::dragEnterEvent(event);
}

void ScintillaPageEditor::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(QLatin1String(kBannerMimeType))) {
        event->acceptProposedAction();
        return;
    }
    QsciScintilla::dragMoveEvent(event);
}

void ScintillaPageEditor::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasFormat(QLatin1String(kBannerMimeType))) {
        QsciScintilla::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    const QPoint at = event->position().toPoint();
    const long position
        = SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(at.x()), static_cast<long>(at.y()));
    Sci(SCI_GOTOPOS, position);
    emit BannerDropped(viewport()->mapToGlobal(at));
}

void ScintillaPageEditor::keyPressEvent(QKeyEvent* event)
{
    m_lastInput.start();
    QsciScintilla::keyPressEvent(event);
}

void ScintillaPageEditor::wheelEvent(QWheelEvent* event)
{
    m_lastInput.start();
    QsciScintilla::wheelEvent(event);
}

void ScintillaPageEditor::focusOutEvent(QFocusEvent* event)
{
    QsciScintilla::focusOutEvent(event);
    // Scintilla draws its caret only while it believes it has the focus.
    if (event->reason() != Qt::PopupFocusReason)
        Sci(SCI_SETFOCUS, 1);
}

void ScintillaPageEditor::ReleaseKeys(const QList<QKeySequence>& keys)
{
    for (const QKeySequence& sequence : keys) {
        if (sequence.count() != 1)
            continue;
        const int key = sequence[0].toCombined();
        for (QsciCommand* command : standardCommands()->commands()) {
            if (command->key() == key)
                command->setKey(0);
            if (command->alternateKey() == key)
                command->setAlternateKey(0);
        }
    }
}

QFont ScintillaPageEditor::PageFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::Japanese)) {
        const int size = font.pointSize();
        font = QFont(QStringLiteral("IPAGothic"));
        if (size > 0)
            font.setPointSize(size);
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

void ScintillaPageEditor::LoadPage(std::string_view bytes, LineBreak lineBreak, PageEncoding encoding)
{
    LoadLines(SplitLines(bytes), lineBreak, encoding);
}

void ScintillaPageEditor::LoadLines(
    const std::vector<std::string>& lines, LineBreak lineBreak, PageEncoding encoding)
{
    LoadJoined(JoinLines(lines, lineBreak), lineBreak, encoding);
}

void ScintillaPageEditor::LoadBuffer(const LineBuffer& lines, LineBreak lineBreak, PageEncoding encoding)
{
    LoadJoined(lines.Join(lineBreak), lineBreak, encoding);
}

void ScintillaPageEditor::LoadJoined(const std::string& bytes, LineBreak lineBreak, PageEncoding encoding)
{
    m_encoding = encoding;
    m_codec = MakeEditorCodec(encoding);
    m_lineBreak = lineBreak;
    setEolMode(lineBreak == LineBreak::CrLf ? EolWindows : EolUnix);
    const std::string text = m_codec->Decode(bytes);
    m_lineCache.clear();
    m_lineCached.clear();
    m_pageLines = -1;
    Sci(SCI_SETUNDOCOLLECTION, 0);
    Sci(SCI_CLEARALL);
    // Room for the text and for a megabyte of typing: the editor would
    // otherwise make room anew (copying the whole text) a few keys later.
    Sci(SCI_ALLOCATE, static_cast<unsigned long>(text.size()) + (1ul << 20));
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(text.size()), static_cast<const char*>(text.data()));
    Sci(SCI_SETUNDOCOLLECTION, 1);
    Sci(SCI_EMPTYUNDOBUFFER);
    Sci(SCI_SETSAVEPOINT);
    Sci(SCI_GOTOPOS, 0);
    m_forcedModified = false;
    m_linesBeforeChange = -1;
    ShowStandIns(text);
    UpdateMarginWidth();
    // After the first screen is painted.
    m_styleTimer->start(250);
}

void ScintillaPageEditor::StyleAhead()
{
    // About 10 ms of the HTML lexer's work every 12 ms, none while the user
    // types or scrolls: the window's updates and keys go first.
    constexpr long kSlice = 512 * 1024;
    constexpr qint64 kQuietAfterInput = 150;
    m_styleTimer->setInterval(12);
    if (m_lastInput.isValid() && m_lastInput.elapsed() < kQuietAfterInput)
        return;
    const long length = Sci(SCI_GETLENGTH);
    const long styled = Sci(SCI_GETENDSTYLED);
    if (styled >= length) {
        m_styleTimer->stop();
        return;
    }
    Sci(SCI_COLOURISE, static_cast<unsigned long>(styled), std::min(length, styled + kSlice));
}

std::string_view ScintillaPageEditor::EditorText() const
{
    const long length = Sci(SCI_GETLENGTH);
    if (length == 0)
        return {};
    const auto* text = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return { text, static_cast<size_t>(length) };
}

std::vector<std::string> ScintillaPageEditor::PageLines() const
{
    return SplitLines(m_codec->Encode(EditorText()));
}

std::string ScintillaPageEditor::PageBytes() const
{
    return PageLineBuffer().Join(m_lineBreak);
}

LineBuffer ScintillaPageEditor::PageLineBuffer() const
{
    return LineBuffer(m_codec->Encode(EditorText()));
}

size_t ScintillaPageEditor::UnencodableCount() const
{
    size_t count = 0;
    m_codec->Encode(EditorText(), &count);
    return count;
}

bool ScintillaPageEditor::PageModified() const
{
    return m_forcedModified || isModified();
}

void ScintillaPageEditor::SetPageModified(bool modified)
{
    if (modified) {
        const bool was = PageModified();
        m_forcedModified = true;
        if (!was)
            emit modificationChanged(true);
        return;
    }
    const bool was = PageModified();
    m_forcedModified = false;
    Sci(SCI_SETSAVEPOINT);
    // A text that was only marked modified reaches no new save point.
    if (was)
        emit modificationChanged(false);
}

std::string_view ScintillaPageEditor::EditorLine(size_t sciLine) const
{
    const long start = Sci(SCI_POSITIONFROMLINE, sciLine);
    const long end = Sci(SCI_GETLINEENDPOSITION, sciLine);
    if (start < 0 || end <= start)
        return {};
    const auto* text = reinterpret_cast<const char*>(Sci(SCI_GETRANGEPOINTER, start, end - start));
    return { text, static_cast<size_t>(end - start) };
}

size_t ScintillaPageEditor::PageLineCount() const
{
    SettleChange();
    if (m_pageLines >= 0)
        return static_cast<size_t>(m_pageLines);
    const long length = Sci(SCI_GETLENGTH);
    const long lines = Sci(SCI_GETLINECOUNT);
    const long lastStart = Sci(SCI_POSITIONFROMLINE, lines - 1);
    m_pageLines = length == 0 ? 0 : (lastStart == length ? lines - 1 : lines);
    return static_cast<size_t>(m_pageLines);
}

long ScintillaPageEditor::PositionOf(TextPos pos) const
{
    const size_t count = PageLineCount();
    if (count == 0)
        return 0;
    const size_t sciLine = std::clamp<size_t>(pos.Line, 1, count) - 1;
    const long start = Sci(SCI_POSITIONFROMLINE, sciLine);
    const size_t column = pos.Col > 0 ? pos.Col - 1 : 0;
    return start + static_cast<long>(m_codec->EditorOffset(EditorLine(sciLine), column));
}

TextPos ScintillaPageEditor::TextPosOf(long position) const
{
    const size_t count = PageLineCount();
    if (count == 0)
        return TextPos {};
    const auto sciLine = static_cast<size_t>(Sci(SCI_LINEFROMPOSITION, position));
    if (sciLine >= count) {
        const std::string_view last = EditorLine(count - 1);
        return TextPos { count, m_codec->PageOffset(last, last.size()) + 1 };
    }
    const long start = Sci(SCI_POSITIONFROMLINE, sciLine);
    const std::string_view line = EditorLine(sciLine);
    const size_t offset = std::min<size_t>(static_cast<size_t>(std::max(position - start, 0L)), line.size());
    return TextPos { sciLine + 1, m_codec->PageOffset(line, offset) + 1 };
}

std::string ScintillaPageEditor::ToEditorText(std::string_view pageText) const
{
    const std::string decoded = m_codec->Decode(pageText);
    const char* eol = m_lineBreak == LineBreak::CrLf ? "\r\n" : "\n";
    std::string text;
    text.reserve(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        const char c = decoded[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n')
                ++i;
            text += eol;
        } else {
            text += c;
        }
    }
    ShowStandIns(text);
    return text;
}

void ScintillaPageEditor::ShowStandIns(std::string_view editorText) const
{
    std::set<char32_t> seen;
    const char* data = editorText.data();
    size_t i = 0;
    while (i < editorText.size()) {
        const char* hit = std::find_if(data + i, data + editorText.size(),
            [](char c) { return static_cast<unsigned char>(c) >= kStandInLeadByte; });
        if (hit == data + editorText.size())
            break;
        i = static_cast<size_t>(hit - data);
        const char32_t cp = codec::NextUtf8(editorText, i);
        if (!seen.insert(cp).second)
            continue;
        const std::string label = m_codec->StandInLabel(cp);
        if (label.empty())
            continue;
        std::string character;
        codec::AppendUtf8(character, cp);
        SendScintilla(SCI_SETREPRESENTATION, character.c_str(), label.c_str());
    }
}

const std::string& ScintillaPageEditor::CachedLine(size_t line) const
{
    SettleChange();
    // The cache covers the lines up to the last one asked for (a page of
    // 300,000 lines would otherwise take 10 MB of empty strings for one block
    // found near its top); SettleChange keeps it in step.
    if (line > m_lineCache.size()) {
        m_lineCache.resize(line);
        m_lineCached.resize(line, 0);
    }
    const size_t sciLine = line - 1;
    if (!m_lineCached[sciLine]) {
        m_lineCache[sciLine] = m_codec->Encode(EditorLine(sciLine));
        m_lineCached[sciLine] = 1;
    }
    return m_lineCache[sciLine];
}

void ScintillaPageEditor::OnModified(int position, int modificationType)
{
    if (!(modificationType & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE)))
        return;
    if ((modificationType & (SC_PERFORMED_UNDO | SC_PERFORMED_REDO)) && !m_undoReportPending) {
        // One report for all the changes of a step.
        m_undoReportPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_undoReportPending = false;
                emit UndoneOrRedone();
            },
            Qt::QueuedConnection);
    }
    // The change before this one is done by now.
    SettleChange();
    m_pageLines = -1;
    m_changeAt = position;
    m_linesBeforeChange = Sci(SCI_GETLINECOUNT);
    // The text after the change needs styling again.
    if (!m_styleTimer->isActive())
        m_styleTimer->start(12);
    if (!m_marginUpdatePending) {
        m_marginUpdatePending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_marginUpdatePending = false;
                UpdateMarginWidth();
            },
            Qt::QueuedConnection);
    }
}

void ScintillaPageEditor::SettleChange() const
{
    if (m_linesBeforeChange < 0)
        return;
    const long linesAdded = Sci(SCI_GETLINECOUNT) - m_linesBeforeChange;
    m_linesBeforeChange = -1;
    m_pageLines = -1;
    if (m_lineCache.empty())
        return;
    // The change starts on this line, before and after it; one past the
    // cached lines leaves them as they are.
    const auto line = static_cast<size_t>(Sci(SCI_LINEFROMPOSITION, m_changeAt));
    if (line >= m_lineCache.size())
        return;
    m_lineCached[line] = 0;
    const auto at = static_cast<std::ptrdiff_t>(line + 1);
    if (linesAdded > 0) {
        m_lineCache.insert(m_lineCache.begin() + at, static_cast<size_t>(linesAdded), std::string());
        m_lineCached.insert(m_lineCached.begin() + at, static_cast<size_t>(linesAdded), 0);
    } else if (linesAdded < 0) {
        const auto end
            = std::min<std::ptrdiff_t>(at - linesAdded, static_cast<std::ptrdiff_t>(m_lineCache.size()));
        m_lineCache.erase(m_lineCache.begin() + at, m_lineCache.begin() + end);
        m_lineCached.erase(m_lineCached.begin() + at, m_lineCached.begin() + end);
    }
    if (m_lineCache.size() > static_cast<size_t>(Sci(SCI_GETLINECOUNT))) {
        m_lineCache.clear();
        m_lineCached.clear();
    }
}

void ScintillaPageEditor::UpdateMarginWidth()
{
    int digits = 1;
    for (int n = lines(); n >= 10; n /= 10)
        ++digits;
    digits = std::max(digits, 3);
    if (digits == m_marginDigits)
        return;
    m_marginDigits = digits;
    setMarginWidth(0, QString(digits + 1, QLatin1Char('9')));
}

// ---------------------------------------------------------------------------
// ScintillaPageAdapter

ScintillaPageAdapter::ScintillaPageAdapter(ScintillaPageEditor& editor)
    : m_editor(editor)
{
}

size_t ScintillaPageAdapter::LineCount() const
{
    return m_editor.PageLineCount();
}

std::string_view ScintillaPageAdapter::LineText(size_t line) const
{
    if (line < 1 || line > m_editor.PageLineCount())
        return {};
    return m_editor.CachedLine(line);
}

void ScintillaPageAdapter::SetLineText(size_t line, std::string_view text)
{
    if (line < 1 || line > m_editor.PageLineCount())
        return;
    // The editor would move a caret or anchor on the line to its start; keep
    // their columns instead, cut to the new length.
    const TextPos anchor = m_editor.TextPosOf(m_editor.Sci(QsciScintillaBase::SCI_GETANCHOR));
    const TextPos caret = Caret();
    const size_t sciLine = line - 1;
    const std::string replacement = m_editor.ToEditorText(text);
    m_editor.Sci(QsciScintillaBase::SCI_SETTARGETRANGE,
        m_editor.Sci(QsciScintillaBase::SCI_POSITIONFROMLINE, sciLine),
        m_editor.Sci(QsciScintillaBase::SCI_GETLINEENDPOSITION, sciLine));
    m_editor.SendScintilla(
        QsciScintillaBase::SCI_REPLACETARGET, static_cast<uintptr_t>(replacement.size()), replacement.c_str());
    if (anchor.Line == line || caret.Line == line) {
        // Neither call scrolls.
        m_editor.Sci(QsciScintillaBase::SCI_SETANCHOR, m_editor.PositionOf(anchor));
        m_editor.Sci(QsciScintillaBase::SCI_SETCURRENTPOS, m_editor.PositionOf(caret));
    }
}

void ScintillaPageAdapter::AppendLine(std::string_view text)
{
    const long length = m_editor.Sci(QsciScintillaBase::SCI_GETLENGTH);
    const char* eol = m_editor.m_lineBreak == LineBreak::CrLf ? "\r\n" : "\n";
    std::string insert;
    if (length > 0) {
        const char last = static_cast<char>(m_editor.Sci(QsciScintillaBase::SCI_GETCHARAT, length - 1));
        if (last != '\r' && last != '\n')
            insert += eol;
    }
    insert += m_editor.ToEditorText(text);
    insert += eol;
    m_editor.Sci(QsciScintillaBase::SCI_SETTARGETRANGE, length, length);
    m_editor.SendScintilla(
        QsciScintillaBase::SCI_REPLACETARGET, static_cast<uintptr_t>(insert.size()), insert.c_str());
}

TextPos ScintillaPageAdapter::Caret() const
{
    return m_editor.TextPosOf(m_editor.Sci(QsciScintillaBase::SCI_GETCURRENTPOS));
}

void ScintillaPageAdapter::SetCaret(TextPos pos)
{
    m_editor.Sci(QsciScintillaBase::SCI_GOTOPOS, m_editor.PositionOf(pos));
}

void ScintillaPageAdapter::SetSelection(TextPos anchor, TextPos caret)
{
    m_editor.Sci(QsciScintillaBase::SCI_SETSEL, m_editor.PositionOf(anchor), m_editor.PositionOf(caret));
}

void ScintillaPageAdapter::ScrollTo(TextPos pos)
{
    const long position = m_editor.PositionOf(pos);
    m_editor.Sci(
        QsciScintillaBase::SCI_ENSUREVISIBLE, m_editor.Sci(QsciScintillaBase::SCI_LINEFROMPOSITION, position));
    m_editor.Sci(QsciScintillaBase::SCI_SCROLLRANGE, position, position);
}

TextPos ScintillaPageAdapter::SelectionStart() const
{
    return m_editor.TextPosOf(m_editor.Sci(QsciScintillaBase::SCI_GETSELECTIONSTART));
}

TextPos ScintillaPageAdapter::SelectionEnd() const
{
    return m_editor.TextPosOf(m_editor.Sci(QsciScintillaBase::SCI_GETSELECTIONEND));
}

void ScintillaPageAdapter::ReplaceSelection(std::string_view text)
{
    const std::string replacement = m_editor.ToEditorText(text);
    m_editor.SendScintilla(QsciScintillaBase::SCI_REPLACESEL, static_cast<uintptr_t>(0), replacement.c_str());
}

bool ScintillaPageAdapter::Modified() const
{
    return m_editor.PageModified();
}

void ScintillaPageAdapter::SetModified(bool modified)
{
    m_editor.SetPageModified(modified);
}

void ScintillaPageAdapter::BeginChange()
{
    m_editor.beginUndoAction();
}

void ScintillaPageAdapter::EndChange()
{
    m_editor.endUndoAction();
}

} // namespace pw
