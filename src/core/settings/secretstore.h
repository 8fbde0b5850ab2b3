#pragma once

// Where the program keeps passwords: in the records of the main settings file
// (as it always did) or in the desktop keyring. Both sit behind SecretStore so
// the window and the command line never care which one holds a password.

#include "base/result.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pw {

class TIniList;

// Overwrites the bytes of `text` (its whole capacity) and empties it.
void WipeString(std::string& text);

// A string that wipes its buffer when it is replaced or goes away. For
// passwords the code owns; a copy handed to a library stays the library's.
class SecureString {
public:
    SecureString() = default;
    explicit SecureString(std::string_view text)
        : m_text(text)
    {
    }
    SecureString(const SecureString& other)
        : m_text(other.m_text)
    {
    }
    SecureString(SecureString&& other) noexcept
        : m_text(std::move(other.m_text))
    {
        other.Wipe();
    }
    SecureString& operator=(const SecureString& other)
    {
        if (this != &other) {
            Wipe();
            m_text = other.m_text;
        }
        return *this;
    }
    SecureString& operator=(SecureString&& other) noexcept
    {
        if (this != &other) {
            Wipe();
            m_text = std::move(other.m_text);
            other.Wipe();
        }
        return *this;
    }
    ~SecureString() { Wipe(); }

    const std::string& str() const { return m_text; }
    std::string_view view() const { return m_text; }
    bool empty() const { return m_text.empty(); }
    void Wipe() { WipeString(m_text); }
    bool operator==(const SecureString& other) const { return m_text == other.m_text; }

private:
    std::string m_text;
};

// Which record a password belongs to.
enum class SecretKind { Setup, Login };
std::string_view SecretKindKey(SecretKind kind); // "setup" or "login"

// One password as the stores see it.
struct SecretRef {
    SecretKind Kind = SecretKind::Setup;
    // The record's stable id (its "SecretId" key): it stays when the record
    // is renamed, so a keyring item is found by it alone.
    std::string Id;
    // UTF-8 text shown in the keyring program: "Pagewick: FTP pwtest@example.jp".
    // Messages name it through LabelText().
    std::string Label;
    // UTF-8 attributes that only describe the item (protocol, user, host;
    // network, profile); lookups do not use them.
    std::vector<std::pair<std::string, std::string>> Details;
    // The record's own password field in memory: where the file store keeps it.
    std::string* Field = nullptr;
};

// The label as program text, for messages.
std::string LabelText(const SecretRef& ref);

// A place for passwords.
class SecretStore {
public:
    virtual ~SecretStore() = default;
    // "keyring" or "file".
    virtual std::string_view Kind() const = 0;
    // Whether the store can be used now; the error says why not.
    virtual Status Check() = 0;
    // The stored password; nullopt when none is stored.
    virtual Status Lookup(const SecretRef& ref, std::optional<SecureString>& secret) = 0;
    virtual Status Store(const SecretRef& ref, std::string_view secret) = 0;
    // Removes the password; removing one that is not there is no error.
    virtual Status Clear(const SecretRef& ref) = 0;
};

// The passwords in the records' own fields, saved with the settings file by
// whoever saves the records.
class FileSecretStore : public SecretStore {
public:
    std::string_view Kind() const override { return "file"; }
    Status Check() override { return Status::Ok(); }
    Status Lookup(const SecretRef& ref, std::optional<SecureString>& secret) override;
    Status Store(const SecretRef& ref, std::string_view secret) override;
    Status Clear(const SecretRef& ref) override;
};

// The setting "PasswordStore" of section "Setups": "keyring" or "file";
// Unset when the key is missing (an install from before the keyring, or a new
// one), anything else reads as File.
enum class PasswordPlace { Unset, File, Keyring };
PasswordPlace ReadPasswordPlace(const TIniList& store);
void WritePasswordPlace(TIniList& store, PasswordPlace place);
std::string_view PasswordPlaceKey(PasswordPlace place); // "file" for Unset

// A new record id: 32 hex digits from the system's random source.
Status NewSecretId(std::string& id);

} // namespace pw
