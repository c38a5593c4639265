// The byte-and-file helper under every reader: little-endian fields, what
// counts as a file to read, and the bounded whole-file read.
#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "common/bytes.h"
#include "common/file.h"
#include "tests/support/not_regular_files.h"
#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"

namespace {

TEST(LittleEndianFields, SignedUnsignedAndFloatAtAnyOffset) {
    // One byte of padding first, so every field sits at an odd address.
    const uint8_t bytes[] = {0xEE, 0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0xC0, 0xBF};
    EXPECT_EQ(littleEndianU16(bytes + 1), 0x1234);
    EXPECT_EQ(littleEndianI16(bytes + 3), -2);
    EXPECT_EQ(littleEndianU16(bytes + 3), 0xFFFE);
    EXPECT_EQ(littleEndianU32(bytes + 5), 0x12345678u);
    EXPECT_EQ(littleEndianI32(bytes + 1), int32_t(0xFFFE1234));
    EXPECT_EQ(littleEndianF32(bytes + 9), -1.5f);
    EXPECT_EQ(littleEndianU64(bytes + 5), 0xBFC0000012345678u);  // the high half too
}

struct FileHelper : ::testing::Test {
    testdata::ScratchDir dir;
};

TEST_F(FileHelper, ReadsARegularFileFromItsStartAndAfterASeek) {
    const std::string path = dir.write("data.bin", {1, 2, 3, 4, 5});
    InputFile file(path.c_str());
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 5);
    uint8_t buffer[8] = {};
    EXPECT_EQ(file.read(buffer, 2), 2u);
    EXPECT_EQ(buffer[1], 2);
    ASSERT_TRUE(file.seek(3));
    EXPECT_EQ(file.read(buffer, 8), 2u);  // only what is left
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(file.read(buffer, 8), 0u);
    EXPECT_FALSE(file.seek(-1));
}

// Each of these would hang a reader in its open call (the FIFO) or feed it
// for ever (the devices), or is no file at all: all are refused alike, at
// once and without a byte read.
TEST_F(FileHelper, RefusesEverythingButRegularFiles) {
    const std::string fifo = dir.file("fifo");
    ASSERT_TRUE(testsupport::makeFifo(fifo));
    testsupport::EndsWithin guard(10);
    std::vector<std::string> refused = testsupport::endlessDevices();
    refused.insert(refused.end(), {fifo, dir.path(), "/dev/null", dir.file("missing")});
    for (const std::string& path : refused) {
        InputFile file(path.c_str());
        EXPECT_FALSE(file.isOpen()) << path;
        uint8_t byte;
        EXPECT_EQ(file.read(&byte, 1), 0u) << path;
        FileBytes bytes;
        EXPECT_FALSE(readWholeFile(path.c_str(), 1 << 20, bytes)) << path;
        EXPECT_EQ(bytes.data, nullptr);
    }
    EXPECT_FALSE(InputFile(nullptr).isOpen());

    // The open file says what it is, so no one needs to look at the path first.
    EXPECT_EQ(InputFile(dir.file("missing").c_str()).problem(), FileProblem::Missing);
    EXPECT_EQ(InputFile(dir.path().c_str()).problem(), FileProblem::Folder);
    EXPECT_EQ(InputFile(fifo.c_str()).problem(), FileProblem::NotRegular);
    EXPECT_EQ(InputFile("/dev/null").problem(), FileProblem::NotRegular);
    EXPECT_EQ(InputFile(dir.write("a.bin", {1}).c_str()).problem(), FileProblem::None);
    if (geteuid() != 0) {
        const std::string locked = dir.write("locked.bin", {1});
        chmod(locked.c_str(), 0);
        EXPECT_EQ(InputFile(locked.c_str()).problem(), FileProblem::Unreadable);
    }
}

TEST_F(FileHelper, WholeFileReadStaysWithinItsBound) {
    std::vector<uint8_t> content(1000);
    for (size_t i = 0; i < content.size(); ++i) content[i] = uint8_t(i * 7);
    const std::string path = dir.write("data.bin", content);
    FileBytes bytes;
    ASSERT_TRUE(readWholeFile(path.c_str(), 1000, bytes));
    ASSERT_EQ(bytes.size, 1000u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.data.get(), bytes.data.get() + bytes.size), content);
    // One byte over the bound: refused whole, nothing kept, and said why.
    FileProblem problem = FileProblem::Missing;
    bool tooLarge = false;
    int64_t size = 0;
    EXPECT_FALSE(readWholeFile(path.c_str(), 999, bytes, problem, tooLarge, size));
    EXPECT_EQ(problem, FileProblem::None);
    EXPECT_TRUE(tooLarge);
    EXPECT_EQ(size, 1000);
    EXPECT_EQ(bytes.size, 0u);
    EXPECT_EQ(bytes.data, nullptr);
    // An empty file is read as no bytes.
    EXPECT_TRUE(readWholeFile(dir.write("empty.bin", {}).c_str(), 10, bytes));
    EXPECT_EQ(bytes.size, 0u);
}

}  // namespace
