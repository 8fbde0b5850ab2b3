#pragma once

#include "catalogue/banner.h"
#include "pageads/adpage.h"
#include "text/lines.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pw::test {

// An open page in memory: editor, ad tree and a small catalogue.
struct TestPage {
    MemoryPageEditor editor;
    AdTree tree;
    AdPage page { editor, tree, PageEncoding::ShiftJis };
    BannerList catalogue;

    explicit TestPage(std::string_view text = {}) { SetText(text); }

    void SetText(std::string_view text) { editor.SetLines(SplitLines(text)); }
    std::string Text() const { return JoinLines(editor.Lines(), LineBreak::CrLf); }

    TAdBanner& AddBanner(std::string name, std::string html)
    {
        auto banner = std::make_unique<TAdBanner>();
        banner->Number = static_cast<int32_t>(catalogue.Rows.size()) + 1;
        banner->SpaceName = std::move(name);
        banner->BannerHTML = std::move(html);
        catalogue.Rows.push_back(std::move(banner));
        return *catalogue.Rows.back();
    }

    void Caret(size_t line, size_t col) { editor.SetCaret({ line, col }); }

    // The tree as "status<TAB>text" lines, two blanks per depth, "*" after the
    // selected node.
    std::string Tree() const
    {
        static const char* const words[] = { "rotation", "matched", "changed", "unlisted" };
        std::string out;
        for (const AdNode* node = tree.First(); node; node = tree.Next(*node)) {
            for (const AdNode* up = node->Parent(); up; up = up->Parent())
                out += "  ";
            out.append(words[node->Status()]).append("\t").append(node->Text());
            if (node == tree.Selected())
                out += "\t*";
            out += "\n";
        }
        return out;
    }
};

// Page text from lines joined by CR LF.
inline std::string Lines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (auto line : lines)
        text.append(line).append("\r\n");
    return text;
}

} // namespace pw::test
