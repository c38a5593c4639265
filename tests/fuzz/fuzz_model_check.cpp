// The model check on arbitrary bytes: it must read nothing outside them, and
// it must never call usable a file that the reader refuses.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "model/model.h"
#include "model/model_check.h"

namespace {

const std::string& inputPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string p =
            std::string(dir && *dir ? dir : "/tmp") + "/fuzz_model_check_" + std::to_string(getpid()) + ".md2";
        std::atexit([] { std::remove(inputPath().c_str()); });
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModelCheck check = modelCheck(data, size);
    if (!check.refusal.empty()) {
        // A refusal is a promise that the reader refuses the file too.
        FILE* file = std::fopen(inputPath().c_str(), "wb");
        if (!file) return 0;
        const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
        std::fclose(file);
        if (!written) return 0;
        Model* model = modelLoad(inputPath().c_str());
        if (model) std::abort();
    }
    return 0;
}
