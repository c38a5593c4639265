// The glTF reader. tinygltf parses the file, its buffers and pictures
// fetched only through the caller's SourceFiles (or data: URIs); everything
// this reader then uses is checked here before it is read: indices against
// their arrays, accessors against their views and buffers, every number for
// being finite, the node tree for cycles and shared nodes, the sizes against
// the bounds of model/import.h. The scene is then evaluated at each sample
// time: node poses from the animation's channels, world matrices, morph
// targets, skins.
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <type_traits>

#include "common/bytes.h"
#include "model/gltf.h"
#include "model/import_files.h"

namespace {

// What the JSON may hold before tinygltf is given it. Its parser keeps
// extras as nested values, one call deeper per level, so deep nesting would
// run the stack out; every object becomes a record of a few hundred bytes,
// and tinygltf takes integers as offsets into buffers unchecked, so a
// number past 10^15 (no real offset or count is near) is refused too.
constexpr int kMaxJsonDepth = 64;
constexpr int64_t kMaxJsonObjects = int64_t(1) << 17;
constexpr int64_t kMaxJsonValues = int64_t(1) << 20;
constexpr int kMaxIntegerDigits = 15;
// Work of sampling: frames x (vertices with their influences and targets,
// channels, nodes). A second or two at most.
constexpr double kMaxSamplingWork = double(int64_t(1) << 30);
constexpr double kKeySnap = 0.001;  // a sample this close to a key is taken at the key

// ---------------------------------------------------------------- matrices

using Matrix = std::array<double, 16>;  // column-major, as glTF stores them

Matrix identityMatrix() {
    Matrix m{};
    m[0] = m[5] = m[10] = m[15] = 1;
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[size_t(k * 4 + r)] * b[size_t(c * 4 + k)];
            m[size_t(c * 4 + r)] = sum;
        }
    return m;
}

// T * R * S.
Matrix trsMatrix(const double t[3], const double q[4], const double s[3]) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    Matrix m{};
    m[0] = (1 - 2 * (y * y + z * z)) * s[0];
    m[1] = 2 * (x * y + z * w) * s[0];
    m[2] = 2 * (x * z - y * w) * s[0];
    m[4] = 2 * (x * y - z * w) * s[1];
    m[5] = (1 - 2 * (x * x + z * z)) * s[1];
    m[6] = 2 * (y * z + x * w) * s[1];
    m[8] = 2 * (x * z + y * w) * s[2];
    m[9] = 2 * (y * z - x * w) * s[2];
    m[10] = (1 - 2 * (x * x + y * y)) * s[2];
    m[12] = t[0];
    m[13] = t[1];
    m[14] = t[2];
    m[15] = 1;
    return m;
}

double determinant3(const Matrix& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

// The matrix normals go through: the inverse transpose of the upper 3 x 3,
// up to a positive factor (its cofactors, turned round when the determinant
// is negative). Column-major 3 x 3.
std::array<double, 9> normalMatrix(const Matrix& m) {
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    std::array<double, 9> n = {e * i - f * h, -(b * i - c * h), b * f - c * e, -(d * i - f * g), a * i - c * g,
                               -(a * f - c * d), d * h - e * g, -(a * h - b * g), a * e - b * d};
    // n holds the cofactors row by row of the transpose: as column-major it is
    // the inverse transpose times the determinant.
    if (determinant3(m) < 0)
        for (double& v : n) v = -v;
    return n;
}

// p may be out.
void transformPoint(const Matrix& m, const float p[3], float out[3]) {
    const double x = p[0], y = p[1], z = p[2];
    for (int r = 0; r < 3; ++r) out[r] = float(m[size_t(r)] * x + m[size_t(4 + r)] * y + m[size_t(8 + r)] * z + m[size_t(12 + r)]);
}

// A normal made unit length (in floats: it is stored as floats anyway).
void unitNormal(const float r[3], float out[3]) {
    const float squared = r[0] * r[0] + r[1] * r[1] + r[2] * r[2];
    if (std::fabs(squared - 1) < 1e-6f) {  // unit already, as most stored normals are
        out[0] = r[0], out[1] = r[1], out[2] = r[2];
        return;
    }
    if (!(squared > 1e-30f) || !std::isfinite(squared)) {
        out[0] = 0, out[1] = 1, out[2] = 0;  // a degenerate normal: up, rather than none
        return;
    }
    const float inverse = 1.0f / std::sqrt(squared);
    for (int k = 0; k < 3; ++k) out[k] = r[k] * inverse;
}

// Through n; null n for a matrix that leaves directions alone (no turn, one
// scale). v may be out.
void transformNormal(const std::array<double, 9>* n, const float v[3], float out[3]) {
    if (!n) {
        unitNormal(v, out);
        return;
    }
    float r[3];
    for (int k = 0; k < 3; ++k) r[k] = float((*n)[size_t(k)] * v[0] + (*n)[size_t(3 + k)] * v[1] + (*n)[size_t(6 + k)] * v[2]);
    unitNormal(r, out);
}

// Whether a normal matrix is a positive multiple of the identity.
bool keepsDirections(const std::array<double, 9>& n) {
    return n[0] > 0 && n[4] == n[0] && n[8] == n[0] && n[1] == 0 && n[2] == 0 && n[3] == 0 && n[5] == 0 && n[6] == 0 &&
           n[7] == 0;
}

// ------------------------------------------------------------- JSON shape

std::string jsonShapeRefusal(const uint8_t* text, size_t size) {
    int depth = 0;
    int64_t objects = 0, values = 0;
    bool inString = false, inNumber = false, pastPoint = false;
    int digits = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c >= '0' && c <= '9') {
            if (!inNumber) inNumber = true, pastPoint = false, digits = 0;
            if (!pastPoint && ++digits > kMaxIntegerDigits) return "the glTF JSON holds a number past 10^15";
            continue;
        }
        if (inNumber && (c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) {
            pastPoint = true;
            continue;
        }
        inNumber = false;
        switch (c) {
        case '"':
            inString = true;
            break;
        case '{':
            if (++objects > kMaxJsonObjects) return "the glTF JSON holds more objects than a model needs";
            [[fallthrough]];
        case '[':
            if (++depth > kMaxJsonDepth) return "the glTF JSON nests deeper than " + std::to_string(kMaxJsonDepth) + " levels";
            break;
        case '}':
        case ']':
            --depth;
            break;
        case ',':
            if (++values > kMaxJsonValues) return "the glTF JSON holds more values than a model needs";
            break;
        default:
            break;
        }
    }
    return "";
}

// ------------------------------------------------ files through the caller

// What tinygltf's file callbacks see: names checked, then asked of the
// caller once each.
struct FileContext {
    const SourceFiles* files = nullptr;
    std::map<std::string, std::vector<uint8_t>> fetched;
    std::map<std::string, std::string> failed;  // name: why it can't be had
    std::string refusal;                        // the first name refused outright
};

bool fileExists(const std::string& path, void* user) {
    FileContext& context = *static_cast<FileContext*>(user);
    // After a refusal nothing more is asked: tinygltf tries each name again
    // as "./" + name, which would make "/etc/x" the relative "etc/x".
    if (!context.refusal.empty()) return false;
    std::string name, error;
    if (!sourceFileName(path, name, error)) {
        if (context.refusal.empty()) context.refusal = error;
        return false;
    }
    if (context.fetched.count(name)) return true;
    if (context.failed.count(name)) return false;
    std::vector<uint8_t> bytes;
    if (!fetchSourceFile(*context.files, name, bytes, error)) {
        context.failed[name] = error;
        return false;
    }
    context.fetched[name] = std::move(bytes);
    return true;
}

std::string expandFilePath(const std::string& path, void*) { return path; }

bool readWholeFile(std::vector<unsigned char>* out, std::string* error, const std::string& path, void* user) {
    FileContext& context = *static_cast<FileContext*>(user);
    std::string name, refusal;
    if (!sourceFileName(path, name, refusal) || !context.fetched.count(name)) {
        if (error) *error = "not fetched";
        return false;
    }
    // Handed over whole: each file is read once.
    *out = std::move(context.fetched[name]);
    context.fetched[name].clear();
    return true;
}

bool writeWholeFile(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }

// Pictures are decoded later, only those a material uses: here the bytes of
// a picture from a file or data: URI are kept as they are. A picture in a
// buffer view is read from the view once its bounds are checked (tinygltf
// hands over its bytes without checking them).
bool keepPictureBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                      const unsigned char* bytes, int size, void*) {
    if (image->bufferView == -1 && bytes && size > 0) image->image.assign(bytes, bytes + size);
    return true;
}

// A file URI as tinygltf decodes it before asking for the file ("%20" a
// space; '+' too, as in a query).
std::string decodedUri(const std::string& uri) {
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
    };
    std::string text;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '+') {
            text += ' ';
        } else if (uri[i] == '%' && i + 2 < uri.size()) {
            text += char(hex(uri[i + 1]) << 4 | hex(uri[i + 2]));
            i += 2;
        } else {
            text += uri[i];
        }
    }
    return text;
}

