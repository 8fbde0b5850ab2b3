// The page editor of the tabs: the PageEditor contract over QScintilla, the
// lossless round trip of Shift_JIS pages and undo. A GoogleTest program with
// its own QApplication (offscreen).

#include "gui/common/bannerdrag.h"
#include "gui/documents/scintillapageeditor.h"

#include "core/pageads/pageeditor_contract.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"
#include "text/codec.h"
#include "text/lines.h"
#include "text/sjis.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pw::test {
namespace {

// Editors made for the contract; they live until the program ends.
std::vector<std::unique_ptr<ScintillaPageEditor>>& Editors()
{
    static std::vector<std::unique_ptr<ScintillaPageEditor>> editors;
    return editors;
}

std::unique_ptr<PageEditor> MakeScintillaAdapter(const std::vector<std::string>& lines)
{
    auto& editor = Editors().emplace_back(std::make_unique<ScintillaPageEditor>());
    editor->LoadLines(lines, LineBreak::CrLf);
    return std::make_unique<ScintillaPageAdapter>(*editor);
}

// Named, so that the test names do not carry the factory's address.
INSTANTIATE_TEST_SUITE_P(Scintilla, PageEditorContract, ::testing::Values(&MakeScintillaAdapter),
    [](const auto&) { return std::string("ScintillaPageAdapter"); });

std::vector<std::string> AdapterLines(const PageEditor& editor)
{
    std::vector<std::string> lines;
    for (size_t line = 1; line <= editor.LineCount(); ++line)
        lines.emplace_back(editor.LineText(line));
    return lines;
}

void PressCtrlZ(ScintillaPageEditor& editor)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    QApplication::sendEvent(&editor, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Z, Qt::ControlModifier);
    QApplication::sendEvent(&editor, &release);
}

void Type(ScintillaPageEditor& editor, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(&editor, &press);
}

// A page with what a plain decode and encode would lose: invalid bytes, NUL,
// a lone lead byte before a line break and at the end, unassigned codes, the
// NEC and IBM spellings of characters CP932 holds twice, half-width kana.
const std::vector<std::string> kAwkwardLines = {
    "<html><head><meta charset=\"Shift_JIS\"></head>",
    std::string("\x95\x5C\x8E\xA6 \x80\xA0\xFD\xFE\xFF end", 14), // 表示, then invalid single bytes
    std::string("nul:\0:\x81", 7), // NUL, lone lead byte
    "\xED\x40\xFA\x5C|\xEE\xF9\xFA\x54|\x87\x90\x81\xE0|\x87\x54\xFA\x4A", // NEC/IBM duplicates
    "\x85\x40 unassigned, \xB1\xB2\xB3 kana, \x82\xA0\x82\xA2 kana",
    "",
    "<!--PWH[\x8DL\x8D\x90]--><b>\x83\x5C\x83\x74\x83\x67</b><!--PWHEND-->", // ソフト: trail 5C
    "last \x81",
};

TEST(ScintillaPageEditor, AwkwardShiftJisPageComesBackByteForByte)
{
    for (const LineBreak lineBreak : { LineBreak::CrLf, LineBreak::Lf }) {
        const std::string bytes = JoinLines(kAwkwardLines, lineBreak);
        ScintillaPageEditor editor;
        editor.LoadPage(bytes, lineBreak);
        EXPECT_EQ(editor.PageBytes(), bytes);
        EXPECT_EQ(editor.PageLines(), kAwkwardLines);
        EXPECT_EQ(editor.UnencodableCount(), 0u);
        EXPECT_FALSE(editor.PageModified());
        PageEditor& page = editor.Page();
        ASSERT_EQ(page.LineCount(), kAwkwardLines.size());
        for (size_t line = 1; line <= kAwkwardLines.size(); ++line)
            EXPECT_EQ(page.LineText(line), kAwkwardLines[line - 1]) << line;
    }
}

// Every byte column of every line maps to an editor position and back; a
// column inside a double-byte character snaps to the character's start.
TEST(ScintillaPageEditor, ByteColumnsCrossTheCodecOnEveryColumn)
{
    ScintillaPageEditor editor;
    editor.LoadLines(kAwkwardLines, LineBreak::CrLf);
    PageEditor& page = editor.Page();
    for (size_t line = 1; line <= kAwkwardLines.size(); ++line) {
        const std::string& text = kAwkwardLines[line - 1];
        std::vector<size_t> start(text.size() + 1);
        for (size_t i = 0; i < text.size();) {
            const size_t length = sjis::CharLength(text, i);
            for (size_t k = 0; k < length; ++k)
                start[i + k] = i;
            i += length;
        }
        start[text.size()] = text.size();
        for (size_t col = 1; col <= text.size() + 1; ++col) {
            page.SetCaret({ line, col });
            ASSERT_EQ(page.Caret(), (TextPos { line, start[col - 1] + 1 })) << line << ":" << col;
        }
        // The editor's text of the whole line selected encodes to its bytes.
        page.SetSelection({ line, 1 }, { line, text.size() + 1 });
        EXPECT_EQ(editor.Codec().Encode(editor.selectedText().toStdString()), text) << line;
    }
}

