// Archives as hostile or unlucky people make them: names that are folders,
// doubled separators, backslashes, names that leave the archive, links,
// directories and data that lie outside the file, and size: many members,
// deep names. Each is a directory PhysFS-based listing once crashed, hung or
// misread on.
#include <gtest/gtest.h>

#include <chrono>

#include "frontend/files/names.h"
#include "frontend/inputs/archive.h"
#include "frontend/inputs/formats.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"

namespace {

using frontend::Archive;

std::unique_ptr<Archive> openBytes(const std::vector<uint8_t>& bytes, const char* name = "test.zip") {
    std::string error;
    std::unique_ptr<Archive> archive = Archive::openBytes(bytes, name, error);
    EXPECT_TRUE(archive) << name << ": " << error;
    return archive;
}

std::string openError(const std::vector<uint8_t>& bytes) {
    std::string error;
    EXPECT_FALSE(Archive::openBytes(bytes, "bad.pak", error));
    return error;
}

std::string readMember(const Archive& archive, const std::string& member) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!archive.read(member, 1 << 20, bytes, error)) return "error: " + error;
    return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(ArchiveNames, FoldersDoubledSlashesAndBackslashesListAndRead) {
    // Each of these once sent the listing into itself until the stack ran out.
    const testdata::ArchiveFiles files = {{"a/", {}},
                                          {"/", {}},
                                          {"a/b/", {}},
                                          {"a//b", text("double")},
                                          {"Models\\Hero.md2", text("IDP2 hero")},
                                          {"./top.txt", text("top")}};
    for (const char* name : {"test.pak", "test.zip"}) {
        std::unique_ptr<Archive> archive =
            openBytes(name[5] == 'p' ? testdata::pakArchive(files) : testdata::zipArchive(files), name);
        ASSERT_TRUE(archive);
        EXPECT_EQ(archive->members(), (std::vector<std::string>{"Models/Hero.md2", "a/b", "top.txt"})) << name;
        EXPECT_EQ(readMember(*archive, "a/b"), "double") << name;
        EXPECT_EQ(archive->find("models\\hero.MD2"), "Models/Hero.md2");
        EXPECT_EQ(archive->find("a//b"), "a/b");
        EXPECT_EQ(readMember(*archive, "Models/Hero.md2"), "IDP2 hero") << name;
        std::string error;
        EXPECT_EQ(frontend::memberKind(*archive, "Models/Hero.md2", error), frontend::MemberKind::Model);
        EXPECT_EQ(frontend::memberKind(*archive, "top.txt", error), frontend::MemberKind::Other);
    }
}

TEST(ArchiveNames, WhatCantBeAMemberIsLeftOutAndTheRestStays) {
    const std::string deep = [] {
        std::string name;
        for (int i = 0; i < 1600; ++i) name += "a/";
        return name + "m.md2";
    }();
    const testdata::ArchiveFiles files = {{"models/a.md2", text("IDP2 a")},     {"models/link", text("/etc/passwd")},
                                          {"models/b.md2", text("IDP2 b")},     {"../escape.md2", text("IDP2 out")},
                                          {"/abs.md2", text("IDP2 abs")},       {deep, text("IDP2 deep")},
                                          {"models//a.md2", text("IDP2 twice")}};
    std::unique_ptr<Archive> archive = openBytes(testdata::zipArchive(files, {"models/link"}));
    ASSERT_TRUE(archive);
    // A link among them once hid the other members of its folder.
    EXPECT_EQ(archive->members(), (std::vector<std::string>{"models/a.md2", "models/b.md2"}));
    EXPECT_EQ(readMember(*archive, "models/a.md2"), "IDP2 a");  // the first of the two stored
    std::vector<std::string> reasons;
    for (const frontend::LeftOutEntry& left : archive->leftOut()) reasons.push_back(left.name + ": " + left.reason);
    ASSERT_EQ(reasons.size(), 5u);
    EXPECT_EQ(reasons[0], "models/link: a symbolic link");
    EXPECT_EQ(reasons[1], "../escape.md2: a name that leads out of the archive");
    EXPECT_EQ(reasons[2], "/abs.md2: a name that leads out of the archive");
    EXPECT_NE(reasons[3].find("a/a/a/...: a name longer than 1024 bytes"), std::string::npos) << reasons[3];
    EXPECT_EQ(reasons[4], "models//a.md2: a second entry named models/a.md2");
    EXPECT_EQ(archive->find("../escape.md2"), "");
}

