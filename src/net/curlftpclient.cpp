#include "net/curlftpclient.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace pw::net {

namespace {

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string Base64(const unsigned char* data, size_t length)
{
    std::string out(4 * ((length + 2) / 3) + 1, '\0');
    const int written
        = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(length));
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

// The peer certificate's public key pin seen during the last TLS handshake of
// this thread's running request.
thread_local std::string* t_seenPin = nullptr;

int VerifyCallback(int preverifyOk, X509_STORE_CTX* context)
{
    if (t_seenPin) {
        if (X509* leaf = X509_STORE_CTX_get0_cert(context)) {
            unsigned char* der = nullptr;
            const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(leaf), &der);
            if (length > 0)
                *t_seenPin = PublicKeyPin(der, static_cast<size_t>(length));
            OPENSSL_free(der);
        }
    }
    return preverifyOk;
}

CURLcode SslContext(CURL*, void* sslContext, void*)
{
    auto* context = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), VerifyCallback);
    return CURLE_OK;
}

int ReportProgress(void* data, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow)
{
    const auto& progress = *static_cast<const TransferProgress*>(data);
    const auto done = static_cast<std::uint64_t>(dlnow + ulnow);
    const auto total = static_cast<std::uint64_t>(dltotal + ultotal);
    return progress(done, total) ? 0 : 1;
}

struct HostKeyCheck {
    const std::string* trusted;
    std::string* seen;
};

int CheckHostKey(void* data, int, const char* key, size_t length)
{
    auto* check = static_cast<HostKeyCheck*>(data);
    *check->seen = HostKeyFingerprint(reinterpret_cast<const unsigned char*>(key), length);
    return *check->seen == *check->trusted ? CURLKHMATCH_OK : CURLKHMATCH_MISMATCH;
}

// Where a download goes, and how large it may grow.
struct Sink {
    std::string* bytes;
    size_t limit;
    bool tooLarge = false;
};

