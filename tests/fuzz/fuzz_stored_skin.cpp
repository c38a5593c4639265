// A model's stored skin names come from the file: any bytes as one, looked
// up as ombrel looks it up for a model on disk and one inside an archive.
// Whatever the name holds, what it leads to must lie inside the game's
// folder, never outside it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "frontend/archive.h"
#include "frontend/files.h"
#include "frontend/skins.h"
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
        root = frontend::absolutePath(dir.path());
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

void mustStayInside(const frontend::FileRef& found, const std::string& game) {
    if (found.empty() || found.archive) return;
    if (found.path.compare(0, game.size() + 1, game + "/") != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Game game;
    // The name field is 64 bytes; longer input is cut as the file's field would be.
    std::string name(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    name = name.substr(0, name.find('\0'));
    mustStayInside(frontend::resolveStoredSkin({nullptr, game.game + "/players/male/tris.md2"}, name), game.game);
    if (game.pak) mustStayInside(frontend::resolveStoredSkin({game.pak.get(), "players/male/tris.md2"}, name), game.game);
    return 0;
}
