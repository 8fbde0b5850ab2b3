#include "shell/commandstate.h"

#include <algorithm>

namespace pw {

bool CommandState::IsEnabled(std::string_view name) const
{
    const auto it = Enabled.find(name);
    return it != Enabled.end() && it->second;
}

const std::vector<std::string_view>& CommandNames()
{
    static const std::vector<std::string_view> names = {
        // sites and files
        "CBSetups",
        "TBConnect",
        "TBDisconnect",
        "TBReconnect",
        "RefreshDir",
        "TBHosts",
        // documents
        "FileOpen",
        "FileSave",
        "FilePreview",
        "FileCloseAct",
        "RefreshAd",
        "DeleteAd",
        // banners and the ads of the active document
        "Jump",
        "TBAddAd",
        "MIAddAd",
        "MIAddAd1",
        "AddNormal",
        "AddRotation",
        "ReplaceAd",
        "NewBanner",
        "EditBanner",
        "DeleteBanner",
        "ArchiveBanner",
        // networks
        "TBLogin",
        "MINetwork",
        "MIUpdateNetwork",
        // options and the program
        "TBOptions",
        "MIOption",
        "MIAdPreview",
        "MIMonitor",
        "MIAd",
        "TBHelp",
        "TBExit",
        // editing
        "EditCut",
        "EditCopy",
        "EditPaste",
    };
    return names;
}

CommandState ComputeCommandState(const CommandFacts& facts)
{
    CommandState state;
    auto& on = state.Enabled;
    // Commands whose handlers check their own preconditions.
    for (const std::string_view name : CommandNames())
        on.emplace(name, true);

    int selected = facts.SelectedSetup;
    if (facts.SetupCount > 0 && (selected < 0 || selected >= facts.SetupCount)) {
        selected = 0;
        state.SelectSetup = 0;
    }
    const bool listPage = !facts.DocumentActive;
    const bool document = facts.DocumentActive;

    on["TBConnect"] = facts.SetupCount > 0 && selected >= 0;
    on["TBDisconnect"] = listPage && facts.FolderSelected;
    on["TBReconnect"]
        = (on["TBDisconnect"] && facts.FolderNeedsReconnect) || (document && facts.DocumentNeedsReconnect);
    on["RefreshDir"] = on["TBDisconnect"];
    on["FileOpen"] = listPage && facts.FileSelected && facts.SelectedFileKind != nkOther
        && facts.SelectedFileKind != nkArchive;
    on["FileSave"] = document;
    on["FilePreview"] = on["FileOpen"] || document;
    on["FileCloseAct"] = document;
    on["Jump"] = document && facts.BannerSelected;
    on["TBAddAd"] = on["MIAddAd"] = on["MIAddAd1"] = on["Jump"];
    on["ReplaceAd"] = on["TBAddAd"] && facts.AdNodeSelected;
    on["DeleteAd"] = document && facts.AdNodeSelected;
    on["RefreshAd"] = on["FileSave"];
    on["EditBanner"] = facts.BannerSelected;
    on["DeleteBanner"] = on["ArchiveBanner"] = on["EditBanner"];
    on["TBLogin"] = facts.LoginMenuHasEntries;

    if (facts.TransferRunning) {
        for (auto& [name, enabled] : on) {
            if (std::find(std::begin(kCommandsDuringTransfer), std::end(kCommandsDuringTransfer), name)
                == std::end(kCommandsDuringTransfer))
                enabled = false;
        }
    }
    return state;
}

} // namespace pw
