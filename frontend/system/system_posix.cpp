// The front end's side of the system on Linux and other POSIX systems:
// folders from the environment, files through POSIX calls, the run folder
// under $XDG_RUNTIME_DIR, the viewer started with fork and exec and ended
// with ombrel by signals, and the desktop's file chooser (the XDG portal
// over D-Bus, else zenity or kdialog).
#include "frontend/system/system.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/path.h"
#include "frontend/base/report.h"

extern char** environ;

namespace frontend {

// ---- Folders

std::string programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : folderOf(program.generic_string());
}

std::string settingsPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return std::string(configHome) + "/ombrel/settings";
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) return "";
    return std::string(home) + "/.config/ombrel/settings";
}

bool homeFolder(std::string& home) {
    const char* value = std::getenv("HOME");
    if (!value) return false;
    home = value;
    return true;
}

// share/ombrel beside the program's bin folder, the same in the build tree
// (build/bin, build/share/ombrel) as installed (/usr/bin, /usr/share/ombrel).
std::vector<std::string> dataFolders() {
    const std::string bin = programFolder();
    if (bin.empty()) return {};
    return {absolutePath(bin + "/" OMBREL_DATA_FROM_BIN)};
}

// ---- Files


bool makePrivateFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    if (errno != EEXIST) {
        error = std::strerror(errno);
        return false;
    }
    struct stat s;
    if (::lstat(path.c_str(), &s) != 0 || !S_ISDIR(s.st_mode)) {
        error = "something else than a folder stands there";
        return false;
    }
    if (s.st_uid != ::geteuid()) {
        error = "the folder is another user's";
        return false;
    }
    return true;
}

bool linkOrCopy(const std::string& target, const std::string& path, std::string& error) {
    if (::symlink(target.c_str(), path.c_str()) == 0) return true;
    error = std::strerror(errno);
    return false;
}

namespace {

bool writeAll(int fd, const std::vector<uint8_t>& bytes, std::string& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::strerror(errno);
            return false;
        }
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool written = writeAll(fd, bytes, error);
    if (::close(fd) != 0 && written) {
        error = std::strerror(errno);
        written = false;
    }
    return written;
}

bool writeBeside(const std::string& path, const std::vector<uint8_t>& bytes, std::string& temporary,
                 std::string& error) {
    const std::string folder = folderOf(absolutePath(path));
    const std::string prefix = "." + fileNameOf(path) + ".";
    removeLeftovers(folder, prefix, '.');
    temporary = folder + "/" + prefix + std::to_string(::getpid()) + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = path + ": can't write there (" + std::strerror(errno) + ")";
        return false;
    }
    // mkostemp makes the file for its owner alone; a picture gets the
    // permissions any new file of this user gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    std::string reason;
    bool written = writeAll(fd, bytes, reason);
    if (::close(fd) != 0 && written) {
        reason = std::strerror(errno);
        written = false;
    }
    if (!written) {
        error = path + ": can't write there (" + reason + ")";
        ::unlink(temporary.c_str());
    }
    return written;
}

bool moveInto(const std::string& temporary, const std::string& path, std::string& error) {
    if (::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = path + ": can't write there (" + std::strerror(errno) + ")";
    ::unlink(temporary.c_str());
    return false;
}

bool processRunning(long id) { return !(::kill(pid_t(id), 0) != 0 && errno == ESRCH); }

// ---- The display

namespace {

bool hasText(const char* variable) {
    const char* value = std::getenv(variable);
    return value && value[0];
}

}  // namespace

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

CommandLine::CommandLine(int argc, char** argv) : words_(argv, argv + argc) {
    for (std::string& word : words_) pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
}

CommandLine::~CommandLine() = default;

void useOffscreenWindows() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }

bool offscreenWindowKeepsPixels() { return true; }

bool displayAvailable(std::string& why) {
    // SDL's drivers that show nothing: a window there would wait unseen for ever.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        why = std::string("SDL_VIDEODRIVER is ") + driver + ", which shows nothing";
        return false;
    }
    if (driver && driver[0]) return true;  // a driver the person chose, such as kmsdrm
    if (hasText("DISPLAY") || hasText("WAYLAND_DISPLAY")) return true;
    why = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    return false;
}

