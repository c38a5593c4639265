// Writes the model fuzz target's seed files into the folder given as the
// only argument (tests/fuzz/seeds/model). Run it again after changing the
// writer; the seeds are committed.
#include <climits>
#include <cstdio>
#include <string>

#include "tests/writers/bytes.h"
#include "tests/writers/md2_shapes.h"
#include "tests/writers/md2_writer.h"

using namespace testdata;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    int failures = 0;
    auto write = [&](const char* name, const std::vector<uint8_t>& bytes) {
        if (!writeFile(folder + "/" + name, bytes)) ++failures;
    };
    auto withHeader = [](const Md2Model& model, auto change) {
        Md2Header header = md2Layout(model);
        change(header);
        return md2Bytes(model, header);
    };

    const Md2Model pyramid = md2PyramidModel();
    write("pyramid.md2", md2Bytes(pyramid));
    write("torus.md2", md2Bytes(md2TorusModel(3, 8, 4)));

    Md2Model noCommands = pyramid;
    noCommands.commands.clear();
    write("no_commands.md2", md2Bytes(noCommands));

    Md2Model noVertices = pyramid;
    for (Md2Frame& frame : noVertices.frames) frame.vertices.clear();
    write("zero_vertices.md2", md2Bytes(noVertices));

    Md2Model badIndices = pyramid;
    badIndices.triangles[1].vertexIndex[2] = 5;
    badIndices.triangles[2].texCoordIndex[0] = -1;
    badIndices.commands[1 + 3 + 2] = 5;  // the fan's second entry points just past the vertices
    write("bad_indices.md2", md2Bytes(badIndices));

    Md2Model unterminated = pyramid;
    unterminated.commands.pop_back();
    write("unterminated_commands.md2", md2Bytes(unterminated));

    Md2Model pastEnd = pyramid;
    pastEnd.commands.back() = 9;
    pastEnd.commands.push_back(0);
    write("command_past_end.md2", md2Bytes(pastEnd));

    Md2Model oddFrames = pyramid;
    oddFrames.frames[0].name = "a-name-without-terminator";
    oddFrames.frames[1].vertices[2].normalIndex = 200;
    oddFrames.framePadding = 8;
    oddFrames.skinWidth = 0;
    write("odd_frames.md2", md2Bytes(oddFrames));

    write("negative_counts.md2", withHeader(pyramid, [](Md2Header& h) {
              h.numSkins = -1;
              h.numCommands = -3;
              h.numTriangles = INT_MIN;
          }));
    write("frame_too_small.md2", withHeader(pyramid, [](Md2Header& h) { h.frameSize -= 4; }));
    std::vector<uint8_t> truncated = md2Bytes(pyramid);
    truncated.resize(truncated.size() / 2);
    write("truncated.md2", truncated);

    return failures == 0 ? 0 : 1;
}
