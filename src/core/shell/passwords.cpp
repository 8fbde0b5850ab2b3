#include "shell/passwords.h"

#include "settings/inilist.h"
#include "settings/settingsfile.h"
#include "sites/connection.h"
#include "text/codec.h"

#include <cctype>
#include <optional>

namespace pw {

namespace {

std::string Utf8(std::string_view sjis)
{
    return codec::DecodeSjis(sjis);
}

bool IsKeyring(const SecretStore& store)
{
    return store.Kind() == "keyring";
}

Status EnsureId(std::string& id)
{
    return id.empty() ? NewSecretId(id) : Status::Ok();
}

// Writes the secret and reads it back; an item that does not come back equal
// is an error, never a moved password.
Status StoreAndCheck(SecretStore& store, const SecretRef& ref, std::string_view secret)
{
    if (Status stored = store.Store(ref, secret); !stored)
        return stored;
    std::optional<SecureString> back;
    if (Status read = store.Lookup(ref, back); !read)
        return read;
    if (!back || back->view() != secret)
        return Status::Fail("the " + std::string(store.Kind()) + " did not give back the password of "
            + LabelText(ref) + " as written");
    return Status::Ok();
}

Status Fill(SecretStore& store, const SecretRef& ref, std::string& field)
{
    std::optional<SecureString> secret;
    if (Status read = store.Lookup(ref, secret); !read)
        return read;
    if (secret) {
        if (ref.Field != &field || field != secret->view()) {
            WipeString(field);
            field = secret->str();
        }
    } else if (IsKeyring(store)) {
        WipeString(field);
    }
    return Status::Ok();
}

Status Keep(SecretStore& store, const SecretRef& ref, std::string& id, std::string_view password)
{
    if (!IsKeyring(store))
        return store.Store(ref, password);
    if (Status made = EnsureId(id); !made)
        return made;
    SecretRef withId = ref;
    withId.Id = id;
    if (password.empty()) {
        // No password: no item either.
        if (Status cleared = store.Clear(withId); !cleared)
            return cleared;
    } else if (Status stored = StoreAndCheck(store, withId, password); !stored) {
        return stored;
    }
    if (ref.Field)
        WipeString(*ref.Field);
    return Status::Ok();
}

// Every record of the store that can hold a password, loaded once.
struct Records {
    SetupList setups;
    NetworkList networks;

    explicit Records(const TIniList& store)
    {
        setups = LoadSetups(store);
        LoadNetworks(store, networks);
    }

