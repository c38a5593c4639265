// The icon group the Windows programs carry: "MX_ICON", language 0x0807,
// one 32 x 32 icon of 16 colours, which the system can load.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupHeader {
    WORD reserved, type, count;
    GroupEntry entries[1];
};
#pragma pack(pop)

void expectIconGroup(const std::string& program) {
    SCOPED_TRACE(program);
    HMODULE module =
        LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << GetLastError();
    WORD swissGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_SWISS);
    ASSERT_EQ(swissGerman, 0x0807);
    HRSRC group = FindResourceExA(module, RT_GROUP_ICON, "MX_ICON", swissGerman);
    ASSERT_NE(group, nullptr);
    const GroupHeader* header = static_cast<const GroupHeader*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->type, 1);
    ASSERT_EQ(header->count, 1);
    const GroupEntry& entry = header->entries[0];
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bitCount, 4);
    // The image itself, made into an icon by the system.
    HRSRC image = FindResourceExA(module, RT_ICON, MAKEINTRESOURCEA(entry.id), swissGerman);
    ASSERT_NE(image, nullptr);
    BYTE* bits = static_cast<BYTE*>(LockResource(LoadResource(module, image)));
    HICON icon = CreateIconFromResourceEx(bits, SizeofResource(module, image), TRUE, 0x00030000, 32, 32, 0);
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP mask{};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    DestroyIcon(icon);
    FreeLibrary(module);
}

TEST(Resources, ViewerAndGlswitchCarryTheIconGroup) {
    expectIconGroup(OMBREL_WINDOWS_BIN_DIR "/viewer.exe");
    expectIconGroup(OMBREL_WINDOWS_BIN_DIR "/glswitch.exe");
}

}  // namespace
