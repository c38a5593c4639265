// The names the front end is given or makes: stored relative names made
// plain paths, the {frame} place of numbered files, the {name} place of a
// run over many models.
#include <gtest/gtest.h>

#include <string>

#include "frontend/base/report.h"
#include "frontend/files/names.h"

namespace {

TEST(StoredNames, AreMadePlainPathsOnce) {
    struct Case {
        const char* stored;
        const char* name;  // nullptr: refused
        bool folder;
    } cases[] = {
        {"a/b", "a/b", false},
        {"a//b", "a/b", false},
        {"a\\b\\c.pcx", "a/b/c.pcx", false},
        {"./a/./b", "a/b", false},
        {"a/x/../b", "a/b", false},
        {"a/", "a", true},
        {"a/b/", "a/b", true},
        {"/", "", true},
        {"", "", true},
        {".", "", true},
        {"../b", nullptr, false},
        {"a/../../b", nullptr, false},
        {"/etc/passwd", nullptr, false},
        {"\\a", nullptr, false},
        {"C:/a", nullptr, false},
        {"a/../C:/b", nullptr, false},
        {"x/C:/b", "x/C:/b", false},
        {"a/..", "", true},
    };
    for (const Case& c : cases) {
        std::string name;
        bool folder = false;
        const bool ok = frontend::normaliseStoredName(c.stored, name, folder);
        EXPECT_EQ(ok, c.name != nullptr) << c.stored;
        if (ok && c.name) {
            EXPECT_EQ(name, c.name) << c.stored;
            EXPECT_EQ(folder, c.folder) << c.stored;
        }
    }
    std::string name;
    bool folder = false;
    EXPECT_FALSE(frontend::normaliseStoredName(std::string("a\0b", 3), name, folder));
}

TEST(StoredNames, OnlyPlainRelativeNamesStayUnderTheirFolder) {
    for (const char* plain : {"a", "a/b.md2", "monsters/knight"}) EXPECT_TRUE(frontend::isPlainRelativeName(plain)) << plain;
    for (const char* odd : {"", "/a", "a//b", "./a", "a/../b", "../a", "a\\b", "C:/a", "a/"})
        EXPECT_FALSE(frontend::isPlainRelativeName(odd)) << odd;
}

TEST(NamePlaces, NamesFillEveryPlaceInAPattern) {
    EXPECT_EQ(frontend::withName("out/{name}/{name}.png", "a/b"), "out/a/b/a/b.png");
    EXPECT_EQ(frontend::withName("x_{frame}.png", "a"), "x_{frame}.png");
    EXPECT_EQ(frontend::withName("{name}", "{name}"), "{name}");
}

TEST(NamePlaces, FramePlacesAreNumberedOrTakenOut) {
    EXPECT_EQ(frontend::sequenceName("run_{frame:03}.png", 7), "run_007.png");
    EXPECT_EQ(frontend::sequenceName("run_{frame}.png", 1234), "run_1234.png");
    EXPECT_EQ(frontend::sequenceName("run.png", 7), "");
    EXPECT_EQ(frontend::withoutFramePlace("out/run_{frame:03}.obj"), "out/run_.obj");
    EXPECT_EQ(frontend::withoutFramePlace("run.obj"), "run.obj");
    for (const char* bad : {"run_{frame", "run_{frame:3}.png", "run_{frame:00}.png", "run_{frames}.png"}) {
        EXPECT_THROW(frontend::sequenceName(bad, 1), frontend::Failure) << bad;
        EXPECT_THROW(frontend::withoutFramePlace(bad), frontend::Failure) << bad;
    }
}

// The files of a sequence are the names the pattern gives for a number:
// padded as the pattern pads, nothing else before or after.
TEST(NamePlaces, SequenceFilesAreTheNamesThePatternGives) {
    struct Case {
        const char* pattern;
        const char* name;
        int number;  // -1: not a file of the sequence
    } cases[] = {
        {"walk_{frame}.obj", "walk_0.obj", 0},
        {"walk_{frame}.obj", "walk_12.obj", 12},
        {"walk_{frame}.obj", "walk_012.obj", -1},
        {"walk_{frame:03}.obj", "walk_012.obj", 12},
        {"walk_{frame:03}.obj", "walk_1234.obj", 1234},
        {"walk_{frame:03}.obj", "walk_12.obj", -1},
        {"walk_{frame}.obj", "walk_.obj", -1},
        {"walk_{frame}.obj", "walk_1.obj.bak", -1},
        {"walk_{frame}.obj", "run_1.obj", -1},
        {"walk_{frame}.obj", "walk_-1.obj", -1},
        {"walk_{frame}.obj", "walk_99999999999.obj", -1},
        {"{frame}.obj", "7.obj", 7},
    };
    for (const Case& c : cases) {
        int number = -1;
        const bool found = frontend::sequenceNumber(c.pattern, c.name, number);
        EXPECT_EQ(found, c.number >= 0) << c.pattern << " " << c.name;
        if (found) {
            EXPECT_EQ(number, c.number) << c.pattern << " " << c.name;
        }
    }
    int number = 0;
    EXPECT_THROW(frontend::sequenceNumber("walk_{frame:3}.obj", "walk_001.obj", number), frontend::Failure);
    EXPECT_EQ(frontend::sequenceStem("models/walk_{frame:03}.obj"), "walk");
    EXPECT_EQ(frontend::sequenceStem("{frame}.obj"), "");
    EXPECT_TRUE(frontend::hasFramePlace("a_{frame}.obj"));
    EXPECT_FALSE(frontend::hasFramePlace("a_{name}.obj"));
}

}  // namespace
