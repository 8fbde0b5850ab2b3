#include "networks/login.h"

#include "base/files.h"

namespace pw {

namespace {

constexpr std::string_view kNoScriptText =
    "JavaScript\x82\xCC\x90\xDD\x92\xE8\x82\xF0\x83I\x83\x93\x82\xC9\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81"
    "B"; // JavaScriptの設定をオンにして下さい。

} // namespace

LoginMenu BuildLoginMenu(NetworkList& networks)
{
    LoginMenu menu;
    int k = 0;
    for (auto& network : networks) {
        ParseRegist(*network);
        if (!network->Logins.empty()) {
            LoginMenuItem item;
            item.Caption = "[&" + std::to_string(k + 1) + "]" + network->Name;
            if (network->Logins.size() == 1) {
                item.Login = network->Logins.front().Info.get();
            } else {
                for (const TLoginEntry& login : network->Logins)
                    item.SubItems.push_back({login.Name, login.Info.get(), {}});
            }
            menu.Items.push_back(std::move(item));
            ++k;
        }
        menu.NetworkChoice.push_back(network->Name);
    }
    menu.LoginEnabled = k > 0;
    menu.NetworkChoice.emplace_back(kOtherNetworkName);
    return menu;
}

std::string EscapeAttribute(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string BuildLoginPage(const TLoginInfo& login)
{
    static const TNetwork kEmpty;
    const TNetwork& network = login.Network ? *login.Network : kEmpty;
    std::string page;
    page += "<html><head><meta charset=\"Shift_JIS\"></head><body><form name=fm method=post action=\"" +
            EscapeAttribute(network.LoginURL) + "\">\r\n";
    page += "<input type=hidden name=" + network.FieldUser + " value=\"" + EscapeAttribute(login.User) + "\">\r\n";
    page += "<input type=hidden name=" + network.FieldPassword + " value=\"" + EscapeAttribute(login.Password) +
            "\">\r\n";
    page += network.FieldOthers + "\r\n";
    page += "</form><script defer>\r\n";
    page += "document.fm.submit();\r\n";
    page += "</script><noscript>";
    page += kNoScriptText;
    page += "</NOSCRIPT></body></html>\r\n";
    return page;
}

Status WriteLoginPage(const std::string& path, const TLoginInfo& login)
{
    return WriteFileAtomically(path, BuildLoginPage(login), FilePermissions::OwnerOnly);
}

Status OpenLogin(const TLoginInfo& login, const std::string& pageFile, LoginBrowser& browser)
{
    if (Status written = WriteLoginPage(pageFile, login); !written)
        return written;
    return browser.OpenMaximised(pageFile);
}

} // namespace pw