TEST(ScintillaPageEditor, EditInOnePlaceKeepsEveryOtherByte)
{
    const std::string bytes = JoinLines(kAwkwardLines, LineBreak::CrLf);
    struct Case {
        const char* what;
        void (*edit)(ScintillaPageEditor&);
        std::string expected;
    } cases[] = {
        { "adapter replaces the ASCII 'end' after the invalid bytes",
            [](ScintillaPageEditor& e) {
                e.Page().SetSelection({ 2, 12 }, { 2, 15 });
                e.Page().ReplaceSelection("EDIT");
            },
            [&] {
                std::string b = bytes;
                const size_t at = b.find(" end") + 1;
                return b.replace(at, 3, "EDIT");
            }() },
        { "typing a kanji between two NEC/IBM duplicates",
            [](ScintillaPageEditor& e) {
                e.Page().SetCaret({ 4, 5 });
                Type(e, QStringLiteral("\u65E5"));
            },
            [&] {
                std::string b = bytes;
                return b.insert(b.find("\xED\x40\xFA\x5C") + 4, "\x93\xFA");
            }() },
        { "adapter sets one line between NUL and lone lead bytes",
            [](ScintillaPageEditor& e) { e.Page().SetLineText(6, "new\x82\xA0"); },
            [&] {
                std::string b = bytes;
                const size_t at = b.find("\r\n\r\n<!--") + 2;
                return b.insert(at, "new\x82\xA0");
            }() },
    };
    for (const auto& c : cases) {
        ScintillaPageEditor editor;
        editor.LoadPage(bytes, LineBreak::CrLf);
        c.edit(editor);
        EXPECT_TRUE(editor.PageModified()) << c.what;
        EXPECT_EQ(editor.PageBytes(), c.expected) << c.what;
    }
}

std::string Representation(const ScintillaPageEditor& editor, char32_t cp)
{
    std::string character;
    codec::AppendUtf8(character, cp);
    char label[64] = {};
    editor.SendScintilla(
        QsciScintillaBase::SCI_GETREPRESENTATION, reinterpret_cast<uintptr_t>(character.c_str()), label);
    return label;
}

// Bytes the codec cannot read show as their hex value, the second spelling of
// a duplicated character as its glyph; also when an ad command writes them.
TEST(ScintillaPageEditor, StandInsAreDrawnByTheirBytesOrGlyph)
{
    ScintillaPageEditor editor;
    editor.LoadLines(kAwkwardLines, LineBreak::CrLf);
    EXPECT_EQ(Representation(editor, 0xF0080), "x80");
    EXPECT_EQ(Representation(editor, 0xF0000), "x00");
    EXPECT_EQ(Representation(editor, 0xF0081), "x81");
    EXPECT_EQ(Representation(editor, 0xF8540), "x85x40");
    EXPECT_EQ(Representation(editor, 0xFED40), "\xE7\xBA\x8A"); // 纊, NEC-selected spelling
    EXPECT_EQ(Representation(editor, 0xF8541), "");
    editor.Page().SetLineText(1, "\x85\x41");
    EXPECT_EQ(Representation(editor, 0xF8541), "x85x41");
}

TEST(ScintillaPageEditor, CharactersShiftJisCannotHoldAreSavedAsReferences)
{
    ScintillaPageEditor editor;
    editor.LoadLines({ "ab" }, LineBreak::CrLf);
    editor.Page().SetCaret({ 1, 2 });
    // Typed through the input method, as Japanese text arrives.
    QInputMethodEvent input;
    input.setCommitString(QString::fromUcs4(U"\U0001F600\u301C\uFF5E"));
    QApplication::sendEvent(&editor, &input);
    EXPECT_EQ(editor.UnencodableCount(), 2u);
    EXPECT_EQ(editor.PageBytes(),
        "a&#x1F600;&#x301C;\x81\x60"
        "b\r\n");
    // The columns count the bytes the characters take once saved.
    EXPECT_EQ(editor.Page().Caret(), (TextPos { 1, 21 }));
}

