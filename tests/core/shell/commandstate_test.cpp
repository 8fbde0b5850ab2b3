#include "shell/commandstate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace pw {
namespace {

using enum Command;

// Enabled whatever the window shows, as long as no transfer runs.
const std::vector<Command> kAlways = {
    CBSetups,
    TBHosts,
    NewBanner,
    AddNormal,
    AddRotation,
    MINetwork,
    MIUpdateNetwork,
    TBOptions,
    MIOption,
    MIAdPreview,
    MIMonitor,
    MIAd,
    TBHelp,
    TBExit,
    EditCut,
    EditCopy,
    EditPaste,
};

std::vector<Command> With(std::vector<Command> names)
{
    names.insert(names.end(), kAlways.begin(), kAlways.end());
    return names;
}

// One setup selected, a connected folder selected on the list page.
CommandFacts ListPage()
{
    CommandFacts f;
    f.SetupCount = 2;
    f.SelectedSetup = 1;
    f.FolderSelected = true;
    return f;
}

CommandFacts DocumentPage()
{
    CommandFacts f = ListPage();
    f.DocumentActive = true;
    return f;
}

TEST(CommandState, EnabledFlagsFollowTheWindowsFacts)
{
    struct Case {
        const char* what;
        CommandFacts facts;
        std::vector<Command> enabled; // every other command is disabled
    } cases[] = {
        { "no setups, nothing selected", CommandFacts {}, With({}) },
        { "list page, nothing selected in the tree",
            [] {
                CommandFacts f = ListPage();
                f.FolderSelected = false;
                f.FolderNeedsReconnect = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide }) },
        { "list page, folder selected", ListPage(), With({ TBConnect, TBSiteWide, TBDisconnect, RefreshDir }) },
        { "list page, folder of a broken connection",
            [] {
                CommandFacts f = ListPage();
                f.FolderNeedsReconnect = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBDisconnect, TBReconnect, RefreshDir }) },
        { "list page, banner selected: banner commands only",
            [] {
                CommandFacts f = ListPage();
                f.BannerSelected = true;
                f.AdNodeSelected = true; // the tree of a tab that is not active
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBDisconnect, RefreshDir, EditBanner, DeleteBanner, ArchiveBanner }) },
        { "list page, page file selected",
            [] {
                CommandFacts f = ListPage();
                f.FileSelected = true;
                f.SelectedFileKind = nkPage;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBDisconnect, RefreshDir, FileOpen, FilePreview }) },
        { "list page, folder in the file list",
            [] {
                CommandFacts f = ListPage();
                f.FileSelected = true;
                f.SelectedFileKind = nkFolder;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBDisconnect, RefreshDir, FileOpen, FilePreview }) },
        { "list page, archive in the file list",
            [] {
                CommandFacts f = ListPage();
                f.FileSelected = true;
                f.SelectedFileKind = nkArchive;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBDisconnect, RefreshDir }) },
        { "list page, other file",
            [] {
                CommandFacts f = ListPage();
                f.FileSelected = true;
                f.SelectedFileKind = nkOther;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBDisconnect, RefreshDir }) },
        { "document page, nothing selected",
            [] {
                CommandFacts f = DocumentPage();
                f.FileSelected = true; // the file list's selection is on the other page
                f.SelectedFileKind = nkPage;
                f.FolderNeedsReconnect = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, FileSave, FilePreview, FileCloseAct, RefreshAd }) },
        { "document page, banner but no ad node",
            [] {
                CommandFacts f = DocumentPage();
                f.BannerSelected = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, FileSave, FilePreview, FileCloseAct, RefreshAd, Jump, TBAddAd, MIAddAd,
                MIAddAd1, EditBanner, DeleteBanner, ArchiveBanner }) },
        { "document page, ad node but no banner",
            [] {
                CommandFacts f = DocumentPage();
                f.AdNodeSelected = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, FileSave, FilePreview, FileCloseAct, RefreshAd, DeleteAd }) },
        { "document page, banner and ad node",
            [] {
                CommandFacts f = DocumentPage();
                f.BannerSelected = true;
                f.AdNodeSelected = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, FileSave, FilePreview, FileCloseAct, RefreshAd, Jump, TBAddAd, MIAddAd,
                MIAddAd1, ReplaceAd, DeleteAd, EditBanner, DeleteBanner, ArchiveBanner }) },
        { "document page after a failed upload",
            [] {
                CommandFacts f = DocumentPage();
                f.DocumentNeedsReconnect = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBReconnect, FileSave, FilePreview, FileCloseAct, RefreshAd }) },
        { "list page ignores the document's reconnection mark",
            [] {
                CommandFacts f = ListPage();
                f.DocumentNeedsReconnect = true;
                return f;
            }(),
            With({ TBConnect, TBSiteWide, TBDisconnect, RefreshDir }) },
        { "login menu with networks",
            [] {
                CommandFacts f;
                f.LoginMenuHasEntries = true;
                return f;
            }(),
            With({ TBLogin }) },
        { "transfer running on a document with everything selected",
            [] {
                CommandFacts f = DocumentPage();
                f.BannerSelected = true;
                f.AdNodeSelected = true;
                f.DocumentNeedsReconnect = true;
                f.LoginMenuHasEntries = true;
                f.TransferRunning = true;
                return f;
            }(),
            { TBHelp, TBExit, EditCopy, MIAdPreview, MIMonitor, MIAd } },
    };
    for (const auto& c : cases) {
        const CommandState state = ComputeCommandState(c.facts);
        const std::set<Command> expected(c.enabled.begin(), c.enabled.end());
        for (const Command command : AllCommands()) {
            EXPECT_EQ(state.IsEnabled(command), expected.count(command) > 0)
                << c.what << ": " << CommandName(command);
        }
    }
}

TEST(CommandState, SiteSelectorSelectsItsFirstEntryWhenNoneIs)
{
    struct Case {
        int count, selected;
        int select; // entry the state selects, -1 for none
        bool connect;
    } cases[] = {
        { 0, -1, -1, false },
        { 3, -1, 0, true },
        { 3, 2, -1, true },
        { 3, 7, 0, true },
        { 1, 0, -1, true },
    };
    for (const auto& c : cases) {
        CommandFacts facts;
        facts.SetupCount = c.count;
        facts.SelectedSetup = c.selected;
        const CommandState state = ComputeCommandState(facts);
        EXPECT_EQ(state.SelectSetup, c.select) << c.count << " " << c.selected;
        EXPECT_EQ(state.IsEnabled(TBConnect), c.connect) << c.count << " " << c.selected;
        EXPECT_EQ(state.IsEnabled(TBSiteWide), c.connect) << c.count << " " << c.selected;
    }
}

TEST(CommandNames, EveryCommandHasItsOwnNameAndIsFoundByIt)
{
    std::set<std::string_view> seen;
    for (const Command command : AllCommands()) {
        const std::string_view name = CommandName(command);
        EXPECT_FALSE(name.empty());
        EXPECT_TRUE(seen.insert(name).second) << name;
        EXPECT_EQ(CommandByName(name), command) << name;
    }
    EXPECT_EQ(CommandName(TBConnect), "TBConnect");
    EXPECT_EQ(CommandName(EditPaste), "EditPaste");
    for (const std::string_view unknown : { "", "TBconnect", "NoSuchCommand", "TBRefresh" })
        EXPECT_EQ(CommandByName(unknown), std::nullopt) << unknown;
}

} // namespace
} // namespace pw
