#include "frontend/chooser.h"

#include <gio/gio.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace frontend {

namespace {

const char kPortal[] = "org.freedesktop.portal.Desktop";

bool hasText(const char* variable) {
    const char* value = std::getenv(variable);
    return value && value[0];
}

// Runs a program found on PATH and keeps its standard output. The exit
// status, or -1 when the program could not be run.
int runAndCapture(const std::vector<std::string>& args, std::string& output) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.append(buffer, size_t(n));
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// zenity and kdialog print the chosen path on one line and exit 0; they
// exit 1 when the person cancels.
Choice chooseWithProgram(const std::vector<std::string>& args, std::string& path) {
    std::string output;
    int status = runAndCapture(args, output);
    if (status == 1) return Choice::Cancelled;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (status != 0 || output.empty()) return Choice::Unavailable;
    path = output;
    return Choice::Chosen;
}

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

Choice chooseWithPortal(std::string& path) {
    if (!hasText("DBUS_SESSION_BUS_ADDRESS") && !hasText("XDG_RUNTIME_DIR")) return Choice::Unavailable;
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
    g_variant_builder_add(&options, "{sv}", "filters",
                          g_variant_new_parsed("[('IDP2 models', [(uint32 0, '*.md2'), (uint32 0, '*.MD2')]), "
                                               "('All files', [(uint32 0, '*')])]"));
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

bool onDesktop() { return hasText("DISPLAY") || hasText("WAYLAND_DISPLAY"); }

Choice chooseModel(std::string& path) {
    Choice choice = chooseWithPortal(path);
    if (choice != Choice::Unavailable) return choice;
    if (onPath("zenity")) {
        choice = chooseWithProgram({"zenity", "--file-selection", std::string("--title=") + kChooserTitle,
                                    "--file-filter=IDP2 models | *.md2 *.MD2", "--file-filter=All files | *"},
                                   path);
        if (choice != Choice::Unavailable) return choice;
    }
    if (onPath("kdialog"))
        return chooseWithProgram(
            {"kdialog", "--title", kChooserTitle, "--getopenfilename", ".", "*.md2 *.MD2|IDP2 models"}, path);
    return Choice::Unavailable;
}

}  // namespace frontend
