// ombrel convert as a person runs it, judged by reading the files it writes
// with the model code: corpus models carried out through export and back
// come back as they were; OBJ sequences, palettes, limits and the report;
// hostile sources refused in one line with nothing written; and glTF and
// OBJ sources opened and described by the other commands as the .md2 they
// become.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include "image/image.h"
#include "model/animations.h"
#include "model/model.h"
#include "tests/frontend/frontend_files.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"
#include "tests/writers/gltf_writer.h"
#include "tests/writers/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using frontendtest::Result;
using testdata::addMeshNode;
using testdata::GltfWriter;

struct ModelRelease {
    void operator()(Model* model) const { modelFree(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelRelease>;

ModelPtr loadModel(const std::vector<uint8_t>& bytes) {
    return ModelPtr(modelLoadFromBytes(bytes.data(), bytes.size()));
}

float fieldFloat(const std::vector<uint8_t>& bytes, size_t offset) {
    float value;
    std::memcpy(&value, &bytes[offset], 4);
    return value;
}

// A picture's R, G, B pixels, rows top first.
std::vector<uint8_t> rgbOf(const mxImage& image) {
    if (image.bpp == 24) return std::vector<uint8_t>(image.data, image.data + size_t(image.width) * image.height * 3);
    std::vector<uint8_t> rgb;
    for (int i = 0; i < image.width * image.height; ++i)
        rgb.insert(rgb.end(), &image.palette[3 * image.data[i]], &image.palette[3 * image.data[i]] + 3);
    return rgb;
}

std::vector<uint8_t> text(const std::string& words) { return std::vector<uint8_t>(words.begin(), words.end()); }

class Convert : public ::testing::Test {
protected:
    void SetUp() override { work = dir.path(); }

    Result ombrel(const std::vector<std::string>& args) const {
        return frontendtest::runProgram(std::string(OMBREL_BIN_DIR) + "/ombrel", args,
                                        {"XDG_CONFIG_HOME=" + work + "/no-config", "XDG_RUNTIME_DIR=" + work}, work);
    }
    std::vector<uint8_t> read(const std::string& name) const { return testdata::readFile(work + "/" + name); }
    // Every file in the folder.
    std::vector<std::string> files(const std::string& folder = "") const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(work + "/" + folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testdata::ScratchDir dir;
    std::string work;
};

// Corner by corner (the triangles keep their order through export and
// convert): the same texture coordinates and normal indices, positions
// within half a step of the made file's grid (plus what a quantized export
// moved them).
void expectSameModel(const Model& original, const std::vector<uint8_t>& madeBytes, double quantization) {
    ModelPtr made = loadModel(madeBytes);
    ASSERT_TRUE(made);
    ASSERT_EQ(made->numFrames, original.numFrames);
    for (int f = 0; f < original.numFrames; ++f) ASSERT_STREQ(made->frames[f].name, original.frames[f].name);
    const std::vector<ModelAnimation> before = modelAnimations(&original), after = modelAnimations(made.get());
    ASSERT_EQ(after.size(), before.size());
    for (size_t a = 0; a < before.size(); ++a) {
        EXPECT_EQ(after[a].name, before[a].name);
        EXPECT_EQ(after[a].first, before[a].first);
        EXPECT_EQ(after[a].last, before[a].last);
    }
    ASSERT_EQ(made->numTriangles, original.numTriangles);
    EXPECT_EQ(made->skinWidth, original.skinWidth);
    EXPECT_EQ(made->skinHeight, original.skinHeight);
    double worst = 0;
    for (int f = 0; f < original.numFrames; ++f) {
        const size_t frame = size_t(made->offsetFrames) + size_t(f) * size_t(made->frameSize);
        // The viewer's axes (x, y, z) are the file's (x, z, -y).
        const double step[3] = {fieldFloat(madeBytes, frame), fieldFloat(madeBytes, frame + 8),
                                fieldFloat(madeBytes, frame + 4)};
        for (int t = 0; t < original.numTriangles; ++t)
            for (int k = 0; k < 3; ++k) {
                const ModelTriangle& a = made->triangles[t];
                const ModelTriangle& b = original.triangles[t];
                const ModelVertex& va = made->frames[f].vertices[a.vertexIndex[k]];
                const ModelVertex& vb = original.frames[f].vertices[b.vertexIndex[k]];
                const double pa[3] = {va.x, va.y, va.z}, pb[3] = {vb.x, vb.y, vb.z};
                for (int axis = 0; axis < 3; ++axis)
                    worst = std::max(worst, (std::fabs(pa[axis] - pb[axis]) - quantization) / step[axis]);
                ASSERT_TRUE(va.nx == vb.nx && va.ny == vb.ny && va.nz == vb.nz)
                    << "the normal of frame " << f << " triangle " << t << " corner " << k;
                if (f > 0) continue;
                ASSERT_EQ(made->texCoords[a.texCoordIndex[k]].s, original.texCoords[b.texCoordIndex[k]].s);
                ASSERT_EQ(made->texCoords[a.texCoordIndex[k]].t, original.texCoords[b.texCoordIndex[k]].t);
            }
    }
    EXPECT_LE(worst, 0.5 + 1e-3) << "steps from the source";
}

struct CorpusCase {
    const char* model;
    const char* skin;
};

// Every corpus model through `export -o x.glb` (and --quantize) and back
// through `convert`, both .md2 files read with the model code.
TEST_F(Convert, CorpusModelsComeBackThroughGltfAsTheyWere) {
    for (const CorpusCase& c : {CorpusCase{"faerie.md2", "faerie.pcx"}, CorpusCase{"sydney.md2", "sydney.tga"}}) {
        const std::string corpus = OMBREL_CORPUS_DIR;
        const std::vector<uint8_t> originalBytes = testdata::readFile(corpus + "/" + c.model);
        ModelPtr original = loadModel(originalBytes);
        ASSERT_TRUE(original) << c.model;
        std::unique_ptr<mxImage> skin(std::string(c.skin).find(".pcx") != std::string::npos
                                          ? readPcxImage((corpus + "/" + c.skin).c_str())
                                          : readTgaImage((corpus + "/" + c.skin).c_str()));
        ASSERT_TRUE(skin);
        // The quantized export's step: the largest half extent over 16000.
        float low = HUGE_VALF, high = -HUGE_VALF;
        for (int f = 0; f < original->numFrames; ++f)
            for (int v = 0; v < original->numVertices; ++v)
                for (float p : {original->frames[f].vertices[v].x, original->frames[f].vertices[v].y,
                                original->frames[f].vertices[v].z})
                    low = std::min(low, p), high = std::max(high, p);
        for (bool quantize : {false, true}) {
            SCOPED_TRACE(std::string(c.model) + (quantize ? " --quantize" : ""));
            std::vector<std::string> exporting = {"export", corpus + "/" + c.model, "-o", "x.glb"};
            if (quantize) exporting.insert(exporting.begin() + 1, "--quantize");
            Result r = ombrel(exporting);
            ASSERT_EQ(r.status, 0) << r.err;
            r = ombrel({"convert", "x.glb", "-o", "y.md2"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");
            expectSameModel(*original, read("y.md2"), quantize ? (high - low) / 2 / 16000 / 2 * 1.01 : 0);
            std::unique_ptr<mxImage> pcx(readPcxImageFromBytes(read("y.pcx").data(), read("y.pcx").size()));
            ASSERT_TRUE(pcx);
            ASSERT_EQ(pcx->width, skin->width);
            ASSERT_EQ(pcx->height, skin->height);
            EXPECT_TRUE(rgbOf(*pcx) == rgbOf(*skin)) << "the skin's pixels";
            ModelPtr made = loadModel(read("y.md2"));
            ASSERT_EQ(made->numSkins, 1);
            EXPECT_STREQ(made->skins[0], "y.pcx") << "the skin beside the model";
        }
    }
}

// A corpus model made again from itself keeps what it was with fewer
// command words, and the report says how many.
TEST_F(Convert, ModelsMadeAgainTakeFewerCommandWords) {
    for (const char* name : {"faerie", "sydney"}) {
        const std::string model = std::string(OMBREL_CORPUS_DIR) + "/" + name + ".md2";
        Result r = ombrel({"convert", "--json", model, "-o", "again.md2"});
        ASSERT_EQ(r.status, 0) << r.err;
        const nlohmann::json report = nlohmann::json::parse(r.out);
        ModelPtr original = loadModel(testdata::readFile(model));
        expectSameModel(*original, read("again.md2"), 0);
        ModelPtr again = loadModel(read("again.md2"));
        EXPECT_EQ(report["commandWords"], again->numCommands);
        EXPECT_LE(again->numCommands, original->numCommands);
        std::cout << name << ": " << again->numCommands << " command words made, the corpus file's "
                  << original->numCommands << "\n";
        for (const nlohmann::json& animation : report["animations"]) {
            EXPECT_LE(animation["largestErrorSteps"].get<double>(), 0.5 + 1e-4) << animation["name"];
            EXPECT_LE(animation["meanErrorSteps"].get<double>(), animation["largestErrorSteps"].get<double>());
        }
        EXPECT_EQ(report["skin"], "again.pcx");
    }
}

// An OBJ sequence as export writes one: its frames in numeric order, its one
// animation named after its files, the skin its material names; a missing
// number or other faces refused; info and the text report.
TEST_F(Convert, ObjSequencesAreFramesInNumericOrder) {
    const std::string faerie = std::string(OMBREL_CORPUS_DIR) + "/faerie.md2";
    Result r = ombrel({"export", "--animation", "run", faerie, "-o", "run_{frame}.obj"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Numbers past 9 sort as numbers: the frames 0 to 11.
    for (int extra = 6; extra < 12; ++extra)
        fs::copy_file(work + "/run_0.obj", work + "/run_" + std::to_string(extra) + ".obj");
    fs::copy_file(work + "/run_1.obj", work + "/run_01.obj");  // no frame of {frame}: not one of them
    r = ombrel({"convert", "run_{frame}.obj", "-o", "run.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "run.md2: 12 frames, 366 vertices, 654 triangles, skin run.pcx (220x193)");
    EXPECT_NE(r.out.find("\n  run (12 frames): position error at most "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  commands: "), std::string::npos) << r.out;
    ModelPtr made = loadModel(read("run.md2"));
    ModelPtr original = loadModel(testdata::readFile(faerie));
    ASSERT_TRUE(made && original);
    ASSERT_EQ(made->numFrames, 12);
    EXPECT_STREQ(made->frames[0].name, "run01");
    EXPECT_STREQ(made->frames[11].name, "run12");
    // Frame 10 is run_10.obj, a copy of the run's first frame, not run_1.obj.
    const ModelTriangle& t = made->triangles[0];
    const ModelTriangle& u = original->triangles[0];
    for (int frame : {0, 10}) {
        const ModelVertex& a = made->frames[frame].vertices[t.vertexIndex[0]];
        const ModelVertex& b = original->frames[40].vertices[u.vertexIndex[0]];
        EXPECT_NEAR(a.x, b.x, 0.1) << frame;
        EXPECT_NEAR(a.y, b.y, 0.1) << frame;
    }
    r = ombrel({"info", "--json", "run_{frame}.obj"});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json info = nlohmann::json::parse(r.out);
    EXPECT_EQ(info["animations"][0]["name"], "run");
    EXPECT_EQ(info["frames"], 12);
    EXPECT_EQ(info["madeFrom"], "OBJ model");
    r = ombrel({"convert", "--animation", "walk", "run_{frame}.obj", "-o", "walk.md2"});
    EXPECT_EQ(r.err, "ombrel: --animation walk: run_{frame}.obj has one animation, run\n");

    fs::remove(work + "/run.md2");
    fs::remove(work + "/run.pcx");
    const std::vector<std::string> before = files();
    fs::remove(work + "/run_4.obj");
    r = ombrel({"convert", "run_{frame}.obj", "-o", "run.md2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ombrel: run_{frame}.obj: frame 4 is missing (run_4.obj, between run_3.obj and run_5.obj)\n");
    fs::copy_file(work + "/run_3.obj", work + "/run_4.obj");
    std::vector<uint8_t> other = read("run_5.obj");
    const std::string faces = "\nf ";
    auto at = std::search(other.begin(), other.end(), faces.begin(), faces.end());
    ASSERT_NE(at, other.end());
    other.erase(at, std::find(at + 1, other.end(), '\n'));  // one face fewer
    frontendtest::writeBytes(work + "/run_5.obj", other);
    r = ombrel({"convert", "run_{frame}.obj", "-o", "run.md2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(frontendtest::lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("ombrel: run_{frame}.obj: ", 0), 0u) << r.err;
    EXPECT_EQ(files(), before) << "nothing written";
    r = ombrel({"info", "run_{frame:3}.obj"});
    EXPECT_EQ(r.err, "ombrel: run_{frame:3}.obj: expected {frame} or {frame:0N} (N digits) in the name\n");
    r = ombrel({"info", "run_{frame}.glb"});
    EXPECT_EQ(r.err, "ombrel: run_{frame}.glb: {frame} names a sequence of .obj files, one a frame\n");
    r = ombrel({"convert", "none_{frame:03}.obj", "-o", "none.md2"});
    EXPECT_EQ(r.err, "ombrel: none_{frame:03}.obj: no files of this sequence (such as none_000.obj or none_001.obj)\n");
}

// A glTF document of one textured square on a node: two triangles, a
// picture of the given pixels as its base colour.
std::vector<uint8_t> squareGlb(const std::vector<uint8_t>& png) {
    GltfWriter writer;
    const int node = addMeshNode(writer, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 3});
    tinygltf::Primitive& primitive =
        writer.model().meshes[size_t(writer.model().nodes[size_t(node)].mesh)].primitives[0];
    primitive.attributes["TEXCOORD_0"] = writer.floats({0, 1, 1, 1, 1, 0, 0, 0}, 2);
    primitive.material = writer.material(png);
    return writer.glb();
}

// The picture with its corner pixels fully transparent.
std::vector<uint8_t> rgbaWithClearCorner(int width, int height) {
    std::vector<uint8_t> rgb = frontendtest::gradientRgb(width, height), rgba;
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
        rgba.insert(rgba.end(), &rgb[3 * i], &rgb[3 * i] + 3);
        rgba.push_back(i == 0 ? 0 : 255);
    }
    return rgba;
}

// --palette maps onto a game's palette (transparent pixels on 255, no
// opaque one there), --skin-name is stored, --json says it all, and
// engines' limits are one warning line each, refused with --strict.
TEST_F(Convert, PalettesSkinNamesLimitsAndTheReport) {
    const std::vector<uint8_t> rgba = rgbaWithClearCorner(16, 8);
    const std::vector<uint8_t> png = frontendtest::pngRgbaBytes(16, 8, rgba);
    frontendtest::writeBytes(work + "/square.glb", squareGlb(png));
    std::vector<uint8_t> palette(768);
    for (int i = 0; i < 256; ++i) palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = uint8_t(i);
    palette[765] = 255, palette[766] = 0, palette[767] = 255;  // index 255: magenta, as games keep it
    frontendtest::writeBytes(work + "/gray.lmp", palette);
    Result r = ombrel({"convert", "--json", "--palette", "gray.lmp", "--skin-name", "models/sq/skin.pcx", "square.glb",
                       "-o", "sq.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["skinName"], "models/sq/skin.pcx");
    EXPECT_EQ(report["triangles"], 2);
    EXPECT_EQ(report["animations"].size(), 1u);
    ModelPtr made = loadModel(read("sq.md2"));
    ASSERT_TRUE(made);
    EXPECT_STREQ(made->skins[0], "models/sq/skin.pcx");
    std::unique_ptr<mxImage> pcx(readPcxImageFromBytes(read("sq.pcx").data(), read("sq.pcx").size()));
    ASSERT_TRUE(pcx && pcx->palette);
    EXPECT_EQ(std::vector<uint8_t>(pcx->palette, pcx->palette + 768), palette);
    EXPECT_EQ(pcx->data[0], 255) << "the transparent pixel";
    for (int i = 1; i < 16 * 8; ++i) {
        ASSERT_NE(pcx->data[i], 255) << "an opaque pixel on the transparent index";
        const uint8_t* c = &rgba[size_t(i) * 4];
        EXPECT_NEAR(pcx->data[i], (c[0] + c[1] + c[2]) / 3.0, 90) << "the grey nearest " << i;
    }
    r = ombrel({"convert", "--palette", "sq.pcx", "--dither", "square.glb", "-o", "again.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::unique_ptr<mxImage> again(readPcxImageFromBytes(read("again.pcx").data(), read("again.pcx").size()));
    ASSERT_TRUE(again);
    EXPECT_EQ(std::vector<uint8_t>(again->palette, again->palette + 768), palette) << "a PCX's palette";

    // A skin taller than the engines of the era take: written, with a warning.
    frontendtest::writeBytes(work + "/tall.png", frontendtest::pngBytes(4, 500, frontendtest::gradientRgb(4, 500)));
    r = ombrel({"convert", "--skin", "tall.png", "square.glb", "-o", "tall.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(frontendtest::lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("ombrel: square.glb: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("480"), std::string::npos) << r.err;
    r = ombrel({"info", "--json", "tall.md2"});
    const nlohmann::json info = nlohmann::json::parse(r.out);
    EXPECT_NE(info["problems"].dump().find("480"), std::string::npos) << info["problems"];
    EXPECT_EQ(info["skinHeight"], 500);
    const std::vector<std::string> before = files();
    r = ombrel({"convert", "--strict", "--skin", "tall.png", "square.glb", "-o", "strict.md2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(frontendtest::lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("(refused as strict)"), std::string::npos) << r.err;
    EXPECT_EQ(files(), before);
}

// Hostile sources through the command line: one line naming the source,
// exit 2, nothing written (no model, no skin, no temporary), and the same
// for info.
TEST_F(Convert, HostileSourcesAreRefusedInOneLineWithNothingWritten) {
    fs::create_directories(work + "/in");
    fs::create_directories(work + "/out");
    frontendtest::writeBytes(work + "/secret.bin", std::vector<uint8_t>(64, 0));
    const auto square = [](auto change) {
        GltfWriter writer;
        addMeshNode(writer, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 3});
        change(writer, writer.model());
        return writer;
    };
    struct Case {
        std::string file;
        std::vector<uint8_t> bytes;
        std::string said;  // what the line says after "ombrel: in/FILE: "
    };
    std::vector<Case> cases;
    const auto glb = [&](const std::string& name, auto change, const std::string& said) {
        cases.push_back({name, square(change).glb(), said});
    };
    glb(
        "index.glb",
        [](GltfWriter& w, tinygltf::Model& m) {
            m.meshes[0].primitives[0].indices = w.indices({0, 1, 9});
        },
        "");
    glb(
        "past.glb", [](GltfWriter&, tinygltf::Model& m) { m.accessors[0].count = 100000; }, "");
    glb(
        "nan.glb",
        [](GltfWriter& w, tinygltf::Model& m) {
            m.meshes[0].primitives[0].attributes["POSITION"] = w.floats({0, 0, 0, NAN, 0, 0, 1, 1, 0, 0, 1, 0}, 3);
        },
        "");
    glb(
        "infinite.glb",
        [](GltfWriter& w, tinygltf::Model& m) {
            m.meshes[0].primitives[0].attributes["POSITION"] = w.floats({0, 0, 0, INFINITY, 0, 0, 1, 1, 0, 0, 1, 0}, 3);
        },
        "");
    glb(
        "cycle.glb", [](GltfWriter&, tinygltf::Model& m) { m.nodes[0].children = {0}; }, "");
    glb(
        "draco.glb", [](GltfWriter&, tinygltf::Model& m) { m.extensionsRequired = {"KHR_draco_mesh_compression"}; },
        "");
    GltfWriter outside = square([](GltfWriter&, tinygltf::Model&) {});
    cases.push_back({"outside.gltf", outside.gltf("../secret.bin"), ""});
    cases.push_back({"absolute.gltf", outside.gltf(work + "/secret.bin"), ""});
    cases.push_back({"missing.gltf", outside.gltf("missing.bin"), "can't read 'missing.bin': no such file"});
    cases.push_back({"types.gltf", text(R"({"asset": {"version": "2.0"}, "meshes": 5, "scenes": "all"})"), ""});
    cases.push_back({"index.obj", text("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n"), ""});
    cases.push_back({"huge.obj", text("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 99999999999999999999\n"), ""});
    cases.push_back({"nan.obj", text("v 0 0 0\nv nan 0 0\nv 0 1 0\nf 1 2 3\n"), ""});
    cases.push_back({"escape.obj", text("mtllib ../secret.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"), ""});
    cases.push_back({"empty.obj", {}, ""});
    // More vertices a frame than the format holds: 700 triangles apart.
    std::string many;
    for (int t = 0; t < 700; ++t)
        many += "v " + std::to_string(t) + " 0 0\nv " + std::to_string(t) + " 1 0\nv " + std::to_string(t) +
                " 0 1\nf " + std::to_string(3 * t + 1) + " " + std::to_string(3 * t + 2) + " " +
                std::to_string(3 * t + 3) + "\n";
    cases.push_back({"many.obj", text(many), "2100 vertices a frame, more than the 2070 a frame of the format holds"});
    for (const Case& c : cases) frontendtest::writeBytes(work + "/in/" + c.file, c.bytes);
    frontendtest::writeBytes(work + "/in/secret.mtl", text("newmtl x\n"));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"convert", "in/" + c.file, "-o", "out/x.md2"},
              std::vector<std::string>{"info", "in/" + c.file}}) {
            const Result r = ombrel(args);
            EXPECT_EQ(r.status, 2) << r.err;
            ASSERT_EQ(frontendtest::lines(r.err).size(), 1u) << r.err;
            const std::string start = "ombrel: in/" + c.file + ": " + c.said;
            EXPECT_EQ(r.err.substr(0, start.size()), start) << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
    EXPECT_TRUE(files("out").empty()) << files("out")[0];

    // The command line itself.
    frontendtest::writeBytes(work + "/in/bad.pal", std::vector<uint8_t>(5, 0));
    frontendtest::writeBytes(work + "/in/ok.obj", text("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"convert", "in/ok.obj", "-o", "out/x.obj"},
         "ombrel: -o out/x.obj: write an .md2 file (its skin goes beside it as a .pcx)\n"},
        {{"convert", "--scale", "2", "--height", "3", "in/ok.obj", "-o", "out/x.md2"},
         "ombrel: --height: give --scale or --height, not both\n"},
        {{"convert", "--palette", "in/bad.pal", "in/ok.obj", "-o", "out/x.md2"},
         "ombrel: --palette in/bad.pal: expected 768 bytes of R, G, B (a .lmp or .pal) or an 8-bit PCX (it has 5 "
         "bytes)\n"},
        {{"convert", "--box", "tight", "in/ok.obj", "-o", "out/x.md2"},
         "ombrel: --box tight: expected frame or animation\n"},
        {{"convert", "--rate", "0", "in/ok.obj", "-o", "out/x.md2"},
         "ombrel: --rate 0: expected a number from 0.01 to 1000\n"},
        {{"convert", "--animation", "run", "in/ok.obj", "-o", "out/x.md2"},
         "ombrel: --animation run: in/ok.obj is one frame, with no animations\n"},
        {{"convert", "--skin", "in/none.png", "in/ok.obj", "-o", "out/x.md2"}, "ombrel: in/none.png: no such file\n"},
        {{"convert", "--skin-name", std::string(64, 'n'), "in/ok.obj", "-o", "out/x.md2"},
         "ombrel: --skin-name " + std::string(64, 'n') + ": a model stores skin names of at most 63 bytes\n"},
    };
    for (const auto& c : refused) {
        const Result r = ombrel(c.first);
        EXPECT_EQ(r.status, 2) << c.second;
        EXPECT_EQ(r.err, c.second);
    }
    EXPECT_TRUE(files("out").empty());
}

// Opened by the other commands, a source is the .md2 convert makes of it:
// info tells the same facts, its skin is its own picture made 8-bit, the
// viewer's record gets both made files staged, and archives and folders
// hold sources as they hold models.
TEST_F(Convert, SourcesOpenAsTheModelsTheyBecome) {
    Result r = ombrel({"export", std::string(OMBREL_CORPUS_DIR) + "/faerie.md2", "-o", "faerie.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ombrel({"convert", "faerie.glb", "-o", "made.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ombrel({"info", "--json", "faerie.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json source = nlohmann::json::parse(r.out);
    r = ombrel({"info", "--json", "made.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json made = nlohmann::json::parse(r.out);
    EXPECT_EQ(source["madeFrom"], "glTF model");
    EXPECT_EQ(source["skin"], work + "/faerie.glb") << "its own pictures";
    EXPECT_EQ(made["skin"], work + "/made.pcx");
    for (const char* fact : {"frames", "vertices", "triangles", "texCoords", "commands", "skinWidth", "skinHeight",
                             "animations", "bounds", "usable"})
        EXPECT_EQ(source[fact], made[fact]) << fact;
    r = ombrel({"info", "faerie.glb"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "faerie.glb: IDP2 model, version 8 (made of this glTF model as ombrel convert makes it)");
    EXPECT_NE(r.out.find("\n  skin: " + work + "/faerie.glb (its own pictures, made one 8-bit skin)\n"),
              std::string::npos)
        << r.out;

    // The viewer program reads what it shows from disk: both made files staged.
    r = ombrel({"--write-config", "rec.cfg", "faerie.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(files("rec.cfg.files"), (std::vector<std::string>{"model.md2", "skin.pcx"}));
    EXPECT_EQ(read("rec.cfg.files/skin.pcx"), read("made.pcx"));
    ModelPtr staged = loadModel(read("rec.cfg.files/model.md2"));
    ASSERT_TRUE(staged);
    EXPECT_EQ(staged->numFrames, 198);
    EXPECT_EQ(staged->numSkins, 0) << "no stored name: its skin has no file of its own";

    // Archives and folders hold sources; files beside a source come from its archive.
    r = ombrel({"export", std::string(OMBREL_CORPUS_DIR) + "/sydney.md2", "-o", "sydney.gltf"});
    ASSERT_EQ(r.status, 0) << r.err;
    frontendtest::writeBytes(work + "/pack.zip", testdata::zipArchive({{"a/faerie.glb", read("faerie.glb")},
                                                                       {"b/sydney.gltf", read("sydney.gltf")},
                                                                       {"b/sydney.bin", read("sydney.bin")},
                                                                       {"b/sydney.png", read("sydney.png")},
                                                                       {"c/made.md2", read("made.md2")},
                                                                       {"readme.txt", text("hi")}}));
    r = ombrel({"list", "pack.zip"});
    EXPECT_EQ(r.out, "a/faerie.glb\nb/sydney.gltf\nc/made.md2\n");
    r = ombrel({"info", "--json", "pack.zip:b/sydney.gltf"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["frames"],
              loadModel(testdata::readFile(std::string(OMBREL_CORPUS_DIR) + "/sydney.md2"))->numFrames);
    EXPECT_NE(nlohmann::json::parse(r.out)["skin"], nullptr);
    // A sequence inside an archive: its frames, material and picture from there.
    r = ombrel({"export", "--frames", "0-2", std::string(OMBREL_CORPUS_DIR) + "/faerie.md2", "-o", "f_{frame}.obj"});
    ASSERT_EQ(r.status, 0) << r.err;
    testdata::ArchiveFiles sequence;
    for (const char* name : {"f_0.obj", "f_1.obj", "f_2.obj", "f.mtl", "f.png"})
        sequence.push_back({std::string("m/") + name, read(name)});
    frontendtest::writeBytes(work + "/frames.zip", testdata::zipArchive(sequence));
    r = ombrel({"info", "--json", "frames.zip:m/f_{frame}.obj"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["frames"], 3);
    EXPECT_EQ(nlohmann::json::parse(r.out)["animations"][0]["name"], "f");
    EXPECT_NE(nlohmann::json::parse(r.out)["skin"], nullptr);

    // What the reader leaves out is said with --verbose.
    GltfWriter coloured;
    const int node = addMeshNode(coloured, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
    coloured.model().meshes[size_t(coloured.model().nodes[size_t(node)].mesh)].primitives[0].attributes["COLOR_0"] =
        coloured.floats({1, 0, 0, 0, 1, 0, 0, 0, 1}, 3);
    frontendtest::writeBytes(work + "/coloured.glb", coloured.glb());
    r = ombrel({"convert", "coloured.glb", "-o", "coloured.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "ombrel: coloured.glb: the source has no texture coordinates: no skin\n");
    r = ombrel({"convert", "-v", "coloured.glb", "-o", "coloured.md2"});
    EXPECT_NE(r.err.find("ombrel: coloured.glb: left out: vertex colours\n"), std::string::npos) << r.err;

    fs::remove(work + "/sydney.bin");
    r = ombrel({"info", "sydney.gltf"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ombrel: sydney.gltf: can't read 'sydney.bin': no such file\n");
}

}  // namespace
