#include "sites/recovery.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <tuple>

namespace pw {
namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
}

// Sets the umask for one test, so that the modes seen are the ones the code
// asked for and not the ones a strict umask would have forced anyway.
class UmaskFor {
public:
    explicit UmaskFor(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~UmaskFor() { ::umask(m_old); }

private:
    mode_t m_old;
};

using CopyFields = std::vector<std::tuple<std::string, std::string, std::string>>;

CopyFields FieldsOf(const std::vector<RecoveryCopy>& copies)
{
    CopyFields fields;
    for (const RecoveryCopy& copy : copies)
        fields.emplace_back(copy.SetupName, copy.Path, copy.Bytes);
    return fields;
}

// The copies hold unsaved pages, which may hold anything the user typed: the
// folder and every file in it are the user's alone, whatever the umask.
TEST(RecoveryCopies, AreKeptPrivatelyAndComeBackInOrder)
{
    UmaskFor open(022);
    test::TempDir dir;
    const std::string folder = dir.file("recovery");
    const std::vector<RecoveryCopy> first {
        { "\x83T\x83"
          "C\x83g",
            "/www/index.html", std::string("<p>\x82\xA0\0tail", 9) }, // サイト, あ
        { "plain", "/a b/c.htm", "" },
    };
    ASSERT_TRUE(SaveRecoveryCopies(folder, first).ok);
    EXPECT_EQ(ModeOf(folder), 0700u);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(ModeOf(entry.path().string()), 0600u) << entry.path();

    // A second save adds after the copies already there.
    const RecoveryCopy later { "plain", "/later.html", "later" };
    ASSERT_TRUE(SaveRecoveryCopies(folder, { later }).ok);
    std::vector<RecoveryCopy> expected = first;
    expected.push_back(later);
    EXPECT_EQ(FieldsOf(LoadRecoveryCopies(folder)), FieldsOf(expected));

    ClearRecoveryCopies(folder);
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(LoadRecoveryCopies(folder).empty());
}

TEST(RecoveryCopies, NothingToKeepMakesNoFolder)
{
    test::TempDir dir;
    const std::string folder = dir.file("recovery");
    EXPECT_TRUE(SaveRecoveryCopies(folder, {}).ok);
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(RecoveryCopies, AFolderThatCannotBeMadeIsAnError)
{
    test::TempDir dir;
    const std::string folder = dir.file("missing/recovery");
    const Status saved = SaveRecoveryCopies(folder, { { "s", "/p", "bytes" } });
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.error.find(folder), std::string::npos) << saved.error;
}

} // namespace
} // namespace pw
