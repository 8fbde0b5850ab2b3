#pragma once

#include "base/result.h"
#include "networks/network.h"

#include <string>
#include <string_view>
#include <vector>

namespace pw {

// One item of the login menu. An item with one login carries it; an item for a
// network with several logins carries none and has one sub-item per login.
struct LoginMenuItem {
    std::string Caption;
    TLoginInfo* Login = nullptr; // not owned
    std::vector<LoginMenuItem> SubItems;
};

// What BuildLoginMenu produces for the windows: the login menu, whether the
// login button is enabled, and the entries of the banner editor's network
// choice (every network's name, then その他).
struct LoginMenu {
    std::vector<LoginMenuItem> Items;
    bool LoginEnabled = false;
    std::vector<std::string> NetworkChoice;
};

// The name that stands for "no network".
inline constexpr std::string_view kOtherNetworkName = "\x82\xBB\x82\xCC\x91\xBC"; // その他

// Parses every network's Regist and builds the login menu model: networks with
// logins are numbered "[&1]Name", "[&2]Name", ... in list order.
LoginMenu BuildLoginMenu(NetworkList& networks);

// Escapes a value for a double-quoted HTML attribute: & " < >. Shift_JIS trail
// bytes never take these values, so the bytes can be handled one by one.
std::string EscapeAttribute(std::string_view value);

// What the login page takes from a network's FieldOthers (markup that comes
// with the definitions file, so it must not be able to run script or send
// the form elsewhere): only `<input>` elements of type hidden that have a
// name, rebuilt as `<input type=hidden name=N value=V>` with name and value
// escaped (character references in them are kept). Everything else (text,
// other elements, other attributes of a hidden input, comments, the content
// of script and style elements) is left out and listed in `Dropped`, one
// piece per tag or text run (blank text is not listed).
struct LoginFormFields {
    std::string Html;
    std::vector<std::string> Dropped;
};
LoginFormFields FilterFieldOthers(std::string_view fieldOthers);

// The auto-login page for one login: seven lines ending in CR LF, declaring
// its character set (Shift_JIS, the bytes it holds), with a form that
// posts the user name and password to the login address and submits itself.
// User, password and login address are escaped; the field names are put in as
// they are when they are plain words, else quoted and escaped; line 4 holds
// the hidden inputs of FieldOthers (FilterFieldOthers).
std::string BuildLoginPage(const TLoginInfo& login);

// Refuses a login whose network's address is not an "http://" or "https://"
// address with a host (PostableLoginOrigin): the page would run it, or post
// the password to a local file.
Status CheckLoginAddress(const TLoginInfo& login);

// Refuses an unsafe address as CheckLoginAddress does, then writes the login page to `path` (a scratch file),
// readable by the owner only (it holds a password): whatever stands at `path` is removed and a new file is created
// exclusively, so a link there is never written through.
Status WriteLoginPage(const std::string& path, const TLoginInfo& login);

// The separate browser window of a login: a new top-level window, shown,
// navigated to a local file without a history entry, and maximised.
class LoginBrowser {
public:
    virtual ~LoginBrowser() = default;
    virtual Status OpenMaximised(const std::string& pageFile) = 0;
};

// Performs one login: writes the page file, then opens it in a new window.
Status OpenLogin(const TLoginInfo& login, const std::string& pageFile, LoginBrowser& browser);

} // namespace pw