void expectLargeBuffers() {
#ifdef __GLIBC__
    // A model's export is a few buffers of megabytes, copied once or twice
    // on the way to the file: from mmap, each would be new pages, a fault
    // for every 4 KB. From the heap, grown in one step and marked for huge
    // pages, the same bytes take a few faults: on this project's machines
    // the export took half the time.
    constexpr size_t kStep = size_t(64) << 20, kHugePage = size_t(2) << 20;
    mallopt(M_MMAP_THRESHOLD, int(kStep * 4));
    mallopt(M_TRIM_THRESHOLD, int(kStep * 4));
    mallopt(M_TOP_PAD, int(kStep));
    const uintptr_t before = reinterpret_cast<uintptr_t>(sbrk(0));
    void* volatile grow = malloc(1 << 20);  // grows the heap by the step (volatile: kept by the compiler)
    free(grow);
    const uintptr_t after = reinterpret_cast<uintptr_t>(sbrk(0));
    const uintptr_t start = (before + kHugePage - 1) / kHugePage * kHugePage;
    if (before != uintptr_t(-1) && after > start) madvise(reinterpret_cast<void*>(start), after - start, MADV_HUGEPAGE);
#endif
}

// ---- Running the viewer

namespace {

const int kForwarded[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t receivedSignal = 0;
volatile pid_t viewerPid = 0;
struct sigaction previous[3];

void forwardSignal(int signal) {
    receivedSignal = signal;
    pid_t pid = viewerPid;
    if (pid > 0) ::kill(pid, signal);
}

// The record holds paths of at most 255 characters: the run folder's, and a
// file's name in it ("attach-skin.tga"), must fit.
constexpr size_t kLongestBase = 200;

bool usableFolder(const char* path) {
    struct stat s;
    return path && path[0] == '/' && std::strlen(path) <= kLongestBase && ::stat(path, &s) == 0 &&
           S_ISDIR(s.st_mode) && ::access(path, W_OK | X_OK) == 0;
}

}  // namespace

RunFolder::RunFolder() {
    const char* base = std::getenv("XDG_RUNTIME_DIR");
    if (!usableFolder(base)) base = std::getenv("TMPDIR");
    if (!usableFolder(base)) base = "/tmp";
    removeLeftovers(base, "ombrel-", '-');
    std::string pattern = std::string(base) + "/ombrel-" + std::to_string(::getpid()) + "-XXXXXX";
    // mkdtemp makes the folder with mode 0700: private to this user.
    if (::mkdtemp(pattern.data())) {
        path_ = pattern;
    } else {
        error_ = pattern + ": can't make the run folder (" + std::strerror(errno) + ")";
    }
}

RunFolder::~RunFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

InterruptGuard::InterruptGuard() {
    receivedSignal = 0;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < 3; ++i) ::sigaction(kForwarded[i], &action, &previous[i]);
}

InterruptGuard::~InterruptGuard() {
    for (size_t i = 0; i < 3; ++i) ::sigaction(kForwarded[i], &previous[i], nullptr);
}

int InterruptGuard::received() { return receivedSignal; }

void InterruptGuard::checkpoint() {
    if (receivedSignal) throw interrupted(receivedSignal);
}

void InterruptGuard::dieBy(int signal) {
    ::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}

