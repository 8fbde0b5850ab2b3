// Passwords kept in a real Secret Service (GNOME Keyring on a private session
// bus): moving them both ways, connecting with them, renames, and what happens
// without a bus or when the keyring dies.

#include "base/files.h"
#include "cli/secrets/keyringsession.h"
#include "net/servers.h"
#include "networks/network.h"
#include "secrets/keyringstore.h"
#include "settings/inilist.h"
#include "settings/secretstore.h"
#include "settings/settingsfile.h"
#include "shell/passwords.h"
#include "sites/nodes.h"
#include "sites/setup.h"
#include "support/command.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pw {
namespace {

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// pagewick-cli as its own program, in the environment of the test.
CliRun Cli(const std::string& dir, const std::vector<std::string>& args, const std::string& input = "")
{
    const std::string in = dir + "/../stdin";
    const std::string err = dir + "/../stderr";
    WriteFileAtomically(in, input);
    std::string command = std::string(PAGEWICK_CLI) + " --dir " + Quoted(dir);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    command += " < " + Quoted(in) + " 2> " + Quoted(err);
    const test::CommandOutcome outcome = test::RunShell(command);
    CliRun run;
    run.code = WIFEXITED(outcome.status) ? WEXITSTATUS(outcome.status) : -1;
    run.out = outcome.out;
    run.err = ReadBytes(err);
    return run;
}

std::unique_ptr<TSetup> FtpSetup(const std::string& name, const std::string& user, const std::string& password,
    int port = 21, SiteProtocol protocol = SiteProtocol::Ftp)
{
    auto setup = std::make_unique<TSetup>();
    setup->Name = name;
    setup->Host = "127.0.0.1";
    setup->User = user;
    setup->Password = password;
    setup->Port = port;
    setup->Protocol = protocol;
    setup->Kind = skFtp;
    setup->IniPath = "/";
    return setup;
}

// Runs `work` in a child process and gives its exit code (-1 when it did not
// exit). The core's own keyring calls run there: libsecret keeps its bus
// connection for the life of a process, and each case has a bus of its own.
// `work` reports by its code and by files; it must not use the test macros.
int InChild(const std::function<int()>& work)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        const int code = work();
        std::fflush(nullptr);
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The real keyring with faults it cannot be made to show by itself: a store
// that answers success but keeps nothing, and a process that dies right
// after it has written and read back its items.
class FaultyKeyring : public SecretStore {
public:
    static constexpr int kDied = 42;

    int loseStore = 0; // the store of this number (from 1) keeps nothing
    int dieAfterStores = 0; // the process ends after this store is read back