// A number for messages, as short as it goes ("10", "2.5").
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// tinygltf's complaint, one line.
std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '.')) line.pop_back();
    return line;
}

// ------------------------------------------------------------ the reader

enum class Path { Translation, Rotation, Scale, Weights };
enum class Interpolation { Step, Linear, CubicSpline };

struct Sampler {
    std::vector<float> times;
    std::vector<float> values;  // width a key (three times that for CUBICSPLINE: in-tangent, value, out-tangent)
    Interpolation interpolation = Interpolation::Linear;
    size_t width = 0;
};

struct Channel {
    int node = 0;
    Path path = Path::Translation;
    size_t sampler = 0;  // into Animation::samplers
};

struct Animation {
    std::string name;
    std::vector<Sampler> samplers;
    std::vector<Channel> channels;
    std::vector<double> keys;  // every key time, sorted, once each
};

// A node's local transform and morph weights at one moment.
struct Pose {
    bool hasMatrix = false;
    Matrix matrix = identityMatrix();
    double translation[3] = {0, 0, 0};
    double rotation[4] = {0, 0, 0, 1};
    double scale[3] = {1, 1, 1};
    std::vector<double> weights;

    Matrix local() const { return hasMatrix ? matrix : trsMatrix(translation, rotation, scale); }
};

// A morph target's displacement of one attribute, 3 numbers a kept vertex:
// decoded (a sparse accessor), or read where they lie in the buffer when a
// frame weighs the target (the common case, and the large one: a model's
// every key frame a target), vertex v's at start + element(v) * stride.
struct Displacements {
    std::vector<float> values;
    const uint8_t* start = nullptr;
    size_t stride = 0;
    int componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    bool normalized = false;
};

// One primitive of one node, its kept vertices in the source's own space.
struct Instance {
    int node = 0;
    int skin = -1;  // a skinned instance ignores its node's transform
    size_t first = 0, count = 0;
    std::vector<float> positions, normals;                            // 3 a vertex
    std::vector<Displacements> targetPositions, targetNormals;        // per target
    size_t influences = 0;                                            // joints a vertex
    std::vector<uint32_t> joints;                                     // into the skin's joints
    std::vector<float> weights;                                       // normalised
    const std::vector<std::string>* targetNames = nullptr;
    std::vector<uint32_t> kept;  // each vertex's element in the primitive's accessors; empty: vertex v is element v

    size_t element(size_t v) const { return kept.empty() ? v : kept[v]; }
};

struct Skin {
    std::vector<int> joints;
    std::vector<Matrix> inverseBind;
};

// A run of elements in a buffer: where the first starts, how far apart they are.
struct ElementRun {
    const uint8_t* start = nullptr;  // null: no bytes (the elements are zero)
    size_t stride = 0;
};

// The bytes of `count` elements of elementSize at byteOffset into view
// `viewIndex`, or why not.
std::string viewRun(const tinygltf::Model& gltf, int viewIndex, size_t byteOffset, size_t count,
                    size_t elementSize, bool strided, ElementRun& run) {
    if (viewIndex < 0 || size_t(viewIndex) >= gltf.bufferViews.size())
        return "names buffer view " + std::to_string(viewIndex) + ", which the file does not have";
    const tinygltf::BufferView& view = gltf.bufferViews[size_t(viewIndex)];
    if (view.buffer < 0 || size_t(view.buffer) >= gltf.buffers.size())
        return "reads buffer view " + std::to_string(viewIndex) + ", whose buffer the file does not have";
    const std::vector<unsigned char>& buffer = gltf.buffers[size_t(view.buffer)].data;
    if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset)
        return "reads buffer view " + std::to_string(viewIndex) + ", which reaches past its buffer";
    const size_t stride = strided && view.byteStride ? view.byteStride : elementSize;
    if (stride < elementSize)
        return "reads buffer view " + std::to_string(viewIndex) + ", whose byteStride is less than an element";
    if (count > 0) {
        const size_t length = view.byteLength;
        if (byteOffset > length || elementSize > length - byteOffset ||
            (count - 1) > (length - byteOffset - elementSize) / stride)
            return "reaches past the end of buffer view " + std::to_string(viewIndex);
    }
    run.start = buffer.data() + view.byteOffset + byteOffset;
    run.stride = stride;
    return "";
}

class GltfReader {
public:
    GltfReader(const tinygltf::Model& gltf, const std::map<std::string, std::string>& failedFiles,
               const SourceReadOptions& options, SourceMesh& mesh)
        : gltf_(gltf), failedFiles_(failedFiles), options_(options), mesh_(mesh) {}

    bool read();
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& message) {
        if (error_.empty()) error_ = message;
        return false;
    }

    // Accessors.
    bool accessorLayout(int index, const char* what, int components, size_t& count, ElementRun& run);
    template <typename T>
    bool readAccessor(int index, const char* what, int components, std::vector<T>& out,
                      const std::vector<uint32_t>* only = nullptr);
    bool readIndices(int index, size_t vertexCount, std::vector<uint32_t>& out);
    bool isZeroAccessor(int index) const;

    // The scene.
    bool checkExtensions();
    bool readNodes();
    bool readSkins();
    bool collectInstances();
    bool addPrimitive(int nodeIndex, const tinygltf::Mesh& gltfMesh, const tinygltf::Primitive& primitive,
                      size_t primitiveNumber, bool& anyNormals, bool& allNormals, bool& anyTexCoords);
    bool primitiveTexCoords(const tinygltf::Primitive& primitive, const std::vector<uint32_t>& kept,
                            std::vector<float>& texCoords, int32_t& picture);
    bool pictureOf(int imageIndex, int32_t& picture);

    // The animations.
    bool readAnimations(std::vector<Animation>& animations);
    bool readSampler(const tinygltf::Animation& animation, int index, Path path, size_t width, Sampler& sampler);
    void applyChannels(const Animation& animation, double time, std::vector<Pose>& pose) const;
    bool evaluate(const std::vector<Pose>& pose, SourceFrame& frame);
    std::string frameName(const std::vector<Pose>& pose) const;
    bool sample(const std::vector<Animation>& animations);

    const tinygltf::Model& gltf_;
    const std::map<std::string, std::string>& failedFiles_;  // name: why the caller could not give it
    const SourceReadOptions& options_;
    SourceMesh& mesh_;
    std::string error_;

    std::vector<Pose> rest_;
    std::vector<int> parent_;
    std::vector<int> order_;  // every node, each after its parent
    std::vector<Skin> skins_;
    std::vector<Instance> instances_;
    std::vector<std::vector<std::string>> targetNames_;  // per mesh
    std::map<int, int32_t> pictureOfImage_;
    std::vector<Matrix> world_, jointMatrices_;  // scratch of evaluate
    bool keepNormals_ = false;
};

size_t componentSize(int componentType) {
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return 4;
    default:
        return 0;
    }
}

int componentsOf(int type) {
    switch (type) {
    case TINYGLTF_TYPE_SCALAR:
        return 1;
    case TINYGLTF_TYPE_VEC2:
        return 2;
    case TINYGLTF_TYPE_VEC3:
        return 3;
    case TINYGLTF_TYPE_VEC4:
        return 4;
    case TINYGLTF_TYPE_MAT4:
        return 16;
    default:
        return 0;  // MAT2 and MAT3 are not used by anything read here
    }
}

// One component as the glTF rules read it: normalised integers into -1..1 or 0..1.
double componentValue(const uint8_t* p, int componentType, bool normalized) {
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        const double v = int8_t(p[0]);
        return normalized ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalized ? p[0] / 255.0 : p[0];
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        const double v = littleEndianI16(p);
        return normalized ? std::max(v / 32767.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return normalized ? littleEndianU16(p) / 65535.0 : littleEndianU16(p);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        return littleEndianU32(p);
    default:
        return littleEndianF32(p);
    }
}

bool GltfReader::accessorLayout(int index, const char* what, int components, size_t& count, ElementRun& run) {
    const std::string name = std::string(what) + " (accessor " + std::to_string(index) + ")";
    if (index < 0 || size_t(index) >= gltf_.accessors.size())
        return fail(std::string(what) + " names accessor " + std::to_string(index) + ", which the file does not have");
    const tinygltf::Accessor& accessor = gltf_.accessors[size_t(index)];
    if (componentsOf(accessor.type) != components || componentSize(accessor.componentType) == 0)
        return fail(name + " is not of the type its use needs");
    count = accessor.count;
    // Elements without bytes behind them are zero (and maybe sparse): a
    // count no buffer backs is held to what a model could use.
    if (accessor.bufferView < 0 && count > size_t(SOURCE_MAX_VERTEX_FRAMES))
        return fail(name + " has " + std::to_string(count) + " elements, more than a model holds");
    run = ElementRun();
    if (accessor.bufferView >= 0) {
        const size_t elementSize = componentSize(accessor.componentType) * size_t(components);
        const std::string fault = viewRun(gltf_, accessor.bufferView, accessor.byteOffset, count, elementSize, true, run);
        if (!fault.empty()) return fail(name + " " + fault);
    }
    return true;
}

