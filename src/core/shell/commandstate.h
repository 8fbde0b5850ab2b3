#pragma once

#include "sites/nodes.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

// Which commands of the main window are enabled, derived from a few facts of
// the window. The window gathers the facts after every change of one of them
// and applies the result to its actions, tool buttons and menu items by their
// object names.
namespace pw {

struct CommandFacts {
    int SetupCount = 0; // entries of the site selector
    int SelectedSetup = -1; // its selected entry, -1 for none
    bool DocumentActive = false; // a document tab is the active page (else the list page)
    bool FolderSelected = false; // the folder tree has a selected node
    bool FolderNeedsReconnect = false; // the connection of that node is marked for reconnection
    bool FileSelected = false; // the file list has a selected item
    TNodeKind SelectedFileKind = nkOther;
    bool DocumentNeedsReconnect = false; // the active document's connection is marked for reconnection
    bool AdNodeSelected = false; // the active document's ad tree has a selected node
    bool BannerSelected = false; // the banner list has a selected banner
    bool LoginMenuHasEntries = false; // the login menu lists at least one network
    bool TransferRunning = false; // a connect, listing, download or upload is under way
};

struct CommandState {
    // Enabled flag of every command, by object name (see CommandNames).
    std::map<std::string, bool, std::less<>> Enabled;
    // The site selector entry to select (its first when none is), -1 to leave it.
    int SelectSetup = -1;

    // False for a name the state does not cover.
    bool IsEnabled(std::string_view name) const;
};

// While a transfer runs the window takes no command that could start another
// transfer or change what it works on; these stay enabled.
inline constexpr std::string_view kCommandsDuringTransfer[] = {
    "TBHelp",
    "TBExit",
    "EditCopy",
    "MIAdPreview",
    "MIMonitor",
    "MIAd",
};

// Every command the state covers: the site selector, the actions of the action
// list, the tool buttons with their own handlers, the add-ad submenus and the
// option items.
const std::vector<std::string_view>& CommandNames();

CommandState ComputeCommandState(const CommandFacts& facts);

} // namespace pw