    std::string_view Kind() const override { return m_real->Kind(); }
    Status Check() override { return m_real->Check(); }
    Status Lookup(const SecretRef& ref, std::optional<SecureString>& secret) override
    {
        Status looked = m_real->Lookup(ref, secret);
        if (m_stores == dieAfterStores && m_readBackDue)
            ::_exit(kDied);
        m_readBackDue = false;
        return looked;
    }
    Status Store(const SecretRef& ref, std::string_view secret) override
    {
        ++m_stores;
        m_readBackDue = true;
        if (m_stores == loseStore)
            return Status::Ok();
        return m_real->Store(ref, secret);
    }
    Status Clear(const SecretRef& ref) override { return m_real->Clear(ref); }

private:
    std::unique_ptr<SecretStore> m_real = MakeKeyringStore();
    int m_stores = 0;
    bool m_readBackDue = false;
};

// How many items of the application the keyring holds.
size_t KeyringItemCount()
{
    const std::string items = test::KeyringItems();
    size_t count = 0;
    for (size_t at = 0; (at = items.find("\n[/", at)) != std::string::npos; ++at)
        ++count;
    return count + (items.starts_with("[/") ? 1 : 0);
}

class SecretsCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(Config());
        if (!m_session.Start(m_dir.path() + "/session"))
            GTEST_SKIP() << "no keyring session: " << m_session.error;
    }

    std::string Config() const { return m_dir.path() + "/config"; }
    std::string MainFile() const { return Config() + "/Pagewick.ini"; }
    CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") const
    {
        return pw::Cli(Config(), args, input);
    }

    // Pagewick.ini with these setups and one network holding one login.
    void WriteSettings(std::vector<std::unique_ptr<TSetup>>& setups, const std::string& loginPassword = "net pw")
    {
        TIniList store;
        SaveSetups(store, setups, 0);
        NetworkList networks;
        auto network = std::make_unique<TNetwork>();
        network->Name = "Alpha";
        network->LoginURL = "https://alpha.example/login";
        network->SetLogin("site1", "alpha-user", loginPassword);
        networks.push_back(std::move(network));
        SaveNetworks(store, networks);
        ASSERT_TRUE(SaveSettingsFile(store, Config(), kMainSettingsFile).ok);
    }

    void LoadMain(TIniList& store) const { ASSERT_TRUE(LoadSettingsFile(store, Config(), kMainSettingsFile).ok); }

    // Pagewick.ini keeps the passwords in the file, each record's own, and
    // gives every record that has one a keyring id.
    void ExpectPasswordsInFileWithIds(const std::vector<std::string>& setupPasswords) const
    {
        TIniList store;
        LoadMain(store);
        EXPECT_EQ(ReadPasswordPlace(store), PasswordPlace::Unset);
        const SetupList loaded = LoadSetups(store);
        ASSERT_EQ(loaded.Setups.size(), setupPasswords.size());
        for (size_t i = 0; i < setupPasswords.size(); ++i) {
            EXPECT_EQ(loaded.Setups[i]->Password, setupPasswords[i]) << i;
            EXPECT_EQ(loaded.Setups[i]->SecretId.size(), 32u) << i;
        }
        NetworkList networks;
        LoadNetworks(store, networks);
        EXPECT_EQ(networks.at(0)->Logins.at(0).Info->Password, "net pw");
        EXPECT_EQ(networks.at(0)->Logins.at(0).Info->SecretId.size(), 32u);
    }

    // Neither the file's bytes nor its unscrambled text hold any of the passwords.
    void ExpectNoPasswordInFiles(const std::vector<std::string>& passwords) const
    {
        for (const auto& entry : std::filesystem::directory_iterator(Config())) {
            const std::string raw = ReadBytes(entry.path().string());
            std::string plain = raw;
            ScrambleFileImage(plain);
            for (const std::string& password : passwords) {
                EXPECT_EQ(raw.find(password), std::string::npos) << entry.path() << " holds " << password;
                EXPECT_EQ(plain.find(password), std::string::npos) << entry.path() << " holds " << password;
            }
        }
    }

    test::TempDir m_dir;
    test::KeyringSession m_session;
};