// The accessor's elements, or (only given) just those, in that order.
template <typename T>
bool GltfReader::readAccessor(int index, const char* what, int components, std::vector<T>& out,
                              const std::vector<uint32_t>* only) {
    size_t count = 0;
    ElementRun run;
    if (!accessorLayout(index, what, components, count, run)) return false;
    const tinygltf::Accessor& accessor = gltf_.accessors[size_t(index)];
    const std::string name = std::string(what) + " (accessor " + std::to_string(index) + ")";
    const int type = accessor.componentType;
    if (std::is_integral<T>::value &&
        (type == TINYGLTF_COMPONENT_TYPE_FLOAT || type == TINYGLTF_COMPONENT_TYPE_BYTE ||
         type == TINYGLTF_COMPONENT_TYPE_SHORT || accessor.normalized))
        return fail(name + " is not of unsigned integers");
    const size_t size = componentSize(type);
    const size_t elementSize = size * size_t(components);
    if (only && !only->empty() && only->back() >= count)
        return fail(name + " has fewer elements than the positions");
    if (only && only->size() == count) only = nullptr;  // every element: they are 0, 1, 2...
    const bool sparse = accessor.sparse.isSparse;
    const auto element = [&](size_t i) { return only && !sparse ? size_t((*only)[i]) : i; };
    const size_t wanted = only && !sparse ? only->size() : count;
    out.assign(wanted * size_t(components), T(0));
    const bool normalized = accessor.normalized;
    const auto decode = [&](const uint8_t* bytes, T* into) {
        for (int c = 0; c < components; ++c) into[c] = T(componentValue(bytes + size_t(c) * size, type, normalized));
    };
    if (run.start) {
        if (type == TINYGLTF_COMPONENT_TYPE_FLOAT) {
            // Floats, the common case, in a loop of their own.
            for (size_t i = 0; i < wanted; ++i) {
                const uint8_t* bytes = run.start + element(i) * run.stride;
                for (int c = 0; c < components; ++c) out[i * size_t(components) + size_t(c)] = T(littleEndianF32(bytes + 4 * c));
            }
        } else {
            for (size_t i = 0; i < wanted; ++i) decode(run.start + element(i) * run.stride, &out[i * size_t(components)]);
        }
    }
    if (sparse) {
        const auto& sparse = accessor.sparse;
        if (sparse.count <= 0 || size_t(sparse.count) > count || sparse.indices.byteOffset < 0 ||
            sparse.values.byteOffset < 0)
            return fail(name + " has a sparse part of the wrong size");
        const int indexType = sparse.indices.componentType;
        const size_t indexSize = componentSize(indexType);
        if (indexSize == 0 || indexType == TINYGLTF_COMPONENT_TYPE_FLOAT || indexType == TINYGLTF_COMPONENT_TYPE_BYTE ||
            indexType == TINYGLTF_COMPONENT_TYPE_SHORT)
            return fail(name + " has sparse indices of a type that is not an unsigned integer");
        ElementRun indices, values;
        std::string fault = viewRun(gltf_, sparse.indices.bufferView, size_t(sparse.indices.byteOffset),
                                    size_t(sparse.count), indexSize, false, indices);
        if (fault.empty())
            fault = viewRun(gltf_, sparse.values.bufferView, size_t(sparse.values.byteOffset), size_t(sparse.count),
                            elementSize, false, values);
        if (!fault.empty()) return fail(name + "'s sparse part " + fault);
        for (size_t i = 0; i < size_t(sparse.count); ++i) {
            const double at = componentValue(indices.start + i * indexSize, indexType, false);
            if (at >= double(count)) return fail(name + " has a sparse index past its elements");
            decode(values.start + i * elementSize, &out[size_t(at) * size_t(components)]);
        }
    }
    if (sparse && only) {
        std::vector<T> all = std::move(out);
        out.resize(only->size() * size_t(components));
        for (size_t i = 0; i < only->size(); ++i)
            std::copy_n(&all[size_t((*only)[i]) * size_t(components)], components, &out[i * size_t(components)]);
    }
    if (type == TINYGLTF_COMPONENT_TYPE_FLOAT) {
        bool finite = true;
        for (const T& value : out) finite &= std::isfinite(value);
        if (!finite) return fail(name + " holds a number that is not finite (NaN or infinite)");
    }
    return true;
}

bool GltfReader::isZeroAccessor(int index) const {
    if (index < 0 || size_t(index) >= gltf_.accessors.size()) return false;
    const tinygltf::Accessor& accessor = gltf_.accessors[size_t(index)];
    return accessor.bufferView < 0 && !accessor.sparse.isSparse;
}

