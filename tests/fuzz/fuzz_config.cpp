// Any byte string as "ombrel.cfg": the reader must take it without a fault,
// and every path it hands on must be a terminated string within its field.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "viewer/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ViewerConfig config;
    readConfigFromBytes(data, size, config);
    for (const auto& p : config.paths)
        if (std::memchr(p, 0, CONFIG_PATH_SIZE) == nullptr) std::abort();
    return 0;
}
