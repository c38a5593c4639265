// Writes the seed files of the source readers' fuzz targets into the seed
// folder given as the only argument (tests/fuzz/seeds): gltf_source/ (small
// valid files of every kind the reader takes, and broken ones) and
// obj_source/. Run it again after changing the writer; the seeds are
// committed.
#include <cmath>
#include <cstdio>
#include <string>

#include "image/png_writer.h"
#include "tests/writers/bytes.h"
#include "tests/writers/gltf_writer.h"

using namespace testdata;

namespace {

int triangle(GltfWriter& writer) { return addMeshNode(writer, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}); }

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::string gltfFolder = std::string(argv[1]) + "/gltf_source/", objFolder = std::string(argv[1]) + "/obj_source/";
    int failures = 0;
    const auto write = [&](const std::string& path, const std::vector<uint8_t>& bytes) {
        if (!writeFile(path, bytes)) ++failures;
    };

    {  // A static triangle, as .glb and as .gltf with its buffer in a data: URI.
        GltfWriter writer;
        triangle(writer);
        write(gltfFolder + "triangle.glb", writer.glb());
        write(gltfFolder + "triangle.gltf", writer.gltf());
        write(gltfFolder + "external_buffer.gltf", writer.gltf("triangle.bin"));
    }
    {  // Morph targets with names, weights animated.
        GltfWriter writer;
        const int node = triangle(writer);
        tinygltf::Primitive& primitive = writer.model().meshes[0].primitives[0];
        primitive.targets.push_back({{"POSITION", writer.floats({0, 0, 0, 0, 0, 0, 0, 0, 1}, 3)}});
        writer.model().meshes[0].extras = tinygltf::Value(tinygltf::Value::Object{
            {"targetNames", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(std::string("up"))})}});
        addChannel(writer, "rise", node, "weights", "LINEAR", {0, 1}, {0, 1});
        write(gltfFolder + "morph.glb", writer.glb());
    }
    {  // Node animation of every interpolation, a nested node with scale.
        GltfWriter writer;
        const int node = triangle(writer);
        tinygltf::Node parent;
        parent.scale = {2, -1, 1};
        parent.children = {node};
        writer.model().nodes.push_back(parent);
        writer.model().scenes[0].nodes = {1};
        addChannel(writer, "move", node, "translation", "LINEAR", {0, 1}, {0, 0, 0, 1, 0, 0});
        addChannel(writer, "move", node, "rotation", "STEP", {0, 1}, {0, 0, 0, 1, 0, 0, 0.7071068f, 0.7071068f});
        addChannel(writer, "move", node, "scale", "CUBICSPLINE", {0, 1}, {0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 2, 2, 2, 0, 0, 0});
        write(gltfFolder + "node_animation.glb", writer.glb());
    }
    {  // A skinned primitive on two joints.
        GltfWriter writer;
        tinygltf::Model& model = writer.model();
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] = writer.floats({0, 0, 0, 1, 1, 0, 0, 2, 0}, 3);
        primitive.attributes["JOINTS_0"] = writer.integers({0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0}, 4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE);
        primitive.attributes["WEIGHTS_0"] = writer.floats({1, 0, 0, 0, 0.5f, 0.5f, 0, 0, 1, 0, 0, 0}, 4);
        model.meshes.emplace_back();
        model.meshes[0].primitives.push_back(primitive);
        model.nodes.resize(3);
        model.nodes[0].mesh = 0;
        model.nodes[0].skin = 0;
        model.nodes[1].children = {2};
        model.nodes[2].translation = {0, 1, 0};
        model.scenes[0].nodes = {0, 1};
        model.skins.emplace_back();
        model.skins[0].joints = {1, 2};
        model.skins[0].inverseBindMatrices = writer.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,  //
                                                            1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1}, 16);
        addChannel(writer, "bend", 2, "rotation", "LINEAR", {0, 1}, {0, 0, 0, 1, 0, 0, 0.7071068f, 0.7071068f});
        write(gltfFolder + "skinned.glb", writer.glb());
    }
    {  // A texture, quantised attributes, a strip.
        GltfWriter writer;
        const uint8_t pixels[] = {255, 0, 0, 255, 0, 255, 0, 255};
        const int material = writer.material(encodePng(2, 1, 4, pixels));
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLE_STRIP;
        primitive.material = material;
        primitive.attributes["POSITION"] = writer.integers({0, 0, 0, 4, 0, 0, 0, 4, 0, 4, 4, 0}, 3, TINYGLTF_COMPONENT_TYPE_SHORT);
        primitive.attributes["NORMAL"] = writer.integers({0, 0, 127, 0, 0, 127, 0, 0, 127, 0, 0, 127}, 3, TINYGLTF_COMPONENT_TYPE_BYTE, true);
        primitive.attributes["TEXCOORD_0"] = writer.integers({0, 0, 65535, 0, 0, 65535, 65535, 65535}, 2,
                                                             TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, true);
        writer.model().meshes.emplace_back();
        writer.model().meshes[0].primitives.push_back(primitive);
        writer.model().nodes.emplace_back();
        writer.model().nodes[0].mesh = 0;
        writer.model().nodes[0].scale = {0.25, 0.25, 0.25};
        writer.model().scenes[0].nodes = {0};
        writer.model().extensionsRequired.push_back("KHR_mesh_quantization");
        write(gltfFolder + "textured_quantized.glb", writer.glb());
    }
    {  // Broken: an index past the vertices, a node cycle, a view past its buffer.
        GltfWriter writer;
        triangle(writer);
        writer.model().meshes[0].primitives[0].indices = writer.indices({0, 1, 7});
        write(gltfFolder + "bad_index.glb", writer.glb());
        GltfWriter cycle;
        triangle(cycle);
        cycle.model().nodes[0].children = {0};
        write(gltfFolder + "cycle.glb", cycle.glb());
        GltfWriter past;
        triangle(past);
        past.model().bufferViews[0].byteLength = 1000;
        write(gltfFolder + "view_past_buffer.gltf", past.gltf());
        write(gltfFolder + "draco.gltf", bytesOf("{\"asset\":{\"version\":\"2.0\"},\"extensionsRequired\":[\"KHR_draco_mesh_compression\"]}"));
    }

    write(objFolder + "square.obj",
          bytesOf("mtllib skin.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n"
                  "usemtl skin\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"));
    write(objFolder + "negative.obj", bytesOf("o x\ng y\ns 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf -3//-1 -2//-1 -1//-1\nl 1 2\n"));
    write(objFolder + "sequence.obj", bytesOf("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n#frame\nv 0 0 1\nv 1 0 1\nv 0 1 1\nf 1 2 3\n"));
    write(objFolder + "sequence_differs.obj", bytesOf("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n#frame\nv 0 0 1\nv 1 0 1\nv 0 1 1\nf 1 3 2\n"));
    write(objFolder + "bad_index.obj", bytesOf("v 0 0 0\nv 1 0 0\nf 1 2 3\n"));
    write(objFolder + "nan.obj", bytesOf("v 0 0 nan\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"));
    write(objFolder + "escape.obj", bytesOf("mtllib ../escape.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"));
    return failures == 0 ? 0 : 1;
}
