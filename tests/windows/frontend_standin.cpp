// Stands in for the front end (ombrel.exe) that glswitch starts, in the Wine
// end-to-end tests: writes its process id, the time (milliseconds since
// 1970) and the directory it was started in to "standin-record.txt" in that
// directory, written aside and renamed so a reader never sees half of it.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    unsigned long long unixMs = ticks / 10000 - 11644473600000ULL;
    char directory[MAX_PATH];
    if (!GetCurrentDirectoryA(MAX_PATH, directory)) return 1;
    FILE* file = std::fopen("standin-record.partial", "w");
    if (!file) return 1;
    std::fprintf(file, "%lu\n%llu\n%s\n", GetCurrentProcessId(), unixMs, directory);
    std::fclose(file);
    MoveFileExA("standin-record.partial", "standin-record.txt", MOVEFILE_REPLACE_EXISTING);
    return 0;
}
