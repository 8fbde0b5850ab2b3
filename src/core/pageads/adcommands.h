#pragma once

#include "base/sjistext.h"
#include "base/usermessage.h"
#include "catalogue/banner.h"
#include "pageads/adpage.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The commands that put catalogue banners into an open page and take them out
// again, and the reactions of the page's ad tree. They report what the window
// shows (message boxes, the status bar text, the banner row to select) as data.
namespace pw {

struct AdCommandResult {
    std::vector<UserMessage> Messages; // boxes with an OK button, in the order shown
    std::optional<std::string> StatusText; // the status bar's new text, when it changes
    int SelectBannerRow = -1; // row of the banner list to select, -1 for none
    bool Done = false; // the command did its work (block inserted, replaced, deleted, shown)
    std::string Shown; // Jump: the node text (page text) whose block it showed
};

// Message texts.
inline const std::string_view kConfirmDeleteQuestion = "ほんとうに削除しますか？"_sjis;
inline const std::string_view kNoBannerAtCaretMessage
    = "カーソルの場所にバナーの定義がありません。編集中のファイルにカーソルをバナーに置いてください。"_sjis;
inline const std::string_view kBlockDeletedMessage = "ファイルから該当広告文を削除しました。"_sjis;
inline const std::string_view kBlockMissingDeletedMessage
    = "ファイルから該当広告文は見つかりませんでしたが、アイテムを削除しました。"_sjis;

// "ファイルに広告<" + text + ">は見つかりませんでした。"
std::string AdNotFoundMessage(std::string_view text);

// Inserts a normal block of the banner (`rotation` false) or a rotation block,
// or a new member when the caret is in a rotation (`rotation` true), then
// refreshes the ad list and selects the new block's node.
AdCommandResult AddAdBlock(AdPage& page, const BannerList& catalogue, const TAdBanner& banner, bool rotation);

// Replaces the block at the caret (or, failing that, the block of the selected
// node) by the banner, keeping its kind.
AdCommandResult ReplaceAdBlock(AdPage& page, const BannerList& catalogue, const TAdBanner& banner);

// Asked before an add or a replace would write its block inside an HTML tag.
inline const std::string_view kInsideTagQuestion
    = "広告文を入れる場所がHTMLタグの中（「<」と「>」の間）です。ここに入れるとタグが壊れます。"
      "それでも入れますか？"_sjis;

// Whether AddAdBlock, run now with the same banner and `rotation`, would write
// its block inside an HTML tag (InsideHtmlTag): at the caret, or in front of
// the block or rotation that holds it. The page is left as it is.
bool AddAdBlockInsideTag(const AdPage& page, const TAdBanner& banner, bool rotation);

// Whether ReplaceAdBlock, run now, would write the banner's block inside an
// HTML tag: the block it replaces starts in one. False when it would replace
// nothing.
bool ReplaceAdBlockInsideTag(const AdPage& page, const TAdBanner& banner);

// Removes the block of the selected node from the text and the node from the
// tree, and selects the next node. The caller has asked kConfirmDeleteQuestion.
AdCommandResult DeleteAdBlock(AdPage& page, const BannerList& catalogue);

// Rebuilds the ad tree and selects the previously selected node's block again.
AdCommandResult RefreshAdList(AdPage& page, const BannerList& catalogue);

// Shows the next block of the selected banner's name (F3). `jumpCounter`
// starts at 1 and says which block comes next.
AdCommandResult Jump(AdPage& page, const BannerList& catalogue, const TAdBanner& banner, int& jumpCounter);

// The reaction to a newly selected node: selects its block in the editor and
// reports it. `fromTree` is false when Jump runs it; then `jumpCounter` may be
// reset.
AdCommandResult ShowAdNode(
    AdPage& page, const BannerList& catalogue, AdNode* node, bool fromTree, int& jumpCounter);

// Brings node statuses up to date after a catalogue change: `oldName` (program
// text) is the banner's former name or none, `banner` the changed banner or
// none (removed).
void RefreshAdNodes(AdPage& page, const std::optional<std::string>& oldName, const TAdBanner* banner);

} // namespace pw
