#include "frontend/run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "frontend/files.h"

namespace frontend {

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

bool usableFolder(const char* path) {
    struct stat s;
    return path && path[0] == '/' && ::stat(path, &s) == 0 && S_ISDIR(s.st_mode) && ::access(path, W_OK | X_OK) == 0;
}

}  // namespace

RunFolder::RunFolder() {
    const char* base = std::getenv("XDG_RUNTIME_DIR");
    if (!usableFolder(base)) base = std::getenv("TMPDIR");
    if (!usableFolder(base)) base = "/tmp";
    std::string pattern = std::string(base) + "/ombrel-XXXXXX";
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
    if (fileKind(installed) == FileKind::Regular) return installed;
    return bin + "/viewer";
}

std::string signalName(int signal) { return strsignal(signal); }

}  // namespace frontend
