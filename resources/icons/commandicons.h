#pragma once

// Icons of the window's commands: for each action or tool button (by
// objectName) the freedesktop icon theme name to try first, and the bundled
// fallback in resources/icons.qrc. An empty theme name means the bundled icon
// is used as it is (no theme name says what the command does). Every command
// has a bundled icon of its own, so no two commands look alike:
//   QIcon::fromTheme(theme, QIcon(resource))

namespace pw::icons {

struct CommandIcon {
    const char* objectName;
    const char* themeName;
    const char* resource;
};

inline constexpr CommandIcon kCommandIcons[] = {
    {"TBLogin", "dialog-password", ":/icons/toolbar/login.svg"}, // log in to a network (menu button)
    {"TBOptions", "preferences-system", ":/icons/toolbar/options.svg"}, // options
    {"TBHosts", "network-server", ":/icons/toolbar/hosts.svg"}, // list of sites and folders
    {"TBConnect", "network-connect", ":/icons/toolbar/connect.svg"}, // connect to the selected site
    {"TBDisconnect", "network-disconnect", ":/icons/toolbar/disconnect.svg"}, // disconnect
    {"TBReconnect", "", ":/icons/toolbar/reconnect.svg"}, // connect again
    {"RefreshDir", "view-refresh", ":/icons/toolbar/refresh-dir.svg"}, // refresh the folder (TBRefresh)
    {"FileOpen", "document-open", ":/icons/toolbar/open.svg"}, // open a file or folder (TBOpen)
    {"FilePreview", "document-print-preview", ":/icons/toolbar/preview.svg"}, // preview the file (TBPreview)
    {"FileSave", "document-save", ":/icons/toolbar/save.svg"}, // save the page (TBSave)
    {"FileCloseAct", "document-close", ":/icons/toolbar/close.svg"}, // close the page (TBClose)
    {"DeleteAd", "", ":/icons/toolbar/delete-ad.svg"}, // remove the ad block (TBDeleteAd)
    {"RefreshAd", "", ":/icons/toolbar/refresh-ad.svg"}, // refresh the page's ad list (TBRefreshAd)
    {"Jump", "edit-find", ":/icons/toolbar/jump.svg"}, // find the current banner in the page (TBJump)
    {"TBAddAd", "list-add", ":/icons/toolbar/add-ad.svg"}, // add the banner to the page (menu button)
    {"AddNormal", "", ":/icons/toolbar/add-normal.svg"}, // add as a normal banner
    {"AddRotation", "", ":/icons/toolbar/add-rotation.svg"}, // add as a rotation banner
    {"NewBanner", "document-new", ":/icons/toolbar/new-banner.svg"}, // new banner (TBNew)
    {"EditBanner", "document-edit", ":/icons/toolbar/edit-banner.svg"}, // edit the banner (TBEdit)
    {"DeleteBanner", "edit-delete", ":/icons/toolbar/delete-banner.svg"}, // delete the banner from the list (TBDelete)
    {"ArchiveBanner", "", ":/icons/toolbar/archive.svg"}, // archive the banner (TBArchive)
    {"ReplaceAd", "edit-find-replace", ":/icons/toolbar/replace.svg"}, // replace the ad block (TBReplaceAd)
    {"TBHelp", "help-contents", ":/icons/toolbar/help.svg"}, // help
    {"TBExit", "application-exit", ":/icons/toolbar/exit.svg"}, // quit
    {"EditCut", "edit-cut", ":/icons/toolbar/cut.svg"}, // cut
    {"EditCopy", "edit-copy", ":/icons/toolbar/copy.svg"}, // copy
    {"EditPaste", "edit-paste", ":/icons/toolbar/paste.svg"}, // paste
    {"MIMonitor", "", ":/icons/toolbar/monitor.svg"}, // clipboard monitor (check item)
};

// The program's own icon, for the window (the installed theme icon is
// org.pagewick.Pagewick).
inline constexpr const char* kProgramIconTheme = "org.pagewick.Pagewick";
inline constexpr const char* kProgramIconResource = ":/icons/app/pagewick.svg";

} // namespace pw::icons