// Line edits leave the caret and the selection where the in-memory editor
// leaves them: on the edited line the column stays, cut to the new length.
TEST(ScintillaPageEditor, LineEditsMoveCaretAndSelectionLikeTheMemoryEditor)
{
    const std::vector<std::string> lines = { "abcdefgh", "\x93\xFA\x96\x7B\x8C\xEA", "tail" };
    struct Case {
        const char* what;
        TextPos anchor, caret;
        size_t line;
        std::string text;
    } cases[] = {
        { "caret on the line, new text shorter", { 1, 6 }, { 1, 6 }, 1, "xyz" },
        { "caret on the line, new text longer", { 1, 3 }, { 1, 3 }, 1, "0123456789" },
        { "selection across the line", { 1, 7 }, { 3, 2 }, 1, "x" },
        { "selection within a double-byte line", { 2, 3 }, { 2, 7 }, 2, "\x82\xA0" },
        { "caret on another line", { 3, 3 }, { 3, 3 }, 1, "" },
        { "caret after the line on the next", { 2, 5 }, { 2, 5 }, 1, "a much longer first line" },
    };
    for (const auto& c : cases) {
        MemoryPageEditor memory(lines);
        memory.SetSelection(c.anchor, c.caret);
        memory.SetLineText(c.line, c.text);

        ScintillaPageEditor editor;
        editor.LoadLines(lines, LineBreak::CrLf);
        editor.Page().SetSelection(c.anchor, c.caret);
        editor.Page().SetLineText(c.line, c.text);
        EXPECT_EQ(AdapterLines(editor.Page()), memory.Lines()) << c.what;
        EXPECT_EQ(editor.Page().Caret(), memory.Caret()) << c.what;
        EXPECT_EQ(editor.Page().SelectionStart(), memory.SelectionStart()) << c.what;
        EXPECT_EQ(editor.Page().SelectionEnd(), memory.SelectionEnd()) << c.what;
    }
}

TEST(ScintillaPageEditor, LoadingLeavesNoUndoHistory)
{
    ScintillaPageEditor editor;
    editor.LoadLines({ "first" }, LineBreak::CrLf);
    EXPECT_FALSE(editor.isUndoAvailable());
    editor.Page().AppendLine("typed");
    EXPECT_TRUE(editor.isUndoAvailable());
    editor.LoadLines(kAwkwardLines, LineBreak::Lf);
    EXPECT_FALSE(editor.isUndoAvailable());
    EXPECT_FALSE(editor.PageModified());
    PressCtrlZ(editor);
    EXPECT_EQ(editor.PageLines(), kAwkwardLines);
}

// One Ctrl+Z after an ad command gives back the page as it was, also when the
// scan that follows the command repaired markers.
TEST(ScintillaPageEditor, OneUndoRevertsAWholeAdCommand)
{
    const std::string abc = "<b>abc</b>";
    const std::string xyz = "<i>x</i>";
    const std::vector<std::string> lines
        = { "top \x95\x5C\x80", BuildAdBlock("XYZ", xyz, abNormal, PageEncoding::ShiftJis), "bottom \xED\x40" };
    struct Case {
        const char* what;
        AdCommandResult (*run)(AdPage&, const BannerList&);
    } cases[] = {
        { "add", [](AdPage& p, const BannerList& c) { return AddAdBlock(p, c, *c.Rows[0], false); } },
        { "add rotation", [](AdPage& p, const BannerList& c) { return AddAdBlock(p, c, *c.Rows[0], true); } },
        { "replace", [](AdPage& p, const BannerList& c) { return ReplaceAdBlock(p, c, *c.Rows[0]); } },
        { "delete", [](AdPage& p, const BannerList& c) { return DeleteAdBlock(p, c); } },
    };
    for (const auto& c : cases) {
        BannerList catalogue;
        for (const auto& [name, html] : { std::pair { "ABC", abc }, std::pair { "XYZ", xyz } }) {
            auto banner = std::make_unique<TAdBanner>();
            banner->Number = static_cast<int32_t>(catalogue.Rows.size()) + 1;
            banner->SpaceName = name;
            banner->BannerHTML = html;
            catalogue.Rows.push_back(std::move(banner));
        }
        const std::string bytes = JoinLines(lines, LineBreak::CrLf);
        // The same steps on the in-memory editor give the bytes the adapter
        // must produce.
        auto prepare = [&](PageEditor& editor, AdTree& tree) {
            AdPage page { editor, tree, PageEncoding::ShiftJis };
            ScanAdBlocks(page, catalogue);
            // A marker typed after the open, which the command's scan repairs.
            editor.AppendLine("<!--PWH[]-->");
            tree.Select(tree.First());
            editor.SetCaret({ 2, 3 });
            return page;
        };
        MemoryPageEditor memory(SplitLines(bytes));
        AdTree memoryTree;
        AdPage memoryPage = prepare(memory, memoryTree);
        EXPECT_TRUE(c.run(memoryPage, catalogue).Done) << c.what;

        ScintillaPageEditor editor;
        editor.LoadPage(bytes, LineBreak::CrLf);
        AdTree tree;
        AdPage page = prepare(editor.Page(), tree);
        const std::string before = editor.PageBytes();
        EXPECT_TRUE(c.run(page, catalogue).Done) << c.what;
        EXPECT_EQ(editor.PageBytes(), JoinLines(memory.Lines(), LineBreak::CrLf)) << c.what;
        EXPECT_EQ(editor.Page().SelectionStart(), memory.SelectionStart()) << c.what;
        EXPECT_EQ(editor.Page().SelectionEnd(), memory.SelectionEnd()) << c.what;

        PressCtrlZ(editor);
        EXPECT_EQ(editor.PageBytes(), before) << c.what;
        // The adapter's lines follow the undo.
        EXPECT_EQ(AdapterLines(editor.Page()), editor.PageLines()) << c.what;
    }
}

