// Streaming transfers against real servers: the sink hears the file's size
// before its bytes, bytes pass in pieces, and a failing sink or source stops
// the transfer with its own error.
#include "base/files.h"
#include "cli/cli.h"
#include "net/curlftpclient.h"
#include "net/netfixture.h"
#include "net/servers.h"
#include "settings/settingsfile.h"
#include "sites/setup.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <streambuf>

namespace pw::net {
namespace {

using test::TempDir;

// Bytes that show a piece lost, doubled or out of order.
std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    return bytes;
}

class RecordingSink : public TransferSink {
public:
    void ExpectSize(uint64_t size) override
    {
        if (writes == 0)
            expectedBeforeBytes = static_cast<int64_t>(size);
    }
    bool Write(std::string_view data) override
    {
        ++writes;
        bytes.append(data);
        return failAfter < 0 || static_cast<int64_t>(bytes.size()) < failAfter;
    }
    std::string Error() const override { return "sink refused"; }

    int64_t expectedBeforeBytes = -1;
    int writes = 0;
    std::string bytes;
    int64_t failAfter = -1;
};

// A source of known bytes that can fail after some of them, and that says
// its size only when asked to.
class PatternSource : public TransferSource {
public:
    PatternSource(std::string bytes, bool sized)
        : m_bytes(std::move(bytes))
        , m_sized(sized)
    {
    }
    int64_t Size() const override { return m_sized ? static_cast<int64_t>(m_bytes.size()) : -1; }
    bool Read(char* buffer, size_t capacity, size_t& count) override
    {
        if (failAt >= 0 && m_position >= static_cast<size_t>(failAt))
            return false;
        count = std::min(capacity, m_bytes.size() - m_position);
        std::memcpy(buffer, m_bytes.data() + m_position, count);
        m_position += count;
        return true;
    }
    std::string Error() const override { return "source broke"; }

