// libsecret, with GIO and GObject under it, is loaded when the keyring is first used instead of
// with the program: nothing before the tray icon and the first window needs the keyring, and
// loading these libraries and theirs took a noticeable share of the start-up. The functions the
// token store calls are defined here, each forwarding to the library; the compiler checks each
// definition against libsecret's own declaration. When the library cannot be loaded, the keyring
// operations fail with its loader's message.

#include <QByteArray>

// GLib's headers use `signals` as a member name; Qt defines it as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include <dlfcn.h>

namespace {

constexpr char libraryName[] = "libsecret-1.so.0";

struct SecretLibrary {
    void *handle = nullptr;
    // The loader's message when the library or one of its functions is missing.
    QByteArray failure;

    decltype(&secret_attributes_buildv) attributesBuildv = nullptr;
    decltype(&secret_service_search_sync) serviceSearchSync = nullptr;
    decltype(&secret_service_store_sync) serviceStoreSync = nullptr;
    decltype(&secret_service_clear_sync) serviceClearSync = nullptr;
    decltype(&secret_item_get_type) itemGetType = nullptr;
    decltype(&secret_item_get_locked) itemGetLocked = nullptr;
    decltype(&secret_item_get_secret) itemGetSecret = nullptr;
    decltype(&secret_item_load_secret_sync) itemLoadSecretSync = nullptr;
    decltype(&secret_value_new) valueNew = nullptr;
    decltype(&secret_value_get) valueGet = nullptr;
    decltype(&secret_value_unref) valueUnref = nullptr;
    decltype(&secret_error_get_quark) errorGetQuark = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_type_check_instance_cast) typeCheckInstanceCast = nullptr;
    decltype(&g_dbus_error_quark) dbusErrorQuark = nullptr;
    decltype(&g_dbus_error_strip_remote_error) dbusErrorStripRemoteError = nullptr;

    bool loaded() const { return failure.isEmpty(); }
};

SecretLibrary load()
{
    SecretLibrary library;
    library.handle = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library.handle) {
        library.failure = dlerror();
        return library;
    }
    const auto resolve = [&library](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library.handle, name));
        if (!function && library.failure.isEmpty())
            library.failure = QByteArray(libraryName) + ": no " + name;
    };
    resolve(library.attributesBuildv, "secret_attributes_buildv");
    resolve(library.serviceSearchSync, "secret_service_search_sync");
    resolve(library.serviceStoreSync, "secret_service_store_sync");
    resolve(library.serviceClearSync, "secret_service_clear_sync");
    resolve(library.itemGetType, "secret_item_get_type");
    resolve(library.itemGetLocked, "secret_item_get_locked");
    resolve(library.itemGetSecret, "secret_item_get_secret");
    resolve(library.itemLoadSecretSync, "secret_item_load_secret_sync");
    resolve(library.valueNew, "secret_value_new");
    resolve(library.valueGet, "secret_value_get");
    resolve(library.valueUnref, "secret_value_unref");
    resolve(library.errorGetQuark, "secret_error_get_quark");
    resolve(library.objectUnref, "g_object_unref");
    resolve(library.typeCheckInstanceCast, "g_type_check_instance_cast");
    resolve(library.dbusErrorQuark, "g_dbus_error_quark");
    resolve(library.dbusErrorStripRemoteError, "g_dbus_error_strip_remote_error");
    return library;
}

// Loaded once, by the first caller.
const SecretLibrary &library()
{
    static const SecretLibrary shared = load();
    return shared;
}

// False, with `error` set to the loader's message, when the library is not there.
bool available(GError **error)
{
    if (library().loaded())
        return true;
    g_set_error_literal(error, g_quark_from_static_string("kestrivane-secret-library"), 0, library().failure.constData());
    return false;
}

} // namespace

// Hidden: the program's own calls bind to these, while libraries and plugins loaded at run time
// (a GTK platform theme, libsecret itself) keep GLib's, also when the program exports its symbols.
#pragma GCC visibility push(hidden)
extern "C" {

GHashTable *secret_attributes_build(const SecretSchema *schema, ...)
{
    if (!library().loaded())
        return nullptr;
    va_list arguments;
    va_start(arguments, schema);
    GHashTable *attributes = library().attributesBuildv(schema, arguments);
    va_end(arguments);
    return attributes;
}

GList *secret_service_search_sync(SecretService *service, const SecretSchema *schema, GHashTable *attributes,
                                  SecretSearchFlags flags, GCancellable *cancellable, GError **error)
{
    if (!available(error))
        return nullptr;
    return library().serviceSearchSync(service, schema, attributes, flags, cancellable, error);
}

gboolean secret_service_store_sync(SecretService *service, const SecretSchema *schema, GHashTable *attributes,
                                   const gchar *collection, const gchar *label, SecretValue *value,
                                   GCancellable *cancellable, GError **error)
{
    if (!available(error))
        return FALSE;
    return library().serviceStoreSync(service, schema, attributes, collection, label, value, cancellable, error);
}

gboolean secret_service_clear_sync(SecretService *service, const SecretSchema *schema, GHashTable *attributes,
                                   GCancellable *cancellable, GError **error)
{
    if (!available(error))
        return FALSE;
    return library().serviceClearSync(service, schema, attributes, cancellable, error);
}

GType secret_item_get_type(void)
{
    return library().loaded() ? library().itemGetType() : 0;
}

gboolean secret_item_get_locked(SecretItem *self)
{
    return library().itemGetLocked(self);
}

SecretValue *secret_item_get_secret(SecretItem *self)
{
    return library().itemGetSecret(self);
}

gboolean secret_item_load_secret_sync(SecretItem *self, GCancellable *cancellable, GError **error)
{
    return library().itemLoadSecretSync(self, cancellable, error);
}

SecretValue *secret_value_new(const gchar *secret, gssize length, const gchar *content_type)
{
    return library().loaded() ? library().valueNew(secret, length, content_type) : nullptr;
}

const gchar *secret_value_get(SecretValue *value, gsize *length)
{
    return library().valueGet(value, length);
}

void secret_value_unref(gpointer value)
{
    library().valueUnref(value);
}

GQuark secret_error_get_quark(void)
{
    return library().loaded() ? library().errorGetQuark() : g_quark_from_static_string("secret-error");
}

void g_object_unref(gpointer object)
{
    library().objectUnref(object);
}

GTypeInstance *g_type_check_instance_cast(GTypeInstance *instance, GType iface_type)
{
    return library().typeCheckInstanceCast(instance, iface_type);
}

GQuark g_dbus_error_quark(void)
{
    return library().loaded() ? library().dbusErrorQuark() : g_quark_from_static_string("g-dbus-error-quark");
}

gboolean g_dbus_error_strip_remote_error(GError *error)
{
    return library().loaded() && library().dbusErrorStripRemoteError(error);
}

} // extern "C"
#pragma GCC visibility pop
