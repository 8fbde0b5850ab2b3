#include "sites/listing.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>

namespace pw {
namespace {

const DateTime kNow { 2024, 6, 1, 12, 0, 0 };

struct Parsed {
    Status status;
    TDirNode folder;
};

std::unique_ptr<Parsed> Parse(const std::vector<std::string>& lines, DateTime now = kNow)
{
    auto parsed = std::make_unique<Parsed>();
    parsed->status = ParseListing(parsed->folder, lines, now);
    return parsed;
}

TEST(ParseListing, ReadsEntriesOfTheUnixForm)
{
    struct Case {
        std::string line;
        std::string name;
        TNodeKind kind;
        int size;
        std::string attributes;
        DateTime date;
    };
    const Case cases[] = {
        { "-rw-r--r--   1 web  web   1234 Jan 15 10:30 index.html", "index.html", nkPage, 1234, "-rw-r--r--",
            { 2024, 1, 15, 10, 30, 0 } },
        // Still ahead of the clock this year: last year.
        { "-rw-r--r--   1 web  web   1 Dec 24 23:59 late.txt", "late.txt", nkText, 1, "-rw-r--r--",
            { 2023, 12, 24, 23, 59, 0 } },
        { "drwxr-xr-x   2 web  web   4096 Dec  3  2001 images", "images", nkFolder, -1, "drwxr-xr-x",
            { 2001, 12, 3, 0, 0, 0 } },
        { "lrwxrwxrwx   1 web  web     11 Jan  1 10:00 docs -> /var/docs", "docs", nkOther, 11, "lrwxrwxrwx",
            { 2024, 1, 1, 10, 0, 0 } },
        // Names with blanks are read whole (also before a link's arrow).
        { "-rw-r--r--   1 web  web   5 May 31  2020 my page.html", "my page.html", nkPage, 5, "-rw-r--r--",
            { 2020, 5, 31, 0, 0, 0 } },
        { "lrwxrwxrwx   1 web  web   5 may 31  2020 old  page.htm -> new page.htm", "old  page.htm", nkPage, 5,
            "lrwxrwxrwx", { 2020, 5, 31, 0, 0, 0 } },
        { "-rw-r--r--   1 web  web   5 Jun  1 12:00 now.zip", "now.zip", nkArchive, 5, "-rw-r--r--",
            { 2024, 6, 1, 12, 0, 0 } },
        { "drwxr-xr-x   2 web  web   4096 Feb 29  2000 .", ".", nkFolder, -1, "drwxr-xr-x",
            { 2000, 2, 29, 0, 0, 0 } },
        // Shift_JIS name (表示.html: trail byte 0x5C) and a group name with blanks folded away.
        { "-rw-r--r--   1 1000     1000        77 Mar  9 08:05 \x95\x5C\x8E\xA6.html", "\x95\x5C\x8E\xA6.html",
            nkPage, 77, "-rw-r--r--", { 2024, 3, 9, 8, 5, 0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto parsed = Parse({ c.line });
        ASSERT_TRUE(parsed->status.ok) << parsed->status.error;
        ASSERT_EQ(parsed->folder.Children->size(), 1u);
        const TNode& entry = *parsed->folder.Children->front();
        EXPECT_EQ(entry.Name, c.name);
        EXPECT_EQ(entry.Kind, c.kind);
        EXPECT_EQ(entry.Attributes, c.attributes);
        EXPECT_EQ(entry.Date, c.date);
        EXPECT_EQ(entry.Parent, &parsed->folder);
        if (c.size >= 0)
            EXPECT_EQ(static_cast<const TFileNode&>(entry).Size, c.size);
        else
            EXPECT_TRUE(entry.IsFolder());
    }
}

TEST(ParseListing, KeepsServerOrderAndSkipsALeadingTotalLine)
{
    TConnection connection;
    const Status status = ParseListing(connection,
        { "total 8", "-rw-r--r-- 1 a a 3 Jan 1 2000 b.txt", "drwxr-xr-x 2 a a 0 Jan 1 2000 a",
            "drwxr-xr-x 2 a a 0 Jan 1 2000 c" },
        kNow);
    ASSERT_TRUE(status.ok) << status.error;
    ASSERT_EQ(connection.Children->size(), 3u);
    EXPECT_EQ((*connection.Children)[0]->Name, "b.txt");
    EXPECT_EQ((*connection.Children)[1]->Name, "a");
    EXPECT_EQ((*connection.Children)[2]->Name, "c");
    // Folders belong to the listed folder's connection.
    EXPECT_EQ(static_cast<TDirNode&>(*(*connection.Children)[1]).Connection, &connection);
}

TEST(ParseListing, FailsOnBadLinesKeepingWhatWasRead)
{
    struct Case {
        std::vector<std::string> lines;
        std::string error;
        size_t kept;
    };
    const std::string good = "-rw-r--r-- 1 a a 3 Jan 1 2000 ok.txt";
    const Case cases[] = {
        { { good, "" }, "bad listing var", 1 },
        { { good, "total 8" }, "bad listing var", 1 }, // only a leading total line is skipped
        { { "total 123456789" }, "", 0 },
        { { "01-15-02  10:30AM  1234 index.htm" }, "Invalid argument to date encode", 0 },
        { { "-rw-r--r-- 1 a a 3 Foo 1 2000 x.txt" }, "Invalid argument to date encode", 0 },
        { { "-rw-r--r-- 1 a a 3 Feb 30 2000 x.txt" }, "Invalid argument to date encode", 0 },
        { { "-rw-r--r-- 1 a a 3 Jan 1 24:00 x.txt" }, "Invalid argument to date encode", 0 },
        { { "-rw-r--r-- 1 a a 3 Jan 1 10:60 x.txt" }, "Invalid argument to date encode", 0 },
        // 29 February ahead of the clock moves back into a year without it.
        { { "-rw-r--r-- 1 a a 3 Feb 29 12:00 x.txt" }, "Invalid argument to date encode", 0 },
        { { "-rw-r--r-- 1 a a 3000000000 Jan 1 2000 big.iso" }, "'3000000000' is not a valid integer value", 0 },
        { { good, "-rw-r--r-- 1 a a x1 Jan 1 2000 x.txt" }, "'x1' is not a valid integer value", 1 },
        { { "-rw-r--r-- 1 a a 1 Jan 1 1O:00 x.txt" }, "'1O' is not a valid integer value", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.back());
        auto parsed = Parse(c.lines, { 2024, 2, 1, 0, 0, 0 });
        EXPECT_EQ(parsed->status.ok, c.error.empty());
        EXPECT_EQ(parsed->status.error, c.error);
        EXPECT_EQ(parsed->folder.Children->size(), c.kept);
    }
}

// A folder's size field is skipped, whatever it holds: a word or a number too
// large for a file's size still gives the folder, and the lines after it are read.
TEST(ParseListing, FolderSizeIsNotRead)
{
    for (const std::string size : { "big", "3000000000", "-1", "4096" }) {
        SCOPED_TRACE(size);
        auto parsed
            = Parse({ "drwxr-xr-x 2 a a " + size + " Jan 1 2000 dir", "-rw-r--r-- 1 a a 7 Jan 2 2000 f.txt" });
        ASSERT_TRUE(parsed->status.ok) << parsed->status.error;
        ASSERT_EQ(parsed->folder.Children->size(), 2u);
        const TNode& folder = *parsed->folder.Children->front();
        EXPECT_EQ(folder.Name, "dir");
        EXPECT_EQ(folder.Kind, nkFolder);
        EXPECT_TRUE(folder.IsFolder());
        EXPECT_EQ(folder.Attributes, "drwxr-xr-x");
        EXPECT_EQ(folder.Date, (DateTime { 2000, 1, 1, 0, 0, 0 }));
        const TNode& file = *parsed->folder.Children->back();
        EXPECT_EQ(file.Name, "f.txt");
        ASSERT_FALSE(file.IsFolder());
        EXPECT_EQ(static_cast<const TFileNode&>(file).Size, 7);
    }
}

TEST(ClassifyByExtension, KindTable)
{
    struct Case {
        const char* name;
        TNodeKind kind;
    };
    const Case cases[] = {
        { "README", nkOther },
        { ".htaccess", nkOther },
        { "index.PHP", nkOther },
        { "Index.Html", nkPage },
        { "a.shtml", nkPage },
        { "x.cgi", nkPage },
        { "x.inc", nkPage },
        { "x.jsp", nkPage },
        { "x.me", nkText },
        { "app.JS", nkText },
        { "x.ini", nkText },
        { "x.lzh", nkArchive },
        { "x.tar.gz", nkArchive },
        { "name.", nkOther },
        { "x.html.bak", nkOther },
        { "photo.jpg", nkOther },
    };
    for (const Case& c : cases)
        EXPECT_EQ(KindOfName(c.name), c.kind) << c.name;
}

TEST(AddLocalEntry, AttributesAndKinds)
{
    TConnection connection;
    LocalSearchResult file { "page.htm", false, false, false, false, 10, { 2020, 1, 2, 10, 30, 0 } };
    LocalSearchResult hidden { "secret", false, true, true, false, 1, {} };
    LocalSearchResult system { "sys", false, false, false, true, 1, {} };
    LocalSearchResult dir { "sub", true, false, false, false, 0, {} };
    AddLocalEntry(connection, file);
    AddLocalEntry(connection, hidden);
    AddLocalEntry(connection, system);
    AddLocalEntry(connection, dir);
    const auto& children = *connection.Children;
    EXPECT_EQ(children[0]->Attributes, "rw-------");
    EXPECT_EQ(children[0]->Kind, nkPage);
    EXPECT_EQ(static_cast<TFileNode&>(*children[0]).Size, 10);
    EXPECT_EQ(children[0]->Date, (DateTime { 2020, 1, 2, 10, 30, 0 }));
    EXPECT_EQ(children[1]->Attributes, "r------h-");
    EXPECT_EQ(children[2]->Attributes, "rw--s----");
    EXPECT_EQ(children[3]->Kind, nkFolder);
    EXPECT_EQ(static_cast<TDirNode&>(*children[3]).Connection, &connection);
}

TEST(SearchLocalFolder, ReadsTheDisk)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    std::ofstream(dir.file("a b.html")) << "12345";
    std::ofstream(dir.file(".hidden")) << "";
    ::chmod(dir.file(".hidden").c_str(), 0444);
    std::vector<LocalSearchResult> results;
    ASSERT_TRUE(SearchLocalFolder(dir.path(), results).ok);
    ASSERT_EQ(results.size(), 3u);
    std::sort(results.begin(), results.end(), [](auto& a, auto& b) { return a.Name < b.Name; });
    EXPECT_EQ(results[0].Name, ".hidden");
    EXPECT_TRUE(results[0].Hidden);
    EXPECT_TRUE(results[0].ReadOnly);
    EXPECT_EQ(results[1].Name, "a b.html");
    EXPECT_EQ(results[1].Size, 5);
    EXPECT_FALSE(results[1].ReadOnly);
    EXPECT_TRUE(results[2].Directory);

    std::vector<LocalSearchResult> none;
    EXPECT_EQ(SearchLocalFolder(dir.file("missing"), none).error, "bad directory");
}

} // namespace
} // namespace pw

namespace pw {
namespace {

// Lines made of listing-like pieces and random bytes: the parser either reads
// an entry or fails with a message, and never reads past a line.
TEST(ParseListing, SurvivesArbitraryLines)
{
    std::mt19937 random(7);
    const std::vector<std::string> pieces = { "-rw-r--r--", "drwxr-xr-x", "lrwxrwxrwx", " ", "  ", "1", "web",
        "2147483647", "2147483648", "-2147483648", "Feb", "29", "31", "0", "23:59", "24:00", ":", "12:", ":30",
        "2000", "\x95\x5C", "->", " -> ", "x.html", "\xFF", std::string(1, '\0'), "total" };
    int parsedOk = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string line;
        const int count = static_cast<int>(random() % 14);
        for (int i = 0; i < count; ++i) {
            if (random() % 5 == 0)
                line += static_cast<char>(random() % 256);
            else
                line += pieces[random() % pieces.size()];
        }
        TDirNode folder;
        const Status status = ParseListing(folder, { line }, kNow);
        if (status.ok) {
            ++parsedOk;
            for (const auto& child : *folder.Children) {
                EXPECT_TRUE(IsValidDateTime(child->Date)) << line;
                EXPECT_LE(child->Name.size(), line.size());
            }
        } else {
            EXPECT_FALSE(status.error.empty()) << line;
        }
    }
    EXPECT_GT(parsedOk, 0);
}

} // namespace
} // namespace pw
