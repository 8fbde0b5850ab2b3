#pragma once

#include "shell/commands.h"
#include "sites/nodes.h"

#include <array>

// Which commands of the main window are enabled, derived from a few facts of
// the window. The window gathers the facts after every change of one of them
// and applies the result to its actions, tool buttons and menu items.
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
    // Enabled flag of every command, by its index.
    std::array<bool, kCommandCount> Enabled {};
    // The site selector entry to select (its first when none is), -1 to leave it.
    int SelectSetup = -1;

    bool IsEnabled(Command command) const { return Enabled[CommandIndex(command)]; }
    bool& operator[](Command command) { return Enabled[CommandIndex(command)]; }
};

// While a transfer runs the window takes no command that could start another
// transfer or change what it works on; these stay enabled.
inline constexpr Command kCommandsDuringTransfer[] = {
    Command::TBHelp,
    Command::TBExit,
    Command::EditCopy,
    Command::MIAdPreview,
    Command::MIMonitor,
    Command::MIAd,
};

CommandState ComputeCommandState(const CommandFacts& facts);

} // namespace pw
