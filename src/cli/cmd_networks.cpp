// networks list|export|import, regist and login-page: the networks of the
// main settings file, the Regist field-map parser and the auto-login page.

#include "base/files.h"
#include "base/sjistext.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/passwords.h"
#include "networks/definitions.h"
#include "networks/login.h"
#include "networks/network.h"
#include "networks/registnumber.h"
#include "secrets/keyringstore.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"
#include "shell/passwords.h"

#include <string>
#include <vector>

namespace pw::cli {

const std::string_view kNetworkUsage
    = "Usage:\n"
      "  pagewick-cli network password NETWORK PROFILE\n"
      "                                             store the first line of standard input as the\n"
      "                                             password of the stored login, where passwords are\n"
      "                                             kept (see \"secrets\"); the same as networks password\n";

const std::string_view kNetworksUsage
    = "Usage:\n"
      "  pagewick-cli networks list                 one line per network: code, name, login names\n"
      "  pagewick-cli networks export --version N   write nwks.txt in --dir from the system networks\n"
      "  pagewick-cli networks import FILE [--accept-new-login-hosts]\n"
      "                                             merge a definitions file into Pagewick.ini; a login\n"
      "                                             address moved to another host is kept (and reported)\n"
      "                                             for networks with stored logins, unless accepted\n"
      "  pagewick-cli networks password NETWORK PROFILE\n"
      "                                             store the first line of standard input as the\n"
      "                                             password of the stored login, where passwords are\n"
      "                                             kept (see \"secrets\")\n";

const std::string_view kRegistUsage
    = "Usage:\n"
      "  pagewick-cli regist TEXT   parse a Regist field map and print one line per entry:\n"
      "                             form, source, target and the options present, TAB-separated\n";

const std::string_view kLoginPageUsage
    = "Usage:\n"
      "  pagewick-cli login-page NETWORK PROFILE   print the auto-login page of the stored login\n"
      "The password comes from where passwords are kept; a keyring that does not answer or stays\n"
      "locked is an error (exit 1).\n";

namespace {

const std::string_view kChooseNetwork = "リストから広告代理店を選んでください。"_sjis;
const std::string_view kEnterLogin = "広告代理店にログイン名とパスワードを入力してください。"_sjis;

// Loads Pagewick.ini of --dir as the window does. A missing file reads as
// empty and is not created.
int LoadMain(Context& c, TIniList& store)
{
    if (!FileExists(JoinPath(c.dir, kMainSettingsFile))) {
        store.LoadFromText("");
        return kExitOk;
    }
    if (Status loaded = LoadSettings(c, store, c.dir, kMainSettingsFile); !loaded) {
        c.Error(loaded.error);
        return kExitFile;
    }
    return kExitOk;
}

void PrintNetworks(Context& c, const NetworkList& networks)
{
    for (const auto& network : networks) {
        std::string line = network->System + "\t" + network->Name + "\t";
        for (size_t i = 0; i < network->Logins.size(); ++i)
            line += (i ? "," : "") + network->Logins[i].Name;
        c.PrintLine(line);
    }
}

int List(Context& c)
{
    const ParsedArgs args = c.Parse(1);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (!args.positional.empty())
        return c.UsageError("networks list takes no argument");
    TIniList store;
    if (int code = LoadMain(c, store); code != kExitOk)
        return code;
    NetworkList networks;
    LoadNetworks(store, networks);
    PrintNetworks(c, networks);
    return kExitOk;
}

int Export(Context& c)
{
    const ParsedArgs args = c.Parse(1, { "--version" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (!args.positional.empty())
        return c.UsageError("networks export takes --version N");
    if (!args.Has("--version"))
        return c.UsageError("networks export needs --version N");
    const std::string& version = *args.Value("--version");
    TIniList store;
    if (int code = LoadMain(c, store); code != kExitOk)
        return code;
    NetworkList networks;
    LoadNetworks(store, networks);
    // A version that is not a number stops the export before any file is written.
    int32_t number = 0;
    const bool numeric = ParseDecimal(version, number);
    TIniList scratch;
    std::vector<std::string> warnings;
    if (Status exported = ExportNetworks(scratch, networks, version, c.dir, &warnings); !exported) {
        c.Error(exported.error);
        return numeric ? kExitFile : kExitFailure;
    }
    for (const std::string& warning : warnings)
        c.Error(warning);
    return kExitOk;
}

int Import(Context& c)
{
    const ParsedArgs args = c.Parse(1, {}, { "--accept-new-login-hosts" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (args.positional.empty())
        return c.UsageError("networks import needs FILE");
    if (args.positional.size() != 1 || args.positional[0].empty())
        return c.UsageError("networks import takes FILE [--accept-new-login-hosts]");
    const std::string& file = args.positional[0];
    const bool acceptNewHosts = args.Has("--accept-new-login-hosts");
    std::string body;
    if (Status read = ReadWholeFile(file, body); !read) {
        c.Error(read.error);
        return kExitFile;
    }
    TIniList store;
    if (int code = LoadMain(c, store); code != kExitOk)
        return code;
    NetworkList networks;
    LoadNetworks(store, networks);
    int networkVersion = store.ReadInteger("Setups", "v2", 1);
    TIniList scratch;
    std::vector<LoginHostChange> kept;
    if (Status merged
        = ApplyNetworkUpdate(scratch, std::move(body), networks, store, networkVersion, nullptr, &kept);
        !merged) {
        c.Error(merged.error);
        return kExitFailure;
    }
    if (acceptNewHosts && !kept.empty()) {
        AcceptLoginHostChanges(networks, kept);
        SaveNetworks(store, networks);
    }
    for (const LoginHostChange& change : kept) {
        if (acceptNewHosts)
            c.Error(change.Name + ": login address moved from " + change.OldURL + " to " + change.NewURL);
        else
            c.Error(change.Name + ": login address kept at " + change.OldURL + "; the definitions move it to "
                + change.NewURL + " (another host; --accept-new-login-hosts takes it)");
    }
    BuildLoginMenu(networks);
    if (Status saved = SaveSettingsFile(store, c.dir, kMainSettingsFile); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    c.Error(kNetworksUpdatedMessage);
    PrintNetworks(c, networks);
    return kExitOk;
}

// The network and the login of a profile, or an error message printed.
LoginEntry* FindLoginEntry(const Context& c, NetworkList& networks, const std::string& name,
    const std::string& profile, TNetwork*& network)
{
    network = nullptr;
    for (const auto& candidate : networks) {
        if (candidate->Name == name) {
            network = candidate.get();
            break;
        }
    }
    if (!network) {
        c.Error(kChooseNetwork);
        return nullptr;
    }
    for (LoginEntry& entry : network->Logins)
        if (entry.Name == profile)
            return &entry;
    c.Error(kEnterLogin);
    return nullptr;
}

// Pagewick.ini with its networks, and the login that NETWORK PROFILE (the two
// operands) name.
struct StoredLogin {
    TIniList store;
    NetworkList networks;
    TNetwork* network = nullptr;
    LoginEntry* entry = nullptr;
};

// Reads the settings and finds the login; an exit code other than kExitOk
// when that fails, its reason printed.
int LoadStoredLogin(Context& c, const std::vector<std::string>& operands, StoredLogin& found)
{
    if (int code = LoadMain(c, found.store); code != kExitOk)
        return code;
    LoadNetworks(found.store, found.networks);
    found.entry = FindLoginEntry(c, found.networks, c.Data(operands[0]), c.Data(operands[1]), found.network);
    return found.entry ? kExitOk : kExitFailure;
}

int Password(Context& c)
{
    const ParsedArgs args = c.Parse(1);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (args.positional.size() != 2)
        return c.UsageError("networks password needs NETWORK PROFILE");
    StoredLogin found;
    if (int code = LoadStoredLogin(c, args.positional, found); code != kExitOk)
        return code;
    SecureString password;
    if (!ReadPasswordInput(c, password))
        return kExitFailure;
    const std::unique_ptr<SecretStore> secrets = OpenPasswordStore(found.store);
    if (Status kept = KeepLoginPassword(*secrets, *found.network, *found.entry, password.view()); !kept) {
        c.Error(kept.error);
        return kExitFailure;
    }
    SaveNetworks(found.store, found.networks);
    if (Status saved = SaveSettingsFile(found.store, c.dir, kMainSettingsFile); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    return kExitOk;
}

} // namespace

int RunNetworks(Context& c)
{
    if (c.args.empty())
        return c.UsageError("networks needs a subcommand: list, export, import or password");
    const std::string& sub = c.args.front();
    if (sub == "list")
        return List(c);
    if (sub == "export")
        return Export(c);
    if (sub == "import")
        return Import(c);
    if (sub == "password")
        return Password(c);
    return c.UsageError("unknown networks subcommand '" + sub + "'");
}

int RunNetwork(Context& c)
{
    if (c.args.empty() || c.args.front() != "password")
        return c.UsageError("network has one subcommand: password NETWORK PROFILE");
    return Password(c);
}

namespace {

int PositionOf(const RegistForm& form, const TRegistField* field)
{
    for (size_t i = 0; i < form.Fields.size(); ++i)
        if (form.Fields[i].get() == field)
            return static_cast<int>(i) + 1;
    return 0;
}

} // namespace

int RunRegist(Context& c)
{
    const ParsedArgs args = c.Parse(0);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (args.positional.size() != 1)
        return c.UsageError("regist needs TEXT");
    TNetwork network;
    network.Regist = c.Data(args.positional[0]);
    ParseRegist(network);
    if (!network.Forms)
        return kExitOk;
    for (const RegistForm& form : *network.Forms) {
        for (const auto& entry : form.Fields) {
            std::string line = form.Name + "\t" + entry->Source + "\t" + entry->Target;
            if (entry->Required)
                line += "\trequired";
            if (entry->Mirror)
                line += "\tmirror";
            if (entry->Continued)
                line += "\tcontinued";
            if (entry->Next)
                line += "\tnext=" + std::to_string(PositionOf(form, entry->Next));
            if (entry->Number != kNoNumber)
                line += "\tnumber=" + std::to_string(entry->Number);
            if (entry->Pairs) {
                line += "\tpairs=";
                for (size_t i = 0; i < entry->Pairs->size(); ++i)
                    line += (i ? "," : "") + std::to_string((*entry->Pairs)[i]);
            }
            if (entry->Cut)
                line += std::string("\tcut=") + entry->Cut;
            if (!entry->RemoveText.empty())
                line += "\tremove=" + entry->RemoveText;
            if (!entry->GuardName.empty())
                line += "\tguard=" + entry->GuardName;
            if (!entry->Expected.empty())
                line += "\texpected=" + entry->Expected;
            c.PrintLine(line);
        }
    }
    return kExitOk;
}

int RunLoginPage(Context& c)
{
    const ParsedArgs args = c.Parse(0);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (args.positional.size() != 2)
        return c.UsageError("login-page needs NETWORK PROFILE");
    StoredLogin found;
    if (int code = LoadStoredLogin(c, args.positional, found); code != kExitOk)
        return code;
    TIniList& store = found.store;
    TNetwork* network = found.network;
    LoginEntry* entry = found.entry;
    const TLoginInfo* login = entry->Info.get();
    if (Status checked = CheckLoginAddress(*login); !checked) {
        c.Error(checked.error);
        return kExitFailure;
    }
    if (int code = FillLoginPasswordFor(c, store, *network, *entry); code != kExitOk)
        return code;
    c.Print(BuildLoginPage(*login));
    return kExitOk;
}

} // namespace pw::cli
