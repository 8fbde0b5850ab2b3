// secrets status|migrate: where the passwords are kept and moving them; and
// the helpers through which the other commands read and keep passwords.

#include "base/files.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/passwords.h"
#include "secrets/keyringstore.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"
#include "shell/passwords.h"

#include <istream>
#include <iterator>

namespace pw::cli {

const std::string_view kSecretsUsage
    = "Usage:\n"
      "  pagewick-cli secrets status                      print where passwords are kept: keyring or file\n"
      "  pagewick-cli secrets migrate [--to keyring|file]  move every password there (default: keyring)\n"
      "The keyring is the desktop's Secret Service (GNOME Keyring, KeePassXC, KWallet). A move writes\n"
      "each password and reads it back before the old copy goes; when the target cannot be used, or\n"
      "anything fails on the way, every password stays where it was and the command exits with 1.\n"
      "A move to the keyring saves the keyring ids of the passwords first, so that a move killed\n"
      "half-way and run again replaces the items it wrote.\n"
      "\"site password\" and \"networks password\" store one password where passwords are kept.\n";

namespace {

int LoadMainStore(const Context& c, TIniList& store)
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

int ShowPlace(const Context& c)
{
    const ParsedArgs args = c.Parse(1);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (!args.positional.empty())
        return c.UsageError("secrets status takes no argument");
    TIniList store;
    if (int code = LoadMainStore(c, store); code != kExitOk)
        return code;
    c.PrintLine(PasswordPlaceKey(ReadPasswordPlace(store)));
    return kExitOk;
}

int Migrate(const Context& c)
{
    const ParsedArgs args = c.Parse(1, { "--to" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (!args.positional.empty())
        return c.UsageError("secrets migrate takes only --to keyring|file");
    PasswordPlace to = PasswordPlace::Keyring;
    if (const std::string* given = args.Value("--to")) {
        if (*given == "file")
            to = PasswordPlace::File;
        else if (*given != "keyring")
            return c.UsageError("--to needs keyring or file");
    }
    TIniList store;
    if (int code = LoadMainStore(c, store); code != kExitOk)
        return code;
    const std::unique_ptr<SecretStore> keyring = MakeKeyringStore();
    const PasswordMove move = MovePasswords(store, c.dir, *keyring, to);
    const std::string target(PasswordPlaceKey(to));
    if (!move.Result) {
        c.Error(move.Result.error);
        if (!move.Moved.empty() && to == PasswordPlace::Keyring)
            c.Error("written to the keyring before the failure and taken out again where it still answered: "
                + MovedPasswordsText(move.Moved));
        else if (!move.Moved.empty())
            c.Error("read before the failure and still in the keyring: " + MovedPasswordsText(move.Moved));
        if (move.IdsKept)
            c.Error("every password is still in the settings file, which now also holds the keyring ids of the "
                    "passwords, so that a new move replaces the copies left in the keyring");
        else
            c.Error("the settings files are unchanged: every password is where it was");
        return kExitFailure;
    }
    for (const std::string& label : move.Moved)
        c.out << "moved to the " << target << ": " << label << '\n';
    c.out << "passwords are kept in the " << target << '\n';
    return kExitOk;
}

// Reports a failed password read with the record it was for.
int Failed(const Context& c, const Status& status)
{
    c.Error(status.error);
    return kExitFailure;
}

} // namespace

int RunSecrets(Context& c)
{
    if (c.args.empty())
        return c.UsageError("secrets needs a subcommand: status or migrate");
    const std::string& sub = c.args.front();
    if (sub == "status")
        return ShowPlace(c);
    if (sub == "migrate")
        return Migrate(c);
    return c.UsageError("unknown secrets subcommand '" + sub + "'");
}

int FillSetupPasswordFor(const Context& c, const TIniList& store, TSetup& setup)
{
    if (setup.AskPassword) {
        c.Error(setup.Name + " asks for its password at each connection; the command line cannot ask");
        return kExitFailure;
    }
    const std::unique_ptr<SecretStore> secrets = OpenPasswordStore(store);
    if (Status filled = FillSetupPassword(*secrets, setup); !filled)
        return Failed(c, filled);
    return kExitOk;
}

int FillLoginPasswordFor(const Context& c, const TIniList& store, TNetwork& network, LoginEntry& login)
{
    const std::unique_ptr<SecretStore> secrets = OpenPasswordStore(store);
    if (Status filled = FillLoginPassword(*secrets, network, login); !filled)
        return Failed(c, filled);
    return kExitOk;
}

bool ReadPasswordInput(const Context& c, SecureString& password)
{
    std::string line;
    // Nothing read at all: no line, not an empty one.
    if (!std::getline(c.in, line)) {
        WipeString(line);
        c.Error("no password on standard input (an empty line clears the password); nothing is changed");
        return false;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::string data = c.Data(line);
    WipeString(line);
    password = SecureString(data);
    WipeString(data);
    return true;
}

} // namespace pw::cli