size_t AppendTo(char* data, size_t size, size_t count, void* target)
{
    auto* sink = static_cast<Sink*>(target);
    const size_t n = size * count;
    if (n > sink->limit - std::min(sink->limit, sink->bytes->size())) {
        sink->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    sink->bytes->append(data, n);
    return n;
}

size_t Discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// A download's sink, told the size the server reported before the first
// bytes, and how many bytes it may take.
struct SinkTarget {
    TransferSink* sink;
    CURL* handle;
    size_t limit;
    size_t received = 0;
    bool sized = false;
    bool failed = false;
    bool tooLarge = false;
};

size_t WriteToSink(char* data, size_t size, size_t count, void* target)
{
    auto* to = static_cast<SinkTarget*>(target);
    const size_t n = size * count;
    if (n > to->limit - to->received) {
        to->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    if (!to->sized) {
        to->sized = true;
        // A reported size beyond the limit is not reserved: the transfer
        // fails when its bytes pass the limit.
        curl_off_t length = -1;
        if (curl_easy_getinfo(to->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0
            && static_cast<uint64_t>(length) <= to->limit)
            to->sink->ExpectSize(static_cast<uint64_t>(length));
    }
    if (!to->sink->Write(std::string_view(data, n))) {
        to->failed = true;
        return 0;
    }
    to->received += n;
    return n;
}

// An upload's source, and how many bytes it may give.
struct SourceOrigin {
    TransferSource* source;
    size_t limit;
    size_t sent = 0;
    bool failed = false;
    bool tooLarge = false;
};

size_t ReadFromSource(char* buffer, size_t size, size_t count, void* data)
{
    auto* from = static_cast<SourceOrigin*>(data);
    size_t n = 0;
    if (!from->source->Read(buffer, size * count, n)) {
        from->failed = true;
        return CURL_READFUNC_ABORT;
    }
    if (n > from->limit - from->sent) {
        // A source of unknown size that grows beyond the limit.
        from->tooLarge = true;
        return CURL_READFUNC_ABORT;
    }
    from->sent += n;
    return n;
}

// Transfer buffers of libcurl for file contents: larger than its defaults, so
// that a file moves in fewer, larger pieces. SFTP uploads gain the most (libssh2
// keeps more writes in flight); 2 MiB is libcurl's largest upload buffer.
constexpr long kDownloadBufferSize = 512 * 1024;
constexpr long kUploadBufferSize = 2 * 1024 * 1024;

size_t CollectReply(char* data, size_t size, size_t count, void* target)
{
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    static_cast<std::vector<std::string>*>(target)->push_back(std::move(line));
    return size * count;
}

// The folder named by the last 257 reply: the text between the first two
// double quotes, with "" standing for one quote.
bool FolderOfReply(const std::vector<std::string>& replies, std::string& folder)
{
    for (auto it = replies.rbegin(); it != replies.rend(); ++it) {
        if (it->compare(0, 3, "257") != 0)
            continue;
        const size_t open = it->find('"');
        if (open == std::string::npos)
            continue;
        std::string text;
        for (size_t i = open + 1; i < it->size(); ++i) {
            if ((*it)[i] == '"') {
                if (i + 1 < it->size() && (*it)[i + 1] == '"') {
                    text += '"';
                    ++i;
                    continue;
                }
                folder = text;
                return true;
            }
            text += (*it)[i];
        }
    }
    return false;
}

// A folder a server names goes into paths, a run's journal and the terminal:
// one holding a control character is refused.
bool HoldsControl(const std::string& text)
{
    return std::any_of(
        text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F; });
}

FtpResult ControlInFolder()
{
    return FtpResult::Fail(FtpFailure::Refused, "the server named a folder holding a control character");
}

// The last error reply of the server (4xx or 5xx), if any.
std::string LastErrorReply(const std::vector<std::string>& replies)
{
    for (auto it = replies.rbegin(); it != replies.rend(); ++it) {
        if (it->size() >= 3 && ((*it)[0] == '4' || (*it)[0] == '5')
            && std::isdigit(static_cast<unsigned char>((*it)[1]))
            && std::isdigit(static_cast<unsigned char>((*it)[2])))
            return *it;
    }
    return {};
}

// A cancelled call leaves the control connection in an unknown state, so it
// counts as a lost connection.
bool IsConnectionLost(CURLcode rc)
{
    switch (rc) {
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_SSH:
        return true;
    default:
        return false;
    }
}

bool IsRefusal(CURLcode rc)
{
    switch (rc) {
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_QUOTE_ERROR:
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_REMOTE_FILE_EXISTS:
        return true;
    default:
        return false;
    }
}

std::string EscapeSegment(CURL* handle, const std::string& segment)
{
    char* escaped = curl_easy_escape(handle, segment.data(), static_cast<int>(segment.size()));
    std::string out = escaped ? escaped : "";
    curl_free(escaped);
    return out;
}

// A path as an argument of an SFTP quote command: quoted, with " and \ escaped.
std::string QuotedArgument(const std::string& path)
{
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string MiB(size_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

std::string LimitText(size_t bytes)
{
    return bytes >= (size_t { 1 } << 20) && bytes % (size_t { 1 } << 20) == 0 ? MiB(bytes)
                                                                              : std::to_string(bytes) + " bytes";
}

// The verbose log (PAGEWICK_CURL_VERBOSE) on standard error, with the
// password of a login replaced.
int DebugLog(CURL*, curl_infotype type, char* data, size_t size, void*)
{
    std::string_view text(data, size);
    const char* prefix = nullptr;
    switch (type) {
    case CURLINFO_TEXT:
        prefix = "* ";
        break;
    case CURLINFO_HEADER_IN:
        prefix = "< ";
        break;
    case CURLINFO_HEADER_OUT:
        prefix = "> ";
        if (text.size() >= 5 && (text.compare(0, 5, "PASS ") == 0 || text.compare(0, 5, "pass ") == 0))
            text = "PASS ****\r\n";
        break;
    default:
        return 0; // data and TLS records are not logged
    }
    std::fputs(prefix, stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    if (!text.empty() && text.back() != '\n')
        std::fputc('\n', stderr);
    return 0;
}

class SList {
public:
    explicit SList(const std::vector<std::string>& items)
    {
        for (const std::string& item : items)
            m_list = curl_slist_append(m_list, item.c_str());
    }
    ~SList() { curl_slist_free_all(m_list); }
    SList(const SList&) = delete;
    SList& operator=(const SList&) = delete;
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

} // namespace

std::string HostKeyFingerprint(const unsigned char* key, size_t length)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(key, length, digest);
    std::string text = Base64(digest, sizeof digest);
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    return text;
}

std::string PublicKeyPin(const unsigned char* spkiDer, size_t length)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(spkiDer, length, digest);
    return "sha256//" + Base64(digest, sizeof digest);
}

struct CurlFtpClient::Request {
    std::string url;
    bool nobody = false;
    std::vector<std::string> quote; // sent before the transfer (after the CWD for FTP)
    std::vector<std::string> postquote; // sent after it
    std::string* sink = nullptr;
    size_t sinkLimit = static_cast<size_t>(-1); // the most bytes the sink (or stream) may take
    const char* sinkWhat = ""; // what the sink holds, for the error
    TransferSink* stream = nullptr; // a file's bytes as they arrive
    TransferSource* upload = nullptr; // a file's bytes as they are sent
    FileStamp* stamp = nullptr; // takes the file's size and time (asked before the transfer)
};

CurlFtpClient::CurlFtpClient(FtpClientSettings settings)
    : m_settings(std::move(settings))
{
    GlobalInit();
}

CurlFtpClient::~CurlFtpClient()
{
    Quit();
}

namespace {

// curl_easy_perform on our own multi handle. libcurl 7.88's own loop can sit
// out its whole 1 s wait between an EPSV/PASV reply and the data
// connection's connect, a second lost on every such transfer; here the wait
// is never longer than libcurl's next timeout or a short poll.
CURLcode PerformOn(CURLM* multi, CURL* h)
{
    if (curl_multi_add_handle(multi, h) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode rc = CURLE_OK;
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            rc = CURLE_FAILED_INIT;
            break;
        }
        if (!running)
            break;
        long timeout = -1;
        curl_multi_timeout(multi, &timeout);
        constexpr long kLongestWaitMs = 20;
        const int wait = static_cast<int>(timeout >= 0 && timeout < kLongestWaitMs ? timeout : kLongestWaitMs);
        curl_multi_poll(multi, nullptr, 0, wait, nullptr);
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == h)
            rc = message->data.result;
    }
    curl_multi_remove_handle(multi, h);
    return rc;
}

} // namespace

std::string CurlFtpClient::BaseUrl() const
{
    std::string host = m_settings.Host;
    if (host.find(':') != std::string::npos && host.front() != '[')
        host = "[" + host + "]";
    return (IsSftp() ? "sftp://" : "ftp://") + host + ":" + std::to_string(m_settings.Port) + "/";
}

std::string CurlFtpClient::UrlOf(const std::string& path, bool folder) const
{
    std::string joined;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start) {
            if (!joined.empty())
                joined += '/';
            joined += EscapeSegment(static_cast<CURL*>(m_handle), path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    // FTP: a leading "%2F" makes the path absolute (CWD /...); SFTP paths are
    // absolute as they stand.
    std::string url = BaseUrl();
    if (!IsSftp())
        url += "%2F";
    url += joined;
    if (folder && (!joined.empty() || !IsSftp()))
        url += '/';
    return url;
}

std::string CurlFtpClient::Absolute(const std::string& path) const
{
    std::string absolute;
    if (!path.empty() && path[0] == '/')
        absolute = path;
    else if (path.empty())
        absolute = m_current;
    else
        absolute = (m_current.empty() || m_current == "/" ? "/" : m_current + "/") + path;
    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    return absolute.empty() ? "/" : absolute;
}

FtpResult CurlFtpClient::Perform(Request& request)
{
    m_hasFolderListing = false;
    if (!pw::IsUsableHostName(m_settings.Host))
        return FtpResult::Fail(FtpFailure::Other,
            "the host name \"" + m_settings.Host
                + "\" cannot be used: it is empty or holds a blank, '/', '#', '@', '?' or '\\'");
    if (request.upload && request.upload->Size() >= 0
        && static_cast<uint64_t>(request.upload->Size()) > m_settings.Limits.MaxFileBytes)
        return FtpResult::Fail(FtpFailure::Other,
            "the file is larger than " + LimitText(m_settings.Limits.MaxFileBytes) + ", the most that is sent");
    if (!m_handle)
        m_handle = curl_easy_init();
    CURL* h = static_cast<CURL*>(m_handle);
    if (!h)
        return FtpResult::Fail(FtpFailure::Other, "libcurl could not be started");
    curl_easy_reset(h);

    char errorBuffer[CURL_ERROR_SIZE];
    errorBuffer[0] = '\0';
    m_replies.clear();
    m_seenFingerprint.clear();
    HostKeyCheck hostKeyCheck { &m_settings.TrustedHostKey, &m_seenFingerprint };
    const SList quote(request.quote);
    const SList postquote(request.postquote);
    Sink sink { request.sink, request.sinkLimit };
    SinkTarget sinkTarget { request.stream, h, request.sinkLimit };
    SourceOrigin sourceOrigin { request.upload, m_settings.Limits.MaxFileBytes };

    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // Without a user name libcurl logs in as "anonymous".
    if (!m_settings.User.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, m_settings.User.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, m_settings.Password.c_str());
    }
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, m_settings.ConnectTimeout);
    // A transfer slower than StallBytes per StallSeconds on average (over
    // StallSeconds) has stalled.
    const long stallSeconds = std::max(1L, m_settings.Limits.StallSeconds);
    const long stallRate = std::max(1L, (m_settings.Limits.StallBytes + stallSeconds - 1) / stallSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, stallRate);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, m_settings.IdleTimeout);
    if (m_progress) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, ReportProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &m_progress);
    }
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, CollectReply);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &m_replies);
    if (IsSftp()) {
        long auth = CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
        if (!m_settings.KeyFile.empty()) {
            auth |= CURLSSH_AUTH_PUBLICKEY;
            curl_easy_setopt(h, CURLOPT_SSH_PRIVATE_KEYFILE, m_settings.KeyFile.c_str());
            curl_easy_setopt(h, CURLOPT_KEYPASSWD, m_settings.Password.c_str());
        }
        curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES, auth);
        curl_easy_setopt(h, CURLOPT_SSH_HOSTKEYFUNCTION, CheckHostKey);
        curl_easy_setopt(h, CURLOPT_SSH_HOSTKEYDATA, &hostKeyCheck);
    } else {
        curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        if (!m_settings.Passive)
            curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
        if (m_settings.Protocol == SiteProtocol::Ftps) {
            curl_easy_setopt(h, CURLOPT_USE_SSL,
                static_cast<long>(m_settings.ProtectData ? CURLUSESSL_ALL : CURLUSESSL_CONTROL));
            curl_easy_setopt(h, CURLOPT_SSLVERSION,
                static_cast<long>(CURL_SSLVERSION_TLSv1_2) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
            curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, SslContext);
            if (!m_settings.TrustedCertificate.empty()) {
                // The key the user trusted replaces the authorities' word.
                curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
                curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
                curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, m_settings.TrustedCertificate.c_str());
            }
        }
    }
    if (quote.get())
        curl_easy_setopt(h, CURLOPT_QUOTE, quote.get());
    if (postquote.get())
        curl_easy_setopt(h, CURLOPT_POSTQUOTE, postquote.get());
    if (request.stream) {
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToSink);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &sinkTarget);
        curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kDownloadBufferSize);
    } else if (request.sink) {
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, AppendTo);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    } else {
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Discard);
    }
    if (request.upload) {
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadFromSource);
        curl_easy_setopt(h, CURLOPT_READDATA, &sourceOrigin);
        curl_easy_setopt(h, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
        if (const int64_t size = request.upload->Size(); size >= 0)
            curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    }
    if (request.nobody)
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    if (request.stamp) {
        *request.stamp = {};
        curl_easy_setopt(h, CURLOPT_FILETIME, 1L);
    }
    if (std::getenv("PAGEWICK_CURL_VERBOSE")) {
        curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, DebugLog);
        curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    }

    t_seenPin = &m_seenFingerprint;
    if (!m_multi)
        m_multi = curl_multi_init();
    const CURLcode rc = m_multi ? PerformOn(static_cast<CURLM*>(m_multi), h) : CURLE_FAILED_INIT;
    t_seenPin = nullptr;
    if (rc == CURLE_OK) {
        if (request.stamp) {
            curl_off_t modified = -1;
            curl_off_t size = -1;
            if (curl_easy_getinfo(h, CURLINFO_FILETIME_T, &modified) == CURLE_OK)
                request.stamp->Modified = modified;
            if (curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK)
                request.stamp->Size = size;
        }
        return FtpResult::Ok();
    }
    // The sink or the source stopped the transfer: theirs is the error.
    if (sinkTarget.failed)
        return FtpResult::Fail(FtpFailure::Other, request.stream->Error());
    if (sourceOrigin.failed)
        return FtpResult::Fail(FtpFailure::Other, request.upload->Error());

    if (sink.tooLarge || sinkTarget.tooLarge) {
        // libcurl drops the connection after an aborted download.
        m_connected = false;
        return FtpResult::Fail(FtpFailure::Other,
            "the " + std::string(request.sinkWhat) + " is larger than " + LimitText(request.sinkLimit)
                + ", the most that is read");
    }
    if (sourceOrigin.tooLarge)
        return FtpResult::Fail(FtpFailure::Other,
            "the file is larger than " + LimitText(m_settings.Limits.MaxFileBytes) + ", the most that is sent");
    std::string error = rc == CURLE_ABORTED_BY_CALLBACK ? std::string("transfer cancelled")
        : errorBuffer[0]                                ? errorBuffer
                                                        : curl_easy_strerror(rc);
    if (rc == CURLE_OPERATION_TIMEDOUT && error.rfind("Operation too slow", 0) == 0)
        error = "the transfer stalled: less than " + std::to_string(m_settings.Limits.StallBytes) + " bytes in "
            + std::to_string(stallSeconds) + " s";
    const std::string reply = LastErrorReply(m_replies);
    if (!reply.empty() && error.find(reply) == std::string::npos)
        error += " (" + reply + ")";

    FtpFailure failure = FtpFailure::Other;
    if (rc == CURLE_LOGIN_DENIED)
        failure = FtpFailure::LoginDenied;
    else if ((rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_PINNEDPUBKEYNOTMATCH)
        && !m_seenFingerprint.empty())
        failure = FtpFailure::UntrustedPeer;
    else if (IsConnectionLost(rc))
        failure = FtpFailure::ConnectionLost;
    else if (IsRefusal(rc))
        failure = FtpFailure::Refused;
    FtpResult result = FtpResult::Fail(failure, error);
    if (failure == FtpFailure::UntrustedPeer) {
        result.Fingerprint = m_seenFingerprint;
        const std::string& trusted = IsSftp() ? m_settings.TrustedHostKey : m_settings.TrustedCertificate;
        result.FingerprintChanged = !trusted.empty() && trusted != m_seenFingerprint;
    }
    result.TimedOut = rc == CURLE_OPERATION_TIMEDOUT;
    if (failure == FtpFailure::ConnectionLost)
        m_connected = false;
    return result;
}

