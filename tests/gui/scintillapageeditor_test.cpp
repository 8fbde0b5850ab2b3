// The page editor of the tabs: the PageEditor contract over QScintilla, the
// lossless round trip of Shift_JIS pages and undo. A GoogleTest program with
// its own QApplication (offscreen).

#include "gui/documents/scintillapageeditor.h"

#include "core/pageads/pageeditor_contract.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"
#include "text/sjis.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>

#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(Scintilla, PageEditorContract, ::testing::Values(&MakeScintillaAdapter));

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
    std::string("\x95\x5C\x8E\xA6 \x80\xA0\xFD\xFE\xFF end", 14),     // 表示, then invalid single bytes
    std::string("nul:\0:\x81", 7),                                     // NUL, lone lead byte
    "\xED\x40\xFA\x5C|\xEE\xF9\xFA\x54|\x87\x90\x81\xE0|\x87\x54\xFA\x4A", // NEC/IBM duplicates
    "\x85\x40 unassigned, \xB1\xB2\xB3 kana, \x82\xA0\x82\xA2 kana",
    "",
    "<!--PWH[\x8DL\x8D\x90]--><b>\x83\x5C\x83\x74\x83\x67</b><!--PWHEND-->", // ソフト: trail 5C
    "last \x81",
};

TEST(ScintillaPageEditor, AwkwardShiftJisPageComesBackByteForByte)
{
    for (const LineBreak lineBreak : {LineBreak::CrLf, LineBreak::Lf}) {
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
            page.SetCaret({line, col});
            ASSERT_EQ(page.Caret(), (TextPos{line, start[col - 1] + 1})) << line << ":" << col;
        }
        // The editor's text of the whole line selected encodes to its bytes.
        page.SetSelection({line, 1}, {line, text.size() + 1});
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
        {"adapter replaces the ASCII 'end' after the invalid bytes",
         [](ScintillaPageEditor& e) {
             e.Page().SetSelection({2, 12}, {2, 15});
             e.Page().ReplaceSelection("EDIT");
         },
         [&] {
             std::string b = bytes;
             const size_t at = b.find(" end") + 1;
             return b.replace(at, 3, "EDIT");
         }()},
        {"typing a kanji between two NEC/IBM duplicates",
         [](ScintillaPageEditor& e) {
             e.Page().SetCaret({4, 5});
             Type(e, QStringLiteral("\u65E5"));
         },
         [&] {
             std::string b = bytes;
             return b.insert(b.find("\xED\x40\xFA\x5C") + 4, "\x93\xFA");
         }()},
        {"adapter sets one line between NUL and lone lead bytes",
         [](ScintillaPageEditor& e) { e.Page().SetLineText(6, "new\x82\xA0"); },
         [&] {
             std::string b = bytes;
             const size_t at = b.find("\r\n\r\n<!--") + 2;
             return b.insert(at, "new\x82\xA0");
         }()},
    };
    for (const auto& c : cases) {
        ScintillaPageEditor editor;
        editor.LoadPage(bytes, LineBreak::CrLf);
        c.edit(editor);
        EXPECT_TRUE(editor.PageModified()) << c.what;
        EXPECT_EQ(editor.PageBytes(), c.expected) << c.what;
    }
}

TEST(ScintillaPageEditor, LoadingLeavesNoUndoHistory)
{
    ScintillaPageEditor editor;
    editor.LoadLines({"first"}, LineBreak::CrLf);
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
    const std::vector<std::string> lines = {
        "top \x95\x5C\x80", BuildAdBlock("XYZ", xyz, abNormal, PageEncoding::ShiftJis), "bottom \xED\x40"};
    struct Case {
        const char* what;
        AdCommandResult (*run)(AdPage&, const BannerList&);
    } cases[] = {
        {"add", [](AdPage& p, const BannerList& c) { return AddAdBlock(p, c, *c.Rows[0], false); }},
        {"add rotation", [](AdPage& p, const BannerList& c) { return AddAdBlock(p, c, *c.Rows[0], true); }},
        {"replace", [](AdPage& p, const BannerList& c) { return ReplaceAdBlock(p, c, *c.Rows[0]); }},
        {"delete", [](AdPage& p, const BannerList& c) { return DeleteAdBlock(p, c); }},
    };
    for (const auto& c : cases) {
        BannerList catalogue;
        for (const auto& [name, html] : {std::pair{"ABC", abc}, std::pair{"XYZ", xyz}}) {
            auto banner = std::make_unique<TAdBanner>();
            banner->Number = static_cast<int32_t>(catalogue.Rows.size()) + 1;
            banner->SpaceName = name;
            banner->BannerHTML = html;
            catalogue.Rows.push_back(std::move(banner));
        }
        ScintillaPageEditor editor;
        editor.LoadPage(JoinLines(SplitLines(JoinLines(lines, LineBreak::CrLf)), LineBreak::CrLf), LineBreak::CrLf);
        AdTree tree;
        AdPage page{editor.Page(), tree, PageEncoding::ShiftJis};
        ScanAdBlocks(page, catalogue);
        // A marker typed after the open, which the command's scan repairs.
        editor.Page().AppendLine("<!--PWH[]-->");
        tree.Select(tree.First());
        editor.Page().SetCaret({2, 3});
        const std::string before = editor.PageBytes();

        EXPECT_TRUE(c.run(page, catalogue).Done) << c.what;
        ASSERT_NE(editor.PageBytes(), before) << c.what;
        PressCtrlZ(editor);
        EXPECT_EQ(editor.PageBytes(), before) << c.what;
    }
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
