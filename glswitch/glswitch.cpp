// glswitch: moves the OpenGL and GLU libraries a package carries beside its
// programs aside (so the next start uses the system's own), deletes the
// package's configuration file and starts the front end. No window, no
// output, exit code 0 whatever happens.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#endif

#include <cstdio>
#include <cstring>

#ifdef GLSWITCH_TEST_SEAMS
#include <cstdlib>
#endif

namespace {

// Every file the tool touches, all relative to its own directory.
struct FileNames {
    const char* gl;       // the bundled OpenGL library
    const char* glAside;  // where it is moved to
    const char* glu;      // the bundled GLU library
    const char* gluAside;
    const char* config;    // deleted, so the front end writes it anew
    const char* frontEnd;  // started, not waited for
};

#ifdef _WIN32
// A library in the program's directory is found before the system's own
// under its system name; moved to another name it is no longer loaded.
const FileNames kNames = {"opengl32.dll", "mesagl.dll", "glu32.dll", "mesaglu.dll", "ombrel.cfg", "ombrel.exe"};
const char kSeparator = '\\';
#else
// On Linux the viewer asks the dynamic loader for libOpenGL.so.0 and
// libGLU.so.1 (the sonames its link records), and its $ORIGIN run path has
// the loader look for them beside it first: a package that carries its own
// GL puts files of exactly those names there. The moved copies keep their
// endings but carry names nothing asks for. Programs have no ".exe".
const FileNames kNames = {"libOpenGL.so.0", "libmesagl.so.0", "libGLU.so.1", "libmesaglu.so.1", "ombrel.cfg", "ombrel"};
const char kSeparator = '/';
#endif

// Paths must fit these buffers whole; a path that doesn't is never used cut.
const size_t kPathBufferSize = 256;
const unsigned kWaitMilliseconds = 2000;

#ifdef _WIN32

bool executablePath(char* buffer) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, DWORD(kPathBufferSize));
    return length > 0 && length < kPathBufferSize;  // kPathBufferSize means cut
}

bool currentDirectory(char* buffer) {
    DWORD length = GetCurrentDirectoryA(DWORD(kPathBufferSize), buffer);
    return length > 0 && length < kPathBufferSize;  // too long: the size it needs
}

