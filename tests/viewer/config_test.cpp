#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/not_regular_files.h"
#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"
#include "viewer/config.h"

namespace {

std::string tempPath() {
    char name[] = "/tmp/ombrel-config-XXXXXX";
    int fd = mkstemp(name);
    close(fd);
    return name;
}

// A record in which every field has a value unlike its default and unlike
// its neighbours, so a field read from the wrong offset cannot pass.
ViewerConfig distinctConfig() {
    ViewerConfig c;
    c.windowWidth = 800;
    c.windowHeight = 600;
    c.fullScreen = 255;
    const char* names[PATH_COUNT] = {"main.md2", "main.pcx", "weapon.md2", "weapon.tga", "back.pcx", "lake.pcx"};
    for (int i = 0; i < PATH_COUNT; ++i) setConfigPath(c, ConfigPath(i), names[i]);
    c.rotX = 1.5f;
    c.rotY = -2.5f;
    c.transX = 3.25f;
    c.transY = -4.75f;
    c.transZ = 99.5f;
    c.renderMode = 3;
    c.frameFraction = 0.25f;
    c.currentFrame = 7;
    c.nextFrame = 8;
    c.startFrame = 5;
    c.endFrame = 40;
    c.msPerFrame = 60.5f;
    for (int i = 0; i < 3; ++i) {
        c.backgroundColor[i] = 0.1f + i;
        c.modelColor[i] = 0.2f + i;
        c.wireColor[i] = 0.3f + i;
        c.lightColor[i] = 0.4f + i;
    }
    c.brightness = 55.9f;
    c.flags = 0x6B;
    c.textureLimit = 128;
    return c;
}

// The record's fields with their published offsets and sizes, and how to
// compare one between two configurations.
struct Field {
    const char* name;
    int offset;
    int size;
    bool (*same)(const ViewerConfig&, const ViewerConfig&);
};

#define SCALAR(f) [](const ViewerConfig& a, const ViewerConfig& b) { return std::memcmp(&a.f, &b.f, sizeof a.f) == 0; }

const Field fields[] = {
    {"windowWidth", 0, 4, SCALAR(windowWidth)},
    {"windowHeight", 4, 4, SCALAR(windowHeight)},
    {"fullScreen", 8, 1, SCALAR(fullScreen)},
    {"mainModelPath", 9, 256, SCALAR(paths[0])},
    {"mainSkinPath", 265, 256, SCALAR(paths[1])},
    {"attachModelPath", 521, 256, SCALAR(paths[2])},
    {"attachSkinPath", 777, 256, SCALAR(paths[3])},
    {"backgroundPath", 1033, 256, SCALAR(paths[4])},
    {"waterPath", 1289, 256, SCALAR(paths[5])},
    {"rotX", 1545, 4, SCALAR(rotX)},
    {"rotY", 1549, 4, SCALAR(rotY)},
    {"transX", 1553, 4, SCALAR(transX)},
    {"transY", 1557, 4, SCALAR(transY)},
    {"transZ", 1561, 4, SCALAR(transZ)},
    {"renderMode", 1565, 4, SCALAR(renderMode)},
    {"frameFraction", 1569, 4, SCALAR(frameFraction)},
    {"currentFrame", 1573, 4, SCALAR(currentFrame)},
    {"nextFrame", 1577, 4, SCALAR(nextFrame)},
    {"startFrame", 1581, 4, SCALAR(startFrame)},
    {"endFrame", 1585, 4, SCALAR(endFrame)},
    {"msPerFrame", 1589, 4, SCALAR(msPerFrame)},
    {"backgroundColor", 1593, 12, SCALAR(backgroundColor)},
    {"modelColor", 1605, 12, SCALAR(modelColor)},
    {"wireColor", 1617, 12, SCALAR(wireColor)},
    {"lightColor", 1629, 12, SCALAR(lightColor)},
    {"brightness", 1641, 4, SCALAR(brightness)},
    {"flags", 1645, 4, SCALAR(flags)},
    {"textureLimit", 1649, 4, SCALAR(textureLimit)},
};

TEST(ConfigReader, MissingFileIsReportedAndLeavesDefaults) {
    ViewerConfig config;
    EXPECT_FALSE(readConfig("/nonexistent/ombrel.cfg", config));
    EXPECT_EQ(config.windowWidth, 640);
    EXPECT_EQ(config.flags, 0x1E);
}

// A folder named "ombrel.cfg" is no record, a FIFO would hang the open call
// and a device would be read as a record of its bytes: each is a missing file.
TEST(ConfigReader, RefusesWhatIsNotARegularFile) {
    testdata::ScratchDir dir;
    ASSERT_EQ(mkdir(dir.file("folder.cfg").c_str(), 0755), 0);
    ASSERT_TRUE(testsupport::makeFifo(dir.file("fifo.cfg")));
    testsupport::EndsWithin guard(10);
    std::vector<std::string> paths = testsupport::endlessDevices();
    paths.insert(paths.end(), {dir.file("folder.cfg"), dir.file("fifo.cfg")});
    for (const std::string& path : paths) {
        ViewerConfig config;
        EXPECT_FALSE(readConfig(path.c_str(), config)) << path;
        EXPECT_EQ(config.windowWidth, 640) << path;
        EXPECT_EQ(config.flags, 0x1E) << path;
    }
}

TEST(ConfigReader, ReadsEveryFieldFromItsPackedOffset) {
    // Hand-placed values at the published offsets, independent of the writer.
    testdata::Bytes bytes;
    bytes.zeros(CONFIG_FILE_SIZE);
    auto& raw = bytes.data();
    bytes.putI32(0, 1024);
    bytes.putI32(4, 768);
    raw[8] = 1;
    std::memcpy(&raw[9], "a.md2", 5);
    std::memcpy(&raw[1289], "w.pcx", 5);
    float transZ = 12.5f, brightness = 99.9f, blue = 0.75f;
    std::memcpy(&raw[1561], &transZ, 4);
    bytes.putI32(1573, -3);
    std::memcpy(&raw[1593 + 8], &blue, 4);
    std::memcpy(&raw[1641], &brightness, 4);
    bytes.putI32(1645, 0x7F);
    bytes.putI32(1649, 64);
    std::string path = tempPath();
    ASSERT_TRUE(testdata::writeFile(path, bytes.data()));

    ViewerConfig c;
    ASSERT_TRUE(readConfig(path.c_str(), c));
    EXPECT_EQ(c.windowWidth, 1024);
    EXPECT_EQ(c.windowHeight, 768);
    EXPECT_EQ(c.fullScreen, 1);
    EXPECT_STREQ(c.paths[PATH_MAIN_MODEL], "a.md2");
    EXPECT_STREQ(c.paths[PATH_WATER], "w.pcx");
    EXPECT_STREQ(c.paths[PATH_BACKGROUND], "");
    EXPECT_EQ(c.transZ, 12.5f);
    EXPECT_EQ(c.currentFrame, -3);
    EXPECT_EQ(c.backgroundColor[0], 0.0f);
    EXPECT_EQ(c.backgroundColor[2], 0.75f);
    EXPECT_EQ(c.brightness, 99.9f);
    EXPECT_EQ(c.flags, 0x7F);
    EXPECT_EQ(c.textureLimit, 64);
    std::remove(path.c_str());
}

TEST(ConfigReader, RoundTripsEveryField) {
    ViewerConfig written = distinctConfig();
    std::string path = tempPath();
    ASSERT_TRUE(writeConfig(path, written));
    ViewerConfig read;
    ASSERT_TRUE(readConfig(path.c_str(), read));
    for (const Field& f : fields) EXPECT_TRUE(f.same(read, written)) << f.name;
    std::remove(path.c_str());
}

TEST(ConfigReader, ShortFileKeepsDefaultsForEveryFieldNotHeldWhole) {
    const ViewerConfig written = distinctConfig();
    const ViewerConfig defaults;
    std::string path = tempPath();
    for (int length = 0; length < CONFIG_FILE_SIZE; ++length) {
        std::vector<uint8_t> cut = configBytes(written);
        cut.resize(size_t(length));
        ASSERT_TRUE(testdata::writeFile(path, cut));
        ViewerConfig read;
        ASSERT_TRUE(readConfig(path.c_str(), read));
        for (const Field& f : fields) {
            bool whole = f.offset + f.size <= length;
            if (whole)
                ASSERT_TRUE(f.same(read, written)) << f.name << " at length " << length;
            else
                ASSERT_TRUE(f.same(read, defaults)) << f.name << " at length " << length;
        }
    }
    std::remove(path.c_str());
}

TEST(ConfigReader, PathWithoutTerminatorEndsAtItsLastByte) {
    ViewerConfig written;
    std::memset(written.paths[PATH_MAIN_SKIN], 'x', CONFIG_PATH_SIZE);  // no zero anywhere
    std::string path = tempPath();
    ASSERT_TRUE(writeConfig(path, written));
    ViewerConfig read;
    ASSERT_TRUE(readConfig(path.c_str(), read));
    EXPECT_EQ(std::strlen(read.paths[PATH_MAIN_SKIN]), size_t(CONFIG_PATH_SIZE - 1));
    EXPECT_STREQ(read.paths[PATH_ATTACH_MODEL], "");  // the next field is untouched by the overlong one
    std::remove(path.c_str());
}

TEST(ConfigReader, BytesAfterAPathTerminatorAreIgnored) {
    ViewerConfig written;
    std::memcpy(written.paths[PATH_MAIN_MODEL], "m.md2\0garbage", 13);
    std::string path = tempPath();
    ASSERT_TRUE(writeConfig(path, written));
    ViewerConfig read;
    ASSERT_TRUE(readConfig(path.c_str(), read));
    EXPECT_STREQ(read.paths[PATH_MAIN_MODEL], "m.md2");
    std::remove(path.c_str());
}

TEST(ConfigReader, LongerFileReadsOnlyTheRecord) {
    ViewerConfig written = distinctConfig();
    std::vector<uint8_t> bytes = configBytes(written);
    bytes.insert(bytes.end(), 100, 0xEE);
    std::string path = tempPath();
    ASSERT_TRUE(testdata::writeFile(path, bytes));
    ViewerConfig read;
    ASSERT_TRUE(readConfig(path.c_str(), read));
    for (const Field& f : fields) EXPECT_TRUE(f.same(read, written)) << f.name;
    std::remove(path.c_str());
}

}  // namespace

