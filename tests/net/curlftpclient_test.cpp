#include "net/curlftpclient.h"
#include "net/netfixture.h"
#include "net/servers.h"
#include "sites/listing.h"
#include "support/tempdir.h"
#include "text/lines.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pw::net {
namespace {

using test::FtpServer;
using test::kSjisFolder;
using test::kSjisPage;
using test::SshServer;
using test::TempDir;

std::string FileText(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

// Names of a listing in server order.
std::vector<std::string> NamesOf(const std::string& listing)
{
    TDirNode folder;
    const std::vector<ListingProblem> problems = ParseListing(folder, SplitLines(listing), LocalNow());
    EXPECT_TRUE(problems.empty()) << ListingProblemsText(problems) << "\n" << listing;
    std::vector<std::string> names;
    for (const auto& child : *folder.Children)
        names.push_back(child->Name);
    std::sort(names.begin(), names.end());
    return names;
}

class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::FillHome(m_dir.path());
        ASSERT_TRUE(m_server.Start(m_dir.path())) << "pyftpdlib did not start";
    }
    FtpClientSettings Settings() const
    {
        FtpClientSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = m_server.port;
        settings.User = m_server.user;
        settings.Password = m_server.password;
        return settings;
    }

    TempDir m_dir;
    FtpServer m_server;
};

TEST_F(FtpClientTest, OneSessionCarriesEveryCommand)
{
    CurlFtpClient client(Settings());
    ASSERT_TRUE(client.Connect());
    EXPECT_TRUE(client.Connected());
    std::string folder;
    ASSERT_TRUE(client.CurrentDir(folder));
    EXPECT_EQ(folder, "/");

    // Relative, then absolute; the current folder is the server's answer.
    ASSERT_TRUE(client.ChangeDir("www"));
    ASSERT_TRUE(client.CurrentDir(folder));
    EXPECT_EQ(folder, "/www");
    std::string listing;
    ASSERT_TRUE(client.List(listing));
    EXPECT_EQ(NamesOf(listing),
        (std::vector<std::string> { "a", "dir with space", "index.html", "link", "my page.html", kSjisFolder }));

    TransferBuffer buffer;
    buffer.Bytes = "stale bytes that are longer than the page";
    ASSERT_TRUE(client.Retrieve("/www/index.html", buffer));
    EXPECT_EQ(buffer.Bytes, kSjisPage);

    // Names with blanks, '#' and Shift_JIS bytes (with a 0x5C trail byte).
    ASSERT_TRUE(client.ChangeDir("/www/dir with space"));
    ASSERT_TRUE(client.List(listing));
    EXPECT_EQ(NamesOf(listing), std::vector<std::string> { "a b#c.html" });
    ASSERT_TRUE(client.Retrieve("/www/dir with space/a b#c.html", buffer));
    EXPECT_EQ(buffer.Bytes, "hash\n");
    const std::string sjisPath = "/www/" + kSjisFolder + "/" + kSjisFolder + ".html";
    ASSERT_TRUE(client.Retrieve(sjisPath, buffer));
    EXPECT_EQ(buffer.Bytes, "sjis\n");

    // Store, rename over an existing file, delete.
    buffer.Bytes = "new\r\n";
    ASSERT_TRUE(client.Store("/www/new page.html", buffer));
    EXPECT_EQ(FileText(m_dir.path() + "/www/new page.html"), "new\r\n");
    ASSERT_TRUE(client.Rename("/www/new page.html", "/www/my page.html"));
    EXPECT_EQ(FileText(m_dir.path() + "/www/my page.html"), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() + "/www/new page.html"));
    buffer.Bytes = "x";
    ASSERT_TRUE(client.Store(sjisPath, buffer));
    EXPECT_EQ(FileText(m_dir.path() + sjisPath), "x");
    ASSERT_TRUE(client.Delete(sjisPath));
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() + sjisPath));

    client.Quit();
    EXPECT_FALSE(client.Connected());
    // One control connection carried it all, and it ended with QUIT.
    EXPECT_EQ(m_server.process.ReadLine(5), "CONNECT");
    EXPECT_EQ(m_server.process.ReadLine(5), "QUIT");
    EXPECT_EQ(m_server.process.ReadLine(1), "");
}