bool GltfReader::readIndices(int index, size_t vertexCount, std::vector<uint32_t>& out) {
    if (index >= 0 && size_t(index) < gltf_.accessors.size()) {
        const int type = gltf_.accessors[size_t(index)].componentType;
        if (type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
            type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
            return fail("the indices (accessor " + std::to_string(index) + ") are not unsigned integers");
    }
    if (!readAccessor(index, "the indices", 1, out)) return false;
    for (uint32_t i : out)
        if (i >= vertexCount)
            return fail("an index (accessor " + std::to_string(index) + ") is past the primitive's " +
                        std::to_string(vertexCount) + " vertices");
    return true;
}

bool GltfReader::checkExtensions() {
    for (const std::string& extension : gltf_.extensionsRequired) {
        if (extension == "KHR_mesh_quantization" || extension == "KHR_texture_transform") continue;
        if (extension == "KHR_draco_mesh_compression")
            return fail("the file's meshes are compressed with Draco (KHR_draco_mesh_compression), which is not read");
        if (extension == "EXT_meshopt_compression" || extension == "KHR_meshopt_compression")
            return fail("the file's buffers are compressed with meshoptimizer (" + extension + "), which is not read");
        return fail("the file requires the extension " + quotedName(extension) + ", which is not read");
    }
    return true;
}

bool finiteAll(const std::vector<double>& values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

bool GltfReader::readNodes() {
    const size_t count = gltf_.nodes.size();
    rest_.assign(count, Pose());
    parent_.assign(count, -1);
    for (size_t n = 0; n < count; ++n) {
        const tinygltf::Node& node = gltf_.nodes[n];
        const std::string name = "node " + std::to_string(n);
        Pose& pose = rest_[n];
        if (!finiteAll(node.matrix) || !finiteAll(node.translation) || !finiteAll(node.rotation) ||
            !finiteAll(node.scale) || !finiteAll(node.weights))
            return fail(name + " holds a number that is not finite (NaN or infinite)");
        if ((!node.matrix.empty() && node.matrix.size() != 16) || (!node.translation.empty() && node.translation.size() != 3) ||
            (!node.rotation.empty() && node.rotation.size() != 4) || (!node.scale.empty() && node.scale.size() != 3))
            return fail(name + " has a transform of the wrong size");
        if (node.matrix.size() == 16) {
            pose.hasMatrix = true;
            std::copy(node.matrix.begin(), node.matrix.end(), pose.matrix.begin());
        }
        if (node.translation.size() == 3) std::copy(node.translation.begin(), node.translation.end(), pose.translation);
        if (node.scale.size() == 3) std::copy(node.scale.begin(), node.scale.end(), pose.scale);
        if (node.rotation.size() == 4) {
            const double length = std::sqrt(node.rotation[0] * node.rotation[0] + node.rotation[1] * node.rotation[1] +
                                            node.rotation[2] * node.rotation[2] + node.rotation[3] * node.rotation[3]);
            if (!(length > 1e-12)) return fail(name + "'s rotation is not a rotation (zero)");
            for (int k = 0; k < 4; ++k) pose.rotation[k] = node.rotation[size_t(k)] / length;
        }
        if (node.mesh < -1 || node.mesh >= int(gltf_.meshes.size()))
            return fail(name + " names mesh " + std::to_string(node.mesh) + ", which the file does not have");
        if (node.skin < -1 || node.skin >= int(gltf_.skins.size()))
            return fail(name + " names skin " + std::to_string(node.skin) + ", which the file does not have");
        // Morph weights: the node's, else its mesh's, else zero.
        if (node.mesh >= 0) {
            const tinygltf::Mesh& mesh = gltf_.meshes[size_t(node.mesh)];
            const size_t targets = mesh.primitives.empty() ? 0 : mesh.primitives[0].targets.size();
            const std::vector<double>& weights = !node.weights.empty() ? node.weights : mesh.weights;
            if (!finiteAll(mesh.weights)) return fail("mesh " + std::to_string(node.mesh) + "'s weights are not finite");
            if (!weights.empty() && weights.size() != targets)
                return fail(name + "'s morph weights do not match its mesh's " + std::to_string(targets) + " targets");
            pose.weights = weights.empty() ? std::vector<double>(targets, 0.0) : weights;
        }
        for (int child : node.children) {
            if (child < 0 || size_t(child) >= count)
                return fail(name + " has child " + std::to_string(child) + ", which the file does not have");
            if (parent_[size_t(child)] != -1)
                return fail("node " + std::to_string(child) + " is reached twice (a child of node " +
                            std::to_string(parent_[size_t(child)]) + " and of node " + std::to_string(n) + ")");
            parent_[size_t(child)] = int(n);
        }
    }
    // Parents before children, from the roots; a node no root reaches lies
    // on a cycle (each node has one parent at most).
    order_.clear();
    order_.reserve(count);
    for (size_t n = 0; n < count; ++n)
        if (parent_[n] == -1) order_.push_back(int(n));
    for (size_t next = 0; next < order_.size(); ++next)
        for (int child : gltf_.nodes[size_t(order_[next])].children) order_.push_back(child);
    if (order_.size() != count) {
        std::vector<bool> reached(count, false);
        for (int n : order_) reached[size_t(n)] = true;
        const size_t first = size_t(std::find(reached.begin(), reached.end(), false) - reached.begin());
        return fail("the node tree has a cycle (through node " + std::to_string(first) + ")");
    }
    return true;
}

bool GltfReader::readSkins() {
    skins_.assign(gltf_.skins.size(), Skin());
    for (size_t s = 0; s < gltf_.skins.size(); ++s) {
        const tinygltf::Skin& gltfSkin = gltf_.skins[s];
        Skin& skin = skins_[s];
        const std::string name = "skin " + std::to_string(s);
        for (int joint : gltfSkin.joints)
            if (joint < 0 || size_t(joint) >= gltf_.nodes.size())
                return fail(name + " has joint " + std::to_string(joint) + ", which the file does not have");
        skin.joints = gltfSkin.joints;
        skin.inverseBind.assign(skin.joints.size(), identityMatrix());
        if (gltfSkin.inverseBindMatrices >= 0) {
            std::vector<double> matrices;
            if (!readAccessor(gltfSkin.inverseBindMatrices, "the inverse bind matrices", 16, matrices)) return false;
            if (matrices.size() < skin.joints.size() * 16)
                return fail(name + " has fewer inverse bind matrices than joints");
            for (size_t j = 0; j < skin.joints.size(); ++j)
                std::copy(matrices.begin() + ptrdiff_t(j * 16), matrices.begin() + ptrdiff_t(j * 16 + 16),
                          skin.inverseBind[j].begin());
        }
    }
    return true;
}

bool GltfReader::pictureOf(int imageIndex, int32_t& picture) {
    picture = -1;
    if (imageIndex < 0) return true;
    if (size_t(imageIndex) >= gltf_.images.size())
        return fail("a texture names image " + std::to_string(imageIndex) + ", which the file does not have");
    const auto known = pictureOfImage_.find(imageIndex);
    if (known != pictureOfImage_.end()) {
        picture = known->second;
        return true;
    }
    const tinygltf::Image& image = gltf_.images[size_t(imageIndex)];
    std::string name = "image " + std::to_string(imageIndex);
    const uint8_t* bytes = image.image.data();
    size_t size = image.image.size();
    if (image.bufferView >= 0) {
        ElementRun run;
        const size_t length = size_t(image.bufferView) < gltf_.bufferViews.size()
                                  ? gltf_.bufferViews[size_t(image.bufferView)].byteLength
                                  : 0;
        const std::string fault = viewRun(gltf_, image.bufferView, 0, length > 0 ? 1 : 0, length, false, run);
        if (!fault.empty()) return fail(name + " " + fault);
        bytes = run.start;
        size = length;
    } else if (!image.uri.empty()) {
        name = decodedUri(image.uri);
        if (size == 0) {
            std::string file, error;
            const auto failed = sourceFileName(name, file, error) ? failedFiles_.find(file) : failedFiles_.end();
            return fail(failed != failedFiles_.end() ? failed->second
                                                     : "the picture " + quotedName(image.uri) + " could not be read");
        }
    }
    SourcePicture decoded;
    std::string error;
    if (!decodeSourcePicture(bytes, size, name, decoded, error)) return fail(error);
    picture = int32_t(mesh_.pictures.size());
    mesh_.pictures.push_back(std::move(decoded));
    pictureOfImage_[imageIndex] = picture;
    return true;
}

// The texture transform of the base colour picture: offset, rotation, scale.
struct TextureTransform {
    double offset[2] = {0, 0};
    double rotation = 0;
    double scale[2] = {1, 1};
    int texCoord = -1;  // the set it names instead, or -1
    bool identity() const { return offset[0] == 0 && offset[1] == 0 && rotation == 0 && scale[0] == 1 && scale[1] == 1; }
};

bool readPair(const tinygltf::Value& value, const char* key, double out[2]) {
    if (!value.Has(key)) return true;
    const tinygltf::Value& pair = value.Get(key);
    if (!pair.IsArray() || pair.ArrayLen() != 2) return false;
    for (int k = 0; k < 2; ++k) {
        if (!pair.Get(k).IsNumber()) return false;
        out[k] = pair.Get(k).GetNumberAsDouble();
        if (!std::isfinite(out[k])) return false;
    }
    return true;
}

bool readTextureTransform(const tinygltf::ExtensionMap& extensions, TextureTransform& transform) {
    const auto found = extensions.find("KHR_texture_transform");
    if (found == extensions.end()) return true;
    const tinygltf::Value& value = found->second;
    if (!value.IsObject()) return false;
    if (!readPair(value, "offset", transform.offset) || !readPair(value, "scale", transform.scale)) return false;
    if (value.Has("rotation")) {
        if (!value.Get("rotation").IsNumber()) return false;
        transform.rotation = value.Get("rotation").GetNumberAsDouble();
        if (!std::isfinite(transform.rotation)) return false;
    }
    if (value.Has("texCoord")) {
        if (!value.Get("texCoord").IsInt()) return false;
        transform.texCoord = value.Get("texCoord").GetNumberAsInt();
        if (transform.texCoord < 0) return false;
    }
    return true;
}

bool GltfReader::primitiveTexCoords(const tinygltf::Primitive& primitive, const std::vector<uint32_t>& kept, std::vector<float>& texCoords,
                                    int32_t& picture) {
    picture = -1;
    int set = 0;
    TextureTransform transform;
    if (primitive.material >= 0) {
        if (size_t(primitive.material) >= gltf_.materials.size())
            return fail("a primitive names material " + std::to_string(primitive.material) + ", which the file does not have");
        const tinygltf::Material& material = gltf_.materials[size_t(primitive.material)];
        const tinygltf::PbrMetallicRoughness& pbr = material.pbrMetallicRoughness;
        std::vector<std::string> beyond;
        if (material.normalTexture.index >= 0) beyond.push_back("normal");
        if (material.occlusionTexture.index >= 0) beyond.push_back("occlusion");
        if (material.emissiveTexture.index >= 0) beyond.push_back("emissive");
        if (pbr.metallicRoughnessTexture.index >= 0) beyond.push_back("metallic-roughness");
        for (const std::string& kind : beyond) noteDropped(mesh_.dropped, "materials beyond the base colour: " + kind + " pictures");
        bool white = true;
        for (double c : pbr.baseColorFactor) white = white && c == 1;
        if (!white) noteDropped(mesh_.dropped, "materials beyond the base colour: base colour factors");
        const int textureIndex = pbr.baseColorTexture.index;
        if (textureIndex >= 0) {
            if (size_t(textureIndex) >= gltf_.textures.size())
                return fail("a material names texture " + std::to_string(textureIndex) + ", which the file does not have");
            set = pbr.baseColorTexture.texCoord;
            if (!readTextureTransform(pbr.baseColorTexture.extensions, transform))
                return fail("material " + std::to_string(primitive.material) + " has a texture transform we can't read");
            if (transform.texCoord >= 0) set = transform.texCoord;
            const int source = gltf_.textures[size_t(textureIndex)].source;
            if (source < 0)
                noteDropped(mesh_.dropped, "textures in formats of extensions (KTX2, WebP): no base colour picture");
            if (!pictureOf(source, picture)) return false;
        }
    }
    for (const auto& attribute : primitive.attributes)
        if (attribute.first.rfind("TEXCOORD_", 0) == 0 && attribute.first != "TEXCOORD_" + std::to_string(set))
            noteDropped(mesh_.dropped, "other texture coordinate sets (" + attribute.first + ")");
    const auto found = primitive.attributes.find("TEXCOORD_" + std::to_string(set));
    if (found == primitive.attributes.end()) {
        texCoords.assign(kept.size() * 2, 0.0f);
        return true;
    }
    if (!readAccessor(found->second, "the texture coordinates", 2, texCoords, &kept)) return false;
    if (transform.identity()) return true;
    const double c = std::cos(transform.rotation), s = std::sin(transform.rotation);
    for (size_t i = 0; i < kept.size(); ++i) {
        // Scaled, turned, then moved, as the extension defines it.
        const double su = texCoords[i * 2] * transform.scale[0], sv = texCoords[i * 2 + 1] * transform.scale[1];
        texCoords[i * 2] = float(c * su - s * sv + transform.offset[0]);
        texCoords[i * 2 + 1] = float(s * su + c * sv + transform.offset[1]);
    }
    return true;
}

// The triangles of a primitive as vertex index triples (strips and fans
// expanded); false for modes that draw no triangles.
bool triangleList(int mode, const std::vector<uint32_t>& indices, std::vector<uint32_t>& triangles) {
    triangles.clear();
    const size_t n = indices.size();
    if (mode == TINYGLTF_MODE_TRIANGLES) {
        triangles.assign(indices.begin(), indices.begin() + ptrdiff_t(n - n % 3));
    } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
        for (size_t i = 0; i + 2 < n; ++i) {
            // Every other triangle turned round, so all face one way.
            const bool odd = i % 2 == 1;
            triangles.insert(triangles.end(), {indices[i], indices[odd ? i + 2 : i + 1], indices[odd ? i + 1 : i + 2]});
        }
    } else if (mode == TINYGLTF_MODE_TRIANGLE_FAN) {
        for (size_t i = 1; i + 1 < n; ++i) triangles.insert(triangles.end(), {indices[0], indices[i], indices[i + 1]});
    } else {
        return false;
    }
    return true;
}

bool GltfReader::addPrimitive(int nodeIndex, const tinygltf::Mesh& gltfMesh, const tinygltf::Primitive& primitive,
                              size_t primitiveNumber, bool& anyNormals, bool& allNormals, bool& anyTexCoords) {
    const tinygltf::Node& node = gltf_.nodes[size_t(nodeIndex)];
    const std::string name = "mesh " + std::to_string(node.mesh) + " primitive " + std::to_string(primitiveNumber);
    if (primitive.extensions.count("KHR_draco_mesh_compression") &&
        (!primitive.attributes.count("POSITION") || isZeroAccessor(primitive.attributes.at("POSITION"))))
        return fail(name + " is compressed with Draco (KHR_draco_mesh_compression), which is not read");
    if (primitive.mode < TINYGLTF_MODE_POINTS || primitive.mode > TINYGLTF_MODE_TRIANGLE_FAN)
        return fail(name + " has mode " + std::to_string(primitive.mode) + ", which glTF does not have");
    if (primitive.mode < TINYGLTF_MODE_TRIANGLES) {
        noteDropped(mesh_.dropped, "points and lines (primitives that draw no triangles)");
        return true;
    }
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) return fail(name + " has no positions");
    size_t vertexCount = 0;
    ElementRun run;
    if (!accessorLayout(position->second, "the positions", 3, vertexCount, run)) return false;

    // The triangles, before any vertex is read: they decide what is kept.
    std::vector<uint32_t> indices;
    if (primitive.indices >= 0) {
        if (!readIndices(primitive.indices, vertexCount, indices)) return false;
    } else {
        if (vertexCount > size_t(SOURCE_MAX_TRIANGLES) * 3)
            return fail(name + " has more vertices than a model holds");
        indices.resize(vertexCount);
        for (size_t i = 0; i < vertexCount; ++i) indices[i] = uint32_t(i);
    }
    std::vector<uint32_t> triangles;
    triangleList(primitive.mode, indices, triangles);
    if (int64_t(mesh_.triangles.size() + triangles.size()) / 3 > SOURCE_MAX_TRIANGLES)
        return fail("the scene has more than " + std::to_string(SOURCE_MAX_TRIANGLES) + " triangles");

    // Only the vertices some triangle uses, in their order in the file.
    std::vector<int64_t> keptIndex(vertexCount, -1);
    size_t degenerate = 0;
    std::vector<uint32_t> usable;
    usable.reserve(triangles.size());
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const uint32_t a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
        if (a == b || b == c || a == c) {
            ++degenerate;
            continue;
        }
        usable.insert(usable.end(), {a, b, c});
        keptIndex[a] = keptIndex[b] = keptIndex[c] = 0;
    }
    if (degenerate > 0 && primitive.mode == TINYGLTF_MODE_TRIANGLES)
        noteDropped(mesh_.dropped, "triangles with two corners on one vertex (they draw nothing)");
    std::vector<uint32_t> kept;
    for (size_t v = 0; v < vertexCount; ++v)
        if (keptIndex[v] == 0) {
            keptIndex[v] = int64_t(kept.size());
            kept.push_back(uint32_t(v));
        }
    if (kept.empty()) return true;
    if (int64_t(mesh_.vertexCount + kept.size()) > SOURCE_MAX_VERTEX_FRAMES)
        return fail("the scene has more vertices than a model holds");

    Instance instance;
    instance.node = nodeIndex;
    instance.first = mesh_.vertexCount;
    instance.count = kept.size();
    if (!readAccessor(position->second, "the positions", 3, instance.positions, &kept)) return false;
    const auto normal = primitive.attributes.find("NORMAL");
    if (normal != primitive.attributes.end()) {
        if (!readAccessor(normal->second, "the normals", 3, instance.normals, &kept)) return false;
        anyNormals = true;
    } else {
        allNormals = false;
    }
    if (primitive.attributes.count("COLOR_0")) noteDropped(mesh_.dropped, "vertex colours");

    // Morph targets: each a displacement of every vertex.
    const size_t targets = primitive.targets.size();
    const size_t meshTargets = gltfMesh.primitives[0].targets.size();
    if (targets != meshTargets) return fail(name + " has another number of morph targets than the mesh's first primitive");
    instance.targetPositions.resize(targets);
    instance.targetNormals.resize(targets);
    for (size_t t = 0; t < targets; ++t) {
        for (const auto& attribute : primitive.targets[t]) {
            const bool isPosition = attribute.first == "POSITION", isNormal = attribute.first == "NORMAL";
            if (!isPosition && !isNormal) {
                noteDropped(mesh_.dropped, "morph targets' " + attribute.first + " displacements");
                continue;
            }
            if (isZeroAccessor(attribute.second)) continue;
            const char* what = isPosition ? "a morph target's positions" : "a morph target's normals";
            Displacements& displacements = isPosition ? instance.targetPositions[t] : instance.targetNormals[t];
            size_t count = 0;
            ElementRun target;
            if (!accessorLayout(attribute.second, what, 3, count, target)) return false;
            const tinygltf::Accessor& accessor = gltf_.accessors[size_t(attribute.second)];
            if (!accessor.sparse.isSparse && target.start) {
                if (count < vertexCount) return fail(name + "'s morph target " + std::to_string(t) + " has fewer elements than the positions");
                displacements.start = target.start;  // checked: every element lies in its view
                displacements.stride = target.stride;
                displacements.componentType = accessor.componentType;
                displacements.normalized = accessor.normalized;
            } else if (!readAccessor(attribute.second, what, 3, displacements.values, &kept)) {
                return false;
            }
        }
    }
    if (node.mesh >= 0 && !targetNames_[size_t(node.mesh)].empty() && targetNames_[size_t(node.mesh)].size() == targets)
        instance.targetNames = &targetNames_[size_t(node.mesh)];

    // A skin: joints and weights of every set, the weights normalised.
    if (node.skin >= 0 && primitive.attributes.count("JOINTS_0") && primitive.attributes.count("WEIGHTS_0")) {
        const Skin& skin = skins_[size_t(node.skin)];
        instance.skin = node.skin;
        size_t sets = 0;
        while (primitive.attributes.count("JOINTS_" + std::to_string(sets)) &&
               primitive.attributes.count("WEIGHTS_" + std::to_string(sets)))
            ++sets;
        instance.influences = sets * 4;
        instance.joints.assign(kept.size() * instance.influences, 0);
        instance.weights.assign(kept.size() * instance.influences, 0.0f);
        std::vector<uint32_t> joints;
        std::vector<float> weights;
        for (size_t set = 0; set < sets; ++set) {
            if (!readAccessor(primitive.attributes.at("JOINTS_" + std::to_string(set)), "the joints", 4, joints, &kept) ||
                !readAccessor(primitive.attributes.at("WEIGHTS_" + std::to_string(set)), "the joint weights", 4, weights, &kept))
                return false;
            for (size_t i = 0; i < kept.size(); ++i)
                for (size_t k = 0; k < 4; ++k) {
                    const size_t from = i * 4 + k, to = i * instance.influences + set * 4 + k;
                    const float weight = weights[from];
                    if (weight < 0) return fail(name + " has a negative joint weight");
                    if (weight == 0) continue;
                    if (joints[from] >= skin.joints.size())
                        return fail(name + " names joint " + std::to_string(joints[from]) + " of a skin of " +
                                    std::to_string(skin.joints.size()));
                    instance.joints[to] = joints[from];
                    instance.weights[to] = weight;
                }
        }
        for (size_t i = 0; i < kept.size(); ++i) {
            double sum = 0;
            for (size_t k = 0; k < instance.influences; ++k) sum += instance.weights[i * instance.influences + k];
            if (sum > 0)
                for (size_t k = 0; k < instance.influences; ++k) instance.weights[i * instance.influences + k] = float(instance.weights[i * instance.influences + k] / sum);
        }
    }

    // Texture coordinates and picture.
    std::vector<float> texCoords;
    int32_t picture = -1;
    if (!primitiveTexCoords(primitive, kept, texCoords, picture)) return false;
    bool hasSet = false;
    for (const auto& attribute : primitive.attributes) hasSet = hasSet || attribute.first.rfind("TEXCOORD_", 0) == 0;
    anyTexCoords = anyTexCoords || hasSet;
    mesh_.texCoords.insert(mesh_.texCoords.end(), texCoords.begin(), texCoords.end());

    // A mirroring transform turns the faces inside out unless the winding turns too.
    bool mirrored = false;
    if (instance.skin < 0) {
        Matrix m = rest_[size_t(nodeIndex)].local();
        for (int p = parent_[size_t(nodeIndex)]; p != -1; p = parent_[size_t(p)]) m = multiply(rest_[size_t(p)].local(), m);
        mirrored = determinant3(m) < 0;
    }
    for (size_t t = 0; t < usable.size(); t += 3) {
        const uint32_t a = uint32_t(instance.first + size_t(keptIndex[usable[t]]));
        const uint32_t b = uint32_t(instance.first + size_t(keptIndex[usable[t + 1]]));
        const uint32_t c = uint32_t(instance.first + size_t(keptIndex[usable[t + 2]]));
        mesh_.triangles.insert(mesh_.triangles.end(), {a, mirrored ? c : b, mirrored ? b : c});
        mesh_.trianglePicture.push_back(picture);
    }
    mesh_.vertexCount += kept.size();
    if (kept.size() != vertexCount) instance.kept = std::move(kept);
    instances_.push_back(std::move(instance));
    return true;
}

