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

} // namespace
} // namespace pw
