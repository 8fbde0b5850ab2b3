#pragma once

#include <string>
#include <string_view>

// The status texts and messages of connections and documents, as Shift_JIS
// bytes. Messages that carry an error put it after a line break.
namespace pw::sitetext {

std::string Connecting(std::string_view host); // 接続中[host]......
std::string ConnectFailedStatus(std::string_view host); // 接続が失敗しました[host]......
std::string CannotConnect(std::string_view host); // サーバー[host]に接続できませんでした。
std::string InitialFolderMissing(std::string_view iniPath); // 初期フォルダ[..]はサーバーに見つかりませんでした。…
std::string LocalFolderMissing(std::string_view path); // フォルダ[..]は見つかりません。
std::string ListingStarted(std::string_view path); // サーバーからファイルリストを取得中[..]......
std::string ListingOk(std::string_view path); // サーバーからファイルリストを取得ＯＫ[..]
std::string ListingFailed(std::string_view path); // サーバーからファイルリストを取得失敗[..]
std::string DownloadStarted(std::string_view path); // サーバーからファイルを取得中[..]......
std::string DownloadOk(std::string_view path); // サーバーからファイルを取得ＯＫ[..]......
std::string DownloadFailed(std::string_view path); // サーバーからファイルを取得失敗[..]......
std::string UploadStarted(std::string_view path); // ファイルをサーバーに保存中[..]......
std::string UploadOk(std::string_view path); // ファイルをサーバーに保存ＯＫ[..]......
std::string UploadOkStoredDirectly(std::string_view path); // the same, overwritten directly as the setup asks
std::string ModeNotKeptNote(unsigned mode); // ただし、サーバーがパーミッション(755)の設定を…
std::string BackupLeftNote(std::string_view backup); // バックアップ[..]を削除できませんでした。
// サーバーが名前の変更を受け付けなかったため、ファイル[path]は元のままです。アップロードした内容は[temp]に…
std::string RenameRefused(std::string_view path, std::string_view temp);
std::string HostNameUnusable(std::string_view host); // ホスト名[host]には使えない文字…
std::string UploadFailed(std::string_view path); // ファイルをサーバーに保存失敗[..]......
std::string AskSave(std::string_view name); // ファイル[name]を保存しますか？
// The trust questions. `previous`: the fingerprint trusted before, when the
// peer's key changed (empty: the peer is new).
std::string UntrustedCertificate(
    std::string_view host, std::string_view error, std::string_view fingerprint, std::string_view previous = {});
std::string UnknownHostKey(
    std::string_view host, std::string_view fingerprint, bool changed, std::string_view previous = {});

// With the error's text after a line break.
std::string WithError(std::string_view message, std::string_view error);

extern const std::string_view
    kListFailed; // サーバーにリストコマンドが実行できませんでした。再接続ボタンを押してください。
extern const std::string_view
    kListingLinesSkipped; // サーバーのファイルリストに読めない行がありました。その行のファイルは表示していません。
extern const std::string_view kLocalFolderFailed; // ローカルフォルダがオープンできませんでした。
extern const std::string_view
    kNoSetupSelected; // 左のComboBoxで設定名を選択してから、接続ボタンをクリックしてください。
extern const std::string_view kAlreadyConnected; // 既に接続されています。
extern const std::string_view kSelectBeforeDisconnect; // 切断ボタンを押す前に…選択してください。
extern const std::string_view kReconnectOk; // 接続OK
extern const std::string_view kReconnectFailed; // 接続失敗
extern const std::string_view
    kDownloadFailed; // サーバーからダウンロードができませんでした。再接続ボタンを押してください。
extern const std::string_view kLocalOpenFailed; // ローカルファイルがオープンできませんでした。
extern const std::string_view
    kUploadFailed; // サーバーにアップロードができませんでした。再接続ボタンを押してください。
extern const std::string_view kLocalSaveFailed; // ローカルファイルが保存できませんでした。
extern const std::string_view kNoCurrentFolder; // サーバーの現在のフォルダを取得できませんでした。

} // namespace pw::sitetext