// Many small transfers on four sessions at once, as a site walk makes them:
// each data connection opens at once. libcurl's own perform loop could sit
// out its whole one-second wait between the passive-mode reply and the
// connect, on some of them: a walk of 1,000 pages then took three times as
// long as it should.
TEST_F(FtpClientTest, SmallTransfersDoNotWaitForTheirDataConnections)
{
    std::string page;
    for (int i = 0; page.size() < 20000; ++i)
        page += "<p>line " + std::to_string(i) + " of a page of about twenty kilobytes</p>\r\n";
    ASSERT_TRUE(WriteFileAtomically(m_dir.path() + "/www/big.html", page).ok);
    std::vector<std::thread> sessions;
    std::atomic<int> done = 0;
    std::mutex mutex;
    double slowest = 0;
    for (int s = 0; s < 4; ++s) {
        sessions.emplace_back([&] {
            CurlFtpClient client(Settings());
            if (!client.Connect())
                return;
            TransferBuffer buffer;
            std::string listing;
            for (int i = 0; i < 40; ++i) {
                const auto start = std::chrono::steady_clock::now();
                if (client.ChangeDir("/www") && client.List(listing) && client.Retrieve("/www/big.html", buffer)
                    && buffer.Bytes == page)
                    ++done;
                const double seconds
                    = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::lock_guard lock(mutex);
                slowest = std::max(slowest, seconds);
            }
        });
    }
    for (std::thread& session : sessions)
        session.join();
    EXPECT_EQ(done, 160);
    // A listing and a read of 20 KB from this machine take milliseconds.
    EXPECT_LT(slowest, 0.95);
}

TEST_F(FtpClientTest, ErrorsCarryTheServersReply)
{
    FtpClientSettings wrong = Settings();
    wrong.Password = "wrong";
    CurlFtpClient denied(wrong);
    const FtpResult login = denied.Connect();
    EXPECT_FALSE(login);
    EXPECT_EQ(login.failure, FtpFailure::LoginDenied);
    EXPECT_NE(login.error.find("530"), std::string::npos) << login.error;
    EXPECT_FALSE(denied.Connected());

    CurlFtpClient client(Settings());
    ASSERT_TRUE(client.Connect());
    const FtpResult missing = client.ChangeDir("/www/nowhere");
    EXPECT_EQ(missing.failure, FtpFailure::Refused);
    EXPECT_NE(missing.error.find("550"), std::string::npos) << missing.error;
    std::string folder;
    ASSERT_TRUE(client.CurrentDir(folder));
    EXPECT_EQ(folder, "/"); // unchanged
    TransferBuffer buffer;
    const FtpResult noFile = client.Retrieve("/www/none.html", buffer);
    EXPECT_FALSE(noFile);
    EXPECT_NE(noFile.error.find("550"), std::string::npos) << noFile.error;
    // The session goes on after refusals.
    ASSERT_TRUE(client.Retrieve("/www/a/b/c/deep.html", buffer));
    EXPECT_EQ(buffer.Bytes, "deep\n");
}

TEST_F(FtpClientTest, ActiveMode)
{
    FtpClientSettings settings = Settings();
    settings.Passive = false;
    CurlFtpClient client(settings);
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.ChangeDir("/www/a"));
    std::string listing;
    const FtpResult listed = client.List(listing);
    ASSERT_TRUE(listed) << listed.error;
    EXPECT_EQ(NamesOf(listing), std::vector<std::string> { "b" });
}