namespace {

TEST(ConfigWriter, PlacesFieldsAtTheirPackedOffsets) {
    ViewerConfig c = distinctConfig();
    const std::vector<uint8_t> bytes = configBytes(c);
    ASSERT_EQ(bytes.size(), size_t(CONFIG_FILE_SIZE));
    auto int32At = [&](size_t offset) {
        int32_t v;
        std::memcpy(&v, &bytes[offset], 4);
        return v;
    };
    auto floatAt = [&](size_t offset) {
        float v;
        std::memcpy(&v, &bytes[offset], 4);
        return v;
    };
    EXPECT_EQ(int32At(4), c.windowHeight);
    EXPECT_EQ(bytes[8], c.fullScreen);
    EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[9]), c.paths[PATH_MAIN_MODEL]);
    EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[1289]), c.paths[PATH_WATER]);
    EXPECT_EQ(floatAt(1561), c.transZ);
    EXPECT_EQ(int32At(1565), c.renderMode);
    EXPECT_EQ(floatAt(1589), c.msPerFrame);
    EXPECT_EQ(floatAt(1629 + 8), c.lightColor[2]);
    EXPECT_EQ(floatAt(1641), c.brightness);
    EXPECT_EQ(int32At(1649), c.textureLimit);
}

}  // namespace