bool GltfReader::collectInstances() {
    // Morph target names where the file keeps them (the mesh's extras).
    targetNames_.assign(gltf_.meshes.size(), {});
    for (size_t m = 0; m < gltf_.meshes.size(); ++m) {
        const tinygltf::Value& extras = gltf_.meshes[m].extras;
        if (!extras.IsObject() || !extras.Has("targetNames") || !extras.Get("targetNames").IsArray()) continue;
        const tinygltf::Value& names = extras.Get("targetNames");
        std::vector<std::string> list;
        for (size_t i = 0; i < names.ArrayLen(); ++i) {
            if (!names.Get(int(i)).IsString()) {
                list.clear();
                break;
            }
            list.push_back(names.Get(int(i)).Get<std::string>());
        }
        targetNames_[m] = std::move(list);
    }

    // The scene's nodes and everything under them.
    std::vector<int> roots;
    if (!gltf_.scenes.empty()) {
        const size_t scene = gltf_.defaultScene >= 0 && size_t(gltf_.defaultScene) < gltf_.scenes.size()
                                 ? size_t(gltf_.defaultScene)
                                 : 0;
        for (int n : gltf_.scenes[scene].nodes) {
            if (n < 0 || size_t(n) >= gltf_.nodes.size())
                return fail("the scene names node " + std::to_string(n) + ", which the file does not have");
            if (parent_[size_t(n)] != -1)
                return fail("node " + std::to_string(n) + " is reached twice (in the scene and as a child of node " +
                            std::to_string(parent_[size_t(n)]) + ")");
            if (std::count(roots.begin(), roots.end(), n)) return fail("node " + std::to_string(n) + " is reached twice (the scene names it twice)");
            roots.push_back(n);
        }
    } else {
        for (size_t n = 0; n < gltf_.nodes.size(); ++n)
            if (parent_[n] == -1) roots.push_back(int(n));
    }
    bool anyNormals = false, allNormals = true, anyTexCoords = false;
    // In the document's order: each node, then what lies under it.
    std::vector<int> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        const tinygltf::Node& node = gltf_.nodes[size_t(n)];
        stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
        if (node.mesh < 0) continue;
        const tinygltf::Mesh& mesh = gltf_.meshes[size_t(node.mesh)];
        for (size_t p = 0; p < mesh.primitives.size(); ++p)
            if (!addPrimitive(n, mesh, mesh.primitives[p], p, anyNormals, allNormals, anyTexCoords)) return false;
    }
    if (mesh_.triangles.empty()) return fail("the scene has no triangles");
    keepNormals_ = anyNormals && allNormals;
    if (anyNormals && !allNormals)
        noteDropped(mesh_.dropped, "the file's normals (some primitives have none, so all are made from the faces)");
    if (!anyTexCoords) mesh_.texCoords.clear();
    for (Instance& instance : instances_)
        if (!keepNormals_) {
            instance.normals.clear();
            for (auto& target : instance.targetNormals) target = Displacements();
        }
    return true;
}

