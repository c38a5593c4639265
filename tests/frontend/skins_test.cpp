// Skin discovery in folders and archives built here: stored names found
// from game roots, with backslashes and other letter cases; the model's own
// base name; the first picture beside a tris.md2; archives before the disk.
#include <gtest/gtest.h>

#include "frontend/inputs/archive.h"
#include "frontend/files/files.h"
#include "frontend/inputs/skins.h"
#include "tests/frontend/frontend_files.h"
#include "tests/writers/archives.h"

namespace {

using frontend::FileRef;
using frontend::findSkins;

FileRef onDisk(const std::string& path) { return FileRef{nullptr, path}; }

std::vector<std::string> found(const std::vector<frontend::SkinCandidate>& candidates) {
    std::vector<std::string> paths;
    for (const auto& c : candidates) paths.push_back(c.file.display());
    return paths;
}

TEST(Skins, StoredNamesFromGameRootsBackslashesAndAnyCase) {
    testdata::ScratchDir dir;
    const std::string root = absolutePath(dir.path());
    const std::string model = root + "/baseq2/players/male/tris.md2";
    frontendtest::writePcx(root + "/baseq2/Players/Male/Grunt.PCX");  // as a case-insensitive file system wrote it
    frontendtest::writePcx(root + "/baseq2/players/male/cipher.pcx");

    auto candidates = findSkins(onDisk(model), {"missing/nothing.pcx", "players\\male\\grunt.pcx"});
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates[0].file.path, root + "/baseq2/Players/Male/Grunt.PCX");
    EXPECT_EQ(candidates[0].why,
              "stored skin name 2 (players\\male\\grunt.pcx), from the game root " + root + "/baseq2");
    // Then what the other rules find: the first picture beside tris.md2.
    EXPECT_EQ(found(candidates).back(), root + "/baseq2/players/male/cipher.pcx");
}

TEST(Skins, StoredNameByItsFileNameAloneBesideTheModel) {
    testdata::ScratchDir dir;
    const std::string root = absolutePath(dir.path());
    frontendtest::writePcx(root + "/models/ogre/OGRE_SKIN.pcx");
    auto candidates = findSkins(onDisk(root + "/models/ogre/ogre.md2"), {"C:\\work\\art\\ogre_skin.pcx"});
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].file.path, root + "/models/ogre/OGRE_SKIN.pcx");
    EXPECT_NE(candidates[0].why.find("by its file name beside the model"), std::string::npos);
}

TEST(Skins, PictureNamedLikeTheModelPrefersTheViewersFormats) {
    testdata::ScratchDir dir;
    const std::string root = absolutePath(dir.path());
    frontendtest::writeBytes(root + "/knight.png", {1});
    frontendtest::writeBytes(root + "/KNIGHT.Tga", {1});
    frontendtest::writeBytes(root + "/knightly.pcx", {1});  // another name: not taken
    auto candidates = findSkins(onDisk(root + "/knight.md2"), {});
    EXPECT_EQ(found(candidates), (std::vector<std::string>{root + "/KNIGHT.Tga", root + "/knight.png"}));
    EXPECT_EQ(candidates[0].why, "the picture named like the model");
    // Only a tris.md2 takes whatever picture lies beside it.
    EXPECT_TRUE(findSkins(onDisk(root + "/other.md2"), {}).empty());
}

TEST(Skins, InsideTheArchiveFirstThenBesideIt) {
    testdata::ScratchDir dir;
    const std::string root = absolutePath(dir.path());
    std::vector<uint8_t> skin = {10, 5, 1, 8};
    frontendtest::writeBytes(root + "/pak0.pak", testdata::pakArchive({{"players/male/tris.md2", {1, 2, 3}},
                                                                       {"players/male/grunt.pcx", skin},
                                                                       {"players/male/a_icon.pcx", skin}}));
    frontendtest::writePcx(root + "/players/male/grunt.pcx");
    frontendtest::writePcx(root + "/players/male/visor.pcx");

    std::string error;
    std::unique_ptr<frontend::Archive> pak = frontend::Archive::open(root + "/pak0.pak", error);
    ASSERT_TRUE(pak) << error;
    FileRef model{pak.get(), "players/male/tris.md2"};
    auto candidates = findSkins(model, {"players/male/grunt.pcx", "players/male/visor.pcx"});
    EXPECT_EQ(found(candidates), (std::vector<std::string>{
                                     root + "/pak0.pak:players/male/grunt.pcx",  // inside, from its root
                                     root + "/players/male/grunt.pcx",           // beside the archive
                                     root + "/players/male/visor.pcx",
                                     root + "/pak0.pak:players/male/a_icon.pcx",  // first picture beside tris.md2
                                 }));
    EXPECT_EQ(frontend::resolveStoredSkin(model, "PLAYERS\\MALE\\GRUNT.PCX").display(),
              root + "/pak0.pak:players/male/grunt.pcx");
    EXPECT_TRUE(frontend::resolveStoredSkin(model, "players/female/athena.pcx").empty());
}

