// The thumbnail of a model given only as its bytes, as Explorer's provider
// draws it (drawing/thumbnail.h), beside `ombrel thumbnail` of the same
// model alone in its folder: the same code, so the same pixels; and bytes
// that are no model it can draw are refused as bad input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "frontend/base/report.h"
#include "frontend/drawing/thumbnail.h"
#include "tests/frontend/frontend_files.h"
#include "tests/frontend/picture_file.h"
#include "tests/writers/bytes.h"

namespace fs = std::filesystem;

namespace {

class ThumbnailOfBytes : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
        unsetenv("DISPLAY");
    }
    testdata::ScratchDir scratch;
};

TEST_F(ThumbnailOfBytes, IsWhatTheThumbnailCommandDrawsOfTheModelAlone) {
    fs::create_directories(scratch.file("alone"));
    for (const char* name : {"faerie", "sydney"})
        for (int size : {96, 256}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(size));
            const std::string model = scratch.file(std::string("alone/") + name + ".md2");
            fs::copy_file(std::string(OMBREL_CORPUS_DIR) + "/" + name + ".md2", model,
                          fs::copy_options::overwrite_existing);
            const std::string png = scratch.file("thumbnail.png");
            ASSERT_EQ(std::system((std::string(OMBREL_BIN_DIR) + "/ombrel thumbnail --size " + std::to_string(size) +
                                   " " + model + " " + png)
                                      .c_str()),
                      0);
            const PictureFile command = loadPictureFile(png, 4);
            const frontend::RgbaPicture bytes = frontend::thumbnailOfModelBytes(testdata::readFile(model), name, size);
            EXPECT_EQ(bytes.width, size);
            EXPECT_EQ(bytes.height, size);
            int opaque = 0;
            for (size_t i = 3; i < bytes.rgba.size(); i += 4) opaque += bytes.rgba[i] == 255;
            EXPECT_GT(opaque, size * size / 20) << "the model, not an empty square";
            EXPECT_TRUE(bytes.rgba == command.pixels) << "the same pixels";
        }
}

TEST_F(ThumbnailOfBytes, RefusesBytesThatAreNoModelItCanDraw) {
    testdata::Md2Model empty = frontendtest::sampleModel();
    empty.frames.resize(1);
    empty.frames[0].vertices.clear();
    const std::vector<uint8_t> whole = testdata::md2Bytes(frontendtest::sampleModel());
    const std::vector<uint8_t> truncated(whole.begin(), whole.begin() + long(whole.size() / 2));
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> refused{
        {truncated, "the stream: "},
        {{'P', 'K', 3, 4}, "the stream: "},
        {{}, "the stream: "},
        {testdata::md2Bytes(empty), "the stream: nothing to draw (no vertices)"},
    };
    for (const auto& [bytes, said] : refused) {
        SCOPED_TRACE(said);
        try {
            frontend::thumbnailOfModelBytes(bytes, "the stream", 32);
            ADD_FAILURE() << "drawn";
        } catch (const frontend::Failure& failure) {
            EXPECT_EQ(failure.code(), frontend::ExitCode::BadInput);
            EXPECT_EQ(std::string(failure.what()).rfind(said, 0), 0u) << failure.what();
        }
    }
    EXPECT_EQ(frontend::thumbnailOfModelBytes(whole, "the stream", 32).width, 32) << "a good one after";
}

}  // namespace
