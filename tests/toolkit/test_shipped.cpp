// What the shipped programs carry: none of the test hooks that the test
// builds of the toolkit and of glswitch have.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

TEST(ShippedPrograms, CarryNoTestHooks) {
    const std::string bin = OMBREL_BIN_DIR;
    std::string viewerSymbols = output("nm -C '" + bin + "/viewer'");
    ASSERT_NE(viewerSymbols.find("mxAppRun"), std::string::npos) << "no symbols read";
    for (const char* hook : {"failNextGlStep", "outstandingDeviceContexts", "liveGlContexts", "swapCount",
                             "currentGlContext", "sdltesting"})
        EXPECT_EQ(viewerSymbols.find(hook), std::string::npos) << hook;
    std::string glswitchStrings = output("strings '" + bin + "/glswitch'");
    ASSERT_NE(glswitchStrings.find("ombrel.cfg"), std::string::npos);
    EXPECT_EQ(glswitchStrings.find("GLSWITCH_TEST"), std::string::npos);
}

}  // namespace
