#include "base/files.h"
#include "settings/settingsfile.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace pw {
namespace {

std::string ReadRaw(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes).ok);
    return bytes;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(SettingsFile, MissingFileIsCreatedEmptyAndPrivate)
{
    test::TempDir dir;
    TIniList store;
    ASSERT_TRUE(LoadSettingsFile(store, dir.path(), kMainSettingsFile).ok);
    EXPECT_EQ(store.Lines(), (std::vector<std::string>{"; NoTitle", ""}));
    EXPECT_EQ(ReadRaw(dir.file("Pagewick.ini")), "");
    EXPECT_EQ(ModeOf(dir.file("Pagewick.ini")), 0600u);
}

TEST(SettingsFile, SaveScramblesAndLoadRestores)
{
    test::TempDir dir;
    TIniList store;
    store.LoadFromText("");
    store.WriteString("Setups", "Count", "2");
    store.WriteString("Banner1", "SpaceName", "\x8D\x4C\x8D\x90"); // 広告
    ASSERT_TRUE(SaveSettingsFile(store, dir.path(), kBannerFile).ok);

    std::string image = ReadRaw(dir.file("ads.ini"));
    EXPECT_EQ(image[0], ';');
    EXPECT_EQ(image[1], static_cast<char>(' ' ^ 'v'));
    ScrambleFileImage(image);
    EXPECT_EQ(image, store.SaveToText());
    EXPECT_EQ(ModeOf(dir.file("ads.ini")), 0600u);

    TIniList again;
    ASSERT_TRUE(LoadSettingsFile(again, dir.path(), kBannerFile).ok);
    EXPECT_EQ(again.Lines(), store.Lines());
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile)
{
    test::TempDir dir;
    TIniList store;
    store.LoadFromText("");
    store.WriteString("S", "k", "old");
    ASSERT_TRUE(SaveSettingsFile(store, dir.path(), kMainSettingsFile).ok);
    const std::string before = ReadRaw(dir.file("Pagewick.ini"));

    // A file size limit makes the write fail part way, like a full disk.
    store.WriteString("S", "big", std::string(200000, 'x'));
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Status saved = SaveSettingsFile(store, dir.path(), kMainSettingsFile);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.error.find("Pagewick.ini"), std::string::npos);
    EXPECT_EQ(ReadRaw(dir.file("Pagewick.ini")), before);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u) << "no temporary file may be left behind";
}

TEST(SettingsFile, UncreatableFileGivesTheInstallMessage)
{
    test::TempDir dir;
    TIniList store;
    store.WriteString("Keep", "k", "v");
    const auto before = store.Lines();
    const Status loaded = LoadSettingsFile(store, dir.file("no-such-folder"), kProfileFile);
    ASSERT_FALSE(loaded.ok);
    EXPECT_EQ(codec::DecodeSjis(loaded.error),
              "\u30A4\u30CB\u30B7\u30E3\u30EB\u30D5\u30A1\u30A4\u30EB[siteinfo.ini]\u306F\u5B58\u5728"
              "\u3057\u307E\u305B\u3093\u3001\u6B63\u3057\u304F\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB"
              "\u3057\u3066\u304F\u3060\u3055\u3044\u3002");
    EXPECT_EQ(store.Lines(), before);
}

} // namespace
} // namespace pw