ViewerExit runViewer(const std::string& program, const std::string& folder) {
    ViewerExit result;
    // The child reports a failed exec through this pipe; a successful exec
    // closes it unwritten.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        result.error = std::string("can't start the viewer (") + std::strerror(errno) + ")";
        return result;
    }
    sigset_t forwarded, old;
    sigemptyset(&forwarded);
    for (int s : kForwarded) sigaddset(&forwarded, s);
    // Held back until the viewer's id is known, so none is lost in between.
    ::sigprocmask(SIG_BLOCK, &forwarded, &old);
    pid_t pid = ::fork();
    if (pid == 0) {
        for (int s : kForwarded) ::signal(s, SIG_DFL);
        ::sigprocmask(SIG_SETMASK, &old, nullptr);
        // Its own process group: a Ctrl+C at the terminal reaches ombrel,
        // which passes it on once, instead of reaching both.
        ::setpgid(0, 0);
#ifdef __linux__
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
        int error = 0;
        if (::chdir(folder.c_str()) == 0) {
            char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
            ::execv(program.c_str(), argv);
        }
        error = errno;
        ssize_t ignored = ::write(report[1], &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }
    ::close(report[1]);
    if (pid < 0) {
        ::sigprocmask(SIG_SETMASK, &old, nullptr);
        ::close(report[0]);
        result.error = std::string("can't start the viewer (") + std::strerror(errno) + ")";
        return result;
    }
    viewerPid = pid;
    if (receivedSignal) ::kill(pid, receivedSignal);
    ::sigprocmask(SIG_SETMASK, &old, nullptr);

    int execError = 0;
    ssize_t n;
    do n = ::read(report[0], &execError, sizeof execError);
    while (n < 0 && errno == EINTR);
    ::close(report[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    viewerPid = 0;
    if (n == sizeof execError) {
        result.error = program + ": can't start the viewer (" + std::strerror(execError) + ")";
        return result;
    }
    result.started = true;
    if (WIFEXITED(status)) result.code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::string viewerProgram() {
    const std::string bin = programFolder();
    const std::string installed = absolutePath(bin + "/" OMBREL_PROGRAMS_FROM_BIN "/viewer");
    std::error_code error;
    if (std::filesystem::is_regular_file(pathFromText(installed), error)) return installed;
    return bin + "/viewer";
}

std::string signalName(int signal) { return strsignal(signal); }

// ---- Asking for a model

namespace {

const char kPortal[] = "org.freedesktop.portal.Desktop";

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

// Each pattern as given and, for one of letters in lower case, in upper case
// too: a file system here tells "*.md2" from "*.MD2".
std::vector<std::string> bothCases(const std::vector<std::string>& patterns) {
    std::vector<std::string> all;
    for (const std::string& pattern : patterns) {
        all.push_back(pattern);
        std::string upper = pattern;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (upper != pattern) all.push_back(upper);
    }
    return all;
}

Choice chooseWithPortal(const std::vector<FileFilter>& filters, std::string& path) {
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
    // a(sa(us)): each filter's name and its glob patterns (kind 0).
    GVariantBuilder filterList;
    g_variant_builder_init(&filterList, G_VARIANT_TYPE("a(sa(us))"));
    for (const FileFilter& filter : filters) {
        GVariantBuilder patterns;
        g_variant_builder_init(&patterns, G_VARIANT_TYPE("a(us)"));
        for (const std::string& pattern : bothCases(filter.patterns))
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

bool onDesktop() { return hasText("DISPLAY") || hasText("WAYLAND_DISPLAY"); }

Choice chooseModel(const std::vector<FileFilter>& filters, std::string& path) {
    Choice choice = chooseWithPortal(filters, path);
    if (choice != Choice::Unavailable) return choice;
    auto joined = [](const std::vector<std::string>& patterns) {
        std::string text;
        for (const std::string& pattern : patterns) text += (text.empty() ? "" : " ") + pattern;
        return text;
    };
    if (onPath("zenity")) {
        std::vector<std::string> args = {"zenity", "--file-selection", std::string("--title=") + kChooserTitle};
        for (const FileFilter& filter : filters)
            args.push_back("--file-filter=" + filter.name + " | " + joined(bothCases(filter.patterns)));
        choice = chooseWithProgram(args, path);
        if (choice != Choice::Unavailable) return choice;
    }
    if (onPath("kdialog")) {
        // One filter a line: "PATTERNS|NAME".
        std::string kinds;
        for (const FileFilter& filter : filters)
            kinds += (kinds.empty() ? "" : "\n") + joined(bothCases(filter.patterns)) + "|" + filter.name;
        return chooseWithProgram({"kdialog", "--title", kChooserTitle, "--getopenfilename", ".", kinds}, path);
    }
    return Choice::Unavailable;
}

}  // namespace frontend
