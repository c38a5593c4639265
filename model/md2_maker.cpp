// makeMd2: the source checked, then the steps of model/md2_steps.h in turn
// (weld, limits, grid, normals, texture coordinates and skin, commands,
// names), the file laid out, read back by our own reader and check, and
// only then handed back.
#include "model/md2_maker.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "image/image.h"
#include "image/palette.h"
#include "image/picture_writer.h"
#include "model/md2_steps.h"
#include "model/md2_writer.h"
#include "model/model.h"
#include "model/model_check.h"

namespace {

constexpr int kMaxFrameVertices = (MODEL_FRAME_BUFFER_SIZE - MODEL_FRAME_HEADER_SIZE) / 4;  // 2070
constexpr int kMaxIndex = 32767;                                                             // int16 fields
constexpr int kSizeWithoutPicture = 256;  // the skin size coordinates are laid out for when no picture has one
// Positions past this, once scaled, leave no room for the float arithmetic of decoding.
constexpr double kFarthestPosition = 1e30;
constexpr double kPi = 3.14159265358979323846;

Md2MakeResult failure(const std::string& error) {
    Md2MakeResult result;
    result.error = error;
    return result;
}

// A float is not finite when its exponent bits are all set. Without an
// early way out, the test runs many floats at a time.
bool allFinite(const std::vector<float>& values) {
    uint32_t notFinite = 0;
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        notFinite |= uint32_t((bits & 0x7F800000u) == 0x7F800000u);
    }
    return notFinite == 0;
}