TEST_F(FtpClientTest, StoppedServerIsALostConnection)
{
    CurlFtpClient client(Settings());
    ASSERT_TRUE(client.Connect());
    const int port = m_server.port;
    m_server.Stop();
    std::string listing;
    const FtpResult listed = client.List(listing);
    EXPECT_EQ(listed.failure, FtpFailure::ConnectionLost) << listed.error;
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(listed.error.empty());

    // Back on the same port: a new client (as a reconnect makes) works.
    ASSERT_TRUE(m_server.Start(m_dir.path(), "", port));
    CurlFtpClient again(Settings());
    ASSERT_TRUE(again.Connect());
    ASSERT_TRUE(again.ChangeDir("/www/a"));
    ASSERT_TRUE(again.List(listing));
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(FtpClientTest, HungServerTimesOut)
{
    FtpClientSettings settings = Settings();
    settings.IdleTimeout = 2; // the window uses 30 s; libcurl's own default is 120 s
    CurlFtpClient client(settings);
    ASSERT_TRUE(client.Connect());
    m_server.process.Pause();
    std::string listing;
    const auto start = std::chrono::steady_clock::now();
    const FtpResult listed = client.List(listing);
    const double seconds = SecondsSince(start);
    m_server.process.Resume();
    EXPECT_EQ(listed.failure, FtpFailure::ConnectionLost) << listed.error;
    EXPECT_TRUE(listed.TimedOut);
    // The reply time-out, not the stall rule (30 s here) nor libcurl's default.
    EXPECT_LT(seconds, 10.0);
}

TEST_F(FtpClientTest, ListingsAndFilesBeyondTheLimitsFail)
{
    FtpClientSettings settings = Settings();
    settings.Limits.MaxListingBytes = 100; // the window allows 64 MiB
    settings.Limits.MaxFileBytes = 10; // and 512 MiB
    CurlFtpClient client(settings);
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.ChangeDir("/www"));
    std::string listing;
    const FtpResult listed = client.List(listing);
    EXPECT_FALSE(listed);
    EXPECT_EQ(listed.error, "the folder listing is larger than 100 bytes, the most that is read");
    EXPECT_LE(listing.size(), 100u);

    TransferBuffer buffer;
    const FtpResult fetched = client.Retrieve("/www/index.html", buffer);
    EXPECT_FALSE(fetched);
    EXPECT_EQ(fetched.error, "the file is larger than 10 bytes, the most that is read");
    EXPECT_LE(buffer.Bytes.size(), 10u);
    buffer.Bytes = "eleven byte";
    const FtpResult stored = client.Store("/www/eleven.html", buffer);
    EXPECT_FALSE(stored);
    EXPECT_EQ(stored.error, "the file is larger than 10 bytes, the most that is sent");
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() + "/www/eleven.html"));

    // Within the limits the session goes on.
    ASSERT_TRUE(client.Retrieve("/www/a/b/c/deep.html", buffer));
    EXPECT_EQ(buffer.Bytes, "deep\n");
    ASSERT_TRUE(client.ChangeDir("/www/a"));
    ASSERT_TRUE(client.List(listing));
    EXPECT_EQ(NamesOf(listing), std::vector<std::string> { "b" });
}

