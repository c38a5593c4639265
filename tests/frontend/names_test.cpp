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

}  // namespace