std::string counted(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Why the source can't be made into a model as it stands, "" when it can.
std::string sourceFault(const SourceMesh& mesh, const Md2MakeOptions& options) {
    if (!(options.scale > 0) || !std::isfinite(options.scale)) return "the scale must be a positive number";
    if (!(options.height >= 0) || !std::isfinite(options.height)) return "the height must be a positive number";
    if (!options.palette.empty() && options.palette.size() != size_t(PALETTE_SIZE))
        return "a palette has 768 bytes (256 colours), not " + std::to_string(options.palette.size());
    if (options.skinName.size() >= size_t(MODEL_SKIN_NAME_SIZE))
        return "the skin name has " + std::to_string(options.skinName.size()) + " bytes, more than the " +
               std::to_string(MODEL_SKIN_NAME_SIZE - 1) + " a model stores";
    if (options.pictureRgb &&
        (options.pictureWidth <= 0 || options.pictureHeight <= 0 || options.pictureWidth > mxImage::kMaxEdge ||
         options.pictureHeight > mxImage::kMaxEdge ||
         int64_t(options.pictureWidth) * options.pictureHeight > mxImage::kMaxPixels))
        return "the skin picture's size (" + std::to_string(options.pictureWidth) + "x" +
               std::to_string(options.pictureHeight) + ") is not one a skin can have";

    const size_t n = mesh.vertexCount;
    if (n == 0 || mesh.triangles.empty()) return "the source has no triangles: nothing to draw";
    if (mesh.triangles.size() % 3 != 0) return "the source's triangle indices don't come in threes";
    for (uint32_t index : mesh.triangles)
        if (index >= n) return "a triangle uses vertex " + std::to_string(index) + " of " + std::to_string(n);
    if (!mesh.texCoords.empty() && (mesh.texCoords.size() != 2 * n || !allFinite(mesh.texCoords)))
        return "the source's texture coordinates are not two finite numbers a vertex";
    const size_t triangles = mesh.triangles.size() / 3;
    if (!mesh.trianglePicture.empty() && mesh.trianglePicture.size() != triangles)
        return "the source's pictures are not given one a triangle";
    for (int32_t p : mesh.trianglePicture)
        if (p < -1 || p >= int32_t(mesh.pictures.size()))
            return "a triangle uses picture " + std::to_string(p) + " of " + std::to_string(mesh.pictures.size());
    for (const SourcePicture& picture : mesh.pictures) {
        const bool sizeOk = picture.width > 0 && picture.height > 0 && picture.width <= mxImage::kMaxEdge &&
                            picture.height <= mxImage::kMaxEdge &&
                            int64_t(picture.width) * picture.height <= mxImage::kMaxPixels;
        if (!sizeOk || (!picture.rgba.empty() && picture.rgba.size() != size_t(picture.width) * picture.height * 4))
            return "the picture " + picture.name + " has no usable size or not its pixels";
    }
    if (mesh.animations.empty()) return "the source has no frames";
    for (const SourceAnimation& animation : mesh.animations) {
        if (animation.frames.empty()) return "the animation " + animation.name + " has no frames";
        for (const SourceFrame& frame : animation.frames) {
            // Whether the numbers are finite is seen where they are used:
            // positions once scaled, normals when summed.
            if (frame.positions.size() != 3 * n)
                return "a frame of " + (animation.name.empty() ? std::string("the model") : animation.name) +
                       " does not hold three coordinates a vertex";
            if (!frame.normals.empty() && frame.normals.size() != 3 * n)
                return "a frame of " + (animation.name.empty() ? std::string("the model") : animation.name) +
                       " does not hold a normal a vertex";
        }
    }
    return "";
}

// The source's axes (glTF's) as the file's: file (x, y, z) = source (z, x, y).
void toFileAxes(const float* source, double factor, double* file) {
    file[0] = double(source[2]) * factor;
    file[1] = double(source[0]) * factor;
    file[2] = double(source[1]) * factor;
}

// The welded vertices' positions in every frame, file axes, scaled:
// frames (all animations in order) x vertices x 3.
struct WeldedFrames {
    size_t vertexCount = 0, frameCount = 0;
    std::vector<uint32_t> sourceVertex;  // a source vertex of each welded vertex
    std::unique_ptr<double[]> positions;
};

double lengthFactor(const SourceMesh& mesh, const WeldedFrames& welded, const Md2MakeOptions& options,
                    std::string& error) {
    if (!(options.height > 0)) return options.scale;
    const std::vector<float>& first = mesh.animations[0].frames[0].positions;
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (uint32_t v : welded.sourceVertex) {
        low = std::min(low, double(first[3 * v + 1]));
        high = std::max(high, double(first[3 * v + 1]));
    }
    if (!(high > low)) error = "the first frame has no height to fit";
    return options.height / (high - low);
}

// The source vertices welded into each vertex: members[first[w]] up to
// members[first[w + 1]].
struct Members {
    std::vector<uint32_t> first, members;
};

Members membersOf(const std::vector<uint32_t>& remap, size_t vertexCount) {
    Members m;
    m.first.assign(vertexCount + 1, 0);
    for (uint32_t w : remap)
        if (w != MD2_UNUSED_VERTEX) ++m.first[w + 1];
    for (size_t w = 0; w < vertexCount; ++w) m.first[w + 1] += m.first[w];
    m.members.resize(m.first[vertexCount]);
    std::vector<uint32_t> fill(m.first.begin(), m.first.end() - 1);
    for (size_t v = 0; v < remap.size(); ++v)
        if (remap[v] != MD2_UNUSED_VERTEX) m.members[fill[remap[v]]++] = uint32_t(v);
    return m;
}

// Welded vertex normals of one frame, file axes, of unit length: the
// source's (summed over the vertices welded together) where it has them,
// else (or where they cancel out, or are no numbers) from the faces.
void frameNormals(const SourceFrame& frame, const Members& welded, const double* positions, size_t vertexCount,
                  const std::vector<uint32_t>& triangles, std::vector<double>& normals) {
    normals.resize(vertexCount * 3);
    std::vector<double> fromFaces;
    for (size_t w = 0; w < vertexCount; ++w) {
        double n[3] = {0, 0, 0};
        if (!frame.normals.empty()) {
            for (uint32_t k = welded.first[w]; k < welded.first[w + 1]; ++k) {
                const float* source = &frame.normals[3 * size_t(welded.members[k])];
                // The source's axes as the file's: file (x, y, z) = source (z, x, y).
                n[0] += source[2];
                n[1] += source[0];
                n[2] += source[1];
            }
        }
        double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(length > 0 && length < HUGE_VAL)) {
            if (fromFaces.empty()) {
                fromFaces.resize(vertexCount * 3);
                angleWeightedNormals(positions, vertexCount, triangles.data(), triangles.size() / 3, fromFaces.data());
            }
            for (int a = 0; a < 3; ++a) n[a] = fromFaces[3 * w + size_t(a)];
            length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        }
        if (!(length > 0)) {
            n[2] = length = 1;  // touched by no face with an area: up
        }
        const double inverse = 1 / length;
        for (int a = 0; a < 3; ++a) normals[3 * w + size_t(a)] = n[a] * inverse;
    }
}