TEST_F(FtpClientTest, VerboseLogHidesThePassword)
{
    TempDir logDir;
    const std::string logPath = logDir.file("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(log, 0);
    ::dup2(log, STDERR_FILENO);
    ::setenv("PAGEWICK_CURL_VERBOSE", "1", 1);
    CurlFtpClient client(Settings());
    const FtpResult connected = client.Connect();
    ::unsetenv("PAGEWICK_CURL_VERBOSE");
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(log);
    ASSERT_TRUE(connected) << connected.error;
    const std::string text = FileText(logPath);
    EXPECT_NE(text.find("> USER " + m_server.user), std::string::npos) << text;
    EXPECT_NE(text.find("> PASS ****"), std::string::npos) << text;
    EXPECT_EQ(text.find(m_server.password), std::string::npos) << text;
}

TEST_F(FtpClientTest, HostNamesThatCannotBeAddressesAreRefused)
{
    for (const char* host : { "127.0.0.1/x", "a@127.0.0.1", "127.0.0.1#", "127.0.0.1?", "127.0.0.1 ", "" }) {
        FtpClientSettings settings = Settings();
        settings.Host = host;
        CurlFtpClient client(settings);
        const FtpResult result = client.Connect();
        EXPECT_EQ(result.failure, FtpFailure::Other) << host;
        EXPECT_NE(result.error.find("cannot be used"), std::string::npos) << result.error;
    }
    // Nothing reached the server.
    EXPECT_EQ(m_server.process.ReadLine(1), "");
}

TEST(FtpClientIpv6, AnAddressInBracketsOrBare)
{
    TempDir dir;
    test::FillHome(dir.path());
    FtpServer server;
    server.address = "::1";
    if (!server.Start(dir.path()))
        GTEST_SKIP() << "pyftpdlib could not listen on ::1";
    for (const char* host : { "[::1]", "::1" }) {
        FtpClientSettings settings;
        settings.Host = host;
        settings.Port = server.port;
        settings.User = server.user;
        settings.Password = server.password;
        CurlFtpClient client(settings);
        const FtpResult connected = client.Connect();
        ASSERT_TRUE(connected) << host << ": " << connected.error;
        TransferBuffer buffer;
        ASSERT_TRUE(client.Retrieve("/www/a/b/c/deep.html", buffer)) << host;
        EXPECT_EQ(buffer.Bytes, "deep\n");
    }
}

// Servers that stop moving data in the middle of a transfer, or trickle it:
// the transfer fails after the stall time instead of waiting for them.
TEST(FtpClientStalls, MidTransferStallsAndTricklesFail)
{
    struct Case {
        const char* what;
        std::vector<std::string> faults;
        bool upload;
    } cases[] = {
        { "download stops after 64 KiB for 20 s", { "--stall-retr-after", "65536", "--stall-for", "20" }, false },
        { "upload stops being read after 64 KiB for 20 s", { "--stall-stor-after", "65536", "--stall-for", "20" },
            true },
        { "download trickles at 100 bytes a second", { "--trickle-retr", "100" }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        test::FillHome(dir.path());
        // 4000 bytes take 40 s at 100 bytes a second.
        const std::string big
            = c.faults[0] == "--trickle-retr" ? std::string(4000, 'x') : std::string(1 << 20, 'x');
        ASSERT_TRUE(WriteFileAtomically(dir.path() + "/www/big.html", big).ok);
        FtpServer server;
        server.faults = c.faults;
        ASSERT_TRUE(server.Start(dir.path())) << "pyftpdlib did not start";

        FtpClientSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = server.port;
        settings.User = server.user;
        settings.Password = server.password;
        settings.Limits.StallSeconds = 2; // the window: 1 KiB in 30 s
        settings.Limits.StallBytes = 1024;
        CurlFtpClient client(settings);
        ASSERT_TRUE(client.Connect());
        TransferBuffer buffer;
        // More than the socket buffers of both sides hold.
        if (c.upload)
            buffer.Bytes.assign(size_t { 48 } << 20, 'y');
        const auto start = std::chrono::steady_clock::now();
        const FtpResult result
            = c.upload ? client.Store("/www/upload.html", buffer) : client.Retrieve("/www/big.html", buffer);
        const double seconds = SecondsSince(start);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.failure, FtpFailure::ConnectionLost) << result.error;
        EXPECT_TRUE(result.TimedOut) << result.error;
        EXPECT_LT(seconds, 12.0);
        EXPECT_GE(seconds, 1.5);
        EXPECT_EQ(result.error, "the transfer stalled: less than 1024 bytes in 2 s");
    }
}

TEST(FtpClientTimeouts, SilentServerFailsTheConnect)
{
    // Accepts connections (the kernel does) but never greets.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    FtpClientSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = ntohs(address.sin_port);
    settings.User = "u";
    settings.ConnectTimeout = 2; // the window uses 15 s and 30 s
    settings.IdleTimeout = 2;
    CurlFtpClient client(settings);
    const FtpResult result = client.Connect();
    ::close(listener);
    EXPECT_EQ(result.failure, FtpFailure::ConnectionLost) << result.error;
    EXPECT_FALSE(result.error.empty());
    EXPECT_FALSE(client.Connected());
}

TEST(FtpsClient, CertificateTrustedByItsPublicKey)
{
    TempDir dir;
    test::FillHome(dir.path() + "/home");
    const std::string pem = dir.file("server.pem");
    const std::string pin = test::MakeCertificate(pem);
    ASSERT_FALSE(pin.empty()) << "no certificate could be made";
    FtpServer server;
    ASSERT_TRUE(server.Start(dir.path() + "/home", pem)) << "pyftpdlib (TLS) did not start";

    FtpClientSettings settings;
    settings.Protocol = SiteProtocol::Ftps;
    settings.Host = "127.0.0.1";
    settings.Port = server.port;
    settings.User = server.user;
    settings.Password = server.password;
    // pyftpdlib drops TLS data connections; the control connection carries TLS here.
    settings.ProtectData = false;

    CurlFtpClient untrusted(settings);
    const FtpResult refused = untrusted.Connect();
    ASSERT_EQ(refused.failure, FtpFailure::UntrustedPeer) << refused.error;
    EXPECT_EQ(refused.Fingerprint.rfind("sha256//", 0), 0u);
    EXPECT_FALSE(refused.FingerprintChanged);
    EXPECT_EQ(refused.Fingerprint, pin);

    settings.TrustedCertificate = refused.Fingerprint;
    CurlFtpClient trusted(settings);
    ASSERT_TRUE(trusted.Connect());
    // Sessions are capped at TLS 1.2 (the untrusted attempt came first).
    std::vector<std::string> events;
    for (std::string line = server.process.ReadLine(2); !line.empty(); line = server.process.ReadLine(1))
        events.push_back(line);
    EXPECT_EQ(events, (std::vector<std::string> { "CONNECT", "CONNECT", "TLS TLSv1.2" }));
    ASSERT_TRUE(trusted.ChangeDir("/www"));
    std::string listing;
    ASSERT_TRUE(trusted.List(listing));
    EXPECT_EQ(NamesOf(listing).size(), 6u);
    TransferBuffer buffer;
    buffer.Bytes = "over TLS\r\n";
    ASSERT_TRUE(trusted.Store("/www/tls.html", buffer));
    ASSERT_TRUE(trusted.Retrieve("/www/tls.html", buffer));
    EXPECT_EQ(buffer.Bytes, "over TLS\r\n");

    settings.TrustedCertificate = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    CurlFtpClient changed(settings);
    const FtpResult mismatch = changed.Connect();
    EXPECT_EQ(mismatch.failure, FtpFailure::UntrustedPeer) << mismatch.error;
    EXPECT_TRUE(mismatch.FingerprintChanged);
    EXPECT_EQ(mismatch.Fingerprint, refused.Fingerprint);
}

class SftpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::FillHome(m_dir.path() + "/home");
        std::filesystem::create_directory(m_dir.path() + "/sshd");
        if (!m_sshd.Start(m_dir.path() + "/sshd"))
            GTEST_SKIP() << "sshd could not start: " << m_sshd.error;
    }
    FtpClientSettings Settings() const
    {
        FtpClientSettings settings;
        settings.Protocol = SiteProtocol::Sftp;
        settings.Host = "127.0.0.1";
        settings.Port = m_sshd.port;
        settings.User = m_sshd.user;
        settings.KeyFile = m_sshd.clientKey;
        settings.TrustedHostKey = m_sshd.hostKeySha256;
        return settings;
    }
    std::string Home() const { return m_dir.path() + "/home"; }

    TempDir m_dir;
    SshServer m_sshd;
};

