// Running the viewer on Windows: the run folder under %TEMP%, viewer.exe
// started there with CreateProcessA and waited for, and Ctrl+C or a closing
// console passed on to it as a request to close its windows.
#include "frontend/run.h"

#include <windows.h>

#include <csignal>
#include <filesystem>
#include <system_error>

#include "frontend/files.h"
#include "frontend/system.h"

namespace frontend {

namespace {

// The console's control handler runs on a thread of its own; what it shares
// with the main thread is guarded by this lock.
CRITICAL_SECTION lock;
INIT_ONCE lockMade = INIT_ONCE_STATIC_INIT;
int receivedSignal = 0;
HANDLE viewerProcess = nullptr;
DWORD viewerId = 0;

BOOL CALLBACK makeLock(PINIT_ONCE, PVOID, PVOID*) {
    InitializeCriticalSection(&lock);
    return TRUE;
}

BOOL CALLBACK closeWindowOf(HWND window, LPARAM process) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == DWORD(process)) PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Closes the viewer's windows as a person would, so that it ends the way it
// always does (restoring the display mode after full screen); ends it
// outright when it is still there after a few seconds. Called with the lock.
void endViewer() {
    EnumWindows(closeWindowOf, LPARAM(viewerId));
    if (WaitForSingleObject(viewerProcess, 3000) == WAIT_TIMEOUT) TerminateProcess(viewerProcess, 1);
}

BOOL WINAPI onControl(DWORD event) {
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    EnterCriticalSection(&lock);
    receivedSignal = interrupt ? SIGINT : SIGTERM;
    if (viewerProcess) endViewer();
    LeaveCriticalSection(&lock);
    // A closing console, a logoff or a shutdown ends ombrel as soon as this
    // returns: wait for the main thread, which cleans up and exits (ending
    // this thread with it).
    if (!interrupt) Sleep(INFINITE);
    return TRUE;
}

// A job that ends the viewer when ombrel ends in any way, as nobody else
// would end it or remove its run folder.
HANDLE jobEndingWithUs() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

}  // namespace

RunFolder::RunFolder() {
    char temp[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) {
        error_ = "%TEMP%: can't find the folder for temporary files";
        return;
    }
    const std::string base = std::filesystem::path(std::string(temp, n)).generic_string();
    // A name no other run holds: CreateDirectoryA fails on one that exists.
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        std::string path = base + (base.back() == '/' ? "" : "/") + "ombrel-" + std::to_string(GetCurrentProcessId()) +
                           "-" + std::to_string((GetTickCount() + attempt) & 0xffff);
        if (CreateDirectoryA(nativePath(path).c_str(), nullptr)) {
            path_ = path;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            error_ = nativePath(path) + ": can't make the run folder (" + lastErrorText() + ")";
            return;
        }
    }
    error_ = nativePath(base) + ": can't make the run folder (every name tried is taken)";
}

RunFolder::~RunFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

InterruptGuard::InterruptGuard() {
    InitOnceExecuteOnce(&lockMade, makeLock, nullptr, nullptr);
    receivedSignal = 0;
    SetConsoleCtrlHandler(onControl, TRUE);
}

InterruptGuard::~InterruptGuard() { SetConsoleCtrlHandler(onControl, FALSE); }

int InterruptGuard::received() {
    EnterCriticalSection(&lock);
    int signal = receivedSignal;
    LeaveCriticalSection(&lock);
    return signal;
}

void InterruptGuard::dieBy(int) { ExitProcess(STATUS_CONTROL_C_EXIT); }

ViewerExit runViewer(const std::string& program, const std::string& folder) {
    ViewerExit result;
    const std::string native = nativePath(program);
    std::string commandLine = "\"" + native + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // Suspended until it is in the job, so not even its first steps outlive us.
    if (!CreateProcessA(native.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nativePath(folder).c_str(), &startup, &started)) {
        result.error = native + ": can't start the viewer (" + lastErrorText() + ")";
        return result;
    }
    HANDLE job = jobEndingWithUs();
    if (job) AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);

    EnterCriticalSection(&lock);
    viewerProcess = started.hProcess;
    viewerId = started.dwProcessId;
    if (receivedSignal) endViewer();  // came while it was starting
    LeaveCriticalSection(&lock);

    WaitForSingleObject(started.hProcess, INFINITE);
    EnterCriticalSection(&lock);
    viewerProcess = nullptr;
    result.signal = receivedSignal;
    LeaveCriticalSection(&lock);
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    if (job) CloseHandle(job);
    result.started = true;
    result.code = int(code);
    return result;
}

std::string viewerProgram() { return programFolder() + "/viewer.exe"; }

std::string signalName(int signal) { return signal == SIGINT ? "Interrupt" : "Terminated"; }

}  // namespace frontend
