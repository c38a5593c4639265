// A desktop portal's file chooser for the tests, on whatever session bus it
// is started on: every OpenFile request is answered at once with the file
// named by FAKE_PORTAL_FILE, or cancelled when that is empty. It writes
// FAKE_PORTAL_READY once it owns the portal's name, and ends on SIGTERM.
#include <gio/gio.h>
#include <glib-unix.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kIntrospection[] =
    "<node><interface name='org.freedesktop.portal.FileChooser'>"
    "<method name='OpenFile'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
    "</interface></node>";

void onCall(GDBusConnection* bus, const gchar* sender, const gchar*, const gchar*, const gchar* method,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    if (g_strcmp0(method, "OpenFile") != 0) return;
    GVariant* options = g_variant_get_child_value(parameters, 2);
    const gchar* token = "t";
    g_variant_lookup(options, "handle_token", "&s", &token);
    std::string name = sender + 1;
    for (char& c : name)
        if (c == '.') c = '_';
    const std::string request = "/org/freedesktop/portal/desktop/request/" + name + "/" + token;
    g_variant_unref(options);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", request.c_str()));

    const char* file = std::getenv("FAKE_PORTAL_FILE");
    GVariantBuilder results;
    g_variant_builder_init(&results, G_VARIANT_TYPE_VARDICT);
    guint32 response = 1;
    if (file && file[0]) {
        gchar* uri = g_filename_to_uri(file, nullptr, nullptr);
        const gchar* uris[] = {uri, nullptr};
        g_variant_builder_add(&results, "{sv}", "uris", g_variant_new_strv(uris, 1));
        g_free(uri);
        response = 0;
    }
    g_dbus_connection_emit_signal(bus, sender, request.c_str(), "org.freedesktop.portal.Request", "Response",
                                  g_variant_new("(ua{sv})", response, &results), nullptr);
}

void onName(GDBusConnection*, const gchar*, gpointer) {
    if (const char* ready = std::getenv("FAKE_PORTAL_READY"))
        if (FILE* f = std::fopen(ready, "w")) std::fclose(f);
}

gboolean onTerm(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

}  // namespace

int main() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return 1;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
    g_dbus_connection_register_object(bus, "/org/freedesktop/portal/desktop", node->interfaces[0], &vtable, nullptr,
                                      nullptr, nullptr);
    g_bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", G_BUS_NAME_OWNER_FLAGS_NONE, onName, nullptr,
                                 nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGTERM, onTerm, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    g_dbus_node_info_unref(node);
    g_object_unref(bus);
    return 0;
}