bool GltfReader::readSampler(const tinygltf::Animation& animation, int index, Path path, size_t width, Sampler& sampler) {
    if (index < 0 || size_t(index) >= animation.samplers.size())
        return fail("an animation channel names sampler " + std::to_string(index) + ", which its animation does not have");
    const tinygltf::AnimationSampler& gltfSampler = animation.samplers[size_t(index)];
    if (gltfSampler.interpolation == "STEP")
        sampler.interpolation = Interpolation::Step;
    else if (gltfSampler.interpolation == "CUBICSPLINE")
        sampler.interpolation = Interpolation::CubicSpline;
    else if (gltfSampler.interpolation == "LINEAR" || gltfSampler.interpolation.empty())
        sampler.interpolation = Interpolation::Linear;
    else
        return fail("an animation sampler's interpolation " + quotedName(gltfSampler.interpolation) + " is not one glTF has");
    if (gltfSampler.input >= 0 && size_t(gltfSampler.input) < gltf_.accessors.size() &&
        gltf_.accessors[size_t(gltfSampler.input)].componentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
        return fail("an animation's key times (accessor " + std::to_string(gltfSampler.input) + ") are not floats");
    if (!readAccessor(gltfSampler.input, "an animation's key times", 1, sampler.times)) return false;
    if (sampler.times.empty()) return fail("an animation sampler has no keys");
    for (size_t k = 1; k < sampler.times.size(); ++k)
        if (sampler.times[k] < sampler.times[k - 1]) return fail("an animation's key times go backwards");
    const int components = path == Path::Weights ? 1 : path == Path::Rotation ? 4 : 3;
    if (!readAccessor(gltfSampler.output, "an animation's values", components, sampler.values)) return false;
    sampler.width = path == Path::Weights ? width : size_t(components);
    const size_t perKey = sampler.width * (sampler.interpolation == Interpolation::CubicSpline ? 3 : 1);
    if (sampler.values.size() != sampler.times.size() * perKey)
        return fail("an animation's values (accessor " + std::to_string(gltfSampler.output) +
                    ") do not match its key times");
    return true;
}

bool GltfReader::readAnimations(std::vector<Animation>& animations) {
    for (const std::string& wanted : options_.animations) {
        bool found = false;
        for (const tinygltf::Animation& a : gltf_.animations) found = found || a.name == wanted;
        if (!found) {
            std::string have;
            for (const tinygltf::Animation& a : gltf_.animations) have += (have.empty() ? "" : ", ") + quotedName(a.name);
            return fail("there is no animation " + quotedName(wanted) +
                        (have.empty() ? std::string(": the file has none") : "; the file has " + have));
        }
    }
    int unnamed = 0;
    for (const tinygltf::Animation& gltfAnimation : gltf_.animations) {
        std::string name = gltfAnimation.name;
        if (name.empty()) {
            // The maker names frames after their animation: one of letters, so the
            // frame numbers it adds stay apart from the name.
            std::string letters;
            for (int n = unnamed++; ; n = n / 26 - 1) {
                letters.insert(letters.begin(), char('A' + n % 26));
                if (n < 26) break;
            }
            name = "anim" + letters;
        }
        if (!options_.animations.empty() &&
            std::find(options_.animations.begin(), options_.animations.end(), gltfAnimation.name) == options_.animations.end())
            continue;
        Animation animation;
        animation.name = name;
        std::map<int, size_t> samplerOf;
        for (const tinygltf::AnimationChannel& gltfChannel : gltfAnimation.channels) {
            Channel channel;
            const std::string& path = gltfChannel.target_path;
            if (path == "translation")
                channel.path = Path::Translation;
            else if (path == "rotation")
                channel.path = Path::Rotation;
            else if (path == "scale")
                channel.path = Path::Scale;
            else if (path == "weights")
                channel.path = Path::Weights;
            else {
                noteDropped(mesh_.dropped, "animation channels of other kinds (" + quotedName(path) + ")");
                continue;
            }
            if (gltfChannel.target_node < 0 || size_t(gltfChannel.target_node) >= gltf_.nodes.size())
                return fail("an animation channel moves node " + std::to_string(gltfChannel.target_node) +
                            ", which the file does not have");
            channel.node = gltfChannel.target_node;
            const Pose& rest = rest_[size_t(channel.node)];
            if (channel.path != Path::Weights && rest.hasMatrix)
                return fail("an animation moves node " + std::to_string(channel.node) + ", which has a matrix (glTF animates only translation, rotation and scale)");
            if (channel.path == Path::Weights && rest.weights.empty()) continue;  // no targets to weigh
            const auto known = samplerOf.find(gltfChannel.sampler);
            if (known != samplerOf.end()) {
                channel.sampler = known->second;
                if (animation.samplers[channel.sampler].width != (channel.path == Path::Weights ? rest.weights.size() : channel.path == Path::Rotation ? 4 : 3))
                    return fail("an animation sampler drives channels of different kinds");
            } else {
                Sampler sampler;
                if (!readSampler(gltfAnimation, gltfChannel.sampler, channel.path, rest.weights.size(), sampler)) return false;
                channel.sampler = animation.samplers.size();
                samplerOf[gltfChannel.sampler] = channel.sampler;
                for (float t : sampler.times) animation.keys.push_back(t);
                animation.samplers.push_back(std::move(sampler));
            }
            animation.channels.push_back(channel);
        }
        std::sort(animation.keys.begin(), animation.keys.end());
        animation.keys.erase(std::unique(animation.keys.begin(), animation.keys.end()), animation.keys.end());
        animations.push_back(std::move(animation));
    }
    return true;
}

void slerp(const float* a, const float* b, double s, double out[4]) {
    double q0[4], q1[4], dot = 0;
    for (int k = 0; k < 4; ++k) q0[k] = a[k], q1[k] = b[k], dot += q0[k] * q1[k];
    if (dot < 0) {
        for (double& v : q1) v = -v;  // the shorter way round
        dot = -dot;
    }
    double w0 = 1 - s, w1 = s;
    if (dot < 0.9995) {
        const double angle = std::acos(std::min(dot, 1.0));
        const double sine = std::sin(angle);
        w0 = std::sin((1 - s) * angle) / sine;
        w1 = std::sin(s * angle) / sine;
    }
    for (int k = 0; k < 4; ++k) out[k] = w0 * q0[k] + w1 * q1[k];
}

// The sampler's value at time, width numbers into out.
void samplerValue(const Sampler& sampler, double time, bool rotation, double* out) {
    const std::vector<float>& t = sampler.times;
    const size_t width = sampler.width, keys = t.size();
    const bool cubic = sampler.interpolation == Interpolation::CubicSpline;
    const auto value = [&](size_t k) { return &sampler.values[(cubic ? k * 3 + 1 : k) * width]; };
    size_t k = 0;
    double s = 0;
    if (time <= t[0] || keys == 1) {
        k = 0;
    } else if (time >= t[keys - 1]) {
        k = keys - 1;
    } else {
        // The key at or before time, of the keys after which time lies.
        k = size_t(std::upper_bound(t.begin(), t.end(), time, [](double a, float b) { return a < double(b); }) -
                   t.begin()) - 1;
        s = (time - t[k]) / (double(t[k + 1]) - t[k]);
    }
    const float* v0 = value(k);
    if (s == 0 || sampler.interpolation == Interpolation::Step) {
        for (size_t i = 0; i < width; ++i) out[i] = v0[i];
    } else if (!cubic) {
        const float* v1 = value(k + 1);
        if (rotation)
            slerp(v0, v1, s, out);
        else
            for (size_t i = 0; i < width; ++i) out[i] = v0[i] + s * (double(v1[i]) - v0[i]);
    } else {
        // Hermite between the two keys, the tangents scaled by the interval.
        const double interval = double(t[k + 1]) - t[k];
        const float* outTangent = &sampler.values[(k * 3 + 2) * width];
        const float* inTangent = &sampler.values[((k + 1) * 3) * width];
        const float* v1 = value(k + 1);
        const double s2 = s * s, s3 = s2 * s;
        const double h00 = 2 * s3 - 3 * s2 + 1, h10 = s3 - 2 * s2 + s, h01 = -2 * s3 + 3 * s2, h11 = s3 - s2;
        for (size_t i = 0; i < width; ++i)
            out[i] = h00 * v0[i] + h10 * interval * outTangent[i] + h01 * v1[i] + h11 * interval * inTangent[i];
    }
    if (rotation) {
        const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
        if (length > 1e-12)
            for (int i = 0; i < 4; ++i) out[i] /= length;
        else
            out[0] = out[1] = out[2] = 0, out[3] = 1;
    }
}

void GltfReader::applyChannels(const Animation& animation, double time, std::vector<Pose>& pose) const {
    for (const Channel& channel : animation.channels) {
        Pose& p = pose[size_t(channel.node)];
        const Sampler& sampler = animation.samplers[channel.sampler];
        switch (channel.path) {
        case Path::Translation:
            samplerValue(sampler, time, false, p.translation);
            break;
        case Path::Rotation:
            samplerValue(sampler, time, true, p.rotation);
            break;
        case Path::Scale:
            samplerValue(sampler, time, false, p.scale);
            break;
        case Path::Weights:
            samplerValue(sampler, time, false, p.weights.data());
            break;
        }
    }
}

// Adds weight times each vertex's three components, as read reads one at
// p, to values.
template <typename Read>
void addEach(const Instance& instance, const Displacements& displacements, float weight, size_t size, Read read,
             float* values) {
    for (size_t v = 0; v < instance.count; ++v) {
        const uint8_t* element = displacements.start + instance.element(v) * displacements.stride;
        for (size_t k = 0; k < 3; ++k) values[v * 3 + k] += weight * read(element + k * size);
    }
}

// Adds weight times the displacements to values (3 a vertex), each
// component type read by a loop of its own.
void addDisplacements(const Instance& instance, const Displacements& displacements, float weight, float* values) {
    if (!displacements.values.empty()) {
        const std::vector<float>& d = displacements.values;
        for (size_t i = 0; i < d.size(); ++i) values[i] += weight * d[i];
        return;
    }
    if (!displacements.start) return;
    const bool normalized = displacements.normalized;
    switch (displacements.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        addEach(instance, displacements, weight, 4, [](const uint8_t* p) { return littleEndianF32(p); }, values);
        break;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
        if (normalized)
            addEach(instance, displacements, weight, 2,
                    [](const uint8_t* p) { return float(std::max(littleEndianI16(p) / 32767.0, -1.0)); }, values);
        else
            addEach(instance, displacements, weight, 2, [](const uint8_t* p) { return float(littleEndianI16(p)); }, values);
        break;
    case TINYGLTF_COMPONENT_TYPE_BYTE:
        if (normalized)
            addEach(instance, displacements, weight, 1,
                    [](const uint8_t* p) { return float(std::max(int8_t(p[0]) / 127.0, -1.0)); }, values);
        else
            addEach(instance, displacements, weight, 1, [](const uint8_t* p) { return float(int8_t(p[0])); }, values);
        break;
    default: {
        const int type = displacements.componentType;
        addEach(instance, displacements, weight, componentSize(type),
                [type, normalized](const uint8_t* p) { return float(componentValue(p, type, normalized)); }, values);
    }
    }
}

bool allFinite(const float* values, size_t count) {
    bool finite = true;
    for (size_t i = 0; i < count; ++i) finite &= std::isfinite(values[i]);
    return finite;
}

bool GltfReader::evaluate(const std::vector<Pose>& pose, SourceFrame& frame) {
    world_.resize(pose.size());
    for (int n : order_) {
        const int p = parent_[size_t(n)];
        world_[size_t(n)] = p < 0 ? pose[size_t(n)].local() : multiply(world_[size_t(p)], pose[size_t(n)].local());
    }
    frame.positions.resize(mesh_.vertexCount * 3);
    frame.normals.resize(keepNormals_ ? mesh_.vertexCount * 3 : 0);
    for (const Instance& instance : instances_) {
        const size_t values = instance.count * 3;
        // The base shape and the morph targets with a weight, then through
        // the node's (or the skin's) transform, in place.
        float* positions = &frame.positions[instance.first * 3];
        float* normals = instance.normals.empty() ? nullptr : &frame.normals[instance.first * 3];
        std::copy(instance.positions.begin(), instance.positions.end(), positions);
        if (normals) std::copy(instance.normals.begin(), instance.normals.end(), normals);
        const std::vector<double>& weights = pose[size_t(instance.node)].weights;
        for (size_t t = 0; t < instance.targetPositions.size() && t < weights.size(); ++t) {
            if (weights[t] == 0) continue;
            addDisplacements(instance, instance.targetPositions[t], float(weights[t]), positions);
            if (normals) addDisplacements(instance, instance.targetNormals[t], float(weights[t]), normals);
        }
        if (instance.skin < 0) {
            const Matrix& world = world_[size_t(instance.node)];
            if (!(world == identityMatrix()))
                for (size_t i = 0; i < values; i += 3) transformPoint(world, positions + i, positions + i);
            if (normals) {
                const std::array<double, 9> normalsMatrix = normalMatrix(world);
                const std::array<double, 9>* through = keepsDirections(normalsMatrix) ? nullptr : &normalsMatrix;
                for (size_t i = 0; i < values; i += 3) transformNormal(through, normals + i, normals + i);
            }
        } else {
            const Skin& skin = skins_[size_t(instance.skin)];
            jointMatrices_.resize(skin.joints.size());
            for (size_t j = 0; j < skin.joints.size(); ++j)
                jointMatrices_[j] = multiply(world_[size_t(skin.joints[j])], skin.inverseBind[j]);
            for (size_t v = 0; v < instance.count; ++v) {
                Matrix blend{};
                double total = 0;
                for (size_t k = 0; k < instance.influences; ++k) {
                    const float w = instance.weights[v * instance.influences + k];
                    if (w == 0) continue;
                    total += w;
                    const Matrix& joint = jointMatrices_[instance.joints[v * instance.influences + k]];
                    for (size_t i = 0; i < 16; ++i) blend[i] += w * joint[i];
                }
                if (total == 0) blend = identityMatrix();  // bound to nothing: where the file puts it
                transformPoint(blend, positions + v * 3, positions + v * 3);
                if (normals) {
                    const std::array<double, 9> blendNormals = normalMatrix(blend);
                    transformNormal(&blendNormals, normals + v * 3, normals + v * 3);
                }
            }
        }
        // The targets are read only here: a number in one that is not
        // finite, or a sum that overflows, shows in the result.
        if (!allFinite(positions, values))
            return fail("node " + std::to_string(instance.node) + "'s mesh moves to positions that are not finite numbers");
    }
    return true;
}

// The morph target the pose shows whole, by the file's own name: every
// named mesh at weight 1 on one target and 0 on the rest, all on targets of
// one name. "" otherwise.
std::string GltfReader::frameName(const std::vector<Pose>& pose) const {
    std::string name;
    bool named = false;
    for (const Instance& instance : instances_) {
        if (!instance.targetNames) continue;
        const std::vector<double>& weights = pose[size_t(instance.node)].weights;
        int whole = -1;
        for (size_t t = 0; t < weights.size(); ++t) {
            if (std::fabs(weights[t] - 1) <= 1e-6 && whole == -1)
                whole = int(t);
            else if (std::fabs(weights[t]) > 1e-6)
                return "";
        }
        if (whole < 0) return "";
        const std::string& target = (*instance.targetNames)[size_t(whole)];
        if (named && target != name) return "";
        name = target;
        named = true;
    }
    return name;
}

// Whether two frames hold the same positions, to within float rounding.
bool samePositions(const std::vector<float>& a, const std::vector<float>& b) {
    float largest = 0;
    for (float v : a) largest = std::max(largest, std::fabs(v));
    const float tolerance = 4 * FLT_EPSILON * largest;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::fabs(a[i] - b[i]) > tolerance) return false;
    return true;
}

