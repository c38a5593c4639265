// The front end's side of the system on Linux and other POSIX systems:
// folders from the environment, files through POSIX calls, the run folder
// under $XDG_RUNTIME_DIR, the viewer started with fork and exec and ended
// with ombrel by signals, and the desktop's file chooser (the XDG portal
// over D-Bus, else zenity or kdialog).
#include "frontend/system/system.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
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

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "common/path.h"
#include "frontend/base/report.h"
#include "frontend/system/portal.h"

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

void shareSoftwareRenderer(int threads) { setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 0); }

bool softwareRendererKeepsShaders() {
    const char* disabled = std::getenv("MESA_SHADER_CACHE_DISABLE");
    if (disabled && (!std::strcmp(disabled, "true") || !std::strcmp(disabled, "1"))) return false;
    // The cache's folder as Mesa chooses it, or the folder it would be made in.
    std::string folder;
    if (const char* chosen = std::getenv("MESA_SHADER_CACHE_DIR")) {
        folder = chosen;
    } else if (const char* cache = std::getenv("XDG_CACHE_HOME")) {
        folder = cache;
    } else {
        const passwd* user = ::getpwuid(::getuid());
        if (!user || !user->pw_dir) return false;
        folder = std::string(user->pw_dir) + "/.cache";
    }
    while (!folder.empty() && ::access(folder.c_str(), F_OK) != 0) folder = folderOf(folder);
    return !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
}

void buildShadersQuickly() { setenv("GALLIVM_PERF", "nopt", 0); }


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
// The workers running, and this process's ends of their channels (a worker
// forked later closes those, so each channel has one end on either side).
volatile pid_t workerPids[kMostWorkers] = {};
int workerChannels[kMostWorkers];
struct sigaction previous[3];

