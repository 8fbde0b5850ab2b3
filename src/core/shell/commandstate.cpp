#include "shell/commandstate.h"

#include <algorithm>

namespace pw {

CommandState ComputeCommandState(const CommandFacts& facts)
{
    CommandState state;
    CommandState& on = state;
    // Commands whose handlers check their own preconditions.
    state.Enabled.fill(true);
    using enum Command;

    int selected = facts.SelectedSetup;
    if (facts.SetupCount > 0 && (selected < 0 || selected >= facts.SetupCount)) {
        selected = 0;
        state.SelectSetup = 0;
    }
    const bool listPage = !facts.DocumentActive;
    const bool document = facts.DocumentActive;

    on[TBConnect] = facts.SetupCount > 0 && selected >= 0;
    // Works on the selected setup over connections of its own.
    on[TBSiteWide] = on[TBConnect];
    on[TBDisconnect] = listPage && facts.FolderSelected;
    on[TBReconnect]
        = (on[TBDisconnect] && facts.FolderNeedsReconnect) || (document && facts.DocumentNeedsReconnect);
    on[RefreshDir] = on[TBDisconnect];
    on[FileOpen] = listPage && facts.FileSelected && facts.SelectedFileKind != nkOther
        && facts.SelectedFileKind != nkArchive;
    on[FileSave] = document;
    on[FilePreview] = on[FileOpen] || document;
    on[FileCloseAct] = document;
    on[Jump] = document && facts.BannerSelected;
    on[TBAddAd] = on[MIAddAd] = on[MIAddAd1] = on[Jump];
    on[ReplaceAd] = on[TBAddAd] && facts.AdNodeSelected;
    on[DeleteAd] = document && facts.AdNodeSelected;
    on[RefreshAd] = on[FileSave];
    on[EditBanner] = facts.BannerSelected;
    on[DeleteBanner] = on[ArchiveBanner] = on[EditBanner];
    on[TBLogin] = facts.LoginMenuHasEntries;

    if (facts.TransferRunning) {
        for (const Command command : AllCommands()) {
            if (std::find(std::begin(kCommandsDuringTransfer), std::end(kCommandsDuringTransfer), command)
                == std::end(kCommandsDuringTransfer))
                on[command] = false;
        }
    }
    return state;
}

} // namespace pw
