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
    std::vector<ListingProblem> problems;
    TDirNode folder;
    // The problems as the listing command prints them.
    std::string Problems() const { return ListingProblemsText(problems); }
};

std::unique_ptr<Parsed> Parse(const std::vector<std::string>& lines, DateTime now = kNow)
{
    auto parsed = std::make_unique<Parsed>();
    parsed->problems = ParseListing(parsed->folder, lines, now);
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
        ASSERT_TRUE(parsed->problems.empty()) << parsed->Problems();
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
    const std::vector<ListingProblem> problems = ParseListing(connection,
        { "total 8", "-rw-r--r-- 1 a a 3 Jan 1 2000 b.txt", "drwxr-xr-x 2 a a 0 Jan 1 2000 a",
            "drwxr-xr-x 2 a a 0 Jan 1 2000 c" },
        kNow);
    ASSERT_TRUE(problems.empty()) << ListingProblemsText(problems);
    ASSERT_EQ(connection.Children->size(), 3u);
    EXPECT_EQ((*connection.Children)[0]->Name, "b.txt");
    EXPECT_EQ((*connection.Children)[1]->Name, "a");
    EXPECT_EQ((*connection.Children)[2]->Name, "c");
    // Folders belong to the listed folder's connection.
    EXPECT_EQ(static_cast<TDirNode&>(*(*connection.Children)[1]).Connection, &connection);
}

// A line that cannot be read is named with its number and gives no entry;
// the lines before and after it are read.
TEST(ParseListing, BadLinesAreReportedAndTheOthersKept)
{
    struct Case {
        std::string bad;
        std::string error;
    };
    const Case cases[] = {
        { "", "bad listing var" },
        { "total 8", "bad listing var" }, // only a leading total line is skipped
        // Other listing styles.
        { "01-15-02  10:30AM  1234 index.htm", "Invalid argument to date encode" },
        { "-rw-r--r-- 1 a a 3 Foo 1 2000 x.txt", "Invalid argument to date encode" },
        // Dates and times that do not exist.
        { "-rw-r--r-- 1 a a 3 Feb 30 2000 x.txt", "Invalid argument to date encode" },
        { "-rw-r--r-- 1 a a 3 Jan 1 24:00 x.txt", "Invalid argument to date encode" },
        { "-rw-r--r-- 1 a a 3 Jan 1 10:60 x.txt", "Invalid argument to date encode" },
        // 29 February ahead of the clock moves back into a year without it.
        { "-rw-r--r-- 1 a a 3 Feb 29 12:00 x.txt", "Invalid argument to date encode" },
        { "-rw-r--r-- 1 a a x1 Jan 1 2000 x.txt", "'x1' is not a valid integer value" },
        { "-rw-r--r-- 1 a a 1 Jan 1 1O:00 x.txt", "'1O' is not a valid integer value" },
        { "-rw-r--r-- 1 a a 9223372036854775808 Jan 1 2000 x.iso",
            "'9223372036854775808' is not a valid integer value" },
        { "-rw-r--r-- 1 a a 1 Jan 3000000000 2000 x.txt", "'3000000000' is not a valid integer value" },
        // The server's text in a message is cut short and shows no control byte.
        { "-rw-r--r-- 1 a a 1\x1B[2J" + std::string(60, '9') + " Jan 1 2000 x.txt",
            "'1\\x1B[2J" + std::string(35, '9') + "...' is not a valid integer value" },
    };
    const std::string before = "-rw-r--r-- 1 a a 3 Jan 1 2000 before.txt";
    const std::string after = "drwxr-xr-x 2 a a 0 Jan 2 2000 after";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bad);
        auto parsed = Parse({ before, c.bad, after, c.bad }, { 2024, 2, 1, 0, 0, 0 });
        ASSERT_EQ(parsed->problems.size(), 2u);
        EXPECT_EQ(parsed->problems[0].Line, 2u);
        EXPECT_EQ(parsed->problems[0].Error, c.error);
        EXPECT_EQ(parsed->problems[1].Line, 4u);
        ASSERT_EQ(parsed->folder.Children->size(), 2u);
        EXPECT_EQ(parsed->folder.Children->front()->Name, "before.txt");
        EXPECT_EQ(parsed->folder.Children->back()->Name, "after");
        EXPECT_EQ(parsed->Problems(), "line 2: " + c.error + "; line 4: " + c.error);
    }
    // Only a first line of "total N" is no entry and no problem.
    EXPECT_TRUE(Parse({ "total 123456789" })->problems.empty());
    EXPECT_TRUE(Parse({ "total 123456789" })->folder.Children->empty());

    // A listing of many bad lines names the first few and counts the rest.
    auto many = Parse(std::vector<std::string>(8, "short"));
    EXPECT_EQ(many->Problems(),
        "line 1: bad listing var; line 2: bad listing var; line 3: bad listing var; line 4: bad listing var; "
        "line 5: bad listing var; and 3 more lines");
}

// Files of 2 GiB and more (DVD images, backups) are listed with their size.
TEST(ParseListing, ReadsSizesOf64Bits)
{
    struct Case {
        std::string size;
        std::int64_t expected;
    };
    const Case cases[] = {
        { "2147483647", 2147483647 },
        { "2147483648", 2147483648 },
        { "4294967296", 4294967296 },
        { "3000000000", 3000000000 },
        { "9223372036854775807", INT64_MAX },
        { "0", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        auto parsed
            = Parse({ "-rw-r--r-- 1 a a " + c.size + " Jan 1 2000 big.iso", "-rw-r--r-- 1 a a 1 Jan 1 2000 x" });
        ASSERT_TRUE(parsed->problems.empty()) << parsed->Problems();
        ASSERT_EQ(parsed->folder.Children->size(), 2u);
        EXPECT_EQ(static_cast<const TFileNode&>(*parsed->folder.Children->front()).Size, c.expected);
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
        ASSERT_TRUE(parsed->problems.empty()) << parsed->Problems();
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

TEST(SearchLocalFolder, ReadsSizesOf64Bits)
{
    test::TempDir dir;
    std::ofstream(dir.file("big.iso")) << "";
    std::filesystem::resize_file(dir.file("big.iso"), 3'000'000'000); // sparse: takes no room
    std::vector<LocalSearchResult> results;
    ASSERT_TRUE(SearchLocalFolder(dir.path(), results).ok);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].Size, 3'000'000'000);
    TConnection connection;
    AddLocalEntry(connection, results[0]);
    EXPECT_EQ(static_cast<TFileNode&>(*connection.Children->front()).Size, 3'000'000'000);
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
        const std::vector<ListingProblem> problems = ParseListing(folder, { line }, kNow);
        if (problems.empty()) {
            ++parsedOk;
            for (const auto& child : *folder.Children) {
                EXPECT_TRUE(IsValidDateTime(child->Date)) << line;
                EXPECT_LE(child->Name.size(), line.size());
            }
        } else {
            ASSERT_EQ(problems.size(), 1u) << line;
            EXPECT_EQ(problems[0].Line, 1u) << line;
            EXPECT_FALSE(problems[0].Error.empty()) << line;
            EXPECT_TRUE(folder.Children->empty()) << line;
        }
    }
    EXPECT_GT(parsedOk, 0);
}

} // namespace
} // namespace pw