// The window's commands whose keys the text editor binds by default (lower
// case, copy, delete word) get the key while the editor has the focus.
TEST(ScintillaPageEditor, WindowCommandKeysReachTheWindowsActions)
{
    QMainWindow window;
    auto* editor = new ScintillaPageEditor(&window);
    window.setCentralWidget(editor);
    const struct {
        const char* command;
        QKeyCombination key;
    } keys[] = {
        { "ReplaceAd", Qt::CTRL | Qt::Key_U },
        { "NewBanner", Qt::CTRL | Qt::Key_Insert },
        { "DeleteBanner", Qt::CTRL | Qt::Key_Delete },
        { "RefreshAd", QKeyCombination(Qt::Key_F5) },
    };
    std::map<std::string, int> fired;
    for (const auto& k : keys) {
        auto* action = new QAction(&window);
        action->setShortcut(QKeySequence(k.key));
        window.addAction(action);
        QObject::connect(action, &QAction::triggered, [&fired, &k] { ++fired[k.command]; });
    }
    window.show();
    QApplication::setActiveWindow(&window);
    editor->setFocus();
    for (const auto& k : keys) {
        editor->LoadLines({ "Hello World" }, LineBreak::CrLf);
        editor->Page().SetSelection({ 1, 1 }, { 1, 6 });
        QTest::keyClick(editor, k.key.key(), k.key.keyboardModifiers());
        EXPECT_EQ(fired[k.command], 1) << k.command;
        EXPECT_EQ(editor->PageBytes(), "Hello World\r\n") << k.command;
    }
    // The editor's own keys stay: Ctrl+X cuts.
    QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(editor->PageBytes(), " World\r\n");
}

// A banner dropped on a line puts the caret on the character under the drop
// point and asks for the add menu there; the text stays as it was. Other
// drags keep the editor's own text drop.
TEST(ScintillaPageEditor, BannerDropPlacesTheCaretAndAsksForTheAddMenu)
{
    ScintillaPageEditor editor;
    editor.resize(600, 300);
    editor.show();
    editor.LoadLines({ "first line", "\x93\xFA\x96\x7B\x8C\xEA text", "third" }, LineBreak::CrLf);
    const std::string before = editor.PageBytes();
    // The point of line 2, byte column 5 (the third kanji).
    editor.Page().SetCaret({ 2, 5 });
    const long position = editor.SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    const QPoint point(
        static_cast<int>(editor.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)) + 2,
        static_cast<int>(editor.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) + 2);
    editor.Page().SetCaret({ 3, 1 });

    QList<QPoint> drops;
    QObject::connect(&editor, &ScintillaPageEditor::BannerDropped, [&drops](const QPoint& at) { drops << at; });
    QMimeData banner;
    banner.setData(QLatin1String(kBannerMimeType), QByteArray());
    QDragEnterEvent enter(point, Qt::CopyAction, &banner, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(point, Qt::CopyAction, &banner, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(point), Qt::CopyAction, &banner, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &drop);

    ASSERT_EQ(drops.size(), 1);
    EXPECT_EQ(drops[0], editor.viewport()->mapToGlobal(point));
    EXPECT_EQ(editor.Page().Caret(), (TextPos { 2, 5 }));
    EXPECT_EQ(editor.PageBytes(), before);
    EXPECT_FALSE(editor.PageModified());

    // Plain text dropped from elsewhere is inserted as the editor does it.
    QMimeData text;
    text.setText(QStringLiteral("X"));
    QDragEnterEvent textEnter(point, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &textEnter);
    QDragMoveEvent textMove(point, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &textMove);
    QDropEvent textDrop(QPointF(point), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &textDrop);
    EXPECT_EQ(drops.size(), 1);
    EXPECT_EQ(editor.Page().LineText(2), "\x93\xFA\x96\x7BX\x8C\xEA text");
}

