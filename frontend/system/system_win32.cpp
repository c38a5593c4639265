// The front end's side of the system on Windows: folders from the
// environment and the program's module, the run folder under %TEMP%,
// viewer.exe started with CreateProcessW and ended with ombrel through a
// job, Ctrl+C or a closing console passed on as a request to close its
// windows, and the common Open dialogue (what glswitch's start shows first).
// The wide entry points throughout, with the program's text in UTF-8: they
// reach every file name, where the ANSI ones reach only those the code page
// can spell.
#include "frontend/system/system.h"

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/wide_text.h"
#include "common/path.h"
#include "frontend/base/report.h"

namespace frontend {

namespace {

std::string reason(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n && text ? utf8Text(text, int(n)) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

// A path Windows gave, in the program's form: UTF-8, '/' between parts.
std::string programPath(const wchar_t* text, int length = -1) {
    return textFromPath(pathFromText(utf8Text(text, length)));
}

// An environment variable in UTF-8, "" when unset.
std::string environmentText(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? utf8Text(value) : std::string();
}

}  // namespace

// ---- The command line

CommandLine::CommandLine(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide && count == argc) {
        for (int i = 0; i < count; ++i) words_.push_back(utf8Text(wide[i]));
    } else {
        words_.assign(argv, argv + argc);
    }
    if (wide) LocalFree(wide);
    for (std::string& word : words_) pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
    consoleCodePage_ = GetConsoleOutputCP();  // 0 without a console
    if (consoleCodePage_) SetConsoleOutputCP(CP_UTF8);
}

CommandLine::~CommandLine() {
    if (consoleCodePage_) SetConsoleOutputCP(consoleCodePage_);
}

// ---- Folders

std::string programFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
    if (n == 0 || n >= MAX_PATH + 1) return "";  // cut short: no folder to trust
    return folderOf(programPath(buffer, int(n)));
}

std::string settingsPath() {
    const std::string appData = environmentText(L"APPDATA");
    if (rootLength(appData) == 0) return "";
    return nativePath(appData + "/ombrel/settings");
}

bool homeFolder(std::string& home) {
    const std::string value = environmentText(L"USERPROFILE");
    if (value.empty()) return false;
    home = textFromPath(pathFromText(value));
    return true;
}

// Beside ombrel.exe, as a folder unpacked anywhere holds it, or where an
// installation of the Linux layout puts it.
// Beside the program, where the installer puts its data, else share/ombrel
// beside its folder as in the build tree.
std::vector<std::string> dataFolders() {
    const std::string bin = programFolder();
    if (bin.empty()) return {};
    return {bin, absolutePath(bin + "/" OMBREL_DATA_FROM_BIN)};
}

// ---- Files

// The system's words for the last call's failure.
static std::string lastErrorText() { return reason(GetLastError()); }

