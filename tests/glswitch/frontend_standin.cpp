// Stands in for the front end that glswitch starts: records that it ran,
// its process id, the directory it was started in and when, into the file
// named by OMBREL_STANDIN_RECORD. With OMBREL_STANDIN_LINGER_MS it then stays
// alive that long (with its standard streams closed, so nobody waits on them).
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    const char* record = std::getenv("OMBREL_STANDIN_RECORD");
    if (!record) return 1;
    char directory[4096];
    if (!getcwd(directory, sizeof directory)) return 1;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);

    // Written aside and renamed, so a reader never sees half a record.
    std::string partial = std::string(record) + ".partial";
    FILE* file = std::fopen(partial.c_str(), "w");
    if (!file) return 1;
    std::fprintf(file, "%ld\n%lld.%09ld\n%s\n", long(getpid()), (long long)now.tv_sec, now.tv_nsec, directory);
    std::fclose(file);
    std::rename(partial.c_str(), record);

    if (const char* linger = std::getenv("OMBREL_STANDIN_LINGER_MS")) {
        close(0);
        close(1);
        close(2);
        usleep(useconds_t(std::atoi(linger)) * 1000);
    }
    return 0;
}
