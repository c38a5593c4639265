// The OBJ reader: faces, materials and sequences written here by hand, the
// corpus models' OBJ exports read back, and broken files refused in one line.
#include <gtest/gtest.h>

#include <cmath>

#include "image/png_writer.h"
#include "common/path.h"
#include "model/export_mesh.h"
#include "model/import.h"
#include "tests/model/export_files.h"
#include "tests/model/source_files.h"
#include "tests/writers/pictures.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

bool readObj(const std::vector<std::string>& frames, const FileMap& files, SourceMesh& mesh, std::string& error,
             std::vector<std::string>* asked = nullptr) {
    std::vector<std::vector<uint8_t>> bytes;
    for (const std::string& frame : frames) bytes.push_back(bytesOf(frame));
    std::vector<std::string> names;
    return readObjSource(bytes, sourceFiles(files, asked ? *asked : names), {}, mesh, error);
}

const char kSquareAndPentagon[] =
    "# a square and a pentagon\n"
    "mtllib parts/skins.mtl\n"
    "o thing\ng part\ns 1\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "v 2 0 0\nv 3 0 0\nv 3.5 1 0\nv 2.5 2 0\nv 1.5 1 0\r\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 2\n"
    "usemtl red\n"
    "f 1/1/1 2/2/1 3/3/1 4/4/1\n"
    "usemtl blue\n"
    "f -5//-1 -4//-1 -3//-1 -2//-1 -1//-1\n";

