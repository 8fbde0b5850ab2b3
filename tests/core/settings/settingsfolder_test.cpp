#include "base/files.h"
#include "settings/settingsfolder.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace pw {
namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

void Touch(const std::string& path)
{
    ASSERT_TRUE(WriteFileAtomically(path, "").ok) << path;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_saved = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_saved)
            ::setenv(m_name, m_saved->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_saved;
};

TEST(SettingsFolder, RuleTable)
{
    test::TempDir dir;
    const std::string program = dir.file("bin");
    const std::string portable = dir.file("portable");
    const std::string iniIsFolder = dir.file("odd");
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(portable);
    std::filesystem::create_directories(iniIsFolder + "/Pagewick.ini");
    Touch(portable + "/Pagewick.ini");
    Touch(program + "/ads.ini"); // only Pagewick.ini makes a folder portable

    struct Case {
        const char* what;
        std::string programFolder;
        std::string xdg;
        std::string home;
        std::string folder; // empty: the rule fails
        bool portable;
    } cases[] = {
        { "XDG_CONFIG_HOME wins", program, "/x/conf", "/home/u", "/x/conf/pagewick", false },
        { "XDG_CONFIG_HOME with a slash at the end", program, "/x/conf/", "/home/u", "/x/conf/pagewick", false },
        { "unset XDG_CONFIG_HOME means ~/.config", program, "", "/home/u", "/home/u/.config/pagewick", false },
        { "relative XDG_CONFIG_HOME is ignored", program, "conf", "/home/u", "/home/u/.config/pagewick", false },
        { "Pagewick.ini beside the program", portable, "/x/conf", "/home/u", portable, true },
        { "a folder named Pagewick.ini is not portable mode", iniIsFolder, "", "/home/u",
            "/home/u/.config/pagewick", false },
        { "portable mode needs no home", portable, "", "", portable, true },
        { "no home and no XDG_CONFIG_HOME", program, "", "", "", false },
        { "relative HOME", program, "", "home/u", "", false },
    };
    for (const Case& c : cases) {
        SettingsPlace place;
        const Status chosen = ChooseSettingsFolder(c.programFolder, { c.xdg, c.home }, place);
        if (c.folder.empty()) {
            EXPECT_FALSE(chosen.ok) << c.what;
            EXPECT_FALSE(chosen.error.empty()) << c.what;
            continue;
        }
        ASSERT_TRUE(chosen.ok) << c.what << ": " << chosen.error;
        EXPECT_EQ(place.folder, c.folder) << c.what;
        EXPECT_EQ(place.portable, c.portable) << c.what;
        EXPECT_FALSE(std::filesystem::exists(c.folder) && !c.portable) << c.what << ": choosing creates nothing";
    }
}

TEST(SettingsFolder, ResolveCreatesPrivateFoldersAndLeavesTheProgramFolderAlone)
{
    test::TempDir dir;
    const std::string program = dir.file("bin");
    std::filesystem::create_directories(program);
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("deep/config"));

    SettingsPlace place;
    const Status resolved = ResolveSettingsFolder(program, place);
    ASSERT_TRUE(resolved.ok) << resolved.error;
    EXPECT_EQ(place.folder, dir.file("deep/config/pagewick"));
    EXPECT_FALSE(place.portable);
    EXPECT_TRUE(std::filesystem::is_directory(place.folder));
    EXPECT_EQ(ModeOf(place.folder), 0700u);
    EXPECT_EQ(ModeOf(dir.file("deep/config")), 0700u);
    EXPECT_TRUE(std::filesystem::is_empty(program));

    // An existing folder that others may enter is made private again (its
    // files hold passwords); its parents are the user's business.
    ::chmod(place.folder.c_str(), 0755);
    ::chmod(dir.file("deep/config").c_str(), 0755);
    SettingsPlace again;
    ASSERT_TRUE(ResolveSettingsFolder(program, again).ok);
    EXPECT_EQ(again.folder, place.folder);
    EXPECT_EQ(ModeOf(place.folder), 0700u);
    EXPECT_EQ(ModeOf(dir.file("deep/config")), 0755u);
    EXPECT_TRUE(again.notice.empty());

    std::string scratch;
    ASSERT_TRUE(PrepareScratchFolder(place.folder, scratch).ok);
    EXPECT_EQ(scratch, place.folder + "/scratch");
    EXPECT_EQ(ModeOf(scratch), 0700u);
}

