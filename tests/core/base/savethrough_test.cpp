// The atomic save seen from the folder: links, read-only files and the
// temporary files that interrupted saves leave behind.

#include "base/files.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
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

// A plain write, so that planting files does not save into the folder.
void Put(const std::string& path, const std::string& bytes, mode_t mode)
{
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::vector<std::string> TemporaryFiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".pwtmp-"))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SaveThroughLink, ReplacesTheTargetAndKeepsTheLink)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links; // link, what it points at
        std::string saved; // the path the save is given
        std::string target; // the file that gets the bytes
    };
    const std::vector<Case> cases = {
        { "RelativeLinkFromAnotherFolder", { { "pages/index.html", "../real/index.html" } }, "pages/index.html",
            "real/index.html" },
        { "ChainOfTwoLinks", { { "pages/a.html", "b.html" }, { "pages/b.html", "../real/index.html" } },
            "pages/a.html", "real/index.html" },
        { "AbsoluteLink", { { "pages/abs.html", "@/real/index.html" } }, "pages/abs.html", "real/index.html" },
        { "DanglingLinkCreatesItsTarget", { { "pages/new.html", "../real/new.html" } }, "pages/new.html",
            "real/new.html" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        fs::create_directory(dir.file("pages"));
        fs::create_directory(dir.file("real"));
        Put(dir.file("real/index.html"), "old page", 0640);
        for (const auto& [link, to] : c.links) {
            const std::string where = to.starts_with('@') ? dir.path() + to.substr(1) : to;
            ASSERT_EQ(::symlink(where.c_str(), dir.file(link).c_str()), 0);
        }

        const Status saved = WriteFileAtomically(dir.file(c.saved), "new page");
        ASSERT_TRUE(saved.ok) << saved.error;

        EXPECT_EQ(Content(dir.file(c.target)), "new page");
        for (const auto& [link, to] : c.links)
            EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link << " is no longer a link";
        EXPECT_EQ(Content(dir.file(c.saved)), "new page");
        if (c.target == "real/index.html") {
            EXPECT_EQ(ModeOf(dir.file(c.target)), 0640u);
        }
        EXPECT_TRUE(TemporaryFiles(dir.file("pages")).empty());
        EXPECT_TRUE(TemporaryFiles(dir.file("real")).empty());
    }
}

TEST(SaveThroughLink, ALinkLoopIsAnErrorAndWritesNothing)
{
    test::TempDir dir;
    ASSERT_EQ(::symlink("b", dir.file("a").c_str()), 0);
    ASSERT_EQ(::symlink("a", dir.file("b").c_str()), 0);
    const Status saved = WriteFileAtomically(dir.file("a"), "x");
    EXPECT_FALSE(saved.ok);
    EXPECT_TRUE(fs::is_symlink(dir.file("a")));
    EXPECT_TRUE(fs::is_symlink(dir.file("b")));
    EXPECT_TRUE(TemporaryFiles(dir.path()).empty());
}

// Judged by the mode bits, so that the rule holds for root too (root may open
// any file for writing): root's files are read-only when no write bit is set.
TEST(SaveReadOnly, AFileWithoutWriteBitIsNotWritten)
{
    struct Case {
        mode_t mode;
        bool readOnly;
    };
    const Case cases[]
        = { { 0444, true }, { 0400, true }, { 0555, true }, { 0644, false }, { 0600, false }, { 0755, false } };
    for (const FilePermissions permissions : { FilePermissions::KeepOrDefault, FilePermissions::OwnerOnly }) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                << std::oct << c.mode << " owner-only " << (permissions == FilePermissions::OwnerOnly));
            test::TempDir dir;
            const std::string page = dir.file("page.html");
            Put(page, "old", c.mode);
            const Status saved = WriteFileAtomically(page, "new", permissions);
            if (c.readOnly) {
                EXPECT_FALSE(saved.ok);
                EXPECT_NE(saved.error.find("read-only"), std::string::npos) << saved.error;
                EXPECT_NE(saved.error.find(page), std::string::npos) << saved.error;
                EXPECT_EQ(Content(page), "old");
                EXPECT_EQ(ModeOf(page), c.mode);
            } else {
                EXPECT_TRUE(saved.ok) << saved.error;
                EXPECT_EQ(Content(page), "new");
            }
            EXPECT_TRUE(TemporaryFiles(dir.path()).empty());
        }
    }
}

