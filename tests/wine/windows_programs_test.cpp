// The built Windows programs as files, read with MinGW's objdump (no Wine
// needed, so the 32-bit build is checked on any machine): windowed programs
// (ombrel.exe a console one) that import system DLLs only, carrying the
// icon group "MX_ICON" (one 32 x 32, 16-colour icon, language 0x0807) whose
// image is the one drawn at build time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/xsession.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Build {
    std::string folder, objdump;
};

class WindowsPrograms : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        int bits = GetParam();
        build = {bits == 64 ? OMBREL_WIN64_BUILD_DIR : OMBREL_WIN32_BUILD_DIR,
                 bits == 64 ? "x86_64-w64-mingw32-objdump" : "i686-w64-mingw32-objdump"};
        if (access((build.folder + "/bin/viewer.exe").c_str(), R_OK) != 0)
            GTEST_SKIP() << "no " << bits << "-bit Windows build in " << build.folder
                         << " (scripts/build windows makes it)";
        ASSERT_NE(e2e::run("command -v " + build.objdump), "") << build.objdump << " (binutils-mingw-w64) is missing";
    }

    // objdump -p: headers, imports and the resource directory.
    std::string headers(const std::string& program) {
        return e2e::run(build.objdump + " -p " + build.folder + "/bin/" + program);
    }

    // A resource: the directory lines from marker (its type or name entry)
    // down to its data, and the data's bytes.
    struct Resource {
        std::string directory;
        Bytes bytes;
    };
    Resource resource(const std::string& program, const std::string& marker) {
        Resource r;
        std::string p = headers(program);
        std::smatch base, data;
        size_t at = p.find(marker);
        if (!std::regex_search(p, base, std::regex("ImageBase\\s+([0-9a-f]+)")) || at == std::string::npos) return r;
        std::string rest = p.substr(at);
        if (!std::regex_search(rest, data, std::regex("Leaf: Addr: 0x([0-9a-f]+), Size: 0x([0-9a-f]+)"))) return r;
        r.directory = rest.substr(0, size_t(data.position(0)));
        unsigned long long start = std::stoull(base[1], nullptr, 16) + std::stoull(data[1], nullptr, 16);
        unsigned long long size = std::stoull(data[2], nullptr, 16);
        std::istringstream dump(e2e::run(build.objdump + " -s -j .rsrc --start-address=" + std::to_string(start) +
                                         " --stop-address=" + std::to_string(start + size) + " " + build.folder +
                                         "/bin/" + program));
        // Lines " ADDRESS 28000000 20000000 40000000 01000400  ASCII": the
        // hex words fill the 35 columns after the address.
        std::regex line("^ [0-9a-f]+ (.{35})");
        for (std::string text; std::getline(dump, text);) {
            std::smatch m;
            if (!std::regex_search(text, m, line)) continue;
            std::string hex = std::regex_replace(m[1].str(), std::regex(" "), "");
            for (size_t i = 0; i + 1 < hex.size(); i += 2)
                r.bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        return r;
    }

    Build build;
};

TEST_P(WindowsPrograms, AreWindowedAndNeedOnlySystemLibraries) {
    // Names as Windows matches them, ignoring case.
    // The thumbnail provider is a COM server (ole32).
    const std::set<std::string> system{"kernel32.dll", "user32.dll",   "gdi32.dll",  "comctl32.dll", "comdlg32.dll",
                                       "opengl32.dll", "glu32.dll",    "msvcrt.dll", "shell32.dll",  "ole32.dll",
                                       "advapi32.dll"};
    // ombrel.exe prints, so it is a console program.
    for (const char* program : {"viewer.exe", "glswitch.exe", "ombrel.exe", "ombrel-thumbnails.dll"}) {
        SCOPED_TRACE(program);
        std::string p = headers(program);
        const bool console = std::string(program) == "ombrel.exe";
        const bool library = std::string(program) == "ombrel-thumbnails.dll";  // no window of its own, no console
        if (!library) {
            EXPECT_NE(p.find(console ? "(Windows CUI)" : "(Windows GUI)"), std::string::npos);
        }
        std::regex dll("DLL Name: (\\S+)");
        int count = 0;
        for (std::sregex_iterator it(p.begin(), p.end(), dll), end; it != end; ++it, ++count) {
            std::string name = (*it)[1];
            for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
            EXPECT_TRUE(system.count(name)) << (*it)[1] << " is not a system DLL";
        }
        EXPECT_GT(count, 0);
    }
}

// The thumbnail provider offers COM's four entries by their plain names in
// both widths (a 32-bit one would otherwise carry stdcall decorations).
TEST_P(WindowsPrograms, TheThumbnailProviderExportsCOMsEntries) {
    std::string p = headers("ombrel-thumbnails.dll");
    std::regex entry("\\[\\s*\\d+\\] (\\S+)\\n");
    std::set<std::string> names;
    // The export table's names, each "[   0] NAME", up to the blank line ending it.
    const size_t start = p.find("[Ordinal/Name Pointer] Table");
    ASSERT_NE(start, std::string::npos) << p;
    const std::string table = p.substr(start, p.find("\n\n", start) - start + 1);
    for (std::sregex_iterator it(table.begin(), table.end(), entry), end; it != end; ++it) names.insert((*it)[1]);
    EXPECT_EQ(names, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                            "DllUnregisterServer"}))
        << p;
}

TEST_P(WindowsPrograms, CarryTheIconDrawnAtBuildTime) {
    std::ifstream file(build.folder + "/assets/icon.ico", std::ios::binary);
    Bytes drawn{std::istreambuf_iterator<char>(file), {}};
    ASSERT_GT(drawn.size(), 22u);
    Bytes image(drawn.begin() + 22, drawn.end());  // past the file's directory of one entry
    for (const char* program : {"viewer.exe", "glswitch.exe"}) {
        SCOPED_TRACE(program);
        // Type 14 (icon group) named MX_ICON, and type 3 (its icon), both in
        // language 0x0807.
        Resource group = resource(program, "MX_ICON"), icon = resource(program, "Entry: ID: 0x000003");
        EXPECT_NE(group.directory.find("Entry: ID: 0x000807"), std::string::npos) << group.directory;
        EXPECT_NE(icon.directory.find("Entry: ID: 0x000807"), std::string::npos) << icon.directory;
        ASSERT_EQ(group.bytes.size(), 6u + 14) << "one entry";
        EXPECT_EQ(group.bytes[4], 1);   // count
        EXPECT_EQ(group.bytes[6], 32);  // width
        EXPECT_EQ(group.bytes[7], 32);  // height
        EXPECT_EQ(group.bytes[8], 16);  // colours
        EXPECT_EQ(group.bytes[12], 4);  // bits a pixel
        EXPECT_EQ(icon.bytes, image) << "the icon drawn by make-icon";
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, WindowsPrograms, ::testing::Values(64, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Win" + std::to_string(info.param); });

}  // namespace
