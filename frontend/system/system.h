// What the front end asks of the operating system: the one contract, answered
// once for POSIX systems (system_posix.cpp) and once for Windows
// (system_win32.cpp). Everything else of the front end is the same code on
// both; what std::filesystem does alike everywhere lives in files.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace frontend {

// ---- The command line

// The program's own command line, in UTF-8 as all its text: argv as it is
// on POSIX; on Windows read again from the wide command line, as argv holds
// only what the ANSI code page can spell. A Windows console is set to show
// the UTF-8 printed while it lives.
class CommandLine {
public:
    CommandLine(int argc, char** argv);
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    int count() const { return int(words_.size()); }
    char** words() { return pointers_.data(); }

private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;
#ifdef _WIN32
    unsigned consoleCodePage_ = 0;  // the console's own, given back
#endif
};

// ---- Folders

// The folder holding the running program ("" when it can't be found).
std::string programFolder();

// The settings file: $XDG_CONFIG_HOME/ombrel/settings, else
// ~/.config/ombrel/settings; on Windows %APPDATA%\ombrel\settings. "" when
// there is no such place.
std::string settingsPath();

// The person's home folder, for "~/" in settings; false when unknown.
bool homeFolder(std::string& home);

// Where the data installed with the program may lie, first choice first
// (the default water picture is looked for in each).
std::vector<std::string> dataFolders();

// ---- Files, where the systems write them differently

// Makes the folder, for this user only. An existing one is taken only when
// it is a folder of this user's own and not a link (a folder someone else
// planted, or a link to one, would receive what is meant to be private).
bool makePrivateFolder(const std::string& path, std::string& error);

// Makes path lead to target: a symbolic link on POSIX, a copy on Windows,
// where making links needs rights a person rarely has.
bool linkOrCopy(const std::string& target, const std::string& path, std::string& error);