void forwardSignal(int signal) {
    receivedSignal = signal;
    pid_t pid = viewerPid;
    if (pid > 0) ::kill(pid, signal);
    for (int i = 0; i < kMostWorkers; ++i)
        if (workerPids[i] > 0) ::kill(workerPids[i], signal);
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

// ---- Worker processes

namespace {

// The quota's cores, rounded up ("max" or no file: no quota, 0).
int quotaCores() {
    std::ifstream file("/sys/fs/cgroup/cpu.max");
    std::string quota;
    long long period = 0;
    if (!(file >> quota >> period) || quota == "max" || period <= 0) return 0;
    char* end = nullptr;
    const long long allowed = std::strtoll(quota.c_str(), &end, 10);
    if (*end || allowed <= 0) return 0;
    return int(std::min<long long>((allowed + period - 1) / period, kMostWorkers));
}

bool sendAll(int channel, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(channel, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

// False at the end, on an error, or when a signal came while waiting.
bool receiveAll(int channel, char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = ::recv(channel, bytes, size, 0);
        if (n < 0 && errno == EINTR && !receivedSignal) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

// A message is its length (4 bytes, in this machine's order) and its bytes.
constexpr uint32_t kLargestMessage = uint32_t(64) << 20;

}  // namespace

int usableCores() {
    int cores = 1;
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) cores = std::max(CPU_COUNT(&set), 1);
#else
    cores = std::max(int(sysconf(_SC_NPROCESSORS_ONLN)), 1);
#endif
    const int quota = quotaCores();
    if (quota > 0) cores = std::min(cores, quota);
    return std::min(cores, kMostWorkers);
}

bool workersAvailable() { return true; }

bool startWorker(const std::function<int(int channel)>& run, Worker& worker, std::string& error) {
    int slot = 0;
    while (slot < kMostWorkers && workerPids[slot] != 0) ++slot;
    if (slot == kMostWorkers) {
        error = "too many workers";
        return false;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = std::string("can't start a worker (") + std::strerror(errno) + ")";
        return false;
    }
    const pid_t parent = ::getpid();
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = ::fork();
    if (pid == 0) {
#ifdef __linux__
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
        if (::getppid() != parent) ::_exit(1);  // the parent ended before the line above
        ::close(ends[0]);
        for (int i = 0; i < kMostWorkers; ++i)
            if (workerPids[i] != 0) {
                ::close(workerChannels[i]);
                workerPids[i] = 0;
            }
        viewerPid = 0;
        ::_exit(run(ends[1]));
    }
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        error = std::string("can't start a worker (") + std::strerror(errno) + ")";
        return false;
    }
    workerChannels[slot] = ends[0];
    workerPids[slot] = pid;
    worker.id = pid;
    worker.channel = ends[0];
    return true;
}

bool sendMessage(int channel, const std::string& message) {
    if (message.size() > kLargestMessage) return false;
    const uint32_t size = uint32_t(message.size());
    return sendAll(channel, reinterpret_cast<const char*>(&size), sizeof size) &&
           sendAll(channel, message.data(), message.size());
}

bool receiveMessage(int channel, std::string& message) {
    uint32_t size = 0;
    if (!receiveAll(channel, reinterpret_cast<char*>(&size), sizeof size) || size > kLargestMessage) return false;
    message.resize(size);
    return receiveAll(channel, message.data(), size);
}

void finishSending(const Worker& worker) { ::shutdown(worker.channel, SHUT_WR); }

int waitForChannels(const std::vector<int>& channels) {
    std::vector<pollfd> polled;
    for (int channel : channels) polled.push_back({channel, POLLIN, 0});
    for (;;) {
        if (receivedSignal) return -1;
        const int n = ::poll(polled.data(), nfds_t(polled.size()), -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        for (size_t i = 0; i < polled.size(); ++i)
            if (polled[i].revents) return int(i);
    }
}

WorkerEnd endWorker(Worker& worker) {
    WorkerEnd end;
    if (worker.channel >= 0) ::close(worker.channel);
    worker.channel = -1;
    if (worker.id <= 0) return end;
    int status = 0;
    while (::waitpid(pid_t(worker.id), &status, 0) < 0 && errno == EINTR) {
    }
    for (int i = 0; i < kMostWorkers; ++i)
        if (workerPids[i] == pid_t(worker.id)) workerPids[i] = 0;
    worker.id = 0;
    if (WIFEXITED(status)) end.code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
    return end;
}

// ---- Parts loaded when needed

void* loadPlugin(const std::string& name, const char* entry, std::string& error) {
    const std::string bin = programFolder();
    std::string path = absolutePath(bin + "/" OMBREL_PROGRAMS_FROM_BIN "/" + name);
    std::error_code missing;
    if (!std::filesystem::is_regular_file(pathFromText(path), missing)) path = bin + "/" + name;
    // Bound at once: a library it needs that is missing, or lacks a name,
    // shows here, in one line, instead of ending the program later.
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        error = why ? why : path + ": can't be loaded";
        return nullptr;
    }
    void* function = ::dlsym(library, entry);
    if (!function) error = path + ": has no " + entry;
    // The library stays loaded as long as the program runs: what it started
    // (the window system's threads, the GL driver) may outlive its use.
    return function;
}

// ---- Asking for a model

namespace {

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

// The portal is asked through GIO, which only this needs: its plugin is
// loaded when a chooser is asked for, and a bus is there to ask on.
Choice chooseWithPortal(const std::vector<FileFilter>& filters, std::string& path) {
    if (!hasText("DBUS_SESSION_BUS_ADDRESS") && !hasText("XDG_RUNTIME_DIR")) return Choice::Unavailable;
    std::string error;
    void* entry = loadPlugin(kChooserPlugin, kChooseWithPortalName, error);
    if (!entry) return Choice::Unavailable;
    std::vector<FileFilter> offered = filters;
    for (FileFilter& filter : offered) filter.patterns = bothCases(filter.patterns);
    return Choice(reinterpret_cast<ChooseWithPortal>(entry)(OMBREL_PORTAL_BUILD, offered, path));
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