TEST(SettingsFolder, ResolveReportsAFolderThatCannotBeMade)
{
    test::TempDir dir;
    Touch(dir.file("config"));
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("config"));
    SettingsPlace place { "unchanged", false, {} };
    const Status resolved = ResolveSettingsFolder(dir.path(), place);
    ASSERT_FALSE(resolved.ok);
    EXPECT_EQ(place.folder, "unchanged");
    EXPECT_NE(resolved.error.find(dir.file("config")), std::string::npos) << resolved.error;

    Touch(dir.file("settings"));
    std::string scratch = "unchanged";
    EXPECT_FALSE(PrepareScratchFolder(dir.file("settings"), scratch).ok);
    EXPECT_EQ(scratch, "unchanged");
}

TEST(SettingsFolder, PortableModeCreatesNothing)
{
    test::TempDir dir;
    Touch(dir.file("Pagewick.ini"));
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("config"));
    SettingsPlace place;
    ASSERT_TRUE(ResolveSettingsFolder(dir.path(), place).ok);
    EXPECT_TRUE(place.portable);
    EXPECT_EQ(place.folder, dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir.file("config")));
}

// A Pagewick.ini that another account could have planted beside the program
// (a shared, world-writable folder; a file others may write; a file or folder
// of another user) is not used: the user's own folder is, and the notice says
// why.
TEST(SettingsFolder, APlantedPortableFileIsNotTrusted)
{
    struct Case {
        const char* what;
        mode_t folderMode;
        mode_t fileMode;
        bool otherOwner;
    };
    const Case cases[] = {
        { "sticky world-writable folder", 01777, 0644, false },
        { "group-writable folder", 0775, 0644, false },
        { "world-writable file", 0755, 0666, false },
        { "file of another user", 0755, 0644, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.otherOwner && ::geteuid() != 0)
            continue; // only root can give a file away
        test::TempDir dir;
        const std::string program = dir.file("shared");
        std::filesystem::create_directories(program);
        Touch(JoinPath(program, "Pagewick.ini"));
        ASSERT_EQ(::chmod(program.c_str(), c.folderMode), 0);
        ASSERT_EQ(::chmod(JoinPath(program, "Pagewick.ini").c_str(), c.fileMode), 0);
        if (c.otherOwner) {
            ASSERT_EQ(::chown(JoinPath(program, "Pagewick.ini").c_str(), 65534, 65534), 0);
        }
        SettingsPlace place;
        ASSERT_TRUE(ChooseSettingsFolder(program, { dir.file("config"), "" }, place).ok);
        EXPECT_FALSE(place.portable);
        EXPECT_EQ(place.folder, dir.file("config/pagewick"));
        EXPECT_NE(place.notice.find(JoinPath(program, "Pagewick.ini")), std::string::npos) << place.notice;
        EXPECT_NE(place.notice.find(place.folder), std::string::npos) << place.notice;
    }
    // The user's own folder and file, writable by the user alone: portable.
    test::TempDir dir;
    Touch(dir.file("Pagewick.ini"));
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(dir.file("Pagewick.ini").c_str(), 0644);
    SettingsPlace place;
    ASSERT_TRUE(ChooseSettingsFolder(dir.path(), { dir.file("config"), "" }, place).ok);
    EXPECT_TRUE(place.portable);
    EXPECT_TRUE(place.notice.empty());
}