FtpResult CurlFtpClient::Connect()
{
    Request request;
    request.nobody = true;
    if (IsSftp()) {
        // "/~/" is the login folder (the home), which "pwd" then names.
        request.url = BaseUrl() + "~/";
        request.quote = { "pwd" };
    } else {
        request.url = BaseUrl(); // the login folder
        request.postquote = { "PWD" };
    }
    FtpResult result = Perform(request);
    if (!result)
        return result;
    std::string home;
    if (!FolderOfReply(m_replies, home) || home.empty())
        home = "/";
    if (HoldsControl(home))
        return ControlInFolder();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    m_home = home;
    m_current = home;
    m_connected = true;
    return result;
}

FtpResult CurlFtpClient::ChangeDir(const std::string& path)
{
    const std::string target = Absolute(path);
    Request request;
    request.url = UrlOf(target, true);
    std::string listing;
    if (IsSftp()) {
        // Listing the folder proves that it is there; the listing is kept for
        // the List that usually follows.
        request.sink = &listing;
        request.sinkLimit = m_settings.Limits.MaxListingBytes;
        request.sinkWhat = "folder listing";
    } else {
        request.nobody = true;
        request.postquote = { "PWD" };
    }
    FtpResult result = Perform(request);
    if (!result)
        return result;
    std::string folder;
    if (!IsSftp() && FolderOfReply(m_replies, folder) && HoldsControl(folder))
        return ControlInFolder();
    m_current = !IsSftp() && !folder.empty() ? folder : target;
    m_folderListing = std::move(listing);
    m_hasFolderListing = IsSftp();
    return result;
}