// Writes the bytes to a new file at path: nothing may stand there, and a
// link put there meanwhile is never followed. False with the reason in error.
bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Writes the bytes beside path (".NAME.PID.XXXXXX" in its folder, with the
// permissions a new file gets), for moveInto to put in place, so path only
// ever holds a whole file; the name used goes to temporary. Such files left
// by a process that was killed are removed first. False with "PATH: why" in
// error.
bool writeBeside(const std::string& path, const std::vector<uint8_t>& bytes, std::string& temporary,
                 std::string& error);
// Renames a file written beside path into its place in one step (replacing
// what was there); on failure removes it. False with "PATH: why" in error.
bool moveInto(const std::string& temporary, const std::string& path, std::string& error);

// Whether a process of this id runs (true when that can't be told).
bool processRunning(long id);

// Removes what killed processes left in folder: the entries named
// prefix + ID + separator + anything, where ID is a process that no longer
// runs (the run folders "ombrel-ID-...", half-written ".NAME.ID...").
void removeLeftovers(const std::string& folder, const std::string& prefix, char separator);

// Whether standard error is a terminal a person watches (not a file or a pipe).
bool standardErrorIsTerminal();

// Readies the memory for buffers of megabytes built once and written out (an
// export): they come from one heap that grows in large steps backed by
// large pages where the system offers them, as each first touch of a small
// page costs a fault. Nothing when the system has nothing of the kind.
void expectLargeBuffers();

// ---- The display

// Whether a window can be shown: on Linux DISPLAY or WAYLAND_DISPLAY is set
// and SDL is not told to use a driver that shows nothing; always on
// Windows. False with the reason in why.
bool displayAvailable(std::string& why);

// Readies the window system for windows no one sees, which draw pictures:
// SDL's offscreen driver on Linux, whatever DISPLAY says (unless the person
// chose a driver); nothing on Windows, where a window is simply not shown.
void useOffscreenWindows();

// Whether what is drawn into such a window's own framebuffer stays there to
// be read back. SDL's offscreen driver keeps it; a Win32 window that is not
// shown owns no pixels, so pictures are drawn into framebuffer objects.
bool offscreenWindowKeepsPixels();

// Keeps the software renderer (Mesa's llvmpipe) of this process to this many
// threads of its own (0: it draws in the calling thread), unless the person
// chose a number (LP_NUM_THREADS). Nothing on Windows.
void shareSoftwareRenderer(int threads);

// Whether Mesa's software renderer can keep the shaders it builds for later
// runs, in its shader cache: not when told not to (MESA_SHADER_CACHE_DISABLE),
// nor where no cache folder can be written (as in the sandbox file managers
// run thumbnailers in). False on Windows, where the driver is not known.
bool softwareRendererKeepsShaders();

// Asks the software renderer to build its shaders without LLVM's
// optimisations (GALLIVM_PERF=nopt, unless the person set GALLIVM_PERF):
// the same pixels, drawn a tenth slower, built in half the time; for one
// picture whose shaders are built anew, the quicker way. Nothing on Windows.
void buildShadersQuickly();

// ---- Worker processes

// The cores this process may run on: those its CPU affinity allows, fewer
// where its control group's quota (cpu.max) grants less time; at least 1.
// On Windows 1: one process draws there.
int usableCores();

// A process forked from this one that does part of a run, spoken to over
// one channel both ways, a message at a time.
struct Worker {
    long id = 0;        // its process id; 0 once it ended
    int channel = -1;   // this process's end
};

// The most workers a run starts at once.
constexpr int kMostWorkers = 256;

// Whether this system starts workers: not Windows, where one process draws.
bool workersAvailable();

// Starts a worker: in it, run is called with its end of the channel, and
// the worker ends with what run returns (without this process's exit
// handlers or buffers). It ends when this process ends, however that
// happens; while an InterruptGuard lives, the signals it receives are passed
// on to every worker. False with the reason in error; on Windows, which
// starts none, always false.
bool startWorker(const std::function<int(int channel)>& run, Worker& worker, std::string& error);

// Sends one message, whole; false when the other end is gone.
bool sendMessage(int channel, const std::string& message);
// Receives one message; false at the channel's end (the other side closed
// it or ended), or when a signal came while waiting.
bool receiveMessage(int channel, std::string& message);
// Tells the worker that no more messages come (it reads the channel's end),
// while its own messages can still be received.
void finishSending(const Worker& worker);
// Waits until one of the channels has a message or its end to receive: its
// index; -1 when a signal came first.
int waitForChannels(const std::vector<int>& channels);

struct WorkerEnd {
    int code = 0;    // its exit code when it exited
    int signal = 0;  // the signal that ended it, 0 if none
};
// Waits for the worker to end and closes the channel.
WorkerEnd endWorker(Worker& worker);

// ---- Running the viewer

// A fresh folder only this user can enter, under $XDG_RUNTIME_DIR (else
// $TMPDIR, else /tmp; on Windows under %TEMP%), removed with everything in
// it on destruction. Its name holds the process's id: folders that killed
// processes left behind are removed when the next one is made. A base
// folder whose path leaves too little room for the record's paths is passed
// over.
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
// they are passed on to the viewer once it runs (and to every worker), or
// remembered until then, so the run folder is always cleaned up first. On Windows the same holds
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

    // Between the steps of a long preparation: throws the Failure that ends
    // the run once a signal came (the run folder goes as it unwinds).
    static void checkpoint();
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

// ---- Parts loaded when needed

// The function named entry in the plugin file named name (such as
// "ombrel-drawing.so"), loaded on first use with everything it needs: in the
// installed programs' folder (libexec/ombrel beside bin) when it is there,
// else beside ombrel as in the build tree. Null, with the reason as one line
// in error, when it can't be loaded. On Windows, which has no plugins (what
// they hold is linked in), always null.
void* loadPlugin(const std::string& name, const char* entry, std::string& error);

// ---- Asking for a model

// The chooser's title.
constexpr char kChooserTitle[] = "Open a model";

// A display to show a chooser on (DISPLAY or WAYLAND_DISPLAY is set;
// always on Windows).
bool onDesktop();

enum class Choice {
    Chosen,       // path holds the chosen file
    Cancelled,    // the person closed the chooser without a file
    Unavailable,  // no chooser to ask with
};

// A kind of file the chooser offers: its name for people and its patterns
// ("*.md2"; on systems whose names differ by letter case, the upper-case
// ones are offered too).
struct FileFilter {
    std::string name;
    std::vector<std::string> patterns;
};

// The desktop's own file chooser, offering these kinds of file: the XDG
// desktop portal when one is running (or can be started), else zenity or
// kdialog; on Windows the common Open dialogue.
Choice chooseModel(const std::vector<FileFilter>& filters, std::string& path);

}  // namespace frontend