bool GltfReader::sample(const std::vector<Animation>& animations) {
    const double rate = options_.rate;
    // How many samples each animation takes, checked before any is made.
    std::vector<size_t> counts;
    double frames = 0, channels = 0;
    for (const Animation& animation : animations) {
        double n = 1;
        if (!animation.keys.empty())
            n = std::floor((animation.keys.back() - animation.keys.front()) * rate + kKeySnap * rate + 1e-9) + 1;
        frames += n;
        channels += double(animation.channels.size());
        if (frames > double(SOURCE_MAX_FRAMES))
            return fail("the animations make more than " + std::to_string(SOURCE_MAX_FRAMES) + " frames at " +
                        number(rate) + " a second");
        counts.push_back(size_t(n));
    }
    if (animations.empty()) frames = 1;
    if (frames * double(mesh_.vertexCount) > double(SOURCE_MAX_VERTEX_FRAMES))
        return fail(std::to_string(mesh_.vertexCount) + " vertices in " + std::to_string(int64_t(frames)) +
                    " frames are more than a model holds");
    double perFrame = double(gltf_.nodes.size()) + channels;
    for (const Instance& instance : instances_)
        perFrame += double(instance.count) * double(1 + instance.influences + instance.targetPositions.size());
    if (frames * perFrame > kMaxSamplingWork) return fail("the animations are too large to sample");

    std::vector<Pose> pose;
    if (animations.empty()) {
        SourceAnimation still;
        still.frames.emplace_back();
        if (!evaluate(rest_, still.frames.back())) return false;
        still.frames.back().name = frameName(rest_);
        mesh_.animations.push_back(std::move(still));
        return true;
    }
    for (size_t a = 0; a < animations.size(); ++a) {
        const Animation& animation = animations[a];
        SourceAnimation out;
        out.name = animation.name;
        out.frames.resize(counts[a]);
        const double start = animation.keys.empty() ? 0 : animation.keys.front();
        for (size_t i = 0; i < counts[a]; ++i) {
            double time = start + double(i) / rate;
            // A sample next to a key is taken at the key.
            const auto next = std::lower_bound(animation.keys.begin(), animation.keys.end(), time);
            if (next != animation.keys.end() && *next - time <= kKeySnap) time = *next;
            if (next != animation.keys.begin() && time - *(next - 1) <= kKeySnap) time = *(next - 1);
            pose = rest_;
            applyChannels(animation, time, pose);
            if (!evaluate(pose, out.frames[i])) return false;
            out.frames[i].name = frameName(pose);
        }
        // A loop back to its start: the last sample repeats the first (a
        // frame named for a shape of its own is one the file holds, kept).
        if (out.frames.size() > 1 && samePositions(out.frames.front().positions, out.frames.back().positions) &&
            (out.frames.back().name.empty() || out.frames.back().name == out.frames.front().name))
            out.frames.pop_back();
        mesh_.animations.push_back(std::move(out));
    }
    return true;
}

