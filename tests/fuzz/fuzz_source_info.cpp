// `ombrel info` of a glTF or OBJ source on arbitrary bytes: read, made into
// the .md2 it would become, its own skin decoded, described as text and as
// JSON. The first byte picks the format (even: a .glb or .gltf, odd: an
// .obj); the rest is the file, the one member of an archive in memory, so
// what it names beside itself is asked of the front end and found or not
// there, never on disk. A refusal is one line; nothing may crash.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "frontend/base/report.h"
#include "frontend/inputs/archive.h"
#include "frontend/inputs/formats.h"
#include "frontend/inputs/inputs.h"
#include "frontend/inputs/skins.h"
#include "frontend/scene/describe.h"
#include "tests/writers/archives.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string name = data[0] % 2 == 0 ? "model.glb" : "model.obj";
    std::vector<uint8_t> bytes(data + 1, data + size);
    std::string error;
    std::unique_ptr<frontend::Archive> archive =
        frontend::Archive::openBytes(testdata::zipArchive({{name, bytes}}), "fuzz.zip", error);
    if (!archive) std::abort();
    frontend::Inputs inputs;
    frontend::ModelSource source;
    source.file = {archive.get(), name};
    source.shownName = name;
    source.format = &frontend::formatOf(name, bytes.data(), bytes.size());
    source.files.push_back(std::move(bytes));
    try {
        const frontend::OpenedModel model = frontend::readModel(std::move(source), inputs);
        frontend::Messages messages;
        const frontend::SkinChoice skin = frontend::chooseSkin(model, "", 0, "skin", inputs, messages);
        const frontend::ModelDescription description =
            frontend::describeModel(model, name, &skin, [](const frontend::FileRef& file) { return file.display(); });
        for (bool json : {false, true}) {
            std::ostringstream out;
            frontend::printDescription(description, json, out);
        }
    } catch (const frontend::Failure& refused) {
        if (refused.reason().empty() || std::string(refused.what()).find('\n') != std::string::npos) std::abort();
    }
    return 0;
}