TEST_F(SecretsCli, MigrateBothWaysWithReadBack)
{
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(FtpSetup("main", "pwtest", "hunter2 !'\""));
    setups[0]->Host = "example.jp";
    setups.push_back(
        FtpSetup("\x8E\xE5\x83T\x83\x43\x83g", "u2", "\x83p\x83X\x83\x8F\x81[\x83h")); // 主サイト, パスワード
    setups.push_back(FtpSetup("anonymous", "anonymous", ""));
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
    EXPECT_EQ(Cli({ "secrets", "status" }).out, "file\n");

    const CliRun moved = Cli({ "secrets", "migrate" });
    ASSERT_EQ(moved.code, 0) << moved.err;
    EXPECT_EQ(moved.out,
        "moved to the keyring: Pagewick: FTP pwtest@example.jp\n"
        "moved to the keyring: Pagewick: FTP u2@127.0.0.1\n"
        "moved to the keyring: Pagewick: Alpha site1\n"
        "passwords are kept in the keyring\n");
    EXPECT_EQ(Cli({ "secrets", "status" }).out, "keyring\n");
    ExpectNoPasswordInFiles({ "hunter2", "\x83p\x83X\x83\x8F\x81[\x83h", "net pw" });

    // Each item is found by the id its record carries, and holds the bytes.
    TIniList store;
    LoadMain(store);
    const SetupList loaded = LoadSetups(store);
    ASSERT_EQ(loaded.Setups.size(), 3u);
    EXPECT_EQ(test::KeyringSecret(loaded.Setups[0]->SecretId), "hunter2 !'\"");
    EXPECT_EQ(test::KeyringSecret(loaded.Setups[1]->SecretId), "\x83p\x83X\x83\x8F\x81[\x83h");
    EXPECT_EQ(loaded.Setups[2]->SecretId, "") << "no password, no item";
    NetworkList networks;
    LoadNetworks(store, networks);
    EXPECT_EQ(test::KeyringSecret(networks[0]->Logins[0].Info->SecretId), "net pw");
    const std::string items = test::KeyringItems();
    EXPECT_NE(items.find("label = Pagewick: FTP pwtest@example.jp"), std::string::npos) << items;
    EXPECT_NE(items.find("attribute.kind = login"), std::string::npos) << items;

    // The login page gets its password from the keyring.
    const CliRun page = Cli({ "login-page", "Alpha", "site1" });
    ASSERT_EQ(page.code, 0) << page.err;
    EXPECT_NE(page.out.find("value=\"net pw\""), std::string::npos) << page.out;

    // And back: the file holds every password again, the keyring none.
    const CliRun back = Cli({ "secrets", "migrate", "--to", "file" });
    ASSERT_EQ(back.code, 0) << back.err;
    EXPECT_EQ(Cli({ "secrets", "status" }).out, "file\n");
    TIniList again;
    LoadMain(again);
    const SetupList reloaded = LoadSetups(again);
    EXPECT_EQ(reloaded.Setups[0]->Password, "hunter2 !'\"");
    EXPECT_EQ(reloaded.Setups[1]->Password, "\x83p\x83X\x83\x8F\x81[\x83h");
    EXPECT_EQ(reloaded.Setups[2]->Password, "");
    NetworkList backNetworks;
    LoadNetworks(again, backNetworks);
    EXPECT_EQ(backNetworks[0]->Logins[0].Info->Password, "net pw");
    EXPECT_EQ(test::KeyringItems(), "");

    EXPECT_EQ(Cli({ "secrets", "migrate", "--to", "elsewhere" }).code, 2);
}