FtpResult CurlFtpClient::CurrentDir(std::string& path)
{
    if (m_current.empty())
        return FtpResult::Fail(FtpFailure::Other, "not connected");
    path = m_current;
    return {};
}

FtpResult CurlFtpClient::List(std::string& listing)
{
    listing.clear();
    FtpResult result;
    if (m_hasFolderListing) {
        listing = std::move(m_folderListing);
        m_hasFolderListing = false;
    } else {
        Request request;
        request.url = UrlOf(m_current, true);
        request.sink = &listing;
        request.sinkLimit = m_settings.Limits.MaxListingBytes;
        request.sinkWhat = "folder listing";
        result = Perform(request);
    }
    if (result && IsSftp()) {
        // The SFTP listing names "." and ".."; an FTP LIST does not.
        std::string kept;
        size_t start = 0;
        while (start < listing.size()) {
            size_t end = listing.find('\n', start);
            end = end == std::string::npos ? listing.size() : end + 1;
            std::string_view line(listing.data() + start, end - start);
            std::string_view bare = line;
            while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
                bare.remove_suffix(1);
            const bool dots = !bare.empty() && bare[0] == 'd' && (bare.ends_with(" .") || bare.ends_with(" .."));
            if (!dots)
                kept.append(line);
            start = end;
        }
        listing = std::move(kept);
    }
    return result;
}