// The angle between a unit normal and a table entry, in degrees, from the
// sine and cosine both (the cosine alone loses small angles).
double degreesBetween(const double unit[3], const float* entry) {
    const double cross[3] = {unit[1] * entry[2] - unit[2] * entry[1], unit[2] * entry[0] - unit[0] * entry[2],
                             unit[0] * entry[1] - unit[1] * entry[0]};
    const double sine = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
    return std::atan2(sine, unit[0] * entry[0] + unit[1] * entry[1] + unit[2] * entry[2]) * 180.0 / kPi;
}

struct TexturedCorners {
    std::vector<uint32_t> corner;  // per source triangle corner: the file corner (vertex and coordinate pair)
    std::vector<Md2TexCoord> texCoords;
    std::vector<uint32_t> cornerVertex, cornerTexCoord;  // per file corner
};

}  // namespace

namespace {

Md2MakeResult make(const SourceMesh& mesh, const Md2MakeOptions& options) {
    const std::string fault = sourceFault(mesh, options);
    if (!fault.empty()) return failure(fault);
    Md2MakeResult result;

    // Weld by whole tracks; triangles left with a corner twice draw nothing.
    std::vector<const float*> sourceFrames;
    for (const SourceAnimation& animation : mesh.animations)
        for (const SourceFrame& frame : animation.frames) sourceFrames.push_back(frame.positions.data());
    std::vector<uint32_t> remap;
    WeldedFrames welded;
    welded.frameCount = sourceFrames.size();
    welded.vertexCount = weldTracks(sourceFrames, mesh.vertexCount, mesh.triangles.data(), mesh.triangles.size(), remap);
    welded.sourceVertex.assign(welded.vertexCount, 0);
    for (size_t v = mesh.vertexCount; v-- > 0;)
        if (remap[v] != MD2_UNUSED_VERTEX) welded.sourceVertex[remap[v]] = uint32_t(v);
    std::vector<uint32_t> keptTriangles;  // source triangle numbers
    std::vector<uint32_t> triangles;      // welded, the source's winding
    for (size_t t = 0; t < mesh.triangles.size() / 3; ++t) {
        const uint32_t a = remap[mesh.triangles[3 * t]], b = remap[mesh.triangles[3 * t + 1]],
                       c = remap[mesh.triangles[3 * t + 2]];
        if (a == b || b == c || a == c) continue;
        keptTriangles.push_back(uint32_t(t));
        triangles.insert(triangles.end(), {a, b, c});
    }
    if (keptTriangles.empty()) return failure("every triangle has two corners in one place: nothing to draw");
    if (keptTriangles.size() < mesh.triangles.size() / 3)
        result.warnings.push_back(counted(mesh.triangles.size() / 3 - keptTriangles.size(), "triangle", "triangles") +
                                  " with two corners in one place left out");

    // What the format and our reader can't hold.
    const size_t vertexCount = welded.vertexCount, frameCount = welded.frameCount;
    if (vertexCount > size_t(kMaxFrameVertices))
        return failure(counted(vertexCount, "vertex", "vertices") + " a frame, more than the " +
                       std::to_string(kMaxFrameVertices) + " a frame of the format holds");
    if (int64_t(vertexCount) * int64_t(frameCount) > MODEL_MAX_DECODED_VERTICES)
        return failure(counted(frameCount, "frame", "frames") + " of " + counted(vertexCount, "vertex", "vertices") +
                       ", more than the " + std::to_string(MODEL_MAX_DECODED_VERTICES) +
                       " vertices our reader takes in all");
    const int64_t frameBytes = int64_t(frameCount) * (MODEL_FRAME_HEADER_SIZE + 4 * int64_t(vertexCount));
    if (frameBytes > MODEL_MAX_FILE_SIZE)
        return failure("the frames alone would take " + std::to_string(frameBytes) + " bytes, more than the " +
                       std::to_string(MODEL_MAX_FILE_SIZE) + " a model file may have");

    // Positions in the file's axes and units.
    std::string error;
    const double factor = lengthFactor(mesh, welded, options, error);
    if (!error.empty()) return failure(error);
    welded.positions.reset(new double[frameCount * vertexCount * 3]);  // each written below
    for (size_t f = 0; f < frameCount; ++f)
        for (size_t w = 0; w < vertexCount; ++w) {
            double* p = &welded.positions[(f * vertexCount + w) * 3];
            toFileAxes(sourceFrames[f] + 3 * size_t(welded.sourceVertex[w]), factor, p);
            if (!(std::fabs(p[0]) < kFarthestPosition && std::fabs(p[1]) < kFarthestPosition &&
                  std::fabs(p[2]) < kFarthestPosition))
                return failure(std::isfinite(p[0] + p[1] + p[2])
                                   ? "a position lies too far out for the format's numbers once scaled"
                                   : "a position is not a finite number");
        }

    // Texture coordinates: pixels in the skin, pictures side by side.
    const bool hasCoordinates = !mesh.texCoords.empty();
    const bool givenPicture = options.pictureRgb != nullptr;
    std::vector<bool> pictureUsed(mesh.pictures.size(), false);
    if (!mesh.trianglePicture.empty())
        for (uint32_t t : keptTriangles)
            if (mesh.trianglePicture[t] >= 0) pictureUsed[size_t(mesh.trianglePicture[t])] = true;
    const bool anyPicture = std::find(pictureUsed.begin(), pictureUsed.end(), true) != pictureUsed.end();
    SkinLayout layout;
    SourcePicture given;
    if (givenPicture) {
        given.name = "skin";
        given.width = options.pictureWidth;
        given.height = options.pictureHeight;
        given.rgba.resize(size_t(given.width) * size_t(given.height) * 4);
        for (size_t i = 0; i < size_t(given.width) * size_t(given.height); ++i) {
            std::copy(options.pictureRgb + 3 * i, options.pictureRgb + 3 * i + 3, &given.rgba[4 * i]);
            given.rgba[4 * i + 3] = 255;
        }
        layout = {given.width, given.height, {{0, given.width, given.height}}};
    } else if (anyPicture) {
        layout = layOutPictures(mesh.pictures, pictureUsed);
    } else {
        layout = {kSizeWithoutPicture, kSizeWithoutPicture, {}};
    }
    if (layout.width > kMaxIndex || layout.height > kMaxIndex)
        return failure("a skin of " + std::to_string(layout.width) + "x" + std::to_string(layout.height) +
                       " pixels, more than the " + std::to_string(kMaxIndex) + " texture coordinates reach");
    if (layout.width > mxImage::kMaxEdge || int64_t(layout.width) * layout.height > mxImage::kMaxPixels)
        return failure("a skin of " + std::to_string(layout.width) + "x" + std::to_string(layout.height) +
                       " pixels, more than our picture reader takes");
    bool makeSkin = givenPicture;
    if (!givenPicture && anyPicture) {
        makeSkin = true;
        for (size_t p = 0; p < mesh.pictures.size(); ++p)
            if (pictureUsed[p] && mesh.pictures[p].rgba.empty()) makeSkin = false;
    }
    if (!hasCoordinates && !givenPicture) {
        makeSkin = false;
        result.warnings.push_back("the source has no texture coordinates: no skin");
    } else if (!hasCoordinates) {
        result.warnings.push_back("the source has no texture coordinates: every vertex takes the skin's top-left pixel");
    } else if (!makeSkin) {
        result.warnings.push_back("the source's texture coordinates have no picture with pixels: no skin");
    }

    const SkinRegion wholeSkin{0, layout.width, layout.height};
    size_t withoutPicture = 0, spanning = 0;
    TexturedCorners textured;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> cornerOf;  // (vertex, texture coordinate) to file corner
    std::map<std::pair<int32_t, int32_t>, uint32_t> texCoordOf;
    for (size_t i = 0; i < keptTriangles.size(); ++i) {
        const uint32_t t = keptTriangles[i];
        int32_t s[3] = {0, 0, 0}, tt[3] = {0, 0, 0};
        if (hasCoordinates) {
            const int32_t picture = mesh.trianglePicture.empty() ? -1 : mesh.trianglePicture[t];
            SkinRegion region = wholeSkin;
            if (!givenPicture && picture >= 0) region = layout.regions[size_t(picture)];
            if (!givenPicture && anyPicture && picture < 0) ++withoutPicture;
            double u[3], v[3];
            for (int k = 0; k < 3; ++k) {
                const uint32_t vertex = mesh.triangles[3 * t + size_t(k)];
                u[k] = mesh.texCoords[2 * vertex];
                v[k] = mesh.texCoords[2 * vertex + 1];
            }
            if (!trianglePixels(u, v, region, s, tt)) {
                ++spanning;
                continue;
            }
        }
        for (int k = 0; k < 3; ++k) {
            const auto coordinate = texCoordOf.emplace(std::pair{s[k], tt[k]}, uint32_t(textured.texCoords.size()));
            if (coordinate.second) textured.texCoords.push_back({int16_t(s[k]), int16_t(tt[k])});
            const uint32_t vertex = triangles[3 * i + size_t(k)];
            const auto corner = cornerOf.emplace(std::pair{vertex, coordinate.first->second},
                                                 uint32_t(textured.cornerVertex.size()));
            if (corner.second) {
                textured.cornerVertex.push_back(vertex);
                textured.cornerTexCoord.push_back(coordinate.first->second);
            }
            textured.corner.push_back(corner.first->second);
        }
    }
    if (spanning)
        return failure(counted(spanning, "triangle's", "triangles'") +
                       " texture coordinates span more than one repeat of the picture: one skin can't hold them");
    if (withoutPicture)
        result.warnings.push_back(counted(withoutPicture, "triangle has", "triangles have") +
                                  " no picture: their texture coordinates are taken over the whole skin");
    if (textured.texCoords.size() > size_t(kMaxIndex) + 1)
        return failure(counted(textured.texCoords.size(), "texture coordinate", "texture coordinates") +
                       ", more than the 16-bit indices reach");

    // The file's size before its commands, which take at least 3 words a triangle.
    const size_t triangleCount = keptTriangles.size();
    const bool storesSkinName = makeSkin && !options.skinName.empty();
    const int64_t leastBytes = MODEL_HEADER_SIZE + (storesSkinName ? MODEL_SKIN_NAME_SIZE : 0) +
                               4 * int64_t(textured.texCoords.size()) + (12 + 12) * int64_t(triangleCount) +
                               frameBytes + 4;
    if (leastBytes > MODEL_MAX_FILE_SIZE)
        return failure("the model would take at least " + std::to_string(leastBytes) + " bytes, more than the " +
                       std::to_string(MODEL_MAX_FILE_SIZE) + " a model file may have");

    // The file's triangles: its winding is the source's turned round.
    std::vector<uint32_t> fileCorners(triangleCount * 3);
    for (size_t i = 0; i < triangleCount; ++i) {
        fileCorners[3 * i] = textured.corner[3 * i];
        fileCorners[3 * i + 1] = textured.corner[3 * i + 2];
        fileCorners[3 * i + 2] = textured.corner[3 * i + 1];
    }
    const std::vector<Md2Command> commands = makeCommands(fileCorners.data(), triangleCount, textured.cornerVertex.size());
    if (!sameTriangles(expandCommands(commands), fileCorners))
        return failure("the strips and fans made do not cover the triangles exactly (a fault of ours)");

    Md2Model model;
    model.skinWidth = layout.width;
    model.skinHeight = layout.height;
    if (storesSkinName) model.skins.push_back(options.skinName);
    model.texCoords = textured.texCoords;
    for (size_t i = 0; i < triangleCount; ++i) {
        Md2Triangle triangle;
        for (int k = 0; k < 3; ++k) {
            const uint32_t corner = fileCorners[3 * i + size_t(k)];
            triangle.vertexIndex[k] = int16_t(textured.cornerVertex[corner]);
            triangle.texCoordIndex[k] = int16_t(textured.cornerTexCoord[corner]);
        }
        model.triangles.push_back(triangle);
    }
    for (const Md2Command& command : commands) {
        std::vector<Md2CommandEntry> entries;
        for (uint32_t corner : command.corners) {
            const Md2TexCoord& c = textured.texCoords[textured.cornerTexCoord[corner]];
            entries.push_back({float(c.s) / float(layout.width), float(c.t) / float(layout.height),
                               int32_t(textured.cornerVertex[corner])});
        }
        (command.fan ? appendFan : appendStrip)(model.commands, entries);
    }
    model.commands.push_back(0);

    // Frames: names, each animation on its grid, normals.
    std::vector<Md2NamedAnimation> naming;
    for (const SourceAnimation& animation : mesh.animations) {
        Md2NamedAnimation named{animation.name, {}};
        for (const SourceFrame& frame : animation.frames) named.frameNames.push_back(frame.name);
        naming.push_back(std::move(named));
    }
    const std::vector<std::string> names = md2FrameNames(naming);
    const Members members = membersOf(remap, vertexCount);
    std::vector<double> normals;
    std::vector<uint8_t> lastEntry(vertexCount, 0);  // each vertex's entry in the frame before
    size_t frame = 0;
    for (const SourceAnimation& animation : mesh.animations) {
        const size_t frames = animation.frames.size();
        const double* positions = &welded.positions[frame * vertexCount * 3];
        const PackedFrames packed = packOnGrid(positions, frames, vertexCount, options.boxPerFrame);
        Md2AnimationReport report;
        report.name = animation.name;
        report.frames = int(frames);
        double errorSum = 0, stepSum = 0;
        struct {
            double dot;
            double normal[3];
            int entry;
        } worstNormal = {HUGE_VAL, {0, 0, 1}, 5};
        for (size_t f = 0; f < frames; ++f, ++frame) {
            Md2Frame out;
            out.name = names[frame];
            std::copy(&packed.scale[3 * f], &packed.scale[3 * f] + 3, out.scale);
            std::copy(&packed.translate[3 * f], &packed.translate[3 * f] + 3, out.translate);
            const double* p = positions + f * vertexCount * 3;
            frameNormals(animation.frames[f], members, p, vertexCount, triangles, normals);
            const double perStep[3] = {1.0 / out.scale[0], 1.0 / out.scale[1], 1.0 / out.scale[2]};
            out.vertices.resize(vertexCount);
            for (size_t w = 0; w < vertexCount; ++w) {
                const uint8_t* b = &packed.packed[(f * vertexCount + w) * 3];
                double squared = 0, steps = 0;
                for (int a = 0; a < 3; ++a) {
                    const double d = double(decodeCoordinate(b[a], out.scale[a], out.translate[a])) - p[3 * w + size_t(a)];
                    squared += d * d;
                    steps = std::max(steps, std::fabs(d) * perStep[a]);
                }
                const double distance = std::sqrt(squared);
                report.largestError = std::max(report.largestError, distance);
                report.largestErrorSteps = std::max(report.largestErrorSteps, steps);
                errorSum += distance;
                stepSum += steps;
                const double* n = &normals[3 * w];
                const int normal = nearestNormalIndex(n, lastEntry[w]);
                lastEntry[w] = uint8_t(normal);
                const float* e = modelNormals[normal];
                const double dot = n[0] * e[0] + n[1] * e[1] + n[2] * e[2];
                if (dot < worstNormal.dot) worstNormal = {dot, {n[0], n[1], n[2]}, normal};
                out.vertices[w] = {b[0], b[1], b[2], uint8_t(normal)};
            }
            model.frames.push_back(std::move(out));
        }
        report.largestNormalErrorDegrees = degreesBetween(worstNormal.normal, modelNormals[worstNormal.entry]);
        report.largestError /= factor;  // in the source's units
        report.meanError = errorSum / factor / double(frames * vertexCount);
        report.meanErrorSteps = stepSum / double(frames * vertexCount);
        result.animations.push_back(report);
    }

    // The limits engines have, warned or, strictly, refused.
    const Md2Header header = md2Layout(model);
    if (header.offsetEnd > MODEL_MAX_FILE_SIZE || header.offsetEnd < 0)
        return failure("a file of " + std::to_string(header.offsetEnd) + " bytes, more than the " +
                       std::to_string(MODEL_MAX_FILE_SIZE) + " a model file may have");
    Model counts{};
    counts.numVertices = header.numVertices;
    counts.numTriangles = header.numTriangles;
    counts.numFrames = header.numFrames;
    counts.numSkins = header.numSkins;
    counts.skinHeight = header.skinHeight;
    for (const std::string& line : modelEngineLimits(counts)) {
        if (options.strict) return failure(line + " (refused as strict)");
        result.warnings.push_back(line);
    }

    // The skin, onto the palette given or one made for it.
    if (makeSkin) {
        const std::vector<uint8_t> rgba = givenPicture ? given.rgba : composeSkin(mesh.pictures, layout);
        PaletteMapping mapping;
        mapping.dither = options.dither;
        std::vector<uint8_t> palette = options.palette;
        if (palette.empty()) {
            palette = makePalette(rgba.data(), rgba.size() / 4);
        } else {
            mapping.entries = 255;
            mapping.transparentIndex = 255;
        }
        const std::vector<uint8_t> indices = mapToPalette(rgba.data(), layout.width, layout.height, palette, mapping);
        result.skin = encodePcx(layout.width, layout.height, indices, palette);
    }

    // What we made, read back as the viewer and `info` would read it.
    result.model = md2Bytes(model, header);
    const ModelCheck check = modelCheck(result.model.data(), result.model.size());
    Model* loaded = modelLoadFromBytes(result.model.data(), result.model.size());
    const bool readable = loaded != nullptr;
    modelFree(loaded);
    if (!readable || !check.refusal.empty() || check.problems.size() != modelEngineLimits(check.header).size())
        return failure("the model made does not read back cleanly (a fault of ours): " +
                       (check.refusal.empty() && !check.problems.empty() ? check.problems[0] : check.refusal));
    result.commandWords = int(model.commands.size());
    result.triangleListWords = int(triangleCount * 10 + 1);
    result.ok = true;
    return result;
}

}  // namespace

Md2MakeResult makeMd2(const SourceMesh& mesh, const Md2MakeOptions& options) {
    try {
        return make(mesh, options);
    } catch (const std::bad_alloc&) {
        return failure("not enough memory to make the model");
    }
}
