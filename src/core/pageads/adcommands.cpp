#include "pageads/adcommands.h"

#include "base/sjistext.h"
#include "pageads/adblock.h"
#include "pageads/adtext.h"
#include "pageads/htmltag.h"
#include "pageads/scanner.h"

namespace pw {

namespace {

// Status texts of the tree reaction.
const std::string_view kRotationAdPrefix = "ローテーション広告["_sjis;
const std::string_view kRotationAdSuffix = "]は"_sjis;
const std::string_view kBannerAdPrefix = "バナー広告["_sjis;
const std::string_view kChangedSuffix = "]の広告文はバナーリストと一致しません。ファイルに"_sjis;
const std::string_view kUnlistedSuffix = "]の広告文はバナーリストにないです。ファイルには"_sjis;
const std::string_view kFound = "見つけました。"_sjis;
const std::string_view kNotFound = "見つけませんでした。広告一覧を更新してください。"_sjis;
const std::string_view kDeletedPrefix = "広告文["_sjis;
const std::string_view kDeletedSuffix = "]はファイルから削除しました"_sjis;
const std::string_view kAdNotFoundPrefix = "ファイルに広告<"_sjis;
const std::string_view kAdNotFoundSuffix = ">は見つかりませんでした。"_sjis;

void Merge(AdCommandResult& into, AdCommandResult&& from)
{
    for (auto& message : from.Messages)
        into.Messages.push_back(std::move(message));
    if (from.StatusText)
        into.StatusText = std::move(from.StatusText);
    if (from.SelectBannerRow >= 0)
        into.SelectBannerRow = from.SelectBannerRow;
}

// SelectBlockByName with its internal error reported as the window does.
bool SelectBlock(AdPage& page, std::string_view nodeText, bool scroll, bool rotation, AdCommandResult& result)
{
    const SelectResult selected = SelectBlockByName(page, nodeText, scroll, rotation);
    if (selected == SelectResult::BadNumbering)
        result.Messages.push_back({ MessageType::Error, std::string(kInternalErrorMessage) });
    return selected == SelectResult::Found;
}

// Makes `node` the selected node, which runs the tree's selection reaction.
void SelectNode(AdPage& page, const BannerList& catalogue, AdNode* node, AdCommandResult& result)
{
    page.Tree.Select(node);
    int unusedCounter = 1;
    Merge(result, ShowAdNode(page, catalogue, node, true, unusedCounter));
}

// Where a block written at `pos` starts: the text puts it on a line of its
// own when `pos` is not at the start of a line.
TextPos WrittenStart(TextPos pos)
{
    return pos.Col > 1 ? TextPos { pos.Line + 1, 1 } : pos;
}

// Selects the node of the block just written at `start`: the first normal or
// member block that starts there or after it (a new rotation block resolves to
// its member). Looking the node up by name and count instead can land on
// another block of the same name.
void SelectNewNode(AdPage& page, const BannerList& catalogue, TextPos start, std::string_view text,
    TAdBlockKind kind, AdCommandResult& result)
{
    auto before = [](TextPos a, TextPos b) { return a.Line < b.Line || (a.Line == b.Line && a.Col < b.Col); };
    AdNode* written = nullptr;
    for (AdNode* node = page.Tree.First(); node && !written; node = page.Tree.Next(*node)) {
        if (node->Status() == nsRotation)
            continue;
        if (SelectBlockByName(page, node->Text(), false, false) == SelectResult::Found
            && !before(page.Editor.SelectionStart(), start))
            written = node;
    }
    if (!written)
        written = FindAdNode(page.Tree, text, kind);
    if (written)
        SelectNode(page, catalogue, written, result);
}

// The block text with the line breaks that keep it on lines of its own at
// `start`, given the line where the inserted or replaced range ends.
std::string Framed(const PageEditor& editor, TextPos start, TextPos end, std::string block)
{
    std::string text;
    if (start.Col > 1)
        text.append(kCrLf);
    text.append(block);
    if (editor.LineText(end.Line).size() > end.Col)
        text.append(kCrLf);
    return text;
}

// The replace of a normal or member block at the caret; false when the caret
// holds no such block.
bool ReplaceBlockAtCaret(
    AdPage& page, const BannerList& catalogue, const TAdBanner& banner, AdCommandResult& result)
{
    PageEditor& editor = page.Editor;
    const std::string name = ToPageText(page.Encoding, banner.SpaceName);
    const BlockAtCaret at = LocateBlockAtCaret(page, name);
    if (at.Kind != abNormal && at.Kind != abMember)
        return false;
    const TextPos start = at.BlockStart;
    // The range ends just after the end marker; the line break after it stays,
    // so the lines that follow (blank ones too) are kept as they are.
    const TextPos end { at.BlockEnd.Line, at.BlockEnd.Col + 1 };
    const std::string block
        = BuildAdBlock(name, ToPageText(page.Encoding, banner.BannerHTML), at.Kind, page.Encoding);
    const std::string text = Framed(editor, start, end, block);
    editor.SetSelection(start, end);
    editor.ReplaceSelection(text);
    Merge(result, RefreshAdList(page, catalogue));
    SelectNewNode(page, catalogue, WrittenStart(start), at.Name, at.Kind, result);
    result.Done = true;
    return true;
}

// Where AddAdBlock writes: in front of the block or rotation that holds the
// caret, as a new member at the head of the caret's rotation, or (no Pos) at
// the caret; and the kind of block it writes there.
struct AddPlace {
    std::optional<TextPos> Pos;
    TAdBlockKind Kind;
};

AddPlace PlaceOfAdd(const AdPage& page, const BlockAtCaret& at, bool rotation)
{
    switch (at.Kind) {
    case abNormal:
        return { at.BlockStart, rotation ? abRotation : abNormal };
    case abRotation:
        if (!rotation)
            return { at.RotationStart, abNormal };
        for (size_t line = at.RotationStart.Line; line <= at.RotationEnd.Line; ++line) {
            if (SameAdText(page.Editor.LineText(line), kBannerArrayLine, false, page.Encoding))
                return { TextPos { line + 1, 1 }, abMember };
        }
        return { at.RotationStart, abMember };
    case abMember:
        if (rotation)
            return { at.BlockStart, abMember };
        return { at.RotationStart, abNormal };
    default:
        return { std::nullopt, rotation ? abRotation : abNormal };
    }
}

} // namespace

std::string AdNotFoundMessage(std::string_view text)
{
    return std::string(kAdNotFoundPrefix).append(text).append(kAdNotFoundSuffix);
}

AdCommandResult AddAdBlock(AdPage& page, const BannerList& catalogue, const TAdBanner& banner, bool rotation)
{
    const PageChange change(page.Editor);
    AdCommandResult result;
    PageEditor& editor = page.Editor;
    const std::string name = ToPageText(page.Encoding, banner.SpaceName);
    const BlockAtCaret at = LocateBlockAtCaret(page, name);
    const AddPlace place = PlaceOfAdd(page, at, rotation);
    if (place.Pos)
        editor.SetCaret(*place.Pos);
    const TAdBlockKind kind = place.Kind;
    const TextPos caret = editor.Caret();
    const std::string block
        = BuildAdBlock(name, ToPageText(page.Encoding, banner.BannerHTML), kind, page.Encoding);
    editor.InsertAtCaret(Framed(editor, caret, caret, block));
    Merge(result, RefreshAdList(page, catalogue));
    SelectNewNode(page, catalogue, WrittenStart(caret), at.Name, kind, result);
    result.Done = true;
    return result;
}

AdCommandResult ReplaceAdBlock(AdPage& page, const BannerList& catalogue, const TAdBanner& banner)
{
    const PageChange change(page.Editor);
    AdCommandResult result;
    if (ReplaceBlockAtCaret(page, catalogue, banner, result))
        return result;
    if (const AdNode* node = page.Tree.Selected()) {
        const std::string text = node->Text();
        if (SelectBlock(page, text, true, node->Status() == nsRotation, result)
            && ReplaceBlockAtCaret(page, catalogue, banner, result))
            return result;
    }
    result.Messages.push_back({ MessageType::Warning, std::string(kNoBannerAtCaretMessage) });
    return result;
}

bool AddAdBlockInsideTag(const AdPage& page, const TAdBanner& banner, bool rotation)
{
    const BlockAtCaret at = LocateBlockAtCaret(page, ToPageText(page.Encoding, banner.SpaceName));
    const AddPlace place = PlaceOfAdd(page, at, rotation);
    return InsideHtmlTag(page.Editor, place.Pos.value_or(page.Editor.Caret()));
}

bool ReplaceAdBlockInsideTag(const AdPage& page, const TAdBanner& banner)
{
    // The block at the caret, else the one at the start of the selected
    // node's block, as ReplaceAdBlock finds them.
    const std::string name = ToPageText(page.Encoding, banner.SpaceName);
    BlockAtCaret at = LocateBlockAtCaret(page, name);
    if (at.Kind != abNormal && at.Kind != abMember) {
        const AdNode* node = page.Tree.Selected();
        BlockRange range;
        if (!node
            || FindBlockByName(page, node->Text(), node->Status() == nsRotation, range) != SelectResult::Found)
            return false;
        at = LocateBlockAt(page, name, range.Start);
    }
    return (at.Kind == abNormal || at.Kind == abMember) && InsideHtmlTag(page.Editor, at.BlockStart);
}

AdCommandResult DeleteAdBlock(AdPage& page, const BannerList& catalogue)
{
    const PageChange change(page.Editor);
    AdCommandResult result;
    AdTree& tree = page.Tree;
    AdNode* node = tree.Selected();
    if (!node)
        return result;
    const std::string text = node->Text();
    if (SelectBlock(page, text, true, node->Status() == nsRotation, result)) {
        page.Editor.DeleteSelection();
        // Done as asked: news, not a warning.
        result.Messages.push_back({ MessageType::Information, std::string(kBlockDeletedMessage) });
        result.Done = true;
    } else {
        result.Messages.push_back({ MessageType::Warning, std::string(kBlockMissingDeletedMessage) });
    }
    AdNode* next = tree.NextSkippingChildren(*node);
    if (!next)
        next = tree.Previous(*node);
    tree.Remove(*node);
    if (next) {
        SelectNode(page, catalogue, next, result);
    } else {
        result.StatusText
            = std::string(kDeletedPrefix).append(FromPageText(page.Encoding, text)).append(kDeletedSuffix);
    }
    return result;
}

AdCommandResult RefreshAdList(AdPage& page, const BannerList& catalogue)
{
    AdCommandResult result;
    const AdNode* selected = page.Tree.Selected();
    const std::string text = selected ? selected->Text() : std::string();
    const bool rotation = selected && selected->Status() == nsRotation;
    page.Tree.Clear();
    ScanAdBlocks(page, catalogue);
    if (!text.empty())
        SelectBlock(page, text, false, rotation, result);
    return result;
}

AdCommandResult Jump(AdPage& page, const BannerList& catalogue, const TAdBanner& banner, int& jumpCounter)
{
    AdCommandResult result;
    const std::string name = ToPageText(page.Encoding, banner.SpaceName);
    for (;;) {
        std::string text = name;
        if (jumpCounter > 1)
            text.append("[").append(std::to_string(jumpCounter)).append("]");
        ++jumpCounter;
        if (AdNode* node = FindAdNode(page.Tree, text, abNormal)) {
            Merge(result, ShowAdNode(page, catalogue, node, false, jumpCounter));
            page.Tree.Select(node);
            result.Shown = text;
            result.Done = true;
            return result;
        }
        if (SelectBlock(page, text, true, false, result)) {
            result.Shown = text;
            result.Done = true;
            return result;
        }
        if (jumpCounter > 2) {
            jumpCounter = 1;
            continue;
        }
        result.Messages.push_back({ MessageType::Warning, AdNotFoundMessage(FromPageText(page.Encoding, text)) });
        return result;
    }
}

AdCommandResult ShowAdNode(
    AdPage& page, const BannerList& catalogue, AdNode* node, bool fromTree, int& jumpCounter)
{
    AdCommandResult result;
    result.StatusText = std::string();
    if (!node)
        return result;
    const TAdNodeStatus status = node->Status();
    const bool found = SelectBlock(page, node->Text(), true, status == nsRotation, result);
    const std::string shown = FromPageText(page.Encoding, node->Text());
    std::string text;
    switch (status) {
    case nsRotation:
        text.append(kRotationAdPrefix).append(shown).append(kRotationAdSuffix);
        break;
    case nsMatched:
        text.append(kBannerAdPrefix).append(shown).append(kRotationAdSuffix);
        break;
    case nsChanged:
        text.append(kBannerAdPrefix).append(shown).append(kChangedSuffix);
        break;
    case nsUnlisted:
        text.append(kBannerAdPrefix).append(shown).append(kUnlistedSuffix);
        break;
    }
    if (found) {
        text.append(kFound);
        if (status == nsMatched || status == nsChanged) {
            for (size_t row = 0; row < catalogue.Rows.size(); ++row) {
                if (catalogue.Rows[row]->SpaceName == shown) {
                    result.SelectBannerRow = static_cast<int>(row);
                    break;
                }
            }
        }
        result.Done = true;
    } else {
        text.append(kNotFound);
        if (fromTree) {
            result.Messages.push_back({ MessageType::Warning, text });
        } else if (jumpCounter > 1) {
            result.Messages.push_back({ MessageType::Warning, AdNotFoundMessage(shown) });
            jumpCounter = 1;
        }
    }
    page.Tree.SetHint(text);
    result.StatusText = std::move(text);
    return result;
}

namespace {

TAdNodeStatus ContentStatus(AdPage& page, const AdNode& node, std::string_view html)
{
    BlockRange range;
    if (FindBlockByName(page, node.Text(), false, range) != SelectResult::Found)
        return nsChanged;
    SelectBlockRange(page.Editor, range, false);
    const bool same = SameAdText(BlockContent(page.Editor, range), html, node.Parent() != nullptr, page.Encoding);
    return same ? nsMatched : nsChanged;
}

} // namespace

void RefreshAdNodes(AdPage& page, const std::optional<std::string>& oldName, const TAdBanner* banner)
{
    std::string old;
    bool renamed = false;
    if (!oldName) {
        if (!banner)
            return;
        old = banner->SpaceName;
    } else {
        old = *oldName;
        renamed = banner && banner->SpaceName != old;
    }
    const std::string oldText = ToPageText(page.Encoding, old);
    const std::string newText = banner ? ToPageText(page.Encoding, banner->SpaceName) : std::string();
    const std::string html = banner ? ToPageText(page.Encoding, banner->BannerHTML) : std::string();
    AdTree& tree = page.Tree;
    for (AdNode* node = tree.First(); node; node = tree.Next(*node)) {
        if (node->Status() == nsRotation)
            continue;
        if (node->Text() == oldText)
            tree.SetStatus(*node, !banner || renamed ? nsUnlisted : ContentStatus(page, *node, html));
        else if (renamed && node->Text() == newText)
            tree.SetStatus(*node, ContentStatus(page, *node, html));
    }
}

} // namespace pw
