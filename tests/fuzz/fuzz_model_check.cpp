// The model check on arbitrary bytes: it must read nothing outside them, and
// it must never call usable a file that the reader refuses.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/model_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModelCheck check = modelCheck(data, size);
    if (!check.refusal.empty()) {
        // A refusal is a promise that the reader refuses the file too.
        Model* model = modelLoadFromBytes(data, size);
        if (model) std::abort();
    }
    return 0;
}
