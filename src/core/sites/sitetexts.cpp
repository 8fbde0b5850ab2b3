#include "sites/sitetexts.h"

#include "base/sjistext.h"

#include <cstdio>

namespace pw::sitetext {

namespace {

constexpr std::string_view kDots = "]......";

std::string Around(std::string_view before, std::string_view name, std::string_view after)
{
    std::string text;
    text.reserve(before.size() + name.size() + after.size());
    text.append(before).append(name).append(after);
    return text;
}

} // namespace

const std::string_view kListFailed
    = "サーバーにリストコマンドが実行できませんでした。再接続ボタンを押してください。"_sjis;
const std::string_view kListingLinesSkipped
    = "サーバーのファイルリストに読めない行がありました。その行のファイルは表示していません。"_sjis;
const std::string_view kLocalFolderFailed = "ローカルフォルダがオープンできませんでした。"_sjis;
const std::string_view kNoSetupSelected
    = "左のComboBoxで設定名を選択してから、接続ボタンをクリックしてください。"_sjis;
const std::string_view kAlreadyConnected = "既に接続されています。"_sjis;
const std::string_view kSelectBeforeDisconnect
    = "切断ボタンを押す前に画面下にある接続しているアイテムひとつを選択してください。"_sjis;
const std::string_view kReconnectOk = "接続OK"_sjis;
const std::string_view kReconnectFailed = "接続失敗"_sjis;
const std::string_view kDownloadFailed
    = "サーバーからダウンロードができませんでした。再接続ボタンを押してください。"_sjis;
const std::string_view kLocalOpenFailed = "ローカルファイルがオープンできませんでした。"_sjis;
const std::string_view kUploadFailed
    = "サーバーにアップロードができませんでした。再接続ボタンを押してください。"_sjis;
const std::string_view kLocalSaveFailed = "ローカルファイルが保存できませんでした。"_sjis;
const std::string_view kNoCurrentFolder = "サーバーの現在のフォルダを取得できませんでした。"_sjis;

std::string WithError(std::string_view message, std::string_view error)
{
    std::string text(message);
    text += '\n';
    text += error;
    return text;
}

std::string Connecting(std::string_view host)
{
    return Around("接続中["_sjis, host, kDots);
}

std::string ConnectFailedStatus(std::string_view host)
{
    return Around("接続が失敗しました["_sjis, host, kDots);
}

std::string CannotConnect(std::string_view host)
{
    return Around("サーバー["_sjis, host, "]に接続できませんでした。"_sjis);
}

std::string InitialFolderMissing(std::string_view iniPath)
{
    return Around("初期フォルダ["_sjis, iniPath,
        "]はサーバーに見つかりませんでした。お確かめたうえ、設定を変えてください。"_sjis);
}

std::string LocalFolderMissing(std::string_view path)
{
    return Around("フォルダ["_sjis, path, "]は見つかりません。"_sjis);
}

std::string ListingStarted(std::string_view path)
{
    return Around("サーバーからファイルリストを取得中["_sjis, path, kDots);
}

std::string ListingOk(std::string_view path)
{
    return Around("サーバーからファイルリストを取得ＯＫ["_sjis, path, "]");
}

std::string ListingFailed(std::string_view path)
{
    return Around("サーバーからファイルリストを取得失敗["_sjis, path, "]");
}

std::string DownloadStarted(std::string_view path)
{
    return Around("サーバーからファイルを取得中["_sjis, path, kDots);
}

std::string DownloadOk(std::string_view path)
{
    return Around("サーバーからファイルを取得ＯＫ["_sjis, path, kDots);
}

std::string DownloadFailed(std::string_view path)
{
    return Around("サーバーからファイルを取得失敗["_sjis, path, kDots);
}

std::string UploadStarted(std::string_view path)
{
    return Around("ファイルをサーバーに保存中["_sjis, path, kDots);
}

std::string UploadOk(std::string_view path)
{
    return Around("ファイルをサーバーに保存ＯＫ["_sjis, path, kDots);
}

std::string UploadOkStoredDirectly(std::string_view path)
{
    return UploadOk(path) + "設定に従い、一時ファイルを使わずに直接上書きしました。"_sjis;
}

std::string ModeNotKeptNote(unsigned mode)
{
    char octal[8];
    std::snprintf(octal, sizeof octal, "%03o", mode & 07777);
    // ただし、サーバーがパーミッション(755)の設定を受け付けませんでした。
    return Around("ただし、サーバーがパーミッション("_sjis, octal, ")の設定を受け付けませんでした。"_sjis);
}

std::string BackupLeftNote(std::string_view backup)
{
    // バックアップ[..]を削除できませんでした。
    return Around("バックアップ["_sjis, backup, "]を削除できませんでした。"_sjis);
}

std::string RenameRefused(std::string_view path, std::string_view temp)
{
    // サーバーが名前の変更を受け付けなかったため、ファイル[path]は元のままです。
    // アップロードした内容は[temp]に残っています。
    std::string text = Around("サーバーが名前の変更を受け付けなかったため、ファイル["_sjis, path,
        "]は元のままです。アップロードした内容は["_sjis);
    text.append(temp).append("]に残っています。"_sjis);
    return text;
}

std::string HostNameUnusable(std::string_view host)
{
    // ホスト名[host]には使えない文字（空白、/ # @ ? \ など）が含まれています。設定を確かめてください。
    return Around("ホスト名["_sjis, host,
        "]には使えない文字（空白、/ # @ ? \\ など）が含まれています。設定を確かめてください。"_sjis);
}

std::string UploadFailed(std::string_view path)
{
    return Around("ファイルをサーバーに保存失敗["_sjis, path, kDots);
}

std::string AskSave(std::string_view name)
{
    return Around("ファイル["_sjis, name, "]を保存しますか？"_sjis);
}

std::string UntrustedCertificate(
    std::string_view host, std::string_view error, std::string_view fingerprint, std::string_view previous)
{
    // サーバー[host]の証明書を検証できませんでした。 error 公開鍵の指紋(SHA-256): fp
    // このサーバーを信頼して接続しますか？
    std::string text = Around("サーバー["_sjis, host, "]の証明書を検証できませんでした。"_sjis);
    if (!previous.empty())
        // サーバー[host]の証明書の公開鍵が登録済みの鍵と違います。なりすましの恐れがあります。
        text = Around("サーバー["_sjis, host,
            "]の証明書の公開鍵が登録済みの鍵と違います。なりすましの恐れがあります。"_sjis);
    text = WithError(text, error);
    text += "\n公開鍵の指紋(SHA-256): "_sjis;
    text += fingerprint;
    if (!previous.empty()) {
        text += "\n登録済みの指紋: "_sjis;
        text += previous;
    }
    text += "\nこのサーバーを信頼して接続しますか？"_sjis;
    return text;
}

std::string UnknownHostKey(
    std::string_view host, std::string_view fingerprint, bool changed, std::string_view previous)
{
    std::string text = Around("サーバー["_sjis, host, "]");
    if (changed)
        text += "のホスト鍵が登録済みの鍵と違います。なりすましの恐れがあります。"_sjis;
    else
        text += "のホスト鍵は未登録です。"_sjis;
    text += "\nホスト鍵の指紋(SHA-256): "_sjis;
    text += fingerprint;
    if (changed && !previous.empty()) {
        text += "\n登録済みの指紋: "_sjis;
        text += previous;
    }
    text += "\nこのホスト鍵を信頼して接続しますか？"_sjis;
    return text;
}

} // namespace pw::sitetext
