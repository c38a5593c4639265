// Archives as hostile or unlucky people make them: names that are folders,
// doubled separators, backslashes, names that leave the archive, links,
// directories and data that lie outside the file, and size: many members,
// deep names (each a directory an earlier listing crashed, hung or misread
// on); members deflated, written as common tools write them, and members
// damaged or stored in ways ombrel does not read, each refused saying which.
#include <gtest/gtest.h>

#include <zlib.h>

#include <ctime>
#include <cstdio>

#include "frontend/files/names.h"
#include "frontend/inputs/archive.h"
#include "frontend/inputs/formats.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"

namespace {

// Whether the member's first bytes, read alone, are a model's magic.
bool startsWithMagic(const frontend::Archive& archive, const std::string& member) {
    std::vector<uint8_t> start;
    std::string error;
    return archive.readStart(member, 4, start, error) && start == std::vector<uint8_t>{'I', 'D', 'P', '2'};
}

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
    std::vector<uint8_t> cut(zip.begin(), zip.begin() + long(zip.size()) - 30);
    EXPECT_EQ(openError(cut), "not a PACK or zip archive");
}

std::vector<uint8_t> mixedBytes(size_t size) {
    // Runs of text and of noise, so deflate makes blocks of every kind.
    std::vector<uint8_t> bytes(size);
    uint32_t state = 12345;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = (i / 4096) % 3 == 0 ? uint8_t(state >> 24) : uint8_t("IDP2 frame stand01 "[i % 19]);
    }
    return bytes;
}

TEST(ArchiveMembers, DeflatedMembersComeOutExactAsEveryWriterLaysThemOut) {
    const std::vector<uint8_t> large = mixedBytes(size_t(3) << 20);
    const std::vector<uint8_t> model = text("IDP2 a model");
    using testdata::ZipMember;
    std::vector<ZipMember> members = {
        {"large.bin", large, 8},
        {"empty.txt", {}, 8},
        {"stored-empty.txt", {}, 0},
        {"model.md2", model, 8},
        // As zip writes to a pipe: the CRC and sizes after the data, zeros before it.
        {"piped.md2", model, 8, testdata::ZipFault::None, true},
        {"piped-stored.md2", model, 0, testdata::ZipFault::None, true},
        // As zip writes what it reads from a pipe: the local sizes in a zip64 field.
        {"from-pipe.md2", model, 8, testdata::ZipFault::None, false, true},
    };
    std::unique_ptr<Archive> archive = openBytes(testdata::zipArchiveOf(members));
    ASSERT_TRUE(archive);
    for (const ZipMember& member : members) {
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(archive->read(member.name, size_t(4) << 20, bytes, error)) << member.name << ": " << error;
        EXPECT_TRUE(bytes == member.bytes) << member.name << ": " << bytes.size() << " bytes";
        EXPECT_EQ(startsWithMagic(*archive, member.name), member.bytes == model) << member.name;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(archive->read("large.bin", large.size() - 1, bytes, error));
    EXPECT_EQ(error, "too large (more than " + std::to_string(large.size() - 1) + " bytes)");
}

TEST(ArchiveMembers, EachFaultIsRefusedInOneLineSayingWhich) {
    using testdata::ZipFault;
    const std::vector<uint8_t> model = text("IDP2 the first bytes of a model.");  // 32 bytes
    auto hex = [](uLong value) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08lx", value);
        return std::string(digits);
    };
    const std::string crc = hex(crc32(0, model.data(), uInt(model.size()))),
                      crcPlusOne = hex(crc32(0, model.data(), uInt(model.size())) + 1);
    const std::string damaged = "damaged in the archive (";
    auto notRead = [](const std::string& method) {
        return "compressed by method " + method +
               " in the archive, which ombrel does not read (only stored and deflated members)";
    };
    struct Case {
        const char* name;
        uint16_t method;
        ZipFault fault;
        std::string refusal;
    };
    const std::vector<Case> cases = {
        {"crc.md2", 8, ZipFault::WrongCrc,
         damaged + "its CRC-32 is " + crc + " where its directory says " + crcPlusOne + ")"},
        {"stored-crc.md2", 0, ZipFault::WrongCrc,
         damaged + "its CRC-32 is " + crc + " where its directory says " + crcPlusOne + ")"},
        {"longer.md2", 8, ZipFault::LongerThanStated, damaged + "more than the 31 bytes its directory says)"},
        {"shorter.md2", 8, ZipFault::ShorterThanStated, damaged + "32 bytes where its directory says 33)"},
        {"stored-longer.md2", 0, ZipFault::LongerThanStated,
         damaged + "stored as 32 bytes without compression, where its directory says 31 in full)"},
        {"bzip2.md2", 12, ZipFault::None, notRead("12 (bzip2)")},
        {"lzma.md2", 14, ZipFault::None, notRead("14 (LZMA)")},
        {"zstd.md2", 93, ZipFault::None, notRead("93 (zstd)")},
        {"odd.md2", 7, ZipFault::None, notRead("7")},
        {"secret.md2", 0, ZipFault::Encrypted, "encrypted in the archive, which ombrel does not read"},
        {"aes.md2", 99, ZipFault::Encrypted, "encrypted in the archive, which ombrel does not read"},
        {"huge.md2", 8, ZipFault::Zip64Sizes, "stored with ZIP64 sizes in the archive, which ombrel does not read"},
        {"local-method.md2", 8, ZipFault::LocalMethod,
         damaged + "its local header gives its method as 0, its directory as 8)"},
        {"local-sizes.md2", 0, ZipFault::LocalSizes,
         damaged +
             "its local header gives its sizes as 32 bytes compressed and 33 in full, its directory as 32 and 32)"},
        {"cut.md2", 8, ZipFault::CutShort, damaged + "its deflated data ends early)"},
        {"bad.md2", 8, ZipFault::BadDeflate, damaged + "its deflated data is damaged: invalid block type)"},
        {"outside.md2", 8, ZipFault::Outside, damaged + "its data lies outside the file)"},
    };
    std::vector<testdata::ZipMember> members;
    for (const Case& c : cases) members.push_back({c.name, model, c.method, c.fault});
    members.push_back({"good.md2", model, 8});
    std::unique_ptr<Archive> archive = openBytes(testdata::zipArchiveOf(members));
    ASSERT_TRUE(archive);
    for (const Case& c : cases) {
        EXPECT_EQ(readMember(*archive, c.name), "error: " + c.refusal) << c.name;
        // What can't be read whole is not offered as a model either, but
        // the first bytes alone can't show a wrong CRC or size.
        const bool firstBytesGood = c.fault == ZipFault::WrongCrc || c.fault == ZipFault::LongerThanStated ||
                                    c.fault == ZipFault::ShorterThanStated || c.fault == ZipFault::CutShort;
        EXPECT_EQ(startsWithMagic(*archive, c.name), firstBytesGood) << c.name;
    }
    // The damaged members around it cost the good one nothing.
    EXPECT_EQ(readMember(*archive, "good.md2"), "IDP2 the first bytes of a model.");
}

