// Running the viewer: a private run folder that holds the record and the
// prepared files and goes away with the run, and the viewer started in it,
// waited for, and ended with ombrel when ombrel is interrupted.
// run_posix.cpp does it with signals, fork and exec; run_win32.cpp with
// console control events and CreateProcess.
#pragma once

#include <string>

namespace frontend {

// A fresh folder only this user can enter, under $XDG_RUNTIME_DIR (else
// $TMPDIR, else /tmp; on Windows under %TEMP%), removed with everything in
// it on destruction.
class RunFolder {
public:
    RunFolder();
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // "" when the folder could not be made; error() says why.
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::string path_;
    std::string error_;
};

// While it lives, SIGINT, SIGTERM and SIGHUP no longer end ombrel at once:
// they are passed on to the viewer once it runs, or remembered until then,
// so the run folder is always cleaned up first. On Windows the same holds
// for Ctrl+C and Ctrl+Break (taken as SIGINT) and for closing the console,
// logging off or shutting down (SIGTERM): the viewer is asked to close.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // The last signal received, 0 for none.
    static int received();

    // Ends the process by this signal, as if it had not been caught.
    [[noreturn]] static void dieBy(int signal);
};

struct ViewerExit {
    bool started = false;  // false: error says why
    int code = 0;          // the viewer's exit code when it exited
    int signal = 0;        // the signal that ended it (on Windows: the interrupt that made ombrel end it), 0 if none
    std::string error;
};

// Starts program with folder as its current folder and waits for it.
// Needs an InterruptGuard alive, which forwards signals to it.
ViewerExit runViewer(const std::string& program, const std::string& folder);

// The viewer: on Linux in the installed programs' folder (libexec/ombrel
// beside bin) when it is there, else beside ombrel as in the build tree;
// on Windows viewer.exe beside ombrel.exe.
std::string viewerProgram();

// A signal's name for a message ("Interrupt").
std::string signalName(int signal);

}  // namespace frontend
