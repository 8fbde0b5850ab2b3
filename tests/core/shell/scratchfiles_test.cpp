#include "base/files.h"
#include "shell/generalsettings.h"
#include "shell/scratchfiles.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pw {
namespace {

namespace fs = std::filesystem;

std::string Content(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes).ok) << path;
    return bytes;
}

struct stat LinkStat(const std::string& path)
{
    struct stat st { };
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::string FolderOf(const std::string& path)
{
    return fs::path(path).parent_path().string();
}

// The scratch folders of this user under `parent`.
std::vector<std::string> ScratchFolders(const std::string& parent)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(parent)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(kScratchFolderPrefix))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The names the window used to take directly in the shared temporary folder
// are predictable: another user plants links there to a file of ours. None of
// the scratch files may write through them.
TEST(ScratchFolder, LinksPlantedAtTheOldNamesAreNeverWrittenThrough)
{
    test::TempDir shared;
    const std::string victim = shared.file("victim-settings");
    ASSERT_TRUE(WriteFileAtomically(victim, "precious").ok);
    const std::uint32_t tick = 123456;
    for (int n = 1; n <= 3; ++n) {
        const std::string oldName = MakeScratchFileName(shared.path(), "html", n, tick);
        ASSERT_EQ(::symlink(victim.c_str(), oldName.c_str()), 0);
    }

    ScratchFolder scratch;
    ASSERT_TRUE(scratch.Create(shared.path(), tick).ok);
    ASSERT_TRUE(scratch.IsOpen());
    EXPECT_NE(scratch.Path(), shared.path());
    EXPECT_EQ(FolderOf(scratch.Path()), shared.path());
    const struct stat folder = LinkStat(scratch.Path());
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(folder.st_uid, ::geteuid());

    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const std::string& file = scratch.File(n);
        EXPECT_EQ(file, MakeScratchFileName(scratch.Path(), "html", n, tick));
        EXPECT_EQ(FolderOf(file), scratch.Path());
        const struct stat made = LinkStat(file);
        EXPECT_TRUE(S_ISREG(made.st_mode));
        EXPECT_EQ(made.st_mode & 07777, 0600u);
        EXPECT_EQ(made.st_size, 0);
        ASSERT_TRUE(scratch.Write(n, "<html><body></body></html>").ok);
        EXPECT_EQ(Content(file), "<html><body></body></html>");
    }
    EXPECT_EQ(Content(victim), "precious");
}

// Replacing a scratch file removes what stands at its name and creates a new
// file exclusively: a link there (or a file someone else made readable) is
// replaced, its target untouched.
TEST(ScratchFolder, WritingReplacesALinkOrAWideModeFileAtTheName)
{
    test::TempDir dir;
    const std::string victim = dir.file("victim");
    ASSERT_TRUE(WriteFileAtomically(victim, "precious").ok);
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.Create(dir.path(), 0).ok);

    ASSERT_EQ(::unlink(scratch.File(1).c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), scratch.File(1).c_str()), 0);
    ASSERT_TRUE(scratch.Write(1, "login page").ok);
    EXPECT_TRUE(S_ISREG(LinkStat(scratch.File(1)).st_mode));
    EXPECT_EQ(Content(scratch.File(1)), "login page");
    EXPECT_EQ(Content(victim), "precious");

    ASSERT_EQ(::chmod(scratch.File(2).c_str(), 0666), 0);
    ASSERT_TRUE(scratch.Write(2, "a longer preview page").ok);
    ASSERT_TRUE(scratch.Write(2, "short").ok);
    EXPECT_EQ(Content(scratch.File(2)), "short");
    EXPECT_EQ(LinkStat(scratch.File(2)).st_mode & 07777, 0600u);

    EXPECT_FALSE(scratch.Write(4, "x").ok);
}

TEST(ScratchFolder, TwoInstancesGetTheirOwnFoldersAndExitRemovesEach)
{
    test::TempDir parent;
    std::string first;
    {
        ScratchFolder a;
        ScratchFolder b;
        ASSERT_TRUE(a.Create(parent.path(), 1000).ok);
        ASSERT_TRUE(b.Create(parent.path(), 1000).ok); // same second: must not clash, nor remove a's
        EXPECT_NE(a.Path(), b.Path());
        EXPECT_TRUE(fs::is_directory(a.Path()));
        ASSERT_TRUE(a.Write(2, "a").ok);
        ASSERT_TRUE(b.Write(2, "b").ok);
        EXPECT_EQ(Content(a.File(2)), "a");
        first = a.Path();
        ASSERT_TRUE(a.Remove().ok);
        EXPECT_FALSE(fs::exists(first));
        EXPECT_FALSE(a.IsOpen());
        EXPECT_TRUE(fs::is_directory(b.Path()));
    }
    EXPECT_TRUE(ScratchFolders(parent.path()).empty()) << "b's folder outlived its owner";
}