TEST_F(SftpClientTest, HostKeyMustBeTrusted)
{
    FtpClientSettings settings = Settings();
    settings.TrustedHostKey.clear();
    CurlFtpClient unknown(settings);
    const FtpResult first = unknown.Connect();
    ASSERT_EQ(first.failure, FtpFailure::UntrustedPeer) << first.error;
    EXPECT_EQ(first.Fingerprint, m_sshd.hostKeySha256);
    EXPECT_FALSE(first.FingerprintChanged);

    settings.TrustedHostKey = "0000000000000000000000000000000000000000000";
    CurlFtpClient changed(settings);
    const FtpResult second = changed.Connect();
    EXPECT_EQ(second.failure, FtpFailure::UntrustedPeer);
    EXPECT_TRUE(second.FingerprintChanged);

    CurlFtpClient trusted(Settings());
    ASSERT_TRUE(trusted.Connect());
}

TEST_F(SftpClientTest, OneSessionCarriesEveryCommand)
{
    CurlFtpClient client(Settings());
    const FtpResult connected = client.Connect();
    ASSERT_TRUE(connected) << connected.error;
    std::string folder;
    ASSERT_TRUE(client.CurrentDir(folder));
    EXPECT_FALSE(folder.empty());

    ASSERT_TRUE(client.ChangeDir(Home() + "/www"));
    ASSERT_TRUE(client.CurrentDir(folder));
    EXPECT_EQ(folder, Home() + "/www");
    std::string listing;
    ASSERT_TRUE(client.List(listing));
    EXPECT_EQ(NamesOf(listing),
        (std::vector<std::string> { "a", "dir with space", "index.html", "link", "my page.html", kSjisFolder }));
    EXPECT_FALSE(client.ChangeDir(Home() + "/www/nowhere"));

    TransferBuffer buffer;
    ASSERT_TRUE(client.Retrieve(Home() + "/www/index.html", buffer));
    EXPECT_EQ(buffer.Bytes, kSjisPage);
    const std::string sjisPath = Home() + "/www/" + kSjisFolder + "/" + kSjisFolder + ".html";
    ASSERT_TRUE(client.Retrieve(sjisPath, buffer));
    EXPECT_EQ(buffer.Bytes, "sjis\n");

    buffer.Bytes = "new\r\n";
    ASSERT_TRUE(client.Store(Home() + "/www/new \"page\".html", buffer));
    // OpenSSH renames only to a free name, and leaves both files when refusing.
    const FtpResult over = client.Rename(Home() + "/www/new \"page\".html", Home() + "/www/my page.html");
    EXPECT_EQ(over.failure, FtpFailure::Refused) << over.error;
    EXPECT_EQ(FileText(Home() + "/www/my page.html"), "blank\n");
    const FtpResult renamed = client.Rename(Home() + "/www/new \"page\".html", Home() + "/www/renamed.html");
    ASSERT_TRUE(renamed) << renamed.error;
    EXPECT_EQ(FileText(Home() + "/www/renamed.html"), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/new \"page\".html"));
    ASSERT_TRUE(client.Delete(sjisPath));
    EXPECT_FALSE(std::filesystem::exists(sjisPath));
}

TEST_F(SftpClientTest, StartsInTheHome)
{
    CurlFtpClient client(Settings());
    const FtpResult connected = client.Connect();
    ASSERT_TRUE(connected) << connected.error;
    std::string folder;
    ASSERT_TRUE(client.CurrentDir(folder));
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(folder, std::filesystem::canonical(account->pw_dir).string());
}

TEST_F(SftpClientTest, WrongKeyIsRefused)
{
    FtpClientSettings settings = Settings();
    settings.KeyFile = m_dir.path() + "/sshd/host_key"; // not an authorised key
    CurlFtpClient client(settings);
    const FtpResult result = client.Connect();
    EXPECT_EQ(result.failure, FtpFailure::LoginDenied) << result.error;
}

} // namespace
} // namespace pw::net
