// What a run over many models finds and names: a folder's models at any
// depth, an archive's, ARCHIVE:PATH, each once; sources that name nothing
// refused one by one; names that stay inside the folder their pictures go
// to. And what the gallery's page does with names from files.
#include <gtest/gtest.h>

#include <filesystem>

#include "frontend/inputs/archive.h"
#include "frontend/files/names.h"
#include "frontend/inputs/sources.h"
#include "tests/frontend/frontend_files.h"
#include "tests/writers/archives.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> names(const frontend::FoundModels& found) {
    std::vector<std::string> result;
    for (const frontend::FoundModel& model : found.models) result.push_back(model.name);
    return result;
}

TEST(Sources, FoldersFilesAndArchivesGiveEachModelOnceByItsPath) {
    testdata::ScratchDir dir;
    const std::string root = dir.path();
    frontendtest::writeModel(root + "/tree/b.md2");
    frontendtest::writeModel(root + "/tree/deep/er/A.MD2");
    frontendtest::writeModel(root + "/tree/a.md2");
    frontendtest::writePcx(root + "/tree/a.pcx");
    // A link back up is not followed: the walk ends.
    fs::create_directory_symlink(root + "/tree", root + "/tree/deep/loop");
    frontendtest::writeModel(root + "/alone.md2");
    frontend::Inputs inputs;
    frontend::FoundModels found =
        frontend::findModels({root + "/tree", root + "/alone.md2", root + "/tree/a.md2", root + "/missing"}, inputs);
    EXPECT_EQ(names(found), (std::vector<std::string>{"a", "b", "deep/er/A", "alone"}));
    EXPECT_EQ(found.models[2].text, root + "/tree/deep/er/A.MD2");
    ASSERT_EQ(found.refused.size(), 1u);
    EXPECT_NE(std::string(found.refused[0].what()).find("no such file"), std::string::npos);

    fs::create_directories(root + "/empty");
    found = frontend::findModels({root + "/empty"}, inputs);
    EXPECT_TRUE(found.models.empty());
    ASSERT_EQ(found.refused.size(), 1u);
    EXPECT_EQ(found.refused[0].subject(), root + "/empty");

    const std::vector<uint8_t> model = testdata::md2Bytes(frontendtest::sampleModel());
    std::vector<uint8_t> notModel = {'P', 'K', 3, 4};
    frontendtest::writeBytes(root + "/pack.zip", testdata::zipArchive({{"models/x.md2", model},
                                                                       {"models/x.pcx", {1, 2, 3}},
                                                                       {"odd.bin", model},
                                                                       {"text.txt", notModel},
                                                                       {"../up.md2", model}}));
    found = frontend::findModels({root + "/pack.zip", root + "/pack.zip:models/x.md2"}, inputs);
    EXPECT_EQ(names(found), (std::vector<std::string>{"models/x", "odd.bin"}));
    EXPECT_EQ(found.models[0].text, root + "/pack.zip:models/x.md2");
    for (const frontend::Failure& refusal : found.refused)
        EXPECT_NE(std::string(refusal.what()).find("outside"), std::string::npos) << refusal.what();
}

}  // namespace
