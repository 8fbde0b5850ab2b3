#include "base/files.h"
#include "settings/settingsfile.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace pw {
namespace {

namespace fs = std::filesystem;

std::string ReadRaw(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes).ok);
    return bytes;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(SettingsFile, MissingFileIsCreatedEmptyAndPrivate)
{
    test::TempDir dir;
    TIniList store;
    ASSERT_TRUE(LoadSettingsFile(store, dir.path(), kMainSettingsFile).ok);
    EXPECT_EQ(store.Lines(), (std::vector<std::string> { "; NoTitle", "" }));
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
    struct rlimit old { };
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

// The plain text of a settings file of about 100,000 bytes whose byte 34
// decodes to NUL: the load stops there.
std::string DamagedPlainText()
{
    std::string text = "; NoTitle\r\n\r\n[Setups]\r\nCount=1\r\nAd";
    text.push_back('\0');
    text += "Count=500\r\n\r\n";
    for (int n = 1; text.size() < 100000; ++n)
        text += "[Banner" + std::to_string(n) + "]\r\nSpaceName=banner " + std::to_string(n) + "\r\n\r\n";
    return text;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SettingsFile, ADamagedFileIsCopiedBeforeASaveCanShortenIt)
{
    test::TempDir dir;
    std::string image = DamagedPlainText();
    ASSERT_EQ(image.find('\0'), 34u);
    ScrambleFileImage(image);
    ASSERT_TRUE(WriteFileAtomically(dir.file("ads.ini"), image, FilePermissions::OwnerOnly).ok);

    const std::time_t before = std::time(nullptr);
    TIniList store;
    SettingsLoadReport report;
    ASSERT_TRUE(LoadSettingsFile(store, dir.path(), kBannerFile, &report).ok);
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(report.Damaged);
    EXPECT_EQ(report.LoadedBytes, 34u);
    EXPECT_EQ(report.FileBytes, image.size());
    EXPECT_EQ(store.ReadString("Setups", "Count", ""), "1");
    EXPECT_FALSE(store.SectionExists("Banner1"));

    // NAME.damaged-YYYYMMDD-HHMMSS beside the file, local time of the load.
    const std::string prefix = dir.file("ads.ini.damaged-");
    ASSERT_TRUE(report.DamagedCopy.starts_with(prefix)) << report.DamagedCopy;
    const std::string stamp = report.DamagedCopy.substr(prefix.size());
    std::tm tm {};
    ASSERT_EQ(stamp.size(), 15u) << stamp;
    ASSERT_NE(::strptime(stamp.c_str(), "%Y%m%d-%H%M%S", &tm), nullptr) << stamp;
    tm.tm_isdst = -1;
    const std::time_t stamped = std::mktime(&tm);
    EXPECT_GE(stamped, before - 1);
    EXPECT_LE(stamped, after + 1);
    EXPECT_EQ(ReadRaw(report.DamagedCopy), image);
    EXPECT_EQ(ModeOf(report.DamagedCopy), 0600u);
    const std::string message = DamagedSettingsFileMessage(dir.file("ads.ini"), report);
    EXPECT_NE(message.find(report.DamagedCopy), std::string::npos) << message;
    EXPECT_NE(message.find("34"), std::string::npos) << message;

    // Loading it again (the window started twice, or a CLI call that saves
    // nothing) keeps the one copy.
    TIniList again;
    SettingsLoadReport second;
    ASSERT_TRUE(LoadSettingsFile(again, dir.path(), kBannerFile, &second).ok);
    EXPECT_TRUE(second.Damaged);
    EXPECT_EQ(second.DamagedCopy, report.DamagedCopy);

    // The save writes the short store over the file; the copy keeps every byte.
    ASSERT_TRUE(SaveSettingsFile(store, dir.path(), kBannerFile).ok);
    EXPECT_LT(ReadRaw(dir.file("ads.ini")).size(), 100u);
    EXPECT_EQ(ReadRaw(report.DamagedCopy), image);
    EXPECT_EQ(
        FilesIn(dir.path()), (std::vector<std::string> { "ads.ini", fs::path(report.DamagedCopy).filename() }));

    // Once saved, the file loads whole again.
    SettingsLoadReport clean;
    ASSERT_TRUE(LoadSettingsFile(again, dir.path(), kBannerFile, &clean).ok);
    EXPECT_FALSE(clean.Damaged);
    EXPECT_EQ(clean.DamagedCopy, "");
    EXPECT_EQ(FilesIn(dir.path()).size(), 2u);
}

// A file damaged again after a save, with other bytes of the very same size,
// gets a copy of its own: reusing the first copy would lose the second file's
// content at the next save.
TEST(SettingsFile, ASecondDamageOfTheSameSizeGetsItsOwnCopy)
{
    test::TempDir dir;
    std::string first = DamagedPlainText();
    std::string later = first;
    later.replace(later.find("banner 7"), 8, "banner X");
    ASSERT_EQ(later.size(), first.size());
    ScrambleFileImage(first);
    ScrambleFileImage(later);

    SettingsLoadReport reports[2];
    const std::string* images[2] = { &first, &later };
    for (int n = 0; n < 2; ++n) {
        ASSERT_TRUE(WriteFileAtomically(dir.file("ads.ini"), *images[n], FilePermissions::OwnerOnly).ok);
        TIniList store;
        ASSERT_TRUE(LoadSettingsFile(store, dir.path(), kBannerFile, &reports[n]).ok);
        ASSERT_TRUE(reports[n].Damaged) << n;
        ASSERT_TRUE(SaveSettingsFile(store, dir.path(), kBannerFile).ok);
    }
    EXPECT_NE(reports[1].DamagedCopy, reports[0].DamagedCopy);
    EXPECT_EQ(ReadRaw(reports[0].DamagedCopy), first);
    EXPECT_EQ(ReadRaw(reports[1].DamagedCopy), later);
    EXPECT_EQ(FilesIn(dir.path()).size(), 3u);
}

TEST(SettingsFile, OnlyALoadThatStopsEarlyCountsAsDamage)
{
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::string plain;
        bool damaged;
    };
    const std::vector<Case> cases = {
        { "Whole", "; NoTitle\r\n\r\n[S]\r\nk=v\r\n", false },
        { "Empty", "", false },
        { "NoLineBreakAtTheEnd", "[S]\r\nk=v", false },
        { "NulInTheMiddle", "[S]\r\nk=v\0w\r\n"s, true },
        { "NulAsTheLastByte", "[S]\r\nk=v\r\n\0"s, true },
        { "NulAsTheFirstByte", "\0[S]\r\n"s, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::string image = c.plain;
        ScrambleFileImage(image);
        ASSERT_TRUE(WriteFileAtomically(dir.file("Pagewick.ini"), image, FilePermissions::OwnerOnly).ok);
        TIniList store;
        SettingsLoadReport report;
        ASSERT_TRUE(LoadSettingsFile(store, dir.path(), kMainSettingsFile, &report).ok);
        EXPECT_EQ(report.Damaged, c.damaged);
        EXPECT_EQ(!report.DamagedCopy.empty(), c.damaged);
        EXPECT_EQ(FilesIn(dir.path()).size(), c.damaged ? 2u : 1u);
        if (c.damaged) {
            EXPECT_EQ(ReadRaw(report.DamagedCopy), image);
        }
    }
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
