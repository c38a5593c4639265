// The desktop portal's file chooser, asked over D-Bus through GIO: the
// chooser plugin (ombrel-chooser.so), loaded only when a person is to choose
// a model, so that no other command loads GIO and what it brings.
#include "frontend/system/portal.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstring>

namespace frontend {

namespace {

const char kPortal[] = "org.freedesktop.portal.Desktop";

struct PortalWait {
    GMainLoop* loop = nullptr;
    bool answered = false;
    guint32 response = 2;
    std::string uri;
};

void onResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                gpointer data) {
    PortalWait* wait = static_cast<PortalWait*>(data);
    GVariant* results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &wait->response, &results);
    const gchar** uris = nullptr;
    if (results && g_variant_lookup(results, "uris", "^a&s", &uris) && uris && uris[0]) wait->uri = uris[0];
    g_free(uris);
    if (results) g_variant_unref(results);
    wait->answered = true;
    g_main_loop_quit(wait->loop);
}

bool portalPresent(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", kPortal), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    if (owned) return true;
    // Not running yet, but the bus may start it on demand.
    reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                        "ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE,
                                        2000, nullptr, nullptr);
    bool activatable = false;
    if (reply) {
        GVariantIter* names = nullptr;
        const gchar* name = nullptr;
        g_variant_get(reply, "(as)", &names);
        while (g_variant_iter_next(names, "&s", &name)) activatable |= g_strcmp0(name, kPortal) == 0;
        g_variant_iter_free(names);
        g_variant_unref(reply);
    }
    return activatable;
}

Choice chooseWithPortal(const std::vector<FileFilter>& filters, std::string& path) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return Choice::Unavailable;
    if (!portalPresent(bus)) {
        g_object_unref(bus);
        return Choice::Unavailable;
    }
    // The portal answers on a request object whose path follows from our
    // bus name and a token of our choosing: listen there before asking, so
    // a quick answer is not missed.
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    for (char& c : sender)
        if (c == '.') c = '_';
    std::string token = "ombrel" + std::to_string(::getpid());
    std::string request = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;

    PortalWait wait;
    wait.loop = g_main_loop_new(nullptr, FALSE);
    guint subscription =
        g_dbus_connection_signal_subscribe(bus, kPortal, "org.freedesktop.portal.Request", "Response", request.c_str(),
                                           nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onResponse, &wait, nullptr);
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "modal", g_variant_new_boolean(TRUE));
    // a(sa(us)): each filter's name and its glob patterns (kind 0).
    GVariantBuilder filterList;
    g_variant_builder_init(&filterList, G_VARIANT_TYPE("a(sa(us))"));
    for (const FileFilter& filter : filters) {
        GVariantBuilder patterns;
        g_variant_builder_init(&patterns, G_VARIANT_TYPE("a(us)"));
        for (const std::string& pattern : filter.patterns)
            g_variant_builder_add(&patterns, "(us)", 0u, pattern.c_str());
        g_variant_builder_add(&filterList, "(sa(us))", filter.name.c_str(), &patterns);
    }
    g_variant_builder_add(&options, "{sv}", "filters", g_variant_builder_end(&filterList));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kPortal, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.FileChooser", "OpenFile",
        g_variant_new("(ssa{sv})", "", kChooserTitle, &options), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, 30000,
        nullptr, &error);
    Choice choice = Choice::Unavailable;
    if (reply) {
        g_variant_unref(reply);
        // The person may take their time: wait for the answer, however long.
        if (!wait.answered) g_main_loop_run(wait.loop);
        if (wait.response == 0 && !wait.uri.empty()) {
            gchar* file = g_filename_from_uri(wait.uri.c_str(), nullptr, nullptr);
            if (file) {
                path = file;
                choice = Choice::Chosen;
                g_free(file);
            }
        } else {
            choice = Choice::Cancelled;
        }
    } else {
        g_error_free(error);
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    g_main_loop_unref(wait.loop);
    g_object_unref(bus);
    return choice;
}

}  // namespace

}  // namespace frontend

extern "C" __attribute__((visibility("default"))) int ombrelChooseWithPortal(
    const char* build, const std::vector<frontend::FileFilter>& filters, std::string& path) {
    using frontend::Choice;
    if (!build || std::strcmp(build, OMBREL_PORTAL_BUILD) != 0) return int(Choice::Unavailable);
    return int(frontend::chooseWithPortal(filters, path));
}
