#include "tests/writers/config_writer.h"

#include <cstdlib>
#include <cstring>

#include "tests/writers/bytes.h"

namespace testdata {

namespace {

// The layout is checked against the published offsets as the record grows,
// so a writer mistake shows up here and not as a puzzling reader failure.
void expectOffset(const Bytes& out, size_t offset) {
    if (out.size() != offset) std::abort();
}

}  // namespace

std::vector<uint8_t> configBytes(const ViewerConfig& c) {
    Bytes out;
    out.i32(c.windowWidth).i32(c.windowHeight).u8(c.fullScreen);
    expectOffset(out, 9);
    for (const auto& p : c.paths) out.raw(p, CONFIG_PATH_SIZE);
    expectOffset(out, 1545);
    out.f32(c.rotX).f32(c.rotY).f32(c.transX).f32(c.transY).f32(c.transZ);
    expectOffset(out, 1565);
    out.i32(c.renderMode).f32(c.frameFraction);
    out.i32(c.currentFrame).i32(c.nextFrame).i32(c.startFrame).i32(c.endFrame);
    expectOffset(out, 1589);
    out.f32(c.msPerFrame);
    for (const float* colour : {c.backgroundColor, c.modelColor, c.wireColor, c.lightColor})
        out.f32(colour[0]).f32(colour[1]).f32(colour[2]);
    expectOffset(out, 1641);
    out.f32(c.brightness).i32(c.flags).i32(c.textureLimit);
    expectOffset(out, CONFIG_FILE_SIZE);
    return out.data();
}

void setConfigPath(ViewerConfig& config, ConfigPath which, const std::string& path) {
    char* field = config.paths[which];
    std::memset(field, 0, CONFIG_PATH_SIZE);
    std::strncpy(field, path.c_str(), CONFIG_PATH_SIZE - 1);
}

bool writeConfig(const std::string& path, const ViewerConfig& config, size_t keepBytes) {
    std::vector<uint8_t> bytes = configBytes(config);
    if (keepBytes < bytes.size()) bytes.resize(keepBytes);
    return writeFile(path, bytes);
}

}  // namespace testdata
