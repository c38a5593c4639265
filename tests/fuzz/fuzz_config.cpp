// Any byte string as "ombrel.cfg": the reader must take it without a fault,
// and every path it hands on must be a terminated string within its field.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "viewer/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char path[] = "/tmp/ombrel-fuzz-config-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return 0;
    if (size > 0 && write(fd, data, size) != ssize_t(size)) {
        close(fd);
        unlink(path);
        return 0;
    }
    close(fd);
    ViewerConfig config;
    if (readConfig(path, config)) {
        for (const auto& p : config.paths)
            if (std::memchr(p, 0, CONFIG_PATH_SIZE) == nullptr) std::abort();
    }
    unlink(path);
    return 0;
}