TEST_F(SecretsCli, ConnectsToFtpAndSftpWithKeyringPasswords)
{
    test::TempDir home;
    std::filesystem::create_directories(home.path() + "/www");
    ASSERT_TRUE(WriteFileAtomically(home.path() + "/www/index.html", "hello").ok);
    test::FtpServer ftp;
    ASSERT_TRUE(ftp.Start(home.path())) << "pyftpdlib did not start";
    std::filesystem::create_directories(m_dir.path() + "/sshd");
    test::SshServer sshd;
    const bool withSsh = sshd.Start(m_dir.path() + "/sshd");

    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(FtpSetup("ftp", ftp.user, ftp.password, ftp.port));
    if (withSsh) {
        // The SFTP login key is locked by a passphrase, which is the setup's password.
        const std::string key = m_dir.path() + "/locked_key";
        std::filesystem::copy_file(sshd.clientKey, key);
        ::chmod(key.c_str(), 0600);
        ASSERT_EQ(
            test::RunShell("ssh-keygen -q -p -P '' -N 'key phrase' -f " + Quoted(key) + " >/dev/null").status, 0);
        setups.push_back(FtpSetup("sftp", sshd.user, "key phrase", sshd.port, SiteProtocol::Sftp));
        setups.back()->KeyFile = key;
        setups.back()->IniPath = home.path() + "/www";
    }
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
    ASSERT_EQ(Cli({ "secrets", "migrate" }).code, 0);
    ExpectNoPasswordInFiles({ ftp.password, "key phrase" });

    const CliRun ls = Cli({ "site", "ls", "ftp", "/www" });
    ASSERT_EQ(ls.code, 0) << ls.err;
    EXPECT_NE(ls.out.find("page\tindex.html\t5\t"), std::string::npos) << ls.out;
    ASSERT_EQ(Cli({ "site", "put", "ftp", "/www/new.html" }, "put via keyring").code, 0);
    EXPECT_EQ(ReadBytes(home.path() + "/www/new.html"), "put via keyring");
    if (withSsh) {
        const CliRun got = Cli({ "site", "get", "sftp", home.path() + "/www/index.html", "--trust" });
        ASSERT_EQ(got.code, 0) << got.err;
        EXPECT_EQ(got.out, "hello");
    }

    // The password really comes from the keyring: without the item the login fails.
    TIniList store;
    LoadMain(store);
    const SetupList loaded = LoadSetups(store);
    ASSERT_EQ(test::RunShell("secret-tool clear id " + loaded.Setups[0]->SecretId).status, 0);
    EXPECT_EQ(Cli({ "site", "ls", "ftp", "/www" }).code, 1);
    // "site password" puts it back, and only into the keyring.
    const CliRun set = Cli({ "site", "password", "ftp" }, ftp.password + "\n");
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(Cli({ "site", "ls", "ftp", "/www" }).code, 0);
    ExpectNoPasswordInFiles({ ftp.password, "key phrase" });
    if (!withSsh)
        GTEST_SKIP() << "sshd could not start: " << sshd.error;
}

TEST_F(SecretsCli, RenamesKeepThePassword)
{
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(FtpSetup("before", "pwtest", "kept pw"));
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups, "alpha pw"));
    ASSERT_EQ(Cli({ "secrets", "migrate" }).code, 0);

    // Renamed as the host list renames: the record keeps its id.
    TIniList store;
    LoadMain(store);
    SetupList list = LoadSetups(store);
    const std::string id = list.Setups[0]->SecretId;
    list.Setups[0]->Name = "after";
    list.Setups[0]->User = "renamed-user";
    SaveSetups(store, list.Setups, 0);
    NetworkList networks;
    LoadNetworks(store, networks);
    networks[0]->Name = "Beta";
    networks[0]->RenameLogin("site1", "site2");
    SaveNetworks(store, networks);
    ASSERT_TRUE(SaveSettingsFile(store, Config(), kMainSettingsFile).ok);

    const CliRun page = Cli({ "login-page", "Beta", "site2" });
    ASSERT_EQ(page.code, 0) << page.err;
    EXPECT_NE(page.out.find("value=\"alpha pw\""), std::string::npos) << page.out;

    // A new password for the renamed setup replaces the item: one item, new label.
    ASSERT_EQ(Cli({ "site", "password", "after" }, "new pw\r\n").code, 0);
    EXPECT_EQ(test::KeyringSecret(id), "new pw");
    const std::string items = test::KeyringItems();
    EXPECT_NE(items.find("label = Pagewick: FTP renamed-user@127.0.0.1"), std::string::npos) << items;
    EXPECT_EQ(items.find("pwtest"), std::string::npos) << items;
    TIniList after;
    LoadMain(after);
    EXPECT_EQ(LoadSetups(after).Setups[0]->SecretId, id);

    ASSERT_EQ(Cli({ "network", "password", "Beta", "site2" }, "beta pw").code, 0);
    EXPECT_NE(Cli({ "login-page", "Beta", "site2" }).out.find("value=\"beta pw\""), std::string::npos);
    ExpectNoPasswordInFiles({ "kept pw", "new pw", "alpha pw", "beta pw" });
    EXPECT_EQ(Cli({ "networks", "password", "Beta", "nobody" }, "x").code, 1);
}