bool GltfReader::read() {
    if (!(options_.rate > 0) || !(options_.rate <= SOURCE_MAX_RATE))
        return fail("the sampling rate must be above 0 and at most " + number(SOURCE_MAX_RATE) + " a second");
    if (!checkExtensions() || !readNodes() || !readSkins() || !collectInstances()) return false;
    std::vector<Animation> animations;
    if (!readAnimations(animations)) return false;
    return sample(animations);
}

bool loadGltf(const uint8_t* bytes, size_t size, const SourceFiles& files, tinygltf::Model& gltf,
              std::map<std::string, std::string>& failedFiles, std::string& error) {
    if (size > SOURCE_MAX_FILE_SIZE) {
        error = "the glTF file is larger than a source may be (1 GiB)";
        return false;
    }
    const bool binary = size >= 4 && std::memcmp(bytes, "glTF", 4) == 0;
    const uint8_t* json = bytes;
    size_t jsonSize = size;
    if (binary && size >= 20) {
        jsonSize = std::min<size_t>(littleEndianU32(bytes + 12), size - 20);
        json = bytes + 20;
    }
    error = jsonShapeRefusal(json, jsonSize);
    if (!error.empty()) return false;

    FileContext context;
    context.files = &files;
    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({&fileExists, &expandFilePath, &readWholeFile, &writeWholeFile, &context});
    loader.SetImageLoader(&keepPictureBytes, nullptr);
    std::string complaint, warning;
    const bool loaded = binary ? loader.LoadBinaryFromMemory(&gltf, &complaint, &warning, bytes, unsigned(size), "")
                               : loader.LoadASCIIFromString(&gltf, &complaint, &warning,
                                                            reinterpret_cast<const char*>(bytes), unsigned(size), "");
    if (!context.refusal.empty()) {
        error = context.refusal;
        return false;
    }
    if (!loaded) {
        // A buffer the caller could not give is the reason to name.
        for (const auto& failed : context.failed)
            if (complaint.find(failed.first) != std::string::npos) {
                error = failed.second;
                return false;
            }
        error = "not a glTF file we can read: " + firstLine(complaint.empty() ? "it does not load" : complaint);
        return false;
    }
    // A picture that could not be had says why when a material uses it.
    failedFiles = std::move(context.failed);
    return true;
}

}  // namespace

bool readGltfSource(const uint8_t* bytes, size_t size, const SourceFiles& files, const SourceReadOptions& options,
                    SourceMesh& mesh, std::string& error) {
    mesh = SourceMesh();
    // Nothing leaves as an exception: tinygltf and the JSON library throw
    // when memory runs out, or on some broken files.
    try {
        tinygltf::Model gltf;
        if (!bytes || size == 0) {
            error = "the glTF file is empty";
            return false;
        }
        std::map<std::string, std::string> failedFiles;
        if (!loadGltf(bytes, size, files, gltf, failedFiles, error)) return false;
        GltfReader reader(gltf, failedFiles, options, mesh);
        if (reader.read()) return true;
        error = reader.error();
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the glTF file";
    } catch (const std::exception& e) {
        error = std::string("not a glTF file we can read: ") + firstLine(e.what());
    }
    mesh = SourceMesh();
    return false;
}