TEST(SaveReadOnly, ALinkToAReadOnlyFileLeavesBoth)
{
    test::TempDir dir;
    Put(dir.file("real.html"), "old", 0444);
    ASSERT_EQ(::symlink("real.html", dir.file("link.html").c_str()), 0);
    const Status saved = WriteFileAtomically(dir.file("link.html"), "new");
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.error.find("read-only"), std::string::npos) << saved.error;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.html")));
    EXPECT_EQ(Content(dir.file("real.html")), "old");
}

// What a save killed between creating its temporary file and renaming it
// leaves: a file ".pwtmp-" plus six characters. The next save into the folder
// removes those that no save is writing any more: not locked by a writer and
// untouched for a minute.
TEST(StaleTemporaryFiles, TheNextSaveIntoTheFolderRemovesThem)
{
    test::TempDir dir;
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    auto plant = [&](const std::string& name, bool aged) {
        Put(dir.file(name), "half a page", 0600);
        if (aged)
            fs::last_write_time(dir.file(name), old);
    };
    plant(".pwtmp-AAAAAA", true); // stale: removed
    plant(".pwtmp-BBBBBB", true); // stale: removed
    plant(".pwtmp-CCCCCC", false); // written a moment ago: kept
    plant(".pwtmp-DDDDDD", true); // a live save holds its lock: kept
    plant(".pwtmp-long-name", true); // not a name the save makes: kept
    plant("page.pwtmp-EEEEEE", true); // idem
    fs::create_directory(dir.file(".pwtmp-FFFFFF"));
    fs::last_write_time(dir.file(".pwtmp-FFFFFF"), old); // a folder: kept
    Put(dir.file("victim"), "keep me", 0600);
    ASSERT_EQ(::symlink("victim", dir.file(".pwtmp-GGGGGG").c_str()), 0); // a link: kept, target untouched

    const int locked = ::open(dir.file(".pwtmp-DDDDDD").c_str(), O_RDONLY);
    ASSERT_GE(locked, 0);
    ASSERT_EQ(::flock(locked, LOCK_EX), 0);

    ASSERT_TRUE(WriteFileAtomically(dir.file("page.html"), "page").ok);
    ::close(locked);

    EXPECT_EQ(TemporaryFiles(dir.path()),
        (std::vector<std::string> {
            ".pwtmp-CCCCCC", ".pwtmp-DDDDDD", ".pwtmp-FFFFFF", ".pwtmp-GGGGGG", ".pwtmp-long-name" }));
    EXPECT_TRUE(fs::exists(dir.file("page.pwtmp-EEEEEE")));
    EXPECT_EQ(Content(dir.file("victim")), "keep me");
    EXPECT_EQ(Content(dir.file("page.html")), "page");
}

TEST(StaleTemporaryFiles, AnotherUsersFilesAreLeftAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    test::TempDir dir;
    Put(dir.file(".pwtmp-OTHER1"), "theirs", 0600);
    ASSERT_EQ(::chown(dir.file(".pwtmp-OTHER1").c_str(), 4242, 4242), 0);
    fs::last_write_time(dir.file(".pwtmp-OTHER1"), fs::file_time_type::clock::now() - std::chrono::minutes(5));
    ASSERT_TRUE(WriteFileAtomically(dir.file("page.html"), "page").ok);
    EXPECT_TRUE(fs::exists(dir.file(".pwtmp-OTHER1")));
}

} // namespace
} // namespace pw
