#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// The main window's commands. Each is named by the object name of its action
// or widget; code names a command by its enumerator, so a misspelt command
// does not compile.
namespace pw {

// The one table of commands: the enumerators and their object names.
// clang-format off
#define PW_WINDOW_COMMANDS(X)                                                          \
    /* sites and files */                                                              \
    X(CBSetups) X(TBConnect) X(TBDisconnect) X(TBReconnect) X(RefreshDir) X(TBHosts)   \
    /* documents */                                                                    \
    X(FileOpen) X(FileSave) X(FilePreview) X(FileCloseAct) X(RefreshAd) X(DeleteAd)    \
    /* banners and the ads of the active document */                                   \
    X(Jump) X(TBAddAd) X(MIAddAd) X(MIAddAd1) X(AddNormal) X(AddRotation)              \
    X(ReplaceAd) X(NewBanner) X(EditBanner) X(DeleteBanner) X(ArchiveBanner)           \
    X(TBSiteWide)                                                                     \
    /* networks */                                                                     \
    X(TBLogin) X(MINetwork) X(MIUpdateNetwork)                                         \
    /* options and the program */                                                      \
    X(TBOptions) X(MIOption) X(MIAdPreview) X(MIMonitor) X(MIAd) X(TBHelp) X(TBExit)   \
    /* editing */                                                                      \
    X(EditCut) X(EditCopy) X(EditPaste)
// clang-format on

enum class Command {
#define PW_COMMAND_ENUMERATOR(name) name,
    PW_WINDOW_COMMANDS(PW_COMMAND_ENUMERATOR)
#undef PW_COMMAND_ENUMERATOR
};

inline constexpr std::array kCommandNames = {
#define PW_COMMAND_NAME(name) std::string_view(#name),
    PW_WINDOW_COMMANDS(PW_COMMAND_NAME)
#undef PW_COMMAND_NAME
};

inline constexpr std::size_t kCommandCount = kCommandNames.size();

constexpr std::array<Command, kCommandCount> AllCommands()
{
    std::array<Command, kCommandCount> all {};
    for (std::size_t i = 0; i < kCommandCount; ++i)
        all[i] = static_cast<Command>(i);
    return all;
}

constexpr std::size_t CommandIndex(Command command)
{
    return static_cast<std::size_t>(command);
}

// The object name of the command's action or widget.
constexpr std::string_view CommandName(Command command)
{
    return kCommandNames[CommandIndex(command)];
}

// The command with that object name, none for a name that is no command.
constexpr std::optional<Command> CommandByName(std::string_view name)
{
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        if (kCommandNames[i] == name)
            return static_cast<Command>(i);
    }
    return std::nullopt;
}

} // namespace pw
