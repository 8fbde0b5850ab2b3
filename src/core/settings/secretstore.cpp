#include "settings/secretstore.h"

#include "settings/inilist.h"
#include "text/codec.h"

#include <cerrno>
#include <cstring>
#include <sys/random.h>

namespace pw {

std::string LabelText(const SecretRef& ref)
{
    return codec::EncodeSjis(ref.Label).bytes;
}

void WipeString(std::string& text)
{
    // Through a volatile pointer, so the compiler cannot drop stores to a
    // buffer that is about to be freed.
    text.resize(text.capacity());
    volatile char* bytes = text.data();
    for (size_t i = 0; i < text.size(); ++i)
        bytes[i] = 0;
    text.clear();
}

std::string_view SecretKindKey(SecretKind kind)
{
    return kind == SecretKind::Login ? "login" : "setup";
}

Status FileSecretStore::Lookup(const SecretRef& ref, std::optional<SecureString>& secret)
{
    secret.reset();
    if (ref.Field && !ref.Field->empty())
        secret.emplace(*ref.Field);
    return Status::Ok();
}

Status FileSecretStore::Store(const SecretRef& ref, std::string_view secret)
{
    if (!ref.Field)
        return Status::Fail("no record to keep the password of " + LabelText(ref));
    WipeString(*ref.Field);
    ref.Field->assign(secret);
    return Status::Ok();
}

Status FileSecretStore::Clear(const SecretRef& ref)
{
    if (ref.Field)
        WipeString(*ref.Field);
    return Status::Ok();
}

namespace {

constexpr std::string_view kSetupsSection = "Setups";
constexpr std::string_view kPlaceKey = "PasswordStore";

} // namespace

PasswordPlace ReadPasswordPlace(const TIniList& store)
{
    const std::string value = store.ReadString(kSetupsSection, kPlaceKey, "");
    if (value.empty())
        return PasswordPlace::Unset;
    return value == "keyring" ? PasswordPlace::Keyring : PasswordPlace::File;
}

std::string_view PasswordPlaceKey(PasswordPlace place)
{
    return place == PasswordPlace::Keyring ? "keyring" : "file";
}

void WritePasswordPlace(TIniList& store, PasswordPlace place)
{
    store.WriteString(kSetupsSection, kPlaceKey, PasswordPlaceKey(place));
}

Status NewSecretId(std::string& id)
{
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Status::Fail(std::string("cannot read random bytes: ") + std::strerror(errno));
        }
        got += static_cast<size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    id.clear();
    for (unsigned char b : bytes) {
        id += kHex[b >> 4];
        id += kHex[b & 15];
    }
    return Status::Ok();
}

} // namespace pw
