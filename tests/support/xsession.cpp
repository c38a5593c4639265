#include "tests/support/xsession.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {

std::string testBinDir() { return OMBREL_TEST_BIN_DIR; }

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

pid_t spawn(const std::vector<std::string>& args, const std::string& directory, const std::string& errorFile) {
    pid_t pid = fork();
    if (pid == 0) {
        if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
        if (!errorFile.empty()) {
            int fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) dup2(fd, 2);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int waitForExit(pid_t pid, milliseconds limit) {
    Clock::time_point end = Clock::now() + limit;
    int status = 0;
    do {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(milliseconds(20));
    } while (Clock::now() < end);
    return -1;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

long long monotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

bool XServer::start(std::string& error) {
    // Xvfb picks a free display itself and tells its number on a pipe, so
    // tests running side by side never clash.
    int fds[2];
    if (pipe(fds) != 0) {
        error = "no pipe";
        return false;
    }
    server_ = fork();
    if (server_ == 0) {
        close(fds[0]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
               (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    // The number comes in two writes; the server dies if the pipe closes
    // before the newline is written.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        error = "Xvfb did not start";
        return false;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    // A window manager would have made this atom; with it SDL marks a
    // borderless window in the standard way. The first connection may come
    // before the server takes them: retry.
    for (int i = 0; i < 100; ++i) {
        if (run(testBinDir() + "/x11tool intern _MOTIF_WM_HINTS 2>/dev/null; echo $?") == "0") return true;
        std::this_thread::sleep_for(milliseconds(50));
    }
    error = "no connection to Xvfb at " + display_;
    return false;
}

XServer::~XServer() {
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
}

}  // namespace e2e