TEST(ScintillaPageEditor, FontHasJapaneseGlyphsAndMarginShowsLineNumbers)
{
    ScintillaPageEditor editor;
    const QFont font = ScintillaPageEditor::PageFont();
    EXPECT_TRUE(QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::Japanese))
        << font.family().toStdString();
    EXPECT_TRUE(editor.marginLineNumbers(0));
    EXPECT_GT(editor.marginWidth(0), 0);
}

// The lines the ad commands read stay those of the text after edits made in
// the editor itself (typing, deleting, undo, redo), including edits that split
// or join a CR LF pair and so change the line count unseen by the caller.
TEST(ScintillaPageEditor, LinesFollowEditsMadeInTheEditor)
{
    using Edit = std::function<void(ScintillaPageEditor&)>;
    const auto insert = [](long at, const char* text) {
        return Edit(
            [at, text](ScintillaPageEditor& e) { e.SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, at, text); });
    };
    const auto erase = [](long at, long length) {
        return Edit([at, length](ScintillaPageEditor& e) {
            e.SendScintilla(QsciScintillaBase::SCI_DELETERANGE, static_cast<unsigned long>(at), length);
        });
    };
    const Edit undo = [](ScintillaPageEditor& e) { e.undo(); };
    const Edit redo = [](ScintillaPageEditor& e) { e.redo(); };
    const Edit typeAtEnd = [](ScintillaPageEditor& e) {
        e.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
        QTest::keyClicks(&e, QStringLiteral("ab"));
        QTest::keyClick(&e, Qt::Key_Return);
        QTest::keyClicks(&e, QStringLiteral("c"));
    };
    // The editor holds "one\r\n日本\r\nthree\r\n" in UTF-8: 本 starts at 8.
    struct Case {
        const char* name;
        std::vector<Edit> edits;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases {
        { "type in a line", { insert(8, "x") }, { "one", "\x93\xFAx\x96\x7B", "three" } },
        { "split a line", { insert(8, "\r\n") }, { "one", "\x93\xFA", "\x96\x7B", "three" } },
        { "join two lines", { erase(3, 2) }, { "one\x93\xFA\x96\x7B", "three" } },
        { "split a CR LF pair", { insert(4, "z") }, { "one", "z", "\x93\xFA\x96\x7B", "three" } },
        { "join a CR and an LF", { insert(4, "z"), erase(4, 1) }, { "one", "\x93\xFA\x96\x7B", "three" } },
        { "undo and redo a split", { insert(8, "\r\n"), undo }, { "one", "\x93\xFA\x96\x7B", "three" } },
        { "redo", { insert(8, "\r\n"), undo, redo }, { "one", "\x93\xFA", "\x96\x7B", "three" } },
        { "type at the end", { typeAtEnd }, { "one", "\x93\xFA\x96\x7B", "three", "ab", "c" } },
    };
    // The first lines read before and between the edits, as a search from the
    // top does (the editor keeps only those), or every line, as a scan does.
    const auto readFirst = [](ScintillaPageEditor& e, size_t count) {
        for (size_t line = 1; line <= count && line <= e.Page().LineCount(); ++line)
            e.Page().LineText(line);
    };
    for (const Case& c : cases) {
        for (const size_t read : { 1u, 2u, 3u }) {
            ScintillaPageEditor editor;
            editor.LoadLines({ "one", "\x93\xFA\x96\x7B", "three" }, LineBreak::CrLf);
            readFirst(editor, read);
            for (const Edit& edit : c.edits) {
                edit(editor);
                // Read between the edits too, so that each one is settled on its own.
                readFirst(editor, read);
            }
            EXPECT_EQ(AdapterLines(editor.Page()), c.lines) << c.name << ", " << read << " lines read";
            EXPECT_EQ(AdapterLines(editor.Page()), SplitLines(editor.PageBytes())) << c.name;
        }
    }
}

} // namespace
} // namespace pw::test

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    pw::test::Editors().clear();
    return result;
}