// The rule for files that run or steer the program (a portable Pagewick.ini,
// the web-engine module): nothing another account could have planted or
// changed, through the file, its folder, or a link to a file elsewhere.
TEST(TrustedFiles, AFileOthersCouldPlantOrChangeIsNotTrusted)
{
    struct Case {
        const char* what;
        mode_t folderMode;
        mode_t fileMode;
        bool otherOwner; // the file belongs to an account that is neither the user nor root
        const char* fault; // the path at fault, below the case's folder, and the reason
    };
    const Case cases[] = {
        { "world-writable file", 0755, 0666, false, "shared/module.so can be changed by other users" },
        { "group-writable file", 0755, 0664, false, "shared/module.so can be changed by other users" },
        { "sticky world-writable folder", 01777, 0644, false, "shared can be changed by other users" },
        { "group-writable folder", 0775, 0644, false, "shared can be changed by other users" },
        { "file of another user", 0755, 0644, true, "shared/module.so belongs to another user" },
        { "the user's own", 0755, 0644, false, nullptr },
        { "the user's own, read-only", 0700, 0400, false, nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.otherOwner && ::geteuid() != 0)
            continue; // only root can give a file away
        test::TempDir dir;
        const std::string folder = dir.file("shared");
        const std::string file = JoinPath(folder, "module.so");
        std::filesystem::create_directories(folder);
        Touch(file);
        ASSERT_EQ(::chmod(file.c_str(), c.fileMode), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        if (c.otherOwner) {
            ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        }
        for (const TrustedOwner owner : { TrustedOwner::User, TrustedOwner::UserOrRoot })
            EXPECT_EQ(WhyUntrustedFile(file, owner), c.fault ? dir.file(c.fault) : "");

        // A link to it from a folder of the user's own is judged by the file
        // and the folder that holds it.
        const std::string safe = dir.file("safe");
        std::filesystem::create_directories(safe);
        ::chmod(safe.c_str(), 0755);
        std::filesystem::create_symlink(file, JoinPath(safe, "module.so"));
        std::string throughLink = c.fault ? dir.file(c.fault) : "";
        if (const size_t at = throughLink.find("shared/module.so"); at != std::string::npos)
            throughLink.replace(at, 6, "safe"); // the file's faults are named by the link's path
        EXPECT_EQ(WhyUntrustedFile(JoinPath(safe, "module.so"), TrustedOwner::User), throughLink);
        ::chmod(folder.c_str(), 0755);
    }

    test::TempDir dir;
    EXPECT_EQ(WhyUntrustedFile(dir.file("missing.so"), TrustedOwner::UserOrRoot),
        dir.file("missing.so") + ": No such file or directory");
    // What the system installed belongs to root: trusted where root may own it.
    EXPECT_EQ(WhyUntrustedFile("/usr/bin/env", TrustedOwner::UserOrRoot), "");
    EXPECT_EQ(WhyUntrustedFile("/usr/bin/env", TrustedOwner::User),
        ::geteuid() == 0 ? "" : "/usr/bin belongs to another user");
    // A world-writable folder such as /tmp holds nothing trusted, sticky or not.
    EXPECT_EQ(WhyUntrustedFile("/tmp/x", TrustedOwner::UserOrRoot), "/tmp can be changed by other users");
}

TEST(SettingsFolder, DataFolderBesideTheProgramOrUnderShare)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("portable"));
    Touch(dir.file("portable/ad.html"));
    std::filesystem::create_directories(dir.file("prefix/bin"));
    EXPECT_EQ(FindDataFolder(dir.file("portable")), dir.file("portable"));
    EXPECT_EQ(FindDataFolder(dir.file("prefix/bin")), dir.file("prefix/share/pagewick"));
    EXPECT_EQ(FindDataFolder(dir.file("prefix/bin/")), dir.file("prefix/share/pagewick"));
    EXPECT_EQ(FindDataFolder("/usr/bin"), "/usr/share/pagewick");
    EXPECT_EQ(FindDataFolder("/bin"), "/share/pagewick");
}

} // namespace
} // namespace pw
