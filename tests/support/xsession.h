// What the end-to-end tests share: running commands and programs, watching
// them end, their CPU time, and a private Xvfb server for each test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Where the test helper programs (x11tool, ...) are built.
std::string testBinDir();

// Runs a shell command and returns its standard output without trailing blanks.
std::string run(const std::string& command);

// Starts a program (argv[0] looked up in PATH) in the given directory (the
// current one when empty), with standard error sent to errorFile when given.
pid_t spawn(const std::vector<std::string>& args, const std::string& directory = "", const std::string& errorFile = "");

// Exit status of the process, 128 + signal when a signal ended it, or -1
// when it has not ended within the time.
int waitForExit(pid_t pid, milliseconds limit);

// Ends the process if it still runs and reaps it.
void stop(pid_t pid);

// User plus system CPU time of a process in seconds.
double cpuSeconds(pid_t pid);

long long monotonicMs();

// A private X server (Xvfb, 1024 x 768 x 24) for one test: DISPLAY points at
// it while it lives, and SDL's video driver is left to its default.
class XServer {
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts the server; false (with the reason in error) when it did not come up.
    bool start(std::string& error);
    const std::string& display() const { return display_; }

private:
    pid_t server_ = 0;
    std::string display_;
};

}  // namespace e2e