TEST(ObjSource, PolygonsBecomeFansWithTheirMaterialsPictures) {
    const std::vector<uint8_t> red = {255, 0, 0}, blue = {0, 0, 255, 255};
    testdata::IndexedPicture pcx;
    pcx.width = 1;
    pcx.height = 1;
    pcx.indices = {7};
    pcx.palette.assign(768, 0);
    pcx.palette[7 * 3] = 255;
    const FileMap files = {
        {"parts/skins.mtl", bytesOf("newmtl red\nKd 1 1 1\nmap_Kd -s 1 1 1 red skin.pcx\nmap_Bump bump.png\n"
                                    "newmtl blue\nmap_Kd ../parts/blue.png\n")},
        {"parts/red skin.pcx", testdata::encodePcx(pcx)},
        {"parts/blue.png", encodePng(1, 1, 4, blue.data())}};
    SourceMesh mesh;
    std::string error;
    // The second map_Kd climbs out of its folder: refused before it is asked for.
    std::vector<std::string> asked;
    EXPECT_FALSE(readObj({kSquareAndPentagon}, files, mesh, error, &asked));
    EXPECT_EQ(error, "the file name 'parts/../parts/blue.png' leaves the source's folder ('..')");
    FileMap fixed = files;
    fixed["parts/skins.mtl"] = bytesOf("newmtl red\nKd 1 1 1\nmap_Kd -s 1 1 1 red skin.pcx\nmap_Bump bump.png\n"
                                       "newmtl blue\nmap_Kd blue.png\n");
    ASSERT_TRUE(readObj({kSquareAndPentagon}, fixed, mesh, error, &asked)) << error;

    // A square: two triangles; a pentagon: three, each a fan round its first corner.
    ASSERT_EQ(mesh.triangles.size(), 15u);
    EXPECT_EQ(std::vector<uint32_t>(mesh.triangles.begin(), mesh.triangles.begin() + 6), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(std::vector<uint32_t>(mesh.triangles.begin() + 6, mesh.triangles.end()),
              (std::vector<uint32_t>{4, 5, 6, 4, 6, 7, 4, 7, 8}));
    ASSERT_EQ(mesh.vertexCount, 9u);
    ASSERT_EQ(mesh.animations.size(), 1u);
    EXPECT_EQ(mesh.animations[0].name, "");
    const SourceFrame& frame = mesh.animations[0].frames.at(0);
    EXPECT_EQ(std::vector<float>(frame.positions.begin() + 18, frame.positions.begin() + 21), (std::vector<float>{3.5f, 1, 0}));
    // Normals made unit; texture coordinates turned top-down (1 - v).
    EXPECT_EQ(std::vector<float>(frame.normals.begin(), frame.normals.begin() + 3), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(std::vector<float>(mesh.texCoords.begin(), mesh.texCoords.begin() + 8), (std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(mesh.trianglePicture, (std::vector<int32_t>{0, 0, 1, 1, 1}));
    ASSERT_EQ(mesh.pictures.size(), 2u);
    EXPECT_EQ(mesh.pictures[0].name, "parts/red skin.pcx");
    EXPECT_EQ(mesh.pictures[0].rgba, (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(mesh.pictures[1].rgba, blue);
    EXPECT_NE(std::find(mesh.dropped.begin(), mesh.dropped.end(), "materials beyond the base colour (map_Bump)"), mesh.dropped.end());
}

TEST(ObjSource, SequencesShareTheirFacesAndMoveTheirPositions) {
    const std::string faces = "vt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n";
    std::vector<std::string> frames;
    for (int f = 0; f < 3; ++f)
        frames.push_back("v 0 0 0\nv 1 0 0\nv 0 1 " + std::to_string(f) + "\n" + faces);
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readObj(frames, {}, mesh, error)) << error;
    ASSERT_EQ(mesh.animations.size(), 1u);
    EXPECT_EQ(mesh.animations[0].name, "frames");
    ASSERT_EQ(mesh.animations[0].frames.size(), 3u);
    for (int f = 0; f < 3; ++f) EXPECT_EQ(mesh.animations[0].frames[size_t(f)].positions[8], float(f));
    EXPECT_TRUE(mesh.animations[0].frames[0].normals.empty());
    EXPECT_EQ(mesh.trianglePicture, (std::vector<int32_t>{-1}));

    frames[2] = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 3/3 2/2\n";
    EXPECT_FALSE(readObj(frames, {}, mesh, error));
    EXPECT_EQ(error, "OBJ frame 3 of 3 has other faces or texture coordinates than the first: a sequence shares them");
    frames[2] = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 0.5\nf 1/1 2/2 3/3\n";
    EXPECT_FALSE(readObj(frames, {}, mesh, error));
    frames[2] = "v 0 0 0\nv 1 0 0\nf 1 2 3\n";
    EXPECT_FALSE(readObj(frames, {}, mesh, error));
    EXPECT_EQ(error, "frame 3, line 3: a position index 3 is past the 2 read so far");
}

TEST(ObjSource, BrokenFilesAreRefusedInOneLine) {
    const std::vector<std::string> broken = {
        "",                                      // no faces
        "v 0 0 0\nv 1 0 0\nf 1 2 3\n",           // an index past the vertices
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n",  // index 0
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nf -4 -2 -1\n",
        "v 0 0 nan\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
        "v 0 0 inf\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
        "v 0 0 1e99\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
        "v 0 0\n",
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/x 2 3\n",
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1 2 3\n",  // no texture coordinates to index
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 99999999999999999999\n",
        "mtllib ../up.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
        "mtllib /etc/x.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
        "mtllib missing.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
        "mtllib bad.mtl\nusemtl m\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
        "mtllib abs.mtl\nusemtl m\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
    };
    const FileMap files = {{"bad.mtl", bytesOf("newmtl m\nmap_Kd junk.png\n")},
                           {"junk.png", bytesOf("not a picture")},
                           {"abs.mtl", bytesOf("newmtl m\nmap_Kd C:\\skins\\m.png\n")}};
    for (const std::string& obj : broken) {
        SourceMesh mesh;
        std::string error;
        std::vector<std::string> asked;
        EXPECT_FALSE(readObj({obj}, files, mesh, error, &asked)) << obj;
        EXPECT_FALSE(error.empty()) << obj;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        for (const std::string& name : asked) EXPECT_EQ(name.find(".."), std::string::npos) << name;
        EXPECT_EQ(mesh.vertexCount, 0u);
    }
    // Vertices times frames past what a model holds: 3000 corners in 2000 frames.
    std::string big;
    for (int i = 0; i < 3000; ++i) big += "v " + std::to_string(i) + " 0 0\n";
    for (int i = 1; i + 2 <= 3000; i += 3) big += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
    std::vector<std::vector<uint8_t>> frames(2000, bytesOf(big));
    SourceMesh mesh;
    std::string error;
    std::vector<std::string> asked;
    EXPECT_FALSE(readObjSource(frames, sourceFiles({}, asked), {}, mesh, error));
    EXPECT_EQ(error, "3000 vertices in 2000 frames are more than a model holds");
}

TEST(ObjSource, CorpusExportsReadBackAsTheirFrames) {
    for (const char* name : kCorpusModels) {
        const CorpusSubject subject = corpusSubject(name);
        ASSERT_TRUE(subject.model);
        const Model& model = *subject.model;
        const ExportResult result = exportObj(&model, 3, subject.options(), "out/model.obj");
        ASSERT_TRUE(result.ok) << result.error;
        FileMap files;
        for (const ExportFile& file : result.files) files[fileNameOf(file.name)] = file.bytes;
        std::vector<std::vector<uint8_t>> frames = {result.files[0].bytes};
        SourceMesh mesh;
        std::string error;
        std::vector<std::string> asked;
        ASSERT_TRUE(readObjSource(frames, sourceFiles(files, asked), {}, mesh, error)) << error;
        ASSERT_EQ(mesh.triangles.size(), size_t(model.numTriangles) * 3);
        const SourceFrame& frame = mesh.animations.at(0).frames.at(0);
        double worstPosition = 0, worstTexCoord = 0;
        for (int t = 0; t < model.numTriangles; ++t) {
            const int order[3] = {0, 2, 1};
            for (int c = 0; c < 3; ++c) {
                const uint32_t vertex = mesh.triangles[size_t(t) * 3 + size_t(c)];
                float expected[3];
                exportPosition(model.frames[3].vertices[model.triangles[t].vertexIndex[order[c]]], 1, expected);
                for (int a = 0; a < 3; ++a)
                    worstPosition = std::max(worstPosition, std::fabs(double(frame.positions[vertex * 3 + size_t(a)]) - expected[a]));
                const ModelTexCoord& st = model.texCoords[model.triangles[t].texCoordIndex[order[c]]];
                worstTexCoord = std::max(worstTexCoord, std::fabs(double(mesh.texCoords[vertex * 2]) * model.skinWidth - st.s));
                worstTexCoord = std::max(worstTexCoord, std::fabs(double(mesh.texCoords[vertex * 2 + 1]) * model.skinHeight - st.t));
            }
        }
        EXPECT_LE(worstPosition, 2e-6) << name;  // six decimals in the file, then a float
        EXPECT_LE(worstTexCoord, 1e-3) << name;
        ASSERT_EQ(mesh.pictures.size(), 1u);
        EXPECT_EQ(mesh.pictures[0].width, subject.skinWidth);
    }
}

}  // namespace