    int64_t failAt = -1;

private:
    std::string m_bytes;
    bool m_sized;
    size_t m_position = 0;
};

void RoundTrip(CurlFtpClient& client, const std::string& folder)
{
    const std::string bytes = Pattern((5u << 20) + 3);
    for (const bool sized : { true, false }) {
        PatternSource source(bytes, sized);
        ASSERT_TRUE(client.Store(folder + "/big.bin", source)) << sized;
        RecordingSink sink;
        ASSERT_TRUE(client.Retrieve(folder + "/big.bin", sink));
        EXPECT_EQ(sink.expectedBeforeBytes, static_cast<int64_t>(bytes.size()));
        EXPECT_GT(sink.writes, 1);
        EXPECT_TRUE(sink.bytes == bytes) << sink.bytes.size();
    }
    // The buffer form reserves the reported size once.
    TransferBuffer buffer;
    ASSERT_TRUE(client.Retrieve(folder + "/big.bin", buffer));
    EXPECT_TRUE(buffer.Bytes == bytes);
    EXPECT_EQ(buffer.Bytes.capacity(), bytes.size());

    RecordingSink refusing;
    refusing.failAfter = 1 << 20;
    const FtpResult stopped = client.Retrieve(folder + "/big.bin", refusing);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(stopped.error, "sink refused");
    EXPECT_LT(refusing.bytes.size(), bytes.size());

    PatternSource broken(bytes, true);
    broken.failAt = 1 << 20;
    const FtpResult aborted = client.Store(folder + "/broken.bin", broken);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(aborted.error, "source broke");
    // The session goes on.
    RecordingSink again;
    ASSERT_TRUE(client.Retrieve(folder + "/big.bin", again));
    EXPECT_TRUE(again.bytes == bytes);
}

TEST(StreamingTransfers, Ftp)
{
    TempDir dir;
    test::FillHome(dir.path());
    test::FtpServer server;
    ASSERT_TRUE(server.Start(dir.path())) << "pyftpdlib did not start";
    FtpClientSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.port;
    settings.User = server.user;
    settings.Password = server.password;
    CurlFtpClient client(settings);
    ASSERT_TRUE(client.Connect());
    RoundTrip(client, "/www");
}

TEST(StreamingTransfers, Sftp)
{
    TempDir dir;
    test::FillHome(dir.path() + "/home");
    std::filesystem::create_directory(dir.path() + "/sshd");
    test::SshServer sshd;
    if (!sshd.Start(dir.path() + "/sshd"))
        GTEST_SKIP() << "sshd could not start: " << sshd.error;
    FtpClientSettings settings;
    settings.Protocol = SiteProtocol::Sftp;
    settings.Host = "127.0.0.1";
    settings.Port = sshd.port;
    settings.User = sshd.user;
    settings.KeyFile = sshd.clientKey;
    settings.TrustedHostKey = sshd.hostKeySha256;
    CurlFtpClient client(settings);
    ASSERT_TRUE(client.Connect());
    RoundTrip(client, dir.path() + "/home/www");
}

// The size limits hold for streams as for buffers: a download stops once
// its bytes pass the limit (a reported size beyond it is not announced to the
// sink), an upload of a known size beyond it is not started, and one of
// unknown size stops once it passes the limit.
TEST(StreamingTransfers, LimitsHoldForStreams)
{
    TempDir dir;
    test::FillHome(dir.path());
    const std::string bytes = Pattern((3u << 20) + 1);
    ASSERT_TRUE(WriteFileAtomically(dir.path() + "/www/big.bin", bytes).ok);
    test::FtpServer server;
    ASSERT_TRUE(server.Start(dir.path())) << "pyftpdlib did not start";
    FtpClientSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.port;
    settings.User = server.user;
    settings.Password = server.password;
    settings.Limits.MaxFileBytes = size_t { 1 } << 20;
    CurlFtpClient client(settings);
    ASSERT_TRUE(client.Connect());

    RecordingSink sink;
    const FtpResult fetched = client.Retrieve("/www/big.bin", sink);
    EXPECT_FALSE(fetched);
    EXPECT_EQ(fetched.error, "the file is larger than 1 MiB, the most that is read");
    EXPECT_LE(sink.bytes.size(), size_t { 1 } << 20);
    EXPECT_EQ(sink.expectedBeforeBytes, -1);

    for (const bool sized : { true, false }) {
        ASSERT_TRUE(client.Connect());
        PatternSource source(bytes, sized);
        const FtpResult stored = client.Store("/www/sent.bin", source);
        EXPECT_FALSE(stored) << sized;
        EXPECT_EQ(stored.error, "the file is larger than 1 MiB, the most that is sent") << sized;
        std::string sent;
        if (ReadWholeFile(dir.path() + "/www/sent.bin", sent).ok) {
            EXPECT_LE(sent.size(), size_t { 1 } << 20) << sized;
        }
        if (sized) {
            EXPECT_FALSE(std::filesystem::exists(dir.path() + "/www/sent.bin"));
        }
    }

    // Within the limit the session goes on.
    RecordingSink small;
    ASSERT_TRUE(client.Retrieve("/www/a/b/c/deep.html", small));
    EXPECT_EQ(small.bytes, "deep\n");
}

// Standard input that cannot seek, as a pipe.
class PipeBuffer : public std::streambuf {
public:
    explicit PipeBuffer(const std::string& bytes)
        : m_bytes(bytes)
    {
    }

protected:
    int_type underflow() override
    {
        if (m_position >= m_bytes.size())
            return traits_type::eof();
        const size_t n = std::min<size_t>(4096, m_bytes.size() - m_position);
        std::memcpy(m_chunk, m_bytes.data() + m_position, n);
        m_position += n;
        setg(m_chunk, m_chunk, m_chunk + n);
        return traits_type::to_int_type(m_chunk[0]);
    }

private:
    const std::string& m_bytes;
    size_t m_position = 0;
    char m_chunk[4096];
};

// The settings of --dir with one FTP setup "site" for the server.
void SaveSiteSetup(const std::string& dir, const test::FtpServer& server)
{
    TIniList store;
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(std::make_unique<TSetup>());
    setups[0]->Name = "site";
    setups[0]->Host = "127.0.0.1";
    setups[0]->Port = server.port;
    setups[0]->User = server.user;
    setups[0]->Password = server.password;
    setups[0]->Kind = skFtp;
    setups[0]->IniPath = "www";
    SaveSetups(store, setups, 0);
    ASSERT_TRUE(SaveSettingsFile(store, dir, kMainSettingsFile).ok);
}

// site put sends standard input as it reads it, from a file or a pipe; where
// the server refuses the rename over the page, the page goes aside to a backup
// name and the upload into its place, so the bytes are sent only once.
TEST(StreamingTransfers, CliPutAndGetThroughARefusedRename)
{
    TempDir dir;
    const std::string home = dir.path() + "/home";
    test::FillHome(home);
    test::FtpServer server;
    server.faults = { "--refuse-rename-over" };
    ASSERT_TRUE(server.Start(home)) << "pyftpdlib did not start";
    ASSERT_NO_FATAL_FAILURE(SaveSiteSetup(dir.path(), server));

    const std::string bytes = Pattern((3u << 20) + 11);
    for (const bool pipe : { false, true }) {
        std::istringstream file(bytes);
        PipeBuffer pipeBuffer(bytes);
        std::istream piped(&pipeBuffer);
        std::ostringstream out, err;
        const int code = cli::Run(
            { "--dir", dir.path(), "site", "put", "site", "/www/index.html" }, pipe ? piped : file, out, err);
        EXPECT_EQ(code, cli::kExitOk) << err.str();
        std::string stored;
        ASSERT_TRUE(ReadWholeFile(home + "/www/index.html", stored).ok);
        EXPECT_TRUE(stored == bytes) << (pipe ? "pipe: " : "file: ") << stored.size() << " bytes";
        EXPECT_FALSE(std::filesystem::exists(home + "/www/.pagewick-upload-index.html"));
        EXPECT_FALSE(std::filesystem::exists(home + "/www/.pagewick-backup-index.html"));

        std::istringstream none;
        std::ostringstream got, gotErr;
        ASSERT_EQ(cli::Run({ "--dir", dir.path(), "site", "get", "site", "/www/index.html" }, none, got, gotErr),
            cli::kExitOk)
            << gotErr.str();
        EXPECT_TRUE(got.str() == bytes);
    }
}

// A server that refuses every rename: a streamed put leaves the page as it
// was and its bytes whole under the temporary name, and fails.
TEST(StreamingTransfers, CliPutWithoutRenamesLeavesThePageWhole)
{
    TempDir dir;
    const std::string home = dir.path() + "/home";
    test::FillHome(home);
    std::string page;
    ASSERT_TRUE(ReadWholeFile(home + "/www/index.html", page).ok);
    test::FtpServer server;
    server.permissions = "elradmwMT"; // no "f": renames are refused
    ASSERT_TRUE(server.Start(home)) << "pyftpdlib did not start";
    ASSERT_NO_FATAL_FAILURE(SaveSiteSetup(dir.path(), server));

    const std::string bytes = Pattern((1u << 20) + 5);
    PipeBuffer pipeBuffer(bytes);
    std::istream piped(&pipeBuffer);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({ "--dir", dir.path(), "site", "put", "site", "/www/index.html" }, piped, out, err),
        cli::kExitFailure);
    std::string stored;
    ASSERT_TRUE(ReadWholeFile(home + "/www/index.html", stored).ok);
    EXPECT_TRUE(stored == page) << stored.size() << " bytes";
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(home + "/www/.pagewick-upload-index.html", kept).ok);
    EXPECT_TRUE(kept == bytes) << kept.size() << " bytes";
}

} // namespace
} // namespace pw::net
