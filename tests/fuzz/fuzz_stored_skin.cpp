// A model's stored skin names come from the file: any bytes as one, looked
// up as ombrel looks it up for a model on disk and one inside an archive.
// The name is tried from the model's folder and from every folder above it
// as a game root (so "outside.pcx" is found in the scratch folder above the
// game, as meant), but whatever the name holds, it must never climb: what
// it leads to is a folder of the model's own or above it, and a path that
// goes down from there, with no "." or ".." part.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "frontend/inputs/archive.h"
#include "frontend/files/files.h"
#include "frontend/inputs/skins.h"
#include "tests/writers/archives.h"
#include "tests/writers/scratch_dir.h"

namespace {

// A game folder with a pak and skins in it, and a file beside the game that
// no stored name may reach.
struct Game {
    testdata::ScratchDir dir;
    std::string root, game;
    std::unique_ptr<frontend::Archive> pak;

    Game() {
        root = absolutePath(dir.path());
        game = root + "/game";
        for (const char* folder : {"/players/male", "/skins"}) std::filesystem::create_directories(game + folder);
        dir.write("outside.pcx", {1});
        dir.write("game/players/male/grunt.pcx", {1});
        dir.write("game/skins/Knight.PCX", {1});
        dir.write("game/pak0.pak", testdata::pakArchive({{"players/male/tris.md2", {1}},
                                                         {"players/male/grunt.pcx", {1}},
                                                         {"players/female/athena.pcx", {1}}}));
        std::string error;
        pak = frontend::Archive::open(game + "/pak0.pak", error);
    }
};

// True when a part of the '/'-separated path is empty, "." or "..".
bool climbsOrWanders(const std::string& path, size_t from) {
    while (from <= path.size()) {
        size_t end = path.find('/', from);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(from, end - from);
        if (part.empty() || part == "." || part == "..") return true;
        from = end + 1;
    }
    return false;
}

void mustNotClimb(const frontend::FileRef& found, const std::string& root) {
    if (found.empty()) return;
    if (found.archive) {
        if (climbsOrWanders(found.path, 0)) std::abort();
        return;
    }
    // The scratch folder's own path may hold anything its maker chose; what
    // lies below it came from the name. Above it, the whole path did.
    const size_t from = found.path.compare(0, root.size() + 1, root + "/") == 0 ? root.size() + 1 : 1;
    if (climbsOrWanders(found.path, from)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Game game;
    // The name field is 64 bytes; longer input is cut as the file's field would be.
    std::string name(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    name = name.substr(0, name.find('\0'));
    mustNotClimb(frontend::resolveStoredSkin({nullptr, game.game + "/players/male/tris.md2"}, name), game.root);
    if (game.pak) mustNotClimb(frontend::resolveStoredSkin({game.pak.get(), "players/male/tris.md2"}, name), game.root);
    return 0;
}
