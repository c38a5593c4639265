// The front end's system calls on Windows (the ANSI entry points, as the
// viewer and glswitch use).
#include "frontend/system.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "frontend/files.h"
#include "frontend/options.h"

namespace frontend {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

DWORD attributesOf(const std::string& path) { return GetFileAttributesA(nativePath(path).c_str()); }

std::string reason(DWORD code) {
    char* text = nullptr;
    DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace

const char* leftOutHere() {
    return "This Windows build reads no archives (.pak, .pk3, .zip), and render and thumbnail need Linux.\n";
}

std::string lastErrorText() { return reason(GetLastError()); }

size_t rootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
        return path.size() >= 3 && isSeparator(path[2]) ? 3 : 2;
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

std::string nativePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

bool isFolder(const std::string& path) {
    DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool entryExists(const std::string& path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

int64_t fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(nativePath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

FileKind fileKind(const std::string& path) {
    DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_ACCESS_DENIED ? FileKind::Unreadable : FileKind::Missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::Folder;
    HANDLE file =
        CreateFileA(nativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FileKind::Unreadable;
    // Devices (NUL, CON, COM1) answer to names as well.
    DWORD type = GetFileType(file);
    CloseHandle(file);
    return type == FILE_TYPE_DISK ? FileKind::Regular : FileKind::Other;
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    HANDLE file =
        CreateFileA(nativePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

// The folder inherits the rights of the one it is made in: under %TEMP%
// (the run folder), a folder of this user's own.
bool makePrivateFolder(const std::string& path, std::string& error) {
    if (CreateDirectoryA(nativePath(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    error = lastErrorText();
    return false;
}

void removeEntry(const std::string& path) { DeleteFileA(nativePath(path).c_str()); }

bool linkOrCopy(const std::string& target, const std::string& path, std::string& error) {
    if (CopyFileA(nativePath(target).c_str(), nativePath(path).c_str(), FALSE)) return true;
    error = lastErrorText();
    return false;
}

std::string programFolder() {
    char buffer[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return "";  // cut short: no folder to trust
    return folderOf(std::filesystem::path(std::string(buffer, n)).generic_string());
}

// Beside ombrel.exe, as a folder unpacked anywhere holds it, or where an
// installation of the Linux layout puts it.
std::vector<std::string> dataFolders() { return {programFolder(), dataFolder()}; }

bool homeFolder(std::string& home) {
    const char* value = std::getenv("USERPROFILE");
    if (!value || !value[0]) return false;
    home = std::filesystem::path(value).generic_string();
    return true;
}

std::string settingsPath() {
    const char* appData = std::getenv("APPDATA");
    if (!appData || rootLength(appData) == 0) return "";
    return nativePath(std::string(appData) + "/ombrel/settings");
}

}  // namespace frontend