// A locked keyring is asked to unlock; with no one to answer the prompt (as
// when the user cancels it) the command says so and changes nothing.
TEST_F(SecretsCli, LockedKeyringThatStaysLockedIsAClearError)
{
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(FtpSetup("site", "pwtest", "locked pw"));
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
    ASSERT_EQ(Cli({ "secrets", "migrate" }).code, 0);
    const std::string before = ReadBytes(MainFile());
    ASSERT_EQ(test::RunShell("dbus-send --session --print-reply --dest=org.freedesktop.secrets "
                             "/org/freedesktop/secrets org.freedesktop.Secret.Service.Lock "
                             "array:objpath:/org/freedesktop/secrets/collection/login >/dev/null")
                  .status,
        0);

    const CliRun page = Cli({ "login-page", "Alpha", "site1" });
    EXPECT_EQ(page.code, 1);
    EXPECT_EQ(page.out, "");
    EXPECT_NE(page.err.find("the keyring that holds the password of Pagewick: Alpha site1 stays locked"),
        std::string::npos)
        << page.err;
    EXPECT_EQ(page.out.find("net pw"), std::string::npos);
    const CliRun back = Cli({ "secrets", "migrate", "--to", "file" });
    EXPECT_EQ(back.code, 1);
    EXPECT_NE(back.err.find("the settings files are unchanged"), std::string::npos) << back.err;
    EXPECT_EQ(ReadBytes(MainFile()), before);
}