// A child process makes its folder and dies without cleaning up (as a crash
// or kill -9 does); the next start removes that folder and nothing else.
TEST(StaleScratchFolders, ACrashedInstancesFolderGoesAtTheNextStart)
{
    test::TempDir parent;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ScratchFolder crashed;
        if (!crashed.Create(parent.path(), 0).ok || !crashed.Write(1, "password page").ok)
            ::_exit(1);
        ::kill(::getpid(), SIGKILL);
        ::_exit(2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child failed to make its folder";
    const std::vector<std::string> left = ScratchFolders(parent.path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left.front().find("-" + std::to_string(child) + "-"), std::string::npos) << left.front();

    ScratchFolder next;
    ASSERT_TRUE(next.Create(parent.path(), 0).ok);
    EXPECT_EQ(
        ScratchFolders(parent.path()), (std::vector<std::string> { fs::path(next.Path()).filename().string() }));
}

TEST(StaleScratchFolders, OnlyThisUsersFoldersOfDeadProcessesGo)
{
    test::TempDir parent;
    const std::string uid = std::to_string(::geteuid());

    // A process that is gone for sure: a child that has been waited for.
    const pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    // A running instance.
    ScratchFolder live;
    ASSERT_TRUE(live.Create(parent.path(), 0).ok);
    // Our own id with another start time: the id was reused, the owner is gone.
    const std::string reused = "pagewick-" + uid + "-" + std::to_string(::getpid()) + "-1-reused";
    const std::string deadName = "pagewick-" + uid + "-" + std::to_string(dead) + "-77-dead00";

    struct Planted {
        std::string name;
        bool removed;
    };
    const std::vector<Planted> planted = {
        { deadName, true },
        { reused, true },
        { "pagewick-" + uid + "-" + std::to_string(dead) + "-77", false }, // not the full form
        { "pagewick-" + uid + "-x" + std::to_string(dead) + "-77-abcdef", false }, // idem
        { "pagewick-" + std::to_string(::geteuid() + 1) + "-" + std::to_string(dead) + "-77-other0", false },
    };
    for (const Planted& p : planted) {
        fs::create_directory(parent.file(p.name));
        ASSERT_TRUE(WriteFileAtomically(parent.file(p.name + "/pwh1.html"), "x").ok);
    }
    // A link named like a stale folder of ours, to a folder of ours elsewhere:
    // not followed, nothing inside its target removed.
    test::TempDir elsewhere;
    ASSERT_TRUE(WriteFileAtomically(elsewhere.file("keep"), "k").ok);
    const std::string linkName = "pagewick-" + uid + "-" + std::to_string(dead) + "-77-link00";
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), parent.file(linkName).c_str()), 0);

    const std::vector<std::string> removed = RemoveStaleScratchFolders(parent.path());

    EXPECT_EQ(removed.size(), 2u);
    for (const Planted& p : planted)
        EXPECT_EQ(fs::exists(parent.file(p.name)), !p.removed) << p.name;
    EXPECT_TRUE(fs::is_directory(live.Path()));
    EXPECT_TRUE(fs::exists(live.File(1)));
    EXPECT_TRUE(fs::is_symlink(parent.file(linkName)));
    EXPECT_TRUE(fs::exists(elsewhere.file("keep")));
}

TEST(StaleScratchFolders, AnotherUsersFolderIsNeverTouched)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    test::TempDir parent;
    const pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    // Named with our id but owned by someone else, and named and owned by someone else.
    const std::string ours = "pagewick-0-" + std::to_string(dead) + "-5-theirs";
    const std::string theirs = "pagewick-4242-" + std::to_string(dead) + "-5-theirs";
    for (const std::string& name : { ours, theirs }) {
        fs::create_directory(parent.file(name));
        ASSERT_EQ(::chown(parent.file(name).c_str(), 4242, 4242), 0);
    }
    EXPECT_TRUE(RemoveStaleScratchFolders(parent.path()).empty());
    EXPECT_TRUE(fs::exists(parent.file(ours)));
    EXPECT_TRUE(fs::exists(parent.file(theirs)));
}

TEST(ScratchParentFolder, TmpdirWhenItIsAFolderElseTmp)
{
    const char* saved = std::getenv("TMPDIR");
    const std::string restore = saved ? saved : "";
    test::TempDir dir;
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    EXPECT_EQ(ScratchParentFolder(), dir.path());
    ::setenv("TMPDIR", dir.file("missing").c_str(), 1);
    EXPECT_EQ(ScratchParentFolder(), "/tmp");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(ScratchParentFolder(), "/tmp");
    if (saved)
        ::setenv("TMPDIR", restore.c_str(), 1);
}

} // namespace
} // namespace pw
