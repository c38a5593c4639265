// Any model the reader takes, made again (readMd2Source, then makeMd2) with
// a skin of colours from the bytes themselves: whatever a hostile file
// holds, the maker makes a model our reader takes back, or refuses in one
// line; nothing crashes or reads outside its buffers.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/import.h"
#include "model/md2_maker.h"
#include "model/model.h"
#include "model/model_check.h"

namespace {

void checkOneLine(const std::string& error) {
    if (error.empty() || error.find('\n') != std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Model* model = modelLoadFromBytes(data, size);
    if (!model) return 0;
    constexpr int kSkinSide = 8;
    std::vector<uint8_t> skin(kSkinSide * kSkinSide * 3);
    for (size_t i = 0; i < skin.size(); ++i) skin[i] = data[i % size];
    SourceMesh mesh;
    std::string error;
    const bool withSkin = size % 2 == 0;
    if (readMd2Source(*model, withSkin ? skin.data() : nullptr, kSkinSide, kSkinSide, {}, mesh, error)) {
        Md2MakeOptions options;
        options.boxPerFrame = size % 3 == 0;
        options.dither = size % 5 == 0;
        const Md2MakeResult made = makeMd2(mesh, options);
        if (made.ok) {
            Model* again = modelLoadFromBytes(made.model.data(), made.model.size());
            if (!again || !modelCheck(made.model.data(), made.model.size()).refusal.empty()) std::abort();
            modelFree(again);
        } else {
            checkOneLine(made.error);
            if (!made.model.empty() || !made.skin.empty()) std::abort();
        }
    } else {
        checkOneLine(error);
    }
    modelFree(model);
    return 0;
}