// A stored name that climbs out of the archive's root, or out of the folder
// beside it, leads nowhere (on disk it would lead to any file at all).
TEST(Skins, NamesThatClimbOutLeadNowhere) {
    testdata::ScratchDir dir;
    const std::string root = absolutePath(dir.path());
    frontendtest::writeBytes(root + "/game/pak0.pak", testdata::pakArchive({{"players/male/tris.md2", {1, 2, 3}},
                                                                            {"secret.pcx", {10, 5, 1, 8}}}));
    frontendtest::writePcx(root + "/outside.pcx");
    frontendtest::writePcx(root + "/game/players/secret.pcx");
    std::string error;
    std::unique_ptr<frontend::Archive> pak = frontend::Archive::open(root + "/game/pak0.pak", error);
    ASSERT_TRUE(pak) << error;
    const FileRef inArchive{pak.get(), "players/male/tris.md2"};
    const FileRef onDisk{nullptr, root + "/game/players/male/tris.md2"};
    for (const char* climbing : {"../../outside.pcx", "players/male/../../secret.pcx", "..\\..\\outside.pcx",
                                 "players/../../outside.pcx", "../secret.pcx"}) {
        EXPECT_TRUE(frontend::resolveStoredSkin(inArchive, climbing).empty()) << climbing;
        EXPECT_TRUE(frontend::resolveStoredSkin(onDisk, climbing).empty()) << climbing;
        EXPECT_TRUE(findSkins(onDisk, {climbing}).empty()) << climbing;
    }
}

TEST(Archives, PakAndZipMembersReadBackWhole) {
    testdata::ScratchDir dir;
    const std::vector<uint8_t> model = frontendtest::pngBytes(3, 3, frontendtest::gradientRgb(3, 3));
    const testdata::ArchiveFiles files = {{"models/Box/tris.md2", model}, {"readme.txt", {'h', 'i'}}};
    for (const std::string name : {"game.PAK", "mod.pk3", "pack.zip"}) {
        std::string path =
            dir.write(name, name == "game.PAK" ? testdata::pakArchive(files) : testdata::zipArchive(files));
        std::string error;
        std::unique_ptr<frontend::Archive> archive = frontend::Archive::open(path, error);
        ASSERT_TRUE(archive) << name << ": " << error;
        EXPECT_EQ(archive->members(), (std::vector<std::string>{"models/Box/tris.md2", "readme.txt"})) << name;
        EXPECT_EQ(archive->find("MODELS\\box\\TRIS.md2"), "models/Box/tris.md2");
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(archive->read("models/Box/tris.md2", 1 << 20, bytes, error)) << error;
        EXPECT_EQ(bytes, model);
        EXPECT_FALSE(archive->read("models/Box/tris.md2", 10, bytes, error));
        EXPECT_NE(error.find("too large"), std::string::npos);
    }
    std::string error;
    EXPECT_FALSE(frontend::Archive::open(dir.write("fake.zip", {'n', 'o'}), error));
    EXPECT_NE(error.find("not a PACK or zip archive"), std::string::npos);
    EXPECT_FALSE(frontend::Archive::open(dir.file("absent.pak"), error));
    EXPECT_EQ(error, "no such file");
}

TEST(Archives, ArchivePathsSplitAtTheArchivesName) {
    std::string archive, member;
    EXPECT_TRUE(frontend::splitArchivePath("/games/C:drive/pak0.PAK:players/male/tris.md2", archive, member));
    EXPECT_EQ(archive, "/games/C:drive/pak0.PAK");
    EXPECT_EQ(member, "players/male/tris.md2");
    EXPECT_FALSE(frontend::splitArchivePath("/models/a:b/tris.md2", archive, member));
    EXPECT_FALSE(frontend::splitArchivePath("pak0.pak", archive, member));
}

}  // namespace
