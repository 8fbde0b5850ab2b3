// The whole-site walk over a server's listings (the in-memory server of
// fakeftp.h): lines it cannot read and files of 2 GiB or more.

#include "core/sites/fakeftp.h"
#include "sites/sitewalk.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

struct RemoteSite {
    test::FakeFactory factory;
    TSetup setup;

    RemoteSite()
    {
        setup.Host = "ftp.example.jp";
        setup.User = "web";
        setup.Password = "secret";
        setup.Kind = skFtp;
        setup.IniPath = "www";
        factory.server->AddFile("/home/web/www/index.html", "<html>\n");
        factory.server->AddFile("/home/web/www/sub/page.html", "<p>\n");
    }
    SiteScanResult Scan()
    {
        SiteWalkOptions options;
        options.Jobs = 1;
        return ScanSite(SiteAccessFor(setup, factory.Make()), {}, options);
    }
};

std::vector<std::string> PathsOf(const SiteScanResult& scan)
{
    std::vector<std::string> paths;
    for (const SitePage& page : scan.Pages)
        paths.push_back(page.Relative);
    return paths;
}

// A folder whose listing has a line the walk cannot read (another listing
// style, a date that does not exist) is still walked: its pages and
// subfolders are found, and the folder is reported with the line.
TEST(RemoteSiteWalk, UnreadableListingLinesAreReportedAndTheOthersWalked)
{
    RemoteSite site;
    // Appended to every folder's listing, after the entries.
    site.factory.server->extraListing = "01-15-02  10:30AM  1234 odd.htm\r\n"
                                        "-rw-r--r--   1 web  web   5 Feb 30  2020 gone.html\r\n";
    const SiteScanResult scan = site.Scan();
    EXPECT_EQ(PathsOf(scan), (std::vector<std::string> { "index.html", "sub/page.html" }));
    ASSERT_EQ(scan.Problems.size(), 2u);
    EXPECT_EQ(scan.Problems[0].Path, "/home/web/www");
    EXPECT_EQ(scan.Problems[1].Path, "/home/web/www/sub");
    for (const SiteProblem& problem : scan.Problems) {
        EXPECT_NE(problem.Error.find("line "), std::string::npos) << problem.Error;
        EXPECT_NE(problem.Error.find("Invalid argument to date encode"), std::string::npos) << problem.Error;
    }
}

// A file of 2 GiB or more in a folder leaves the folder readable.
TEST(RemoteSiteWalk, FilesOf2GiBAndMoreAreListed)
{
    RemoteSite site;
    site.factory.server->extraListing = "-rw-r--r--   1 web  web   2147483648 Feb  2  2020 backup.tar\r\n"
                                        "-rw-r--r--   1 web  web   9000000000 Feb  2  2020 video.iso\r\n";
    const SiteScanResult scan = site.Scan();
    EXPECT_TRUE(scan.Problems.empty()) << scan.Problems[0].Path << ": " << scan.Problems[0].Error;
    EXPECT_EQ(PathsOf(scan), (std::vector<std::string> { "index.html", "sub/page.html" }));
}

} // namespace
} // namespace pw