// Whatever the keyring does, a failure moves no password out of the settings
// file. The file gains the keyring ids of the records, so that a move run
// again replaces what the dead keyring may have kept, and nothing else.
TEST_F(SecretsCli, KeyringKilledMidRunKeepsEveryPasswordInTheFile)
{
    // Enough setups that the move is still running, even on a busy machine,
    // when the first items show in the keyring.
    std::vector<std::unique_ptr<TSetup>> setups;
    for (int i = 0; i < 1500; ++i)
        setups.push_back(FtpSetup("s" + std::to_string(i), "u" + std::to_string(i), "pw" + std::to_string(i)));
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));

    // The daemon dies once the move has written its first items.
    CliRun migrate;
    std::thread run([&] { migrate = Cli({ "secrets", "migrate" }); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // The fourth item showing means the first three were written and read back.
    while (test::RunShell("secret-tool lookup application pagewick kind setup user u3").status != 0
        && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_session.StopKeyring();
    run.join();
    EXPECT_EQ(migrate.code, 1) << migrate.out;
    EXPECT_EQ(migrate.out, "");
    EXPECT_NE(migrate.err.find("written to the keyring before the failure"), std::string::npos) << migrate.err;
    EXPECT_NE(migrate.err.find("Pagewick: FTP u0@127.0.0.1"), std::string::npos) << migrate.err;
    EXPECT_NE(migrate.err.find("every password is still in the settings file"), std::string::npos) << migrate.err;
    std::vector<std::string> passwords;
    for (int i = 0; i < 1500; ++i)
        passwords.push_back("pw" + std::to_string(i));
    ExpectPasswordsInFileWithIds(passwords);

    // In keyring mode, reading or keeping a password then fails plainly too.
    ASSERT_EQ(Cli({ "settings", "set", MainFile(), "Setups", "PasswordStore", "keyring" }).code, 0);
    TIniList store;
    LoadMain(store);
    SetupList list = LoadSetups(store);
    list.Setups[0]->SecretId = "0123456789abcdef0123456789abcdef";
    WipeString(list.Setups[0]->Password);
    SaveSetups(store, list.Setups, 0);
    ASSERT_TRUE(SaveSettingsFile(store, Config(), kMainSettingsFile).ok);
    const std::string keyringMode = ReadBytes(MainFile());
    const CliRun ls = Cli({ "site", "ls", "s0" });
    EXPECT_EQ(ls.code, 1);
    EXPECT_NE(
        ls.err.find("cannot read the password of Pagewick: FTP u0@127.0.0.1 from the keyring"), std::string::npos)
        << ls.err;
    EXPECT_EQ(Cli({ "site", "password", "s1" }, "x").code, 1);
    EXPECT_EQ(Cli({ "secrets", "migrate", "--to", "file" }).code, 1);
    EXPECT_EQ(ReadBytes(MainFile()), keyringMode);
}

// Two setups and a login with passwords, for the moves below.
std::vector<std::unique_ptr<TSetup>> TwoSetups()
{
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(FtpSetup("a", "ua", "pw a"));
    setups.push_back(FtpSetup("b", "ub", "pw b"));
    return setups;
}

// The keyring holds the three passwords of TwoSetups() under the ids the
// settings file names, and nothing else.
void ExpectTwoSetupsInTheKeyring(const TIniList& store)
{
    EXPECT_EQ(KeyringItemCount(), 3u) << test::KeyringItems();
    const SetupList loaded = LoadSetups(store);
    EXPECT_EQ(test::KeyringSecret(loaded.Setups[0]->SecretId), "pw a");
    EXPECT_EQ(test::KeyringSecret(loaded.Setups[1]->SecretId), "pw b");
    NetworkList networks;
    LoadNetworks(store, networks);
    EXPECT_EQ(test::KeyringSecret(networks[0]->Logins[0].Info->SecretId), "net pw");
}

// A move to the keyring killed after it wrote every item but before the file
// lost the passwords: run again, it replaces those items instead of leaving
// them under ids that nobody knows.
TEST_F(SecretsCli, MigrateKilledBeforeTheFinalSaveLeavesNoOrphanOnTheNextRun)
{
    auto setups = TwoSetups();
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
    const int died = InChild([&] {
        TIniList store;
        if (!LoadSettingsFile(store, Config(), kMainSettingsFile).ok)
            return 1;
        FaultyKeyring keyring;
        keyring.dieAfterStores = 3;
        MovePasswords(store, Config(), keyring, PasswordPlace::Keyring);
        return 2; // the move ended without the planted death
    });
    ASSERT_EQ(died, FaultyKeyring::kDied);
    EXPECT_EQ(KeyringItemCount(), 3u) << test::KeyringItems();
    // The file has the ids of the items written, and still every password.
    ExpectPasswordsInFileWithIds({ "pw a", "pw b" });

    const CliRun again = Cli({ "secrets", "migrate" });
    ASSERT_EQ(again.code, 0) << again.err;
    {
        TIniList store;
        LoadMain(store);
        ExpectTwoSetupsInTheKeyring(store);
    }
    ExpectNoPasswordInFiles({ "pw a", "pw b", "net pw" });
}

// A keyring that answers success for an item it does not keep: the move reads
// every item back, fails, and the file keeps every password (and is as it was,
// the copies written being removed again).
TEST_F(SecretsCli, MigrateToAKeyringThatLosesAnItemFailsAndKeepsTheFile)
{
    auto setups = TwoSetups();
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
    const std::string before = ReadBytes(MainFile());
    const int code = InChild([&] {
        TIniList store;
        if (!LoadSettingsFile(store, Config(), kMainSettingsFile).ok)
            return 1;
        FaultyKeyring keyring;
        keyring.loseStore = 2;
        const PasswordMove move = MovePasswords(store, Config(), keyring, PasswordPlace::Keyring);
        if (move.Result.ok)
            return 2;
        if (move.Result.error.find("did not give back the password of Pagewick: FTP ub@127.0.0.1")
            == std::string::npos)
            return 3;
        return move.IdsKept ? 4 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(ReadBytes(MainFile()) == before) << "Pagewick.ini changed";
    EXPECT_EQ(KeyringItemCount(), 0u) << test::KeyringItems();
}

// A move to the file whose save fails leaves every keyring item in place: the
// items go only once the file holds the passwords.
TEST_F(SecretsCli, MigrateToTheFileThatCannotSaveKeepsEveryKeyringItem)
{
    auto setups = TwoSetups();
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
    ASSERT_EQ(Cli({ "secrets", "migrate" }).code, 0);
    ASSERT_EQ(KeyringItemCount(), 3u);
    const std::string before = ReadBytes(MainFile());
    const int code = InChild([&] {
        TIniList store;
        if (!LoadSettingsFile(store, Config(), kMainSettingsFile).ok)
            return 1;
        std::unique_ptr<SecretStore> keyring = MakeKeyringStore();
        // A folder that is not there: the save fails, whoever runs the test.
        const PasswordMove move = MovePasswords(store, Config() + "/missing", *keyring, PasswordPlace::File);
        return move.Result.ok ? 2 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(ReadBytes(MainFile()) == before) << "Pagewick.ini changed";
    {
        TIniList store;
        LoadMain(store);
        ExpectTwoSetupsInTheKeyring(store);
    }
}

// Setups and logins saved while the keyring fails: the error is reported and
// the passwords stay out of the file (the records keep them in memory).
TEST_F(SecretsCli, SavingWhileTheKeyringFailsWritesNoPassword)
{
    m_session.StopKeyring();
    const std::string saved = m_dir.path() + "/saved.txt";
    const int code = InChild([&] {
        std::unique_ptr<SecretStore> keyring = MakeKeyringStore();
        auto setups = TwoSetups();
        NetworkList networks;
        networks.push_back(std::make_unique<TNetwork>());
        networks[0]->Name = "Alpha";
        networks[0]->SetLogin("site1", "alpha-user", "net pw");
        TIniList store;
        const Status setupsSaved = SaveSetupsWithSecrets(store, setups, 0, {}, *keyring);
        const Status networksSaved = SaveNetworksWithSecrets(store, networks, *keyring);
        if (!WriteFileAtomically(saved, store.SaveToText()).ok)
            return 1;
        if (setupsSaved.ok || setupsSaved.error.find("no Secret Service answers") == std::string::npos)
            return 2;
        if (networksSaved.ok || networksSaved.error.find("no Secret Service answers") == std::string::npos)
            return 3;
        if (setups[0]->Password != "pw a" || networks[0]->Logins[0].Info->Password != "net pw")
            return 4;
        return 0;
    });
    EXPECT_EQ(code, 0);
    const std::string text = ReadBytes(saved);
    EXPECT_NE(text.find("Name=a"), std::string::npos) << text;
    for (const char* password : { "pw a", "pw b", "net pw" })
        EXPECT_EQ(text.find(password), std::string::npos) << password << " in\n" << text;

    // The commands that keep one password say so and write nothing.
    auto setups = TwoSetups();
    ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
    ASSERT_EQ(Cli({ "settings", "set", MainFile(), "Setups", "PasswordStore", "keyring" }).code, 0);
    const std::string before = ReadBytes(MainFile());
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>> {
             { "site", "password", "a" }, { "networks", "password", "Alpha", "site1" } }) {
        const CliRun run = Cli(command, "new pw\n");
        EXPECT_EQ(run.code, 1) << command[0];
        EXPECT_NE(run.err.find("no Secret Service answers"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(ReadBytes(MainFile()) == before) << "Pagewick.ini changed";
}

// Standard input that ends before a line (</dev/null) is no password: the
// password commands fail and change nothing, in the file and in the keyring.
// An empty line still clears the password.
TEST_F(SecretsCli, PasswordCommandsRefuseInputWithoutALine)
{
    const std::vector<std::string> commands[] = {
        { "site", "password", "a" },
        { "networks", "password", "Alpha", "site1" },
    };
    for (const bool keyring : { false, true }) {
        SCOPED_TRACE(keyring ? "keyring" : "file");
        auto setups = TwoSetups();
        ASSERT_NO_FATAL_FAILURE(WriteSettings(setups));
        if (keyring) {
            ASSERT_EQ(Cli({ "secrets", "migrate" }).code, 0);
        }
        const std::string before = ReadBytes(MainFile());
        const std::string items = test::KeyringItems();
        for (const auto& command : commands) {
            const CliRun run = Cli(command, ""); // an empty file as standard input, as </dev/null
            EXPECT_EQ(run.code, 1) << command[0];
            EXPECT_NE(run.err.find("no password on standard input"), std::string::npos) << run.err;
            EXPECT_TRUE(ReadBytes(MainFile()) == before) << "Pagewick.ini changed";
            EXPECT_EQ(test::KeyringItems(), items);
        }
        // An empty line on purpose: no password any more.
        for (const auto& command : commands)
            ASSERT_EQ(Cli(command, "\n").code, 0) << command[0];
        TIniList store;
        LoadMain(store);
        const SetupList loaded = LoadSetups(store);
        NetworkList networks;
        LoadNetworks(store, networks);
        EXPECT_EQ(loaded.Setups[0]->Password, "");
        EXPECT_EQ(networks[0]->Logins[0].Info->Password, "");
        EXPECT_EQ(loaded.Setups[1]->Password, keyring ? "" : "pw b");
        if (keyring) {
            EXPECT_EQ(test::KeyringSecret(loaded.Setups[0]->SecretId), "");
            EXPECT_EQ(test::KeyringSecret(networks[0]->Logins[0].Info->SecretId), "");
            EXPECT_EQ(test::KeyringSecret(loaded.Setups[1]->SecretId), "pw b");
        }
    }
}

TEST(SecretsCliWithoutBus, FileModeWorksAndMigrateRefuses)
{
    test::TempDir dir;
    test::KeyringSession::WithoutBus(dir.path() + "/session");
    const std::string config = dir.path() + "/config";
    std::filesystem::create_directories(config);
    std::filesystem::create_directories(dir.path() + "/home/www");
    ASSERT_TRUE(WriteFileAtomically(dir.path() + "/home/www/index.html", "hello").ok);
    test::FtpServer ftp;
    ASSERT_TRUE(ftp.Start(dir.path() + "/home")) << "pyftpdlib did not start";
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(FtpSetup("ftp", ftp.user, ftp.password, ftp.port));
    TIniList store;
    SaveSetups(store, setups, 0);
    ASSERT_TRUE(SaveSettingsFile(store, config, kMainSettingsFile).ok);
    const std::string before = ReadBytes(config + "/Pagewick.ini");

    const CliRun ls = Cli(config, { "site", "ls", "ftp", "/www" });
    ASSERT_EQ(ls.code, 0) << ls.err;
    EXPECT_NE(ls.out.find("index.html"), std::string::npos);

    const CliRun migrate = Cli(config, { "secrets", "migrate" });
    EXPECT_EQ(migrate.code, 1);
    EXPECT_NE(migrate.err.find("no Secret Service answers"), std::string::npos) << migrate.err;
    EXPECT_EQ(ReadBytes(config + "/Pagewick.ini"), before);
    EXPECT_EQ(Cli(config, { "secrets", "status" }).out, "file\n");

    // Set to the keyring with none there: a clear error, nothing written.
    ASSERT_EQ(
        Cli(config, { "settings", "set", config + "/Pagewick.ini", "Setups", "PasswordStore", "keyring" }).code,
        0);
    const std::string keyringMode = ReadBytes(config + "/Pagewick.ini");
    const CliRun set = Cli(config, { "site", "password", "ftp" }, "pw");
    EXPECT_EQ(set.code, 1);
    EXPECT_NE(set.err.find("no Secret Service answers"), std::string::npos) << set.err;
    EXPECT_EQ(ReadBytes(config + "/Pagewick.ini"), keyringMode);
}

} // namespace
} // namespace pw