TEST(ArchiveDamage, DirectoriesAndDataOutsideTheFileAreNamed) {
    std::vector<uint8_t> pak = testdata::pakArchive({{"a.md2", text("IDP2")}});
    std::vector<uint8_t> far = pak;
    far[4] = 0, far[5] = 0xE1, far[6] = 0xF5, far[7] = 0x05;  // the directory at byte 100,000,000
    EXPECT_EQ(openError(far), "a PACK archive whose directory lies outside the file (64 bytes at byte 100000000 of " +
                                  std::to_string(pak.size()) + ")");
    std::vector<uint8_t> ragged = pak;
    ragged[8] = 63;
    EXPECT_NE(openError(ragged).find("not a whole number of 64-byte entries"), std::string::npos);
    EXPECT_EQ(openError(text("nope")), "not a PACK or zip archive");

    // An entry whose data lies past the end once read as an empty file.
    std::vector<uint8_t> outside = pak;
    const size_t entry = outside.size() - 64;
    outside[entry + 56] = 0x40, outside[entry + 57] = 0x42, outside[entry + 58] = 0x0F;  // offset 1,000,000
    std::unique_ptr<Archive> archive = openBytes(outside, "outside.pak");
    ASSERT_TRUE(archive);
    EXPECT_EQ(readMember(*archive, "a.md2"), "error: damaged in the archive (its data lies outside the file)");
    std::vector<uint8_t> start;
    std::string error;
    EXPECT_FALSE(archive->readStart("a.md2", 4, start, error));
    EXPECT_EQ(error, "damaged in the archive (its data lies outside the file)");

    std::vector<uint8_t> zip = testdata::zipArchive({{"a.md2", text("IDP2")}});
    const size_t central = zip.size() - 22 - 46 - 5;
    std::vector<uint8_t> zipOutside = zip;
    zipOutside[central + 42 + 2] = 0x10;  // the local header at byte 1,048,576
    archive = openBytes(zipOutside);
    ASSERT_TRUE(archive);
    EXPECT_EQ(readMember(*archive, "a.md2"), "error: damaged in the archive (its data lies outside the file)");
    // A directory that gives more bytes than the member holds.
    std::vector<uint8_t> zipLonger = zip;
    zipLonger[central + 24] = 9;  // uncompressed size 9 of a member stored as its 4 bytes
    archive = openBytes(zipLonger);
    ASSERT_TRUE(archive);
    EXPECT_EQ(readMember(*archive, "a.md2"), "error: damaged in the archive (corrupted)");
    std::vector<uint8_t> cut(zip.begin(), zip.begin() + long(zip.size()) - 30);
    EXPECT_EQ(openError(cut), "not a PACK or zip archive");
}

TEST(ArchiveSize, ManyMembersAndDeepNamesCostTimeInProportion) {
    // Listed, and each member's first bytes read: 100,000 members cost about
    // ten times what 10,000 do (half a second in the normal build). The old
    // listing grew with the square of the count and took minutes.
    std::string deep;
    for (int i = 0; i < 500; ++i) deep += "a/";  // 1,000 bytes: within the limit, 500 folders deep
    deep += "m.md2";
    for (const char* name : {"many.pak", "many.zip"}) {
        const bool zip = name[5] == 'z';
        double seconds[2] = {0, 0};
        for (int round = 0; round < 2; ++round) {
            const int count = round == 0 ? 10000 : 100000;
            testdata::ArchiveFiles files;
            for (int i = 0; i < count; ++i)
                // Not named as models: each is told one by its first bytes.
                files.push_back({"d" + std::to_string(i % 100) + "/f" + std::to_string(i), text("IDP2")});
            if (zip) files.push_back({deep, text("IDP2 deep")});  // a PACK name stops at 55 bytes
            const std::vector<uint8_t> bytes = zip ? testdata::zipArchive(files) : testdata::pakArchive(files);
            const auto start = std::chrono::steady_clock::now();
            std::unique_ptr<Archive> archive = openBytes(bytes, name);
            ASSERT_TRUE(archive);
            size_t models = 0;
            std::string error;
            for (const std::string& member : archive->members())
                models += frontend::memberKind(*archive, member, error) == frontend::MemberKind::Model;
            seconds[round] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_EQ(models, files.size()) << name;
            if (zip) {
                EXPECT_EQ(readMember(*archive, deep), "IDP2 deep");
            }
        }
        EXPECT_LT(seconds[1], seconds[0] * 40)
            << name << ": " << seconds[0] << " s for 10,000, " << seconds[1] << " s for 100,000";
    }
}

}  // namespace