// The folder inherits the rights of the one it is made in: under %TEMP%
// (the run folder), a folder of this user's own.
// An existing one must be a folder and no link (a symbolic link or a
// junction), whose target would receive the files.
bool makePrivateFolder(const std::string& path, std::string& error) {
    if (CreateDirectoryW(wideText(nativePath(path)).c_str(), nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        error = lastErrorText();
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wideText(nativePath(path)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = "something else than a folder stands there";
        return false;
    }
    return true;
}

bool linkOrCopy(const std::string& target, const std::string& path, std::string& error) {
    if (CopyFileW(wideText(nativePath(target)).c_str(), wideText(nativePath(path)).c_str(), FALSE)) return true;
    error = lastErrorText();
    return false;
}

bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    HANDLE file =
        CreateFileW(wideText(nativePath(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD piece = DWORD(std::min<size_t>(bytes.size() - done, 1 << 30)), written = 0;
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0) {
            error = lastErrorText();
            CloseHandle(file);
            return false;
        }
        done += written;
    }
    if (!CloseHandle(file)) {
        error = lastErrorText();
        return false;
    }
    return true;
}

// Beside the file under a name of this process's.
bool writeBeside(const std::string& path, const std::vector<uint8_t>& bytes, std::string& temporary,
                 std::string& error) {
    const std::string folder = folderOf(absolutePath(path));
    const std::string prefix = "." + fileNameOf(path) + ".";
    removeLeftovers(folder, prefix, '.');
    temporary = folder + "/" + prefix + std::to_string(GetCurrentProcessId()) + "." + std::to_string(GetTickCount());
    std::string why;
    if (writeNewFile(temporary, bytes, why)) return true;
    error = nativePath(path) + ": can't write there (" + why + ")";
    DeleteFileW(wideText(nativePath(temporary)).c_str());
    return false;
}

bool moveInto(const std::string& temporary, const std::string& path, std::string& error) {
    if (MoveFileExW(wideText(nativePath(temporary)).c_str(), wideText(nativePath(path)).c_str(),
                    MOVEFILE_REPLACE_EXISTING))
        return true;
    error = nativePath(path) + ": can't write there (" + lastErrorText() + ")";
    DeleteFileW(wideText(nativePath(temporary)).c_str());
    return false;
}

// The Windows heap has no such steps to ask for.
void expectLargeBuffers() {}

bool processRunning(long id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(id));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// ---- The display

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool displayAvailable(std::string&) { return true; }

void useOffscreenWindows() {}

bool offscreenWindowKeepsPixels() { return false; }

void shareSoftwareRenderer(int) {}

bool softwareRendererKeepsShaders() { return false; }

void buildShadersQuickly() {}

// ---- Worker processes: none; one process draws every picture.

int usableCores() { return 1; }

bool workersAvailable() { return false; }

bool startWorker(const std::function<int(int)>&, Worker&, std::string& error) {
    error = "Windows draws in one process";
    return false;
}

bool sendMessage(int, const std::string&) { return false; }

bool receiveMessage(int, std::string&) { return false; }

void finishSending(const Worker&) {}

int waitForChannels(const std::vector<int>&) { return -1; }

WorkerEnd endWorker(Worker& worker) {
    worker = Worker();
    return WorkerEnd();
}

// ---- Running the viewer


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

// The lock, made on first use: checkpoints between the steps of a run ask
// for the signal whether or not a guard was set up (writing a record
// starts no viewer and sets none).
CRITICAL_SECTION& theLock() {
    InitOnceExecuteOnce(&lockMade, makeLock, nullptr, nullptr);
    return lock;
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
    EnterCriticalSection(&theLock());
    receivedSignal = interrupt ? SIGINT : SIGTERM;
    if (viewerProcess) endViewer();
    LeaveCriticalSection(&theLock());
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
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n >= MAX_PATH + 1) {
        error_ = "%TEMP%: can't find the folder for temporary files";
        return;
    }
    const std::string base = programPath(temp, int(n));
    removeLeftovers(base, "ombrel-", '-');
    // A name no other run holds: CreateDirectoryW fails on one that exists.
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        std::string path = base + (base.back() == '/' ? "" : "/") + "ombrel-" + std::to_string(GetCurrentProcessId()) +
                           "-" + std::to_string((GetTickCount() + attempt) & 0xffff);
        if (CreateDirectoryW(wideText(nativePath(path)).c_str(), nullptr)) {
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
    std::filesystem::remove_all(pathFromText(path_), ignored);
}

InterruptGuard::InterruptGuard() {
    receivedSignal = 0;
    SetConsoleCtrlHandler(onControl, TRUE);
}

InterruptGuard::~InterruptGuard() { SetConsoleCtrlHandler(onControl, FALSE); }

int InterruptGuard::received() {
    EnterCriticalSection(&theLock());
    int signal = receivedSignal;
    LeaveCriticalSection(&theLock());
    return signal;
}

void InterruptGuard::dieBy(int) { ExitProcess(STATUS_CONTROL_C_EXIT); }

void InterruptGuard::checkpoint() {
    if (const int signal = received()) throw interrupted(signal);
}

ViewerExit runViewer(const std::string& program, const std::string& folder) {
    ViewerExit result;
    const std::string native = nativePath(program);
    std::wstring commandLine = L"\"" + wideText(native) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // Suspended until it is in the job, so not even its first steps outlive us.
    if (!CreateProcessW(wideText(native).c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        wideText(nativePath(folder)).c_str(), &startup, &started)) {
        result.error = native + ": can't start the viewer (" + lastErrorText() + ")";
        return result;
    }
    HANDLE job = jobEndingWithUs();
    if (job) AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);

    EnterCriticalSection(&theLock());
    viewerProcess = started.hProcess;
    viewerId = started.dwProcessId;
    if (receivedSignal) endViewer();  // came while it was starting
    LeaveCriticalSection(&theLock());

    WaitForSingleObject(started.hProcess, INFINITE);
    EnterCriticalSection(&theLock());
    viewerProcess = nullptr;
    result.signal = receivedSignal;
    LeaveCriticalSection(&theLock());
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

// ---- Parts loaded when needed

void* loadPlugin(const std::string& name, const char*, std::string& error) {
    error = name + ": Windows builds link what plugins hold";
    return nullptr;
}

// ---- Asking for a model


bool onDesktop() { return true; }

Choice chooseModel(const std::vector<FileFilter>& filters, std::string& path) {
    // "NAME (PATTERNS)\0PATTERNS\0" for each, patterns between ';', and one
    // more '\0' at the end.
    std::wstring kinds;
    for (const FileFilter& filter : filters) {
        std::string patterns;
        for (const std::string& pattern : filter.patterns) patterns += (patterns.empty() ? "" : ";") + pattern;
        kinds += wideText(filter.name + " (" + patterns + ")") + L'\0' + wideText(patterns) + L'\0';
    }
    kinds += L'\0';
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring title = wideText(kChooserTitle);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = kinds.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = DWORD(file.size());
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&dialog)) {
        path = programPath(file.data());
        return Choice::Chosen;
    }
    // No error: the person closed the dialogue.
    return CommDlgExtendedError() == 0 ? Choice::Cancelled : Choice::Unavailable;
}

}  // namespace frontend
