#pragma once

// The bodies of the page ads fuzz targets. The libFuzzer programs of this
// folder call them, and the regression test runs them over the inputs kept in
// tests/data/pageads/fuzz, so a crash once found stays covered.

#include "catalogue/banner.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/adtext.h"
#include "pageads/scanner.h"
#include "text/lines.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace pw::fuzz {

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// A catalogue whose names and HTML are likely to meet the fuzzed pages.
inline BannerList FuzzCatalogue()
{
    BannerList catalogue;
    const char* const names[] = { "A", "B", "\x83\x5D", "\x95\x5C", "A\x83\x5B" };
    const char* const htmls[] = { "<b>a</b>", "", "\x95\x5C\\\"</x>\r\n", "x\\", "\x83" };
    for (int i = 0; i < 5; ++i) {
        auto banner = std::make_unique<TAdBanner>();
        banner->Number = i + 1;
        banner->SpaceName = names[i];
        banner->BannerHTML = htmls[i];
        catalogue.Rows.push_back(std::move(banner));
    }
    return catalogue;
}

// The tree's shape and texts. Statuses are left out: a block whose end marker
// the first scan appended is rated only by the next scan.
inline std::string TreeText(const AdTree& tree)
{
    std::string out;
    for (const AdNode* node = tree.First(); node; node = tree.Next(*node))
        out.append(node->Parent() ? " " : "").append(node->Text()).append("\n");
    return out;
}

inline constexpr PageEncoding kFuzzEncodings[]
    = { PageEncoding::ShiftJis, PageEncoding::Utf8, PageEncoding::EucJp };

// Scans a page made of the input; a second scan of the repaired text must
// change nothing and give the same tree; every node's block lookup and the
// caret locator run at positions taken from the input. The input is taken as
// a page in each encoding in turn.
inline void FuzzScannerIn(PageEncoding encoding, const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const BannerList catalogue = FuzzCatalogue();
    MemoryPageEditor editor(SplitLines(input));
    AdTree tree;
    AdPage page { editor, tree, encoding };
    ScanAdBlocks(page, catalogue);
    const std::string first = TreeText(tree);

    const std::vector<std::string> repaired = editor.Lines();
    editor.SetModified(false);
    tree.Clear();
    ScanAdBlocks(page, catalogue);
    Check(!editor.Modified());
    Check(editor.Lines() == repaired);
    Check(TreeText(tree) == first);

    for (const AdNode* node = tree.First(); node; node = tree.Next(*node))
        SelectBlockByName(page, node->Text(), true, node->Status() == nsRotation);

    const size_t lines = editor.LineCount();
    for (size_t i = 0; i + 1 < size && i < 16; i += 2) {
        editor.SetCaret({ 1 + (lines ? data[i] % (lines + 1) : 0), size_t { 1 } + data[i + 1] });
        const BlockAtCaret at = LocateBlockAtCaret(page, ToPageText(encoding, catalogue.Rows[i % 5]->SpaceName));
        if (at.Kind == abNormal || at.Kind == abMember) {
            Check(at.BlockStart.Line <= at.BlockEnd.Line);
            Check(at.BlockEnd.Line <= lines);
        }
    }
    SameAdText(input, ToPageText(encoding, catalogue.Rows[size % 5]->BannerHTML), true, encoding);
}

inline void FuzzScanner(const uint8_t* data, size_t size)
{
    for (PageEncoding encoding : kFuzzEncodings)
        FuzzScannerIn(encoding, data, size);
}

// Runs a sequence of ad commands, chosen by the first bytes of the input, on a
// page made of the rest, taken as a page in each encoding in turn.
inline void FuzzCommandsIn(PageEncoding encoding, const uint8_t* data, size_t size)
{
    if (size < 8)
        return;
    const uint8_t* script = data;
    const std::string_view text(reinterpret_cast<const char*>(data + 8), size - 8);
    const BannerList catalogue = FuzzCatalogue();
    MemoryPageEditor editor(SplitLines(text));
    AdTree tree;
    AdPage page { editor, tree, encoding };
    ScanAdBlocks(page, catalogue);
    int jumpCounter = 1;
    for (int step = 0; step < 4; ++step) {
        const uint8_t op = script[step * 2];
        const uint8_t arg = script[step * 2 + 1];
        const TAdBanner& banner = *catalogue.Rows[arg % 5];
        const size_t lines = editor.LineCount();
        editor.SetCaret({ 1 + (lines ? arg % (lines + 1) : 0), 1u + (op >> 3) });
        size_t nodeIndex = arg % (tree.NodeCount() + 1);
        AdNode* node = tree.First();
        while (node && nodeIndex--)
            node = tree.Next(*node);
        switch (op % 8) {
        case 0:
            AddAdBlock(page, catalogue, banner, false);
            break;
        case 1:
            AddAdBlock(page, catalogue, banner, true);
            break;
        case 2:
            tree.Select(node);
            ReplaceAdBlock(page, catalogue, banner);
            break;
        case 3:
            tree.Select(node);
            DeleteAdBlock(page, catalogue);
            break;
        case 4:
            Jump(page, catalogue, banner, jumpCounter);
            break;
        case 5:
            tree.Select(node);
            RefreshAdList(page, catalogue);
            break;
        case 6:
            RefreshAdNodes(page, std::string(banner.SpaceName), (arg & 1) ? &banner : nullptr);
            break;
        case 7:
            ShowAdNode(page, catalogue, node, (arg & 1) != 0, jumpCounter);
            break;
        }
        Check(jumpCounter >= 1);
    }
}

inline void FuzzCommands(const uint8_t* data, size_t size)
{
    for (PageEncoding encoding : kFuzzEncodings)
        FuzzCommandsIn(encoding, data, size);
}

} // namespace pw::fuzz