FtpResult CurlFtpClient::Retrieve(const std::string& path, TransferBuffer& buffer)
{
    BufferSink sink(buffer);
    return Retrieve(path, sink);
}

FtpResult CurlFtpClient::Store(const std::string& path, const TransferBuffer& buffer)
{
    BufferSource source(buffer);
    return Store(path, source);
}

FtpResult CurlFtpClient::Retrieve(const std::string& path, TransferSink& sink)
{
    return RetrieveInto(path, sink, nullptr);
}

FtpResult CurlFtpClient::RetrieveInto(const std::string& path, TransferSink& sink, FileStamp* stamp)
{
    Request request;
    request.url = UrlOf(Absolute(path), false);
    request.stream = &sink;
    request.sinkLimit = m_settings.Limits.MaxFileBytes;
    request.sinkWhat = "file";
    request.stamp = stamp;
    return Perform(request);
}

FtpResult CurlFtpClient::Stamp(const std::string& path, FileStamp& stamp)
{
    Request request;
    request.url = UrlOf(Absolute(path), false);
    request.nobody = true;
    request.stamp = &stamp;
    FtpResult result = Perform(request);
    if (result && stamp.Modified < 0)
        return FtpResult::Fail(FtpFailure::Refused, "the server tells no file times");
    return result;
}

