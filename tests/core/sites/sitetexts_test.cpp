#include "networks/definitions.h"
#include "networks/network.h"
#include "pageads/adcommands.h"
#include "sites/nodes.h"
#include "sites/sitetexts.h"
#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using codec::DecodeSjis;

TEST(SiteTexts, ExactJapaneseWording)
{
    namespace t = sitetext;
    struct Case {
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        { t::Connecting("h"), "接続中[h]......" },
        { t::ConnectFailedStatus("h"), "接続が失敗しました[h]......" },
        { t::CannotConnect("h"), "サーバー[h]に接続できませんでした。" },
        { t::InitialFolderMissing("www"),
            "初期フォルダ[www]はサーバーに見つかりませんでした。お確かめたうえ、設定を変えてください。" },
        { t::LocalFolderMissing("/x"), "フォルダ[/x]は見つかりません。" },
        { t::ListingStarted("/p"), "サーバーからファイルリストを取得中[/p]......" },
        { t::ListingOk("/p"), "サーバーからファイルリストを取得ＯＫ[/p]" },
        { t::ListingFailed("/p"), "サーバーからファイルリストを取得失敗[/p]" },
        { t::DownloadStarted("/p"), "サーバーからファイルを取得中[/p]......" },
        { t::DownloadOk("/p"), "サーバーからファイルを取得ＯＫ[/p]......" },
        { t::DownloadFailed("/p"), "サーバーからファイルを取得失敗[/p]......" },
        { t::UploadStarted("/p"), "ファイルをサーバーに保存中[/p]......" },
        { t::UploadOk("/p"), "ファイルをサーバーに保存ＯＫ[/p]......" },
        { t::UploadOkStoredDirectly("/p"),
            "ファイルをサーバーに保存ＯＫ[/p]......設定に従い、一時ファイルを使わずに直接上書きしました。" },
        { t::ModeNotKeptNote(0755), "ただし、サーバーがパーミッション(755)の設定を受け付けませんでした。" },
        { t::BackupLeftNote("/.b"), "バックアップ[/.b]を削除できませんでした。" },
        { t::RenameRefused("/p", "/.t"),
            "サーバーが名前の変更を受け付けなかったため、ファイル[/p]は元のままです。アップロードした内容は[/"
            ".t]に残っています。" },
        { t::HostNameUnusable("a b"),
            "ホスト名[a b]には使えない文字（空白、/ # @ ? \\ など）が含まれています。設定を確かめてください。" },
        { t::UploadFailed("/p"), "ファイルをサーバーに保存失敗[/p]......" },
        { t::AskSave("a.html"), "ファイル[a.html]を保存しますか？" },
        { std::string(t::kListFailed),
            "サーバーにリストコマンドが実行できませんでした。再接続ボタンを押してください。" },
        { std::string(t::kListingLinesSkipped),
            "サーバーのファイルリストに読めない行がありました。その行のファイルは表示していません。" },
        { std::string(t::kLocalFolderFailed), "ローカルフォルダがオープンできませんでした。" },
        { std::string(t::kNoSetupSelected),
            "左のComboBoxで設定名を選択してから、接続ボタンをクリックしてください。" },
        { std::string(t::kAlreadyConnected), "既に接続されています。" },
        { std::string(t::kSelectBeforeDisconnect),
            "切断ボタンを押す前に画面下にある接続しているアイテムひとつを選択してください。" },
        { std::string(t::kReconnectOk), "接続OK" },
        { std::string(t::kReconnectFailed), "接続失敗" },
        { std::string(t::kDownloadFailed),
            "サーバーからダウンロードができませんでした。再接続ボタンを押してください。" },
        { std::string(t::kLocalOpenFailed), "ローカルファイルがオープンできませんでした。" },
        { std::string(t::kUploadFailed),
            "サーバーにアップロードができませんでした。再接続ボタンを押してください。" },
        { std::string(t::kLocalSaveFailed), "ローカルファイルが保存できませんでした。" },
        { std::string(kInternalError), "内部エラー" },
        { t::WithError("a", "b"), "a\nb" },
        { t::UntrustedCertificate("h", "e", "sha256//X"),
            "サーバー[h]の証明書を検証できませんでした。\ne\n公開鍵の指紋(SHA-256): "
            "sha256//X\nこのサーバーを信頼して接続しますか？" },
        { t::UnknownHostKey("h", "K", false),
            "サーバー[h]のホスト鍵は未登録です。\nホスト鍵の指紋(SHA-256): "
            "K\nこのホスト鍵を信頼して接続しますか？" },
        { t::UnknownHostKey("h", "K", true),
            "サーバー[h]のホスト鍵が登録済みの鍵と違います。なりすましの恐れがあります。\nホスト鍵の指紋(SHA-256):"
            " K\nこのホスト鍵を信頼して接続しますか？" },
        { t::UnknownHostKey("h", "K", true, "OLD"),
            "サーバー[h]のホスト鍵が登録済みの鍵と違います。なりすましの恐れがあります。\nホスト鍵の指紋(SHA-256):"
            " K\n登録済みの指紋: OLD\nこのホスト鍵を信頼して接続しますか？" },
        { t::UntrustedCertificate("h", "e", "sha256//X", "sha256//OLD"),
            "サーバー[h]の証明書の公開鍵が登録済みの鍵と違います。なりすましの恐れがあります。\ne\n公開鍵の指紋("
            "SHA-256): sha256//X\n登録済みの指紋: sha256//OLD\nこのサーバーを信頼して接続しますか？" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeSjis(c.bytes), c.utf8);
}

// The exact Shift_JIS bytes of a few messages, written out byte by byte: the
// texts are kept as UTF-8 in the source and converted, and a slip in that
// conversion (another spelling of a character, a lost trail byte 0x5C as in
// "ソ") must show here, not on a user's screen.
TEST(SiteTexts, ShiftJisBytesOfMessagesArePinned)
{
    struct Case {
        std::string bytes;
        std::string_view expected;
    };
    const Case cases[] = {
        // サーバーにリストコマンドが実行できませんでした。再接続ボタンを押してください。
        { std::string(sitetext::kListFailed),
            "\x83\x54\x81\x5B\x83\x6F\x81\x5B\x82\xC9\x83\x8A\x83\x58\x83\x67\x83\x52\x83\x7D\x83\x93\x83\x68\x82"
            "\xAA\x8E\xC0\x8D\x73\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42\x8D\xC4"
            "\x90\xDA\x91\xB1\x83\x7B\x83\x5E\x83\x93\x82\xF0\x89\x9F\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82"
            "\xA2\x81\x42" },
        // 接続中[]......
        { sitetext::Connecting(""), "\x90\xDA\x91\xB1\x92\x86\x5B\x5D\x2E\x2E\x2E\x2E\x2E\x2E" },
        // サーバーからファイルリストを取得ＯＫ[]
        { sitetext::ListingOk(""),
            "\x83\x54\x81\x5B\x83\x6F\x81\x5B\x82\xA9\x82\xE7\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x8A\x83\x58\x83"
            "\x67\x82\xF0\x8E\xE6\x93\xBE\x82\x6E\x82\x6A\x5B\x5D" },
        // ファイル[]を保存しますか？
        { sitetext::AskSave(""),
            "\x83\x74\x83\x40\x83\x43\x83\x8B\x5B\x5D\x82\xF0\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81"
            "\x48" },
        // カーソルの場所にバナーの定義がありません。編集中のファイルにカーソルをバナーに置いてください。
        { std::string(kNoBannerAtCaretMessage),
            "\x83\x4A\x81\x5B\x83\x5C\x83\x8B\x82\xCC\x8F\xEA\x8F\x8A\x82\xC9\x83\x6F\x83\x69\x81\x5B\x82\xCC\x92"
            "\xE8\x8B\x60\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\x95\xD2\x8F\x57\x92\x86\x82\xCC"
            "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9\x83\x4A\x81\x5B\x83\x5C\x83\x8B\x82\xF0\x83\x6F\x83\x69\x81"
            "\x5B\x82\xC9\x92\x75\x82\xA2\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42" },
        // サイト
        { std::string(kDefaultLoginName), "\x83\x54\x83\x43\x83\x67" },
        // 広告代理店情報が更新されました。
        { std::string(kNetworksUpdatedMessage),
            "\x8D\x4C\x8D\x90\x91\xE3\x97\x9D\x93\x58\x8F\xEE\x95\xF1\x82\xAA\x8D\x58\x90\x56\x82\xB3\x82\xEA\x82"
            "\xDC\x82\xB5\x82\xBD\x81\x42" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, c.expected) << DecodeSjis(c.expected);
}

} // namespace
} // namespace pw
