// ombrel gallery judged by a real browser: headless Chromium opens the
// written index.html from disk and must show every picture loaded and every
// model's name, a name holding markup as text, and a filter that narrows
// the grid; index.json holds the same models and the files it names exist.
// A screenshot of the page is kept in the build tree (tests/artefacts).
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/frontend/frontend_files.h"
#include "tests/frontend/picture_file.h"
#include "tests/support/browser.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"

namespace fs = std::filesystem;

namespace {

using frontendtest::runProgram;

const std::string kOmbrel = std::string(OMBREL_BIN_DIR) + "/ombrel";
const std::string kCorpus = OMBREL_CORPUS_DIR;
// A name a page must show as text: markup, an entity and both quotes.
const std::string kOddName = "<s>odd & \"quoted\" 'name'";

std::vector<uint8_t> corpus(const std::string& name) { return testdata::readFile(kCorpus + "/" + name); }

TEST(Gallery, ABrowserShowsEveryModelFromDisk) {
    testdata::ScratchDir scratch;
    setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
    frontendtest::writeBytes(scratch.file("in/faerie.md2"), corpus("faerie.md2"));
    frontendtest::writeBytes(scratch.file("in/faerie.pcx"), corpus("faerie.pcx"));
    frontendtest::writeBytes(scratch.file("in/" + kOddName + ".md2"), corpus("sydney.md2"));
    const std::string zip = scratch.write(
        "pack.zip", testdata::zipArchive({{"people/sydney.md2", corpus("sydney.md2")},
                                          {"people/sydney.tga", corpus("sydney.tga")}}));
    const std::string out = scratch.file("out");
    const frontendtest::Result made = runProgram(
        kOmbrel, {"gallery", "--size", "96x96", "--all-animations", scratch.file("in"), zip, "-o", out}, {"DISPLAY"});
    ASSERT_EQ(made.status, 0) << made.err;

    // The index: the three models, every file it names written.
    const std::vector<uint8_t> bytes = testdata::readFile(out + "/index.json");
    const nlohmann::json index = nlohmann::json::parse(bytes.begin(), bytes.end());
    ASSERT_EQ(index.size(), 3u);
    std::vector<std::string> names;
    for (const nlohmann::json& model : index) {
        names.push_back(model["name"]);
        EXPECT_TRUE(fs::exists(out + "/" + model["still"].get<std::string>())) << model["still"];
        EXPECT_TRUE(fs::exists(out + "/" + model["gif"].get<std::string>())) << model["gif"];
        EXPECT_GT(model["frames"].get<int>(), 100);
        ASSERT_GT(model["animations"].size(), 5u);
        for (const nlohmann::json& animation : model["animations"])
            EXPECT_TRUE(fs::exists(out + "/" + animation["gif"].get<std::string>())) << animation;
    }
    EXPECT_EQ(names, (std::vector<std::string>{kOddName, "faerie", "people/sydney"}));
    // Files are named from the folder of the source given, never by the
    // machine's own folders: a page is made to be published.
    EXPECT_EQ(index[1]["file"], "faerie.md2");
    EXPECT_EQ(index[1]["skin"], "faerie.pcx");
    EXPECT_EQ(index[2]["file"], "pack.zip:people/sydney.md2");
    EXPECT_EQ(index[2]["skin"], "pack.zip:people/sydney.tga");
    EXPECT_EQ(index[0]["skin"], nullptr);
    const std::vector<uint8_t> html = testdata::readFile(out + "/index.html");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find(scratch.path()), std::string::npos);
    EXPECT_EQ(std::string(html.begin(), html.end()).find(scratch.path()), std::string::npos);

    e2e::Browser browser;
    std::string error;
    ASSERT_TRUE(browser.start(scratch.path(), error)) << error;
    ASSERT_TRUE(browser.open("file://" + out + "/index.html", 1000, 700, error)) << error;
    const nlohmann::json page = browser.evaluate(R"((() => {
        const images = Array.from(document.images);
        return {
            images: images.length,
            loaded: images.filter(i => i.complete && i.naturalWidth > 0).length,
            text: document.body.innerText,
            struck: document.querySelectorAll('s').length,
            scripts: Array.from(document.scripts).filter(s => s.src).length,
            styles: document.querySelectorAll('link').length,
        };
    })())", error);
    ASSERT_TRUE(page.is_object()) << error;
    EXPECT_EQ(page["images"], 3);
    EXPECT_EQ(page["loaded"], 3) << "every picture shows";
    const std::string text = page["text"];
    for (const std::string& name : names) EXPECT_NE(text.find(name), std::string::npos) << name << " in " << text;
    EXPECT_EQ(page["struck"], 0) << "the name's markup stays text";
    EXPECT_EQ(page["scripts"], 0) << "nothing from elsewhere";
    EXPECT_EQ(page["styles"], 0);

    const fs::path artefacts = fs::path(OMBREL_TEST_ARTEFACTS_DIR);
    fs::create_directories(artefacts);
    const std::string screenshot = (artefacts / "gallery.png").string();
    ASSERT_TRUE(browser.screenshot(screenshot, error)) << error;
    EXPECT_EQ(loadPictureFile(screenshot, 3).width, 1000);

    // Typing in the filter leaves the matching models.
    const nlohmann::json shown = browser.evaluate(R"((() => {
        const filter = document.getElementById('filter');
        filter.value = 'SYD';
        filter.dispatchEvent(new Event('input'));
        return Array.from(document.querySelectorAll('#models figure')).filter(f => !f.hidden).length;
    })())", error);
    EXPECT_EQ(shown, 1) << error;
}

}  // namespace