    template <class Visit> void Each(Visit visit)
    {
        for (auto& setup : setups.Setups)
            visit(SetupSecretRef(*setup), setup->SecretId, setup->Password);
        for (auto& network : networks)
            for (auto& login : network->Logins)
                visit(LoginSecretRef(*network, login), login.Info->SecretId, login.Info->Password);
    }
};

} // namespace

SecretRef SetupSecretRef(TSetup& setup)
{
    SecretRef ref;
    ref.Kind = SecretKind::Setup;
    ref.Id = setup.SecretId;
    std::string protocol(ProtocolKey(setup.Protocol));
    for (char& c : protocol)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string user = Utf8(setup.User);
    const std::string host = Utf8(setup.Host);
    ref.Label = "Pagewick: " + protocol + " " + (user.empty() ? host : user + "@" + host);
    ref.Details = { { "protocol", std::string(ProtocolKey(setup.Protocol)) }, { "user", user }, { "host", host } };
    ref.Field = &setup.Password;
    return ref;
}

SecretRef LoginSecretRef(TNetwork& network, LoginEntry& login)
{
    SecretRef ref;
    ref.Kind = SecretKind::Login;
    ref.Id = login.Info->SecretId;
    const std::string name = Utf8(network.Name);
    const std::string profile = Utf8(login.Name);
    ref.Label = "Pagewick: " + name + " " + profile;
    ref.Details = { { "network", name }, { "profile", profile }, { "user", Utf8(login.Info->User) } };
    ref.Field = &login.Info->Password;
    return ref;
}

Status FillSetupPassword(SecretStore& store, TSetup& setup)
{
    if (setup.AskPassword) {
        WipeString(setup.Password);
        return Status::Ok();
    }
    if (IsKeyring(store) && setup.SecretId.empty())
        return Status::Ok(); // never kept in the keyring: what the file says (normally nothing)
    return Fill(store, SetupSecretRef(setup), setup.Password);
}

Status FillLoginPassword(SecretStore& store, TNetwork& network, LoginEntry& login)
{
    if (IsKeyring(store) && login.Info->SecretId.empty())
        return Status::Ok();
    return Fill(store, LoginSecretRef(network, login), login.Info->Password);
}

Status KeepSetupPassword(SecretStore& store, TSetup& setup, std::string_view password)
{
    return Keep(store, SetupSecretRef(setup), setup.SecretId, password);
}

Status KeepLoginPassword(SecretStore& store, TNetwork& network, LoginEntry& login, std::string_view password)
{
    return Keep(store, LoginSecretRef(network, login), login.Info->SecretId, password);
}

bool HasPasswordsInFile(const TIniList& store)
{
    Records records(store);
    bool any = false;
    records.Each([&](const SecretRef&, std::string&, std::string& password) { any = any || !password.empty(); });
    return any;
}

std::string MovedPasswordsText(const std::vector<std::string>& labels)
{
    std::string text;
    for (const std::string& label : labels)
        text += (text.empty() ? "" : ", ") + label;
    return codec::EncodeSjis(text).bytes;
}

namespace {

// Puts the records back into the store and saves it, with "PasswordStore"
// set to `place` unless none is given; on a failed save the store gets its old
// lines back.
Status SaveRecords(
    TIniList& store, Records& records, std::optional<PasswordPlace> place, const std::string& folder)
{
    const std::vector<std::string> before = store.Lines();
    SaveSetups(store, records.setups.Setups, records.setups.SelectedIndex);
    SaveNetworks(store, records.networks);
    if (place)
        WritePasswordPlace(store, *place);
    Status saved = SaveSettingsFile(store, folder, kMainSettingsFile);
    if (!saved)
        store.SetLines(before);
    return saved;
}

PasswordMove ToKeyring(TIniList& store, const std::string& folder, SecretStore& keyring)
{
    PasswordMove move;
    const std::vector<std::string> before = store.Lines();
    Records records(store);
    // The ids go into the file before any item is written (they hold no
    // secret): a move killed half-way leaves items that the next move finds
    // by them and replaces, none under an id that nobody knows.
    bool newIds = false;
    records.Each([&](const SecretRef&, std::string& id, std::string& password) {
        if (!move.Result || password.empty() || !id.empty())
            return;
        move.Result = NewSecretId(id);
        newIds = true;
    });
    if (move.Result && newIds)
        move.Result = SaveRecords(store, records, std::nullopt, folder);
    if (!move.Result)
        return move;
    move.IdsKept = newIds;

    // Every item written or tried, for the way back.
    std::vector<SecretRef> touched;
    records.Each([&](SecretRef ref, std::string& id, std::string& password) {
        if (!move.Result || password.empty())
            return;
        ref.Id = id;
        touched.push_back(ref);
        if (Status stored = StoreAndCheck(keyring, ref, password); !stored) {
            move.Result = Status::Fail(
                "cannot keep the password of " + LabelText(ref) + " in the keyring: " + stored.error);
            return;
        }
        move.Moved.push_back(ref.Label);
    });
    if (move.Result) {
        records.Each([](const SecretRef&, std::string&, std::string& password) { WipeString(password); });
        move.Result = SaveRecords(store, records, PasswordPlace::Keyring, folder);
        if (move.Result) {
            move.IdsKept = false;
            return move;
        }
    }
    // The file still holds every password: the copies go again where the
    // keyring lets them. With none left the file gets its old text back; a
    // copy that stays keeps its id in the file, so that the next move
    // replaces it.
    bool cleared = true;
    for (const SecretRef& ref : touched)
        cleared = keyring.Clear(ref).ok && cleared;
    if (move.IdsKept && cleared) {
        const std::vector<std::string> withIds = store.Lines();
        store.SetLines(before);
        if (SaveSettingsFile(store, folder, kMainSettingsFile))
            move.IdsKept = false;
        else
            store.SetLines(withIds);
    }
    return move;
}

PasswordMove ToFile(TIniList& store, const std::string& folder, SecretStore& keyring)
{
    PasswordMove move;
    Records records(store);
    std::vector<SecretRef> found;
    records.Each([&](const SecretRef& ref, std::string& id, std::string& password) {
        if (!move.Result || id.empty())
            return;
        std::optional<SecureString> secret;
        if (Status read = keyring.Lookup(ref, secret); !read) {
            move.Result = Status::Fail(
                "cannot read the password of " + LabelText(ref) + " from the keyring: " + read.error);
            return;
        }
        if (!secret)
            return;
        WipeString(password);
        password = secret->str();
        found.push_back(ref);
        move.Moved.push_back(ref.Label);
    });
    if (move.Result)
        move.Result = SaveRecords(store, records, PasswordPlace::File, folder);
    if (!move.Result)
        return move;
    // The file holds them now; a keyring item that cannot be removed is only
    // a copy, and the message says so.
    std::string left;
    for (const SecretRef& ref : found) {
        if (Status cleared = keyring.Clear(ref); !cleared)
            left += (left.empty() ? "" : ", ") + LabelText(ref);
    }
    if (!left.empty())
        move.Result
            = Status::Fail("the passwords are in the file now, but these keyring items stay as copies: " + left);
    return move;
}

} // namespace

namespace {

// Puts `password` into the keyring under the record's id (made when missing)
// unless the item already holds it.
Status SyncToKeyring(SecretStore& secrets, SecretRef ref, std::string& id, const std::string& password)
{
    if (password.empty())
        return Status::Ok();
    if (Status made = EnsureId(id); !made)
        return made;
    ref.Id = id;
    std::optional<SecureString> current;
    if (Status read = secrets.Lookup(ref, current); !read)
        return read;
    if (current && current->view() == password)
        return Status::Ok();
    return StoreAndCheck(secrets, ref, password);
}

// Runs `save` with every password out of the records, then puts them back.
template <class Each, class Save> void WithoutPasswords(Each each, Save save)
{
    std::vector<SecureString> kept;
    each([&](std::string& password) {
        kept.emplace_back(password);
        WipeString(password);
    });
    save();
    size_t i = 0;
    each([&](std::string& password) { password = kept[i++].str(); });
}

} // namespace

Status SaveSetupsWithSecrets(TIniList& store, const std::vector<std::unique_ptr<TSetup>>& setups,
    int selectedIndex, const std::vector<std::unique_ptr<TConnection>>& openConnections, SecretStore& secrets)
{
    if (!IsKeyring(secrets)) {
        SaveSetups(store, setups, selectedIndex, openConnections);
        return Status::Ok();
    }
    Status result = Status::Ok();
    for (const auto& setup : setups) {
        if (setup->AskPassword) {
            // Asked each time: an item kept from before goes.
            if (Status cleared = secrets.Clear(SetupSecretRef(*setup)); !cleared && result)
                result = cleared;
            continue;
        }
        if (Status synced = SyncToKeyring(secrets, SetupSecretRef(*setup), setup->SecretId, setup->Password);
            !synced && result)
            result = synced;
    }
    WithoutPasswords(
        [&](auto visit) {
            for (const auto& setup : setups)
                visit(setup->Password);
        },
        [&] { SaveSetups(store, setups, selectedIndex, openConnections); });
    return result;
}

Status SaveNetworksWithSecrets(TIniList& store, const NetworkList& networks, SecretStore& secrets)
{
    if (!IsKeyring(secrets)) {
        SaveNetworks(store, networks);
        return Status::Ok();
    }
    Status result = Status::Ok();
    for (const auto& network : networks) {
        for (auto& login : network->Logins) {
            if (Status synced = SyncToKeyring(
                    secrets, LoginSecretRef(*network, login), login.Info->SecretId, login.Info->Password);
                !synced && result)
                result = synced;
        }
    }
    WithoutPasswords(
        [&](auto visit) {
            for (const auto& network : networks)
                for (auto& login : network->Logins)
                    visit(login.Info->Password);
        },
        [&] { SaveNetworks(store, networks); });
    return result;
}

Status FillSetupPasswords(SecretStore& secrets, const std::vector<std::unique_ptr<TSetup>>& setups)
{
    for (const auto& setup : setups) {
        if (!setup->Password.empty())
            continue;
        if (Status filled = FillSetupPassword(secrets, *setup); !filled)
            return filled;
    }
    return Status::Ok();
}

Status FillLoginPasswords(SecretStore& secrets, const NetworkList& networks)
{
    for (const auto& network : networks) {
        for (auto& login : network->Logins) {
            if (!login.Info->Password.empty())
                continue;
            if (Status filled = FillLoginPassword(secrets, *network, login); !filled)
                return filled;
        }
    }
    return Status::Ok();
}

PasswordStartStep DecidePasswordStart(const TIniList& store, bool keyringAnswers)
{
    if (ReadPasswordPlace(store) != PasswordPlace::Unset || !keyringAnswers)
        return PasswordStartStep::Nothing;
    return HasPasswordsInFile(store) ? PasswordStartStep::AskToMove : PasswordStartStep::UseKeyring;
}

PasswordMove MovePasswords(TIniList& store, const std::string& folder, SecretStore& keyring, PasswordPlace to)
{
    if (Status usable = keyring.Check(); !usable)
        return { usable, {} };
    return to == PasswordPlace::Keyring ? ToKeyring(store, folder, keyring) : ToFile(store, folder, keyring);
}

} // namespace pw