FtpResult CurlFtpClient::RetrieveStamped(const std::string& path, TransferBuffer& buffer, FileStamp& stamp)
{
    BufferSink sink(buffer);
    return RetrieveInto(path, sink, &stamp);
}

FtpResult CurlFtpClient::Store(const std::string& path, TransferSource& source)
{
    Request request;
    request.url = UrlOf(Absolute(path), false);
    request.upload = &source;
    return Perform(request);
}

FtpResult CurlFtpClient::Rename(const std::string& from, const std::string& to)
{
    const std::string source = Absolute(from);
    const std::string target = Absolute(to);
    Request request;
    request.url = UrlOf(ParentOf(source), true);
    request.nobody = true;
    if (!IsSftp()) {
        request.postquote = { "RNFR " + source, "RNTO " + target };
        return Perform(request);
    }
    // OpenSSH refuses to rename over an existing file. The refusal is
    // reported as it is: removing the target first would leave no copy of it
    // if the session broke before the rename (StoreReplacing moves it aside).
    request.quote = { "rename " + QuotedArgument(source) + " " + QuotedArgument(target) };
    return Perform(request);
}

FtpResult CurlFtpClient::Delete(const std::string& path)
{
    const std::string target = Absolute(path);
    Request request;
    request.url = UrlOf(ParentOf(target), true);
    request.nobody = true;
    if (IsSftp())
        request.quote = { "rm " + QuotedArgument(target) };
    else
        request.postquote = { "DELE " + target };
    return Perform(request);
}

FtpResult CurlFtpClient::SetMode(const std::string& path, unsigned mode)
{
    const std::string target = Absolute(path);
    char octal[8];
    std::snprintf(octal, sizeof octal, "%03o", mode & 07777);
    Request request;
    request.url = UrlOf(ParentOf(target), true);
    request.nobody = true;
    if (IsSftp())
        request.quote = { std::string("chmod ") + octal + " " + QuotedArgument(target) };
    else
        request.postquote = { std::string("SITE CHMOD ") + octal + " " + target };
    return Perform(request);
}

void CurlFtpClient::Quit()
{
    // Cleaning up the multi handle, which keeps the connection, says QUIT
    // (FTP) or closes the SSH session.
    if (m_multi)
        curl_multi_cleanup(static_cast<CURLM*>(m_multi));
    m_multi = nullptr;
    if (m_handle)
        curl_easy_cleanup(static_cast<CURL*>(m_handle));
    m_handle = nullptr;
    m_connected = false;
}

FtpClientFactory CurlFtpClientFactory()
{
    return [](const FtpClientSettings& settings) -> std::unique_ptr<FtpClient> {
        return std::make_unique<CurlFtpClient>(settings);
    };
}

} // namespace pw::net
