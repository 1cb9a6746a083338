#include "Services/KeychainTokenStore.h"

#include "Support/Localization.h"

#include <memory>

// GLib's headers use `signals` as a member name; Qt defines it as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

namespace kestrivane {

KeychainError::KeychainError(qint32 status, QString message)
    : status_(status)
    , message_(std::move(message))
{
}

QString KeychainError::localizedDescription() const
{
    if (!message_.isEmpty())
        return message_;
    return QStringLiteral("Keychain error ") + QString::number(status_);
}

namespace {

struct GErrorFree {
    void operator()(GError *error) const { g_error_free(error); }
};
struct HashTableUnref {
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
};
struct SecretValueUnref {
    void operator()(SecretValue *value) const { secret_value_unref(value); }
};
struct ObjectList {
    void operator()(GList *list) const { g_list_free_full(list, g_object_unref); }
};

using ErrorPtr = std::unique_ptr<GError, GErrorFree>;
using AttributesPtr = std::unique_ptr<GHashTable, HashTableUnref>;
using ValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;
using ItemListPtr = std::unique_ptr<GList, ObjectList>;

const SecretSchema *tokenSchema()
{
    static const QByteArray name = KeychainTokenStore::schemaName.toUtf8();
    static const SecretSchema schema = {
        name.constData(),
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &schema;
}

AttributesPtr itemAttributes(const QString &service, const QString &account)
{
    const QByteArray serviceText = service.toUtf8();
    const QByteArray accountText = account.toUtf8();
    return AttributesPtr(secret_attributes_build(tokenSchema(), "service", serviceText.constData(), "account",
                                                 accountText.constData(), nullptr));
}

// No Secret Service answers on the session bus: none runs, none can be started, or the one started
// or running never answers (GIO's time-out, named by its domain's string: GIO is loaded with libsecret).
bool isMissingService(const GError *error)
{
    if (error->domain == g_quark_try_string("g-io-error-quark"))
        return error->code == G_IO_ERROR_TIMED_OUT;
    if (error->domain != G_DBUS_ERROR)
        return false;
    switch (error->code) {
    case G_DBUS_ERROR_SERVICE_UNKNOWN:
    case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
    case G_DBUS_ERROR_NO_SERVER:
    case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
    case G_DBUS_ERROR_SPAWN_FORK_FAILED:
    case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
    case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
    case G_DBUS_ERROR_SPAWN_FAILED:
    case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
    case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
    case G_DBUS_ERROR_SPAWN_NO_MEMORY:
    case G_DBUS_ERROR_TIMEOUT:
    case G_DBUS_ERROR_TIMED_OUT:
    case G_DBUS_ERROR_NO_REPLY:
        return true;
    default:
        return false;
    }
}

// Takes ownership of a failure reported by libsecret and throws it as a KeychainError that says
// in plain words what is wrong: no keyring service, a locked keyring, or else the service's message.
[[noreturn]] void throwKeychainError(GError *rawError)
{
    const ErrorPtr error(rawError);
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED)
        throw KeychainError(error->code, L10n::text(QStringLiteral("keychain_error_locked")));
    if (isMissingService(error.get()))
        throw KeychainError(error->code, L10n::text(QStringLiteral("keychain_error_no_service")));
    // D-Bus failures carry the remote error name in front of the message; it means nothing to users.
    g_dbus_error_strip_remote_error(error.get());
    throw KeychainError(error->code, QString::fromUtf8(error->message));
}

} // namespace

KeychainTokenStore::KeychainTokenStore(QString service, QString account)
    : service_(std::move(service))
    , account_(std::move(account))
{
}

std::optional<OAuthToken> KeychainTokenStore::loadToken()
{
    const AttributesPtr attributes = itemAttributes(service_, account_);
    GError *error = nullptr;
    // A search rather than a plain lookup: a lookup answers "nothing stored" when the item is
    // locked and the unlock prompt is dismissed, which would read as a signed-out account.
    const ItemListPtr items(secret_service_search_sync(
        nullptr, tokenSchema(), attributes.get(),
        static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS), nullptr, &error));
    if (error)
        throwKeychainError(error);
    if (!items)
        return std::nullopt;

    SecretItem *item = SECRET_ITEM(items->data);
    if (secret_item_get_locked(item))
        throw KeychainError(SECRET_ERROR_IS_LOCKED, L10n::text(QStringLiteral("keychain_error_locked")));
    ValuePtr value(secret_item_get_secret(item));
    if (!value) {
        if (!secret_item_load_secret_sync(item, nullptr, &error))
            throwKeychainError(error);
        value.reset(secret_item_get_secret(item));
        if (!value)
            return std::nullopt;
    }
    gsize length = 0;
    const gchar *data = secret_value_get(value.get(), &length);
    return OAuthToken::fromJson(QByteArray(data, qsizetype(length)));
}

void KeychainTokenStore::saveToken(const OAuthToken &token)
{
    const QByteArray json = token.toJson();
    const AttributesPtr attributes = itemAttributes(service_, account_);
    const QByteArray label = L10n::format(QStringLiteral("keychain_item_label"), account_).toUtf8();
    const ValuePtr value(secret_value_new(json.constData(), json.size(), "text/plain"));
    GError *error = nullptr;
    // Stores with "replace": an item with the same attributes gets the new data and label.
    if (!secret_service_store_sync(nullptr, tokenSchema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                   label.constData(), value.get(), nullptr, &error)) {
        if (!error)
            throw KeychainError(SECRET_ERROR_PROTOCOL);
        throwKeychainError(error);
    }
}

void KeychainTokenStore::deleteToken()
{
    const AttributesPtr attributes = itemAttributes(service_, account_);
    GError *error = nullptr;
    // False without an error means there was nothing to delete.
    secret_service_clear_sync(nullptr, tokenSchema(), attributes.get(), nullptr, &error);
    if (error)
        throwKeychainError(error);
}

} // namespace kestrivane