TEST(ArchiveSize, ManyMembersAndDeepNamesCostTimeInProportion) {
    // Listed, and each member's first bytes read (inflated, in the .pk3):
    // 100,000 members cost about ten times what 10,000 do (half a second in
    // the normal build). The old listing grew with the square of the count
    // and took minutes.
    std::string deep;
    for (int i = 0; i < 500; ++i) deep += "a/";  // 1,000 bytes: within the limit, 500 folders deep
    deep += "m.md2";
    struct Kind {
        const char* name;
        bool zip;
        uint16_t method;
    };
    for (const Kind kind : {Kind{"many.pak", false, 0}, Kind{"many.zip", true, 0}, Kind{"many.pk3", true, 8}}) {
        const char* name = kind.name;
        const bool zip = kind.zip;
        double seconds[2] = {0, 0};
        for (int round = 0; round < 2; ++round) {
            const int count = round == 0 ? 10000 : 100000;
            testdata::ArchiveFiles files;
            for (int i = 0; i < count; ++i)
                // Not named as models: each is told one by its first bytes.
                files.push_back({"d" + std::to_string(i % 100) + "/f" + std::to_string(i), text("IDP2")});
            if (zip) files.push_back({deep, text("IDP2 deep")});  // a PACK name stops at 55 bytes
            std::vector<testdata::ZipMember> members;
            for (const auto& file : files) members.push_back({file.first, file.second, kind.method});
            const std::vector<uint8_t> bytes = zip ? testdata::zipArchiveOf(members) : testdata::pakArchive(files);
            // The process's CPU time: a loaded machine stretches the wall clock unevenly.
            const std::clock_t start = std::clock();
            std::unique_ptr<Archive> archive = openBytes(bytes, name);
            ASSERT_TRUE(archive);
            size_t models = 0;
            std::string error;
            for (const std::string& member : archive->members())
                models += frontend::memberKind(*archive, member, error) == frontend::MemberKind::Model;
            seconds[round] = double(std::clock() - start) / CLOCKS_PER_SEC;
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