bool changeDirectory(const char* path) { return SetCurrentDirectoryA(path) != 0; }
// A name that leads elsewhere (a symbolic link or junction), a directory or
// a device.
bool isNotAPlainFile(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

// Copies only between plain files of the program's directory: a link at the
// aside name would have the copy land wherever it points.
bool copyReplacing(const char* from, const char* to) {
    if (isNotAPlainFile(GetFileAttributesA(from)) || isNotAPlainFile(GetFileAttributesA(to))) return false;
    return CopyFileA(from, to, FALSE) != 0;
}
void deleteFile(const char* name) { DeleteFileA(name); }
void waitMilliseconds(unsigned ms) { Sleep(ms); }
void startProgram(const char* name) { WinExec(name, SW_SHOW); }

#else

bool executablePath(char* buffer) {
    ssize_t length = readlink("/proc/self/exe", buffer, kPathBufferSize);
    if (length <= 0 || size_t(length) >= kPathBufferSize) return false;  // a full buffer may be cut
    buffer[length] = '\0';
    return true;
}

bool currentDirectory(char* buffer) { return getcwd(buffer, kPathBufferSize) != nullptr; }
bool changeDirectory(const char* path) { return chdir(path) == 0; }

// Whether the name is free or holds a plain file (not followed if it is a link).
bool freeOrPlainFile(const char* name) {
    struct stat status;
    if (lstat(name, &status) != 0) return errno == ENOENT;
    return S_ISREG(status.st_mode);
}

bool copyContents(int in, int out) {
    char buffer[65536];
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(out, buffer + done, size_t(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
        }
    }
}

// Copies a plain file over a plain file or a free name, writing only inside
// the current directory: a link at the destination (dangling or not), a
// directory or a device there is refused and left as it is, and a source
// that is not a plain file (a FIFO would block) is not read. The copy is
// written as a new file and renamed over the destination, so an existing
// file there is replaced, never written into: its other names (hard links
// elsewhere) keep their contents.
bool copyReplacing(const char* from, const char* to) {
    if (!freeOrPlainFile(to)) return false;
    int in = open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat source;
    if (fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
        close(in);
        return false;
    }
    char temporary[kPathBufferSize + 8];
    std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", to);
    int out = mkstemp(temporary);
    if (out < 0) {
        close(in);
        return false;
    }
    bool copied = copyContents(in, out) && fchmod(out, source.st_mode & 07777) == 0;
    close(in);
    copied = close(out) == 0 && copied;
    // Looked at again just before: rename replaces a link itself, not what
    // it points to, but a link that appeared meanwhile is left alone too.
    if (!copied || !freeOrPlainFile(to) || rename(temporary, to) != 0) {
        unlink(temporary);
        return false;
    }
    return true;
}

void deleteFile(const char* name) { unlink(name); }
void waitMilliseconds(unsigned ms) { usleep(useconds_t(ms) * 1000); }

// Starts the program from the current directory without waiting for it.
// The program is started by a short-lived intermediate child, so it belongs
// to init from the start and never lingers as a zombie of this tool; its own
// session keeps it alive when the terminal that ran the tool goes away.
void startProgram(const char* name) {
    char path[kPathBufferSize + 2];
    std::snprintf(path, sizeof path, "./%s", name);
    pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            execl(path, name, static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

#endif

#ifdef GLSWITCH_TEST_SEAMS
// Only the test build of this file has these; the shipped tool reads no
// environment. GLSWITCH_TEST_WAIT_MS shortens the wait,
// GLSWITCH_TEST_EXE_PATH stands in for the executable's path (to give one
// without a separator or in a missing directory), GLSWITCH_TEST_FINAL_DIR_FILE
// names a file that receives the current directory the tool ends in.
unsigned waitTime() {
    const char* value = std::getenv("GLSWITCH_TEST_WAIT_MS");
    return value ? unsigned(std::strtoul(value, nullptr, 10)) : kWaitMilliseconds;
}

bool programPath(char* buffer) {
    const char* given = std::getenv("GLSWITCH_TEST_EXE_PATH");
    if (!given) return executablePath(buffer);
    if (std::strlen(given) >= kPathBufferSize) return false;
    std::strcpy(buffer, given);
    return true;
}

void reportFinalDirectory() {
    const char* target = std::getenv("GLSWITCH_TEST_FINAL_DIR_FILE");
    char directory[4096];
    if (!target || !currentDirectory(directory)) return;
    if (FILE* file = std::fopen(target, "w")) {
        std::fputs(directory, file);
        std::fclose(file);
    }
}
#else
unsigned waitTime() { return kWaitMilliseconds; }
bool programPath(char* buffer) { return executablePath(buffer); }
void reportFinalDirectory() {}
#endif

// Cuts a full file path after its last separator. Keeping the separator
// makes a program at the root act on "/" or "C:\" rather than on "" (no
// directory) or "C:" (the drive's current directory, anywhere at all).
bool cutToDirectory(char* path) {
    char* last = std::strrchr(path, kSeparator);
    if (!last) return false;
    last[1] = '\0';
    return true;
}

// Moves a library aside. The original goes only once its copy is safe: if
// the copy fails (a locked or read-only target, a full disk) the library
// stays where it was rather than being lost.
void moveAside(const char* name, const char* aside) {
    if (copyReplacing(name, aside)) deleteFile(name);
}

void switchRenderer() {
    char programDirectory[kPathBufferSize];
    char savedDirectory[kPathBufferSize];
    // A path that doesn't fit, has no directory part or can't be entered
    // would leave the tool acting on a cut path or on the caller's own
    // directory: then nothing is done at all, not even the start, since the
    // front end could only be looked for in the wrong place.
    if (!programPath(programDirectory) || !cutToDirectory(programDirectory)) return;
    if (!currentDirectory(savedDirectory)) return;
    if (!changeDirectory(programDirectory)) return;

    moveAside(kNames.gl, kNames.glAside);
    moveAside(kNames.glu, kNames.gluAside);
    deleteFile(kNames.config);
    waitMilliseconds(waitTime());
    startProgram(kNames.frontEnd);

    changeDirectory(savedDirectory);
    reportFinalDirectory();
}

}  // namespace

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    switchRenderer();
    return 0;
}
#else
int main() {
    switchRenderer();
    return 0;
}
#endif
