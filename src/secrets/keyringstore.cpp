#include "secrets/keyringstore.h"

#include "settings/inilist.h"
#include "text/codec.h"

#include <libsecret/secret.h>

#include <string>

namespace pw {

namespace {

const SecretSchema* Schema()
{
    static const SecretSchema schema = {
        "org.pagewick.Password",
        SECRET_SCHEMA_NONE,
        {
            { "application", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "kind", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "id", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "protocol", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "user", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "host", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "network", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "profile", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING },
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &schema;
}

constexpr const char* kApplication = "pagewick";

// Owns a GHashTable of attribute strings (the table copies them).
class Attributes {
public:
    Attributes()
        : m_table(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free))
    {
    }
    ~Attributes() { g_hash_table_unref(m_table); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;

    void Add(const std::string& name, const std::string& value)
    {
        g_hash_table_replace(m_table, g_strdup(name.c_str()), g_strdup(value.c_str()));
    }
    GHashTable* get() const { return m_table; }

private:
    GHashTable* m_table;
};

// The attributes that find an item.
void AddKey(Attributes& attributes, const SecretRef& ref)
{
    attributes.Add("application", kApplication);
    attributes.Add("kind", std::string(SecretKindKey(ref.Kind)));
    attributes.Add("id", ref.Id);
}

// A GError as the message of a failed keyring call, freed here.
Status Failure(const std::string& what, GError* error)
{
    std::string text = what;
    if (error) {
        const bool noService
            = (error->domain == G_DBUS_ERROR
                  && (error->code == G_DBUS_ERROR_SERVICE_UNKNOWN || error->code == G_DBUS_ERROR_NAME_HAS_NO_OWNER
                      || error->code == G_DBUS_ERROR_NO_REPLY || error->code == G_DBUS_ERROR_TIMEOUT
                      || error->code == G_DBUS_ERROR_DISCONNECTED || error->code == G_DBUS_ERROR_NO_SERVER
                      || error->code == G_DBUS_ERROR_FILE_NOT_FOUND
                      || error->code == G_DBUS_ERROR_SPAWN_EXEC_FAILED
                      || error->code == G_DBUS_ERROR_NOT_SUPPORTED))
            || error->domain == G_IO_ERROR;
        if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CANCELLED)
            text += ": the keyring was not unlocked (cancelled)";
        else if (noService)
            text += ": no Secret Service answers (a keyring such as GNOME Keyring or KeePassXC must run in the "
                    "desktop session): "
                + codec::EncodeSjis(error->message).bytes;
        else
            text += ": the keyring failed: " + codec::EncodeSjis(error->message).bytes;
        g_error_free(error);
    }
    return Status::Fail(text);
}

// Every keyring call runs with a main context of its own as the thread's
// default, so that what libsecret leaves behind (signal subscriptions,
// follow-up tasks) never lands in the window's event loop, which iterates the
// global default context.
class PrivateContext {
public:
    PrivateContext() { g_main_context_push_thread_default(Context()); }
    ~PrivateContext() { g_main_context_pop_thread_default(Context()); }
    PrivateContext(const PrivateContext&) = delete;
    PrivateContext& operator=(const PrivateContext&) = delete;

private:
    static GMainContext* Context()
    {
        static GMainContext* context = g_main_context_new();
        return context;
    }
};

Status NoId(const SecretRef& ref)
{
    return Status::Fail("the password of " + LabelText(ref) + " has no keyring id");
}

class KeyringStore : public SecretStore {
public:
    std::string_view Kind() const override { return "keyring"; }

    Status Check() override
    {
        const PrivateContext context;
        GError* error = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
        if (!service)
            return Failure("cannot reach the keyring", error);
        // The service object alone does not show that someone answers: ask it.
        GList* collections = nullptr;
        const gboolean loaded = secret_service_load_collections_sync(service, nullptr, &error);
        if (loaded)
            collections = secret_service_get_collections(service);
        const bool any = collections != nullptr;
        g_list_free_full(collections, g_object_unref);
        g_object_unref(service);
        if (!loaded)
            return Failure("cannot reach the keyring", error);
        (void)any; // an empty service creates its default collection on the first store
        return Status::Ok();
    }

    Status Lookup(const SecretRef& ref, std::optional<SecureString>& secret) override
    {
        const PrivateContext context;
        secret.reset();
        if (ref.Id.empty())
            return NoId(ref);
        Attributes attributes;
        AddKey(attributes, ref);
        GError* error = nullptr;
        // Search rather than a plain lookup: it tells a locked item (the
        // unlock prompt was dismissed) from a missing one.
        GList* found = secret_password_searchv_sync(Schema(), attributes.get(),
            static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS),
            nullptr, &error);
        if (error)
            return Failure("cannot read the password of " + LabelText(ref) + " from the keyring", error);
        Status result = Status::Ok();
        for (GList* l = found; l && !secret && result; l = l->next) {
            if (SECRET_IS_ITEM(l->data) && secret_item_get_locked(SECRET_ITEM(l->data))) {
                result = Status::Fail("the keyring that holds the password of " + LabelText(ref)
                    + " stays locked (the unlock was cancelled)");
                break;
            }
            SecretValue* value = SECRET_IS_ITEM(l->data)
                ? secret_item_get_secret(SECRET_ITEM(l->data))
                : secret_retrievable_retrieve_secret_sync(SECRET_RETRIEVABLE(l->data), nullptr, &error);
            if (error) {
                result = Failure("cannot read the password of " + LabelText(ref) + " from the keyring", error);
                break;
            }
            if (!value)
                continue;
            gsize length = 0;
            const gchar* bytes = secret_value_get(value, &length);
            secret.emplace(std::string_view(bytes, length));
            secret_value_unref(value);
        }
        g_list_free_full(found, g_object_unref);
        return result;
    }

    Status Store(const SecretRef& ref, std::string_view secret) override
    {
        const PrivateContext context;
        if (ref.Id.empty())
            return NoId(ref);
        Attributes attributes;
        AddKey(attributes, ref);
        for (const auto& [name, value] : ref.Details)
            attributes.Add(name, value);
        GError* error = nullptr;
        // The record's bytes as they are (Shift_JIS for a Japanese password):
        // text when they are UTF-8, else an opaque value.
        const bool text = g_utf8_validate(secret.data(), static_cast<gssize>(secret.size()), nullptr);
        SecretValue* value = secret_value_new(
            secret.data(), static_cast<gssize>(secret.size()), text ? "text/plain" : "application/octet-stream");
        const gboolean stored = secret_password_storev_binary_sync(
            Schema(), attributes.get(), SECRET_COLLECTION_DEFAULT, ref.Label.c_str(), value, nullptr, &error);
        secret_value_unref(value);
        if (!stored)
            return Failure("cannot write the password of " + LabelText(ref) + " to the keyring", error);
        return RemoveOthers(ref, attributes);
    }

    Status Clear(const SecretRef& ref) override
    {
        const PrivateContext context;
        if (ref.Id.empty())
            return Status::Ok();
        // Item by item: the service-side clear of this libsecret answers its
        // task twice when it removes several items.
        Attributes key;
        AddKey(key, ref);
        GError* error = nullptr;
        GList* found = secret_password_searchv_sync(Schema(), key.get(),
            static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK), nullptr, &error);
        if (error)
            return Failure("cannot remove the password of " + LabelText(ref) + " from the keyring", error);
        Status result = Status::Ok();
        for (GList* l = found; l && result; l = l->next) {
            if (SECRET_IS_ITEM(l->data) && !secret_item_delete_sync(SECRET_ITEM(l->data), nullptr, &error))
                result = Failure("cannot remove the password of " + LabelText(ref) + " from the keyring", error);
        }
        g_list_free_full(found, g_object_unref);
        return result;
    }

private:
    // An item is replaced only when all its attributes match; one written for
    // the same id under the record's old name or user would be found too, so
    // it goes.
    Status RemoveOthers(const SecretRef& ref, const Attributes& written)
    {
        Attributes key;
        AddKey(key, ref);
        GError* error = nullptr;
        GList* found = secret_password_searchv_sync(Schema(), key.get(), SECRET_SEARCH_ALL, nullptr, &error);
        if (error)
            return Failure("cannot tidy the keyring items of " + LabelText(ref), error);
        Status result = Status::Ok();
        for (GList* l = found; l && result; l = l->next) {
            if (!SECRET_IS_ITEM(l->data))
                continue;
            GHashTable* attributes = secret_retrievable_get_attributes(SECRET_RETRIEVABLE(l->data));
            bool same = true;
            GHashTableIter it;
            gpointer name = nullptr;
            gpointer value = nullptr;
            g_hash_table_iter_init(&it, written.get());
            while (same && g_hash_table_iter_next(&it, &name, &value)) {
                const auto* have = static_cast<const char*>(g_hash_table_lookup(attributes, name));
                same = have && g_strcmp0(have, static_cast<const char*>(value)) == 0;
            }
            g_hash_table_unref(attributes);
            if (!same && !secret_item_delete_sync(SECRET_ITEM(l->data), nullptr, &error))
                result = Failure("cannot remove an old keyring item of " + LabelText(ref), error);
        }
        g_list_free_full(found, g_object_unref);
        return result;
    }
};

} // namespace

std::unique_ptr<SecretStore> MakeKeyringStore()
{
    return std::make_unique<KeyringStore>();
}

std::unique_ptr<SecretStore> OpenPasswordStore(const TIniList& store)
{
    if (ReadPasswordPlace(store) == PasswordPlace::Keyring)
        return MakeKeyringStore();
    return std::make_unique<FileSecretStore>();
}

} // namespace pw
