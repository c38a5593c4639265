// The OBJ reader: v, vt, vn and f lines (polygons as fans, negative
// indices counting back, v/vt/vn, v//vn, v/vt), the material libraries'
// map_Kd pictures, and sequences of frames sharing their faces. A vertex is
// each distinct (v, vt, vn) corner; the maker welds them.
#include <charconv>
#include <cmath>
#include <map>
#include <new>
#include <string_view>
#include <unordered_map>

#include "model/import_files.h"

namespace {

// One corner of a face: indices into v, vt and vn from 0, -1 for none.
struct Corner {
    int32_t v = -1, vt = -1, vn = -1;
    bool operator==(const Corner& o) const { return v == o.v && vt == o.vt && vn == o.vn; }
};

struct CornerHash {
    size_t operator()(const Corner& c) const {
        return std::hash<uint64_t>()(uint64_t(uint32_t(c.v)) * 0x9E3779B97F4A7C15ull ^
                                     (uint64_t(uint32_t(c.vt)) << 21) ^ uint64_t(uint32_t(c.vn)));
    }
};

// One OBJ file as read.
struct ObjFile {
    std::vector<float> positions, texCoords, normals;  // v: 3 each, vt: 2, vn: 3
    std::vector<Corner> corners;                        // three a triangle
    std::vector<int32_t> triangleMaterial;              // into materialNames, -1 for none
    std::vector<std::string> materialNames;             // usemtl names, in order of first use
    std::vector<std::string> libraries;                 // mtllib names
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The words of a line, and the rest of it after the keyword.
struct Line {
    std::vector<std::string_view> words;
    std::string_view rest;  // after the first word, trimmed
};

void splitLine(std::string_view text, Line& line) {
    line.words.clear();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i])) ++i;
        const size_t start = i;
        while (i < text.size() && !isSpace(text[i])) ++i;
        if (i > start) line.words.push_back(text.substr(start, i - start));
    }
    line.rest = {};
    if (!line.words.empty()) {
        size_t start = size_t(line.words[0].data() + line.words[0].size() - text.data());
        size_t end = text.size();
        while (start < end && isSpace(text[start])) ++start;
        while (end > start && isSpace(text[end - 1])) --end;
        line.rest = text.substr(start, end - start);
    }
}

bool parseFloat(std::string_view word, float& value) {
    if (!word.empty() && word[0] == '+') word.remove_prefix(1);
    const std::from_chars_result result = std::from_chars(word.data(), word.data() + word.size(), value);
    return result.ec == std::errc() && result.ptr == word.data() + word.size() && std::isfinite(value);
}

class ObjParser {
public:
    ObjParser(std::string where, std::vector<std::string>& dropped) : where_(std::move(where)), dropped_(dropped) {}

    bool parse(const std::vector<uint8_t>& bytes, ObjFile& file);
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& message) {
        error_ = where_ + "line " + std::to_string(lineNumber_) + ": " + message;
        return false;
    }
    bool numbers(const Line& line, size_t least, size_t most, std::vector<float>& into, size_t keep);
    bool index(std::string_view word, size_t count, const char* what, int32_t& out);
    bool face(const Line& line, ObjFile& file);

    std::string where_;
    std::vector<std::string>& dropped_;
    std::string error_;
    size_t lineNumber_ = 0;
    int32_t material_ = -1;
};

// Between least and most numbers after the keyword; the first keep of them kept.
bool ObjParser::numbers(const Line& line, size_t least, size_t most, std::vector<float>& into, size_t keep) {
    const size_t count = line.words.size() - 1;
    if (count < least || count > most)
        return fail("'" + std::string(line.words[0]) + "' takes " + std::to_string(least) +
                    (most > least ? " to " + std::to_string(most) : std::string()) + " numbers");
    for (size_t i = 0; i < keep; ++i) {
        float value = 0;
        if (i < count && !parseFloat(line.words[i + 1], value))
            return fail("'" + std::string(line.words[i + 1].substr(0, 40)) + "' is not a finite number");
        into.push_back(value);
    }
    for (size_t i = keep; i < count; ++i) {
        float value;
        if (!parseFloat(line.words[i + 1], value))
            return fail("'" + std::string(line.words[i + 1].substr(0, 40)) + "' is not a finite number");
    }
    return true;
}

// An index as OBJ writes it (from 1, or negative counting back from the
// last one read so far) into one from 0 below count.
bool ObjParser::index(std::string_view word, size_t count, const char* what, int32_t& out) {
    long long value = 0;
    const std::from_chars_result result = std::from_chars(word.data(), word.data() + word.size(), value);
    if (result.ec != std::errc() || result.ptr != word.data() + word.size())
        return fail("'" + std::string(word.substr(0, 40)) + "' is not an index");
    if (value == 0) return fail(std::string(what) + " index is 0 (OBJ counts from 1)");
    const long long resolved = value < 0 ? (long long)(count) + value : value - 1;
    if (resolved < 0 || resolved >= (long long)(count))
        return fail(std::string(what) + " index " + std::to_string(value) + " is past the " + std::to_string(count) +
                    " read so far");
    out = int32_t(resolved);
    return true;
}

bool ObjParser::face(const Line& line, ObjFile& file) {
    const size_t count = line.words.size() - 1;
    if (count < 3) {
        noteDropped(dropped_, "faces of fewer than three corners");
        return true;
    }
    std::vector<Corner> polygon(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string_view word = line.words[i + 1];
        const size_t slash1 = word.find('/');
        const size_t slash2 = slash1 == std::string_view::npos ? slash1 : word.find('/', slash1 + 1);
        Corner& corner = polygon[i];
        if (!index(word.substr(0, slash1), file.positions.size() / 3, "a position", corner.v)) return false;
        if (slash1 != std::string_view::npos) {
            const std::string_view vt = word.substr(slash1 + 1, slash2 == std::string_view::npos ? slash2 : slash2 - slash1 - 1);
            if (!vt.empty() && !index(vt, file.texCoords.size() / 2, "a texture coordinate", corner.vt)) return false;
            if (slash2 != std::string_view::npos &&
                !index(word.substr(slash2 + 1), file.normals.size() / 3, "a normal", corner.vn))
                return false;
        }
    }
    if (int64_t(file.corners.size() / 3 + count - 2) > SOURCE_MAX_TRIANGLES)
        return fail("more than " + std::to_string(SOURCE_MAX_TRIANGLES) + " triangles");
    // A fan round the first corner.
    for (size_t i = 1; i + 1 < count; ++i) {
        file.corners.insert(file.corners.end(), {polygon[0], polygon[i], polygon[i + 1]});
        file.triangleMaterial.push_back(material_);
    }
    return true;
}

bool ObjParser::parse(const std::vector<uint8_t>& bytes, ObjFile& file) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Line line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view content = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber_;
        const size_t hash = content.find('#');
        if (hash != std::string_view::npos) content = content.substr(0, hash);
        splitLine(content, line);
        if (line.words.empty()) continue;
        const std::string_view keyword = line.words[0];
        if (keyword == "v") {
            if (line.words.size() == 7 || line.words.size() == 8) noteDropped(dropped_, "vertex colours");
            if (!numbers(line, 3, 7, file.positions, 3)) return false;
        } else if (keyword == "vt") {
            if (!numbers(line, 1, 3, file.texCoords, 2)) return false;
        } else if (keyword == "vn") {
            if (!numbers(line, 3, 3, file.normals, 3)) return false;
        } else if (keyword == "f") {
            if (!face(line, file)) return false;
        } else if (keyword == "usemtl") {
            const std::string name(line.rest);
            material_ = -1;
            for (size_t m = 0; m < file.materialNames.size() && material_ < 0; ++m)
                if (file.materialNames[m] == name) material_ = int32_t(m);
            if (material_ < 0) {
                material_ = int32_t(file.materialNames.size());
                file.materialNames.push_back(name);
            }
        } else if (keyword == "mtllib") {
            if (!line.rest.empty()) file.libraries.emplace_back(line.rest);
        } else if (keyword == "l" || keyword == "p") {
            noteDropped(dropped_, "points and lines");
        } else if (keyword == "curv" || keyword == "curv2" || keyword == "surf" || keyword == "cstype") {
            noteDropped(dropped_, "curves and surfaces");
        }
        // o, g, s and the rest say nothing about the shape.
    }
    return true;
}

// A material library: each material's map_Kd picture name, resolved
// beside the library.
bool readMaterialLibrary(const std::vector<uint8_t>& bytes, const std::string& libraryName,
                         std::map<std::string, std::string>& pictureOf, std::vector<std::string>& dropped,
                         std::string& error) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Line line;
    std::string material;
    bool inMaterial = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view content = text.substr(start, end - start);
        start = end + 1;
        const size_t hash = content.find('#');
        if (hash != std::string_view::npos) content = content.substr(0, hash);
        splitLine(content, line);
        if (line.words.empty()) continue;
        const std::string_view keyword = line.words[0];
        if (keyword == "newmtl") {
            material = std::string(line.rest);
            inMaterial = true;
            pictureOf.emplace(material, "");
        } else if (keyword == "map_Kd" && inMaterial) {
            // Options come first (-o u v w, -s u v w, -bm 1...): the name is
            // what follows them, spaces and all.
            size_t w = 1;
            bool options = false;
            while (w < line.words.size() && line.words[w].size() > 1 && line.words[w][0] == '-') {
                options = true;
                ++w;
                float number;
                while (w + 1 < line.words.size() &&
                       (parseFloat(line.words[w], number) || line.words[w] == "on" || line.words[w] == "off"))
                    ++w;
            }
            if (options) noteDropped(dropped, "map_Kd options (offsets, scales)");
            if (w >= line.words.size()) continue;
            const size_t from = size_t(line.words[w].data() - line.rest.data());
            const std::string given(line.rest.substr(from));
            std::string name;
            if (!sourceFileName(sourceJoin(sourceFolder(libraryName), given), name, error)) return false;
            pictureOf[material] = name;
        } else if (keyword.size() > 4 && keyword.substr(0, 4) == "map_" ) {
            noteDropped(dropped, "materials beyond the base colour (" + std::string(keyword) + ")");
        } else if (keyword == "bump" || keyword == "norm" || keyword == "disp" || keyword == "decal" || keyword == "refl") {
            noteDropped(dropped, "materials beyond the base colour (" + std::string(keyword) + ")");
        }
    }
    return true;
}

bool readObj(const std::vector<std::vector<uint8_t>>& frames, const SourceFiles& files,
             const SourceReadOptions& options, SourceMesh& mesh, std::string& error) {
    if (frames.empty()) {
        error = "no OBJ file to read";
        return false;
    }
    if (!options.animations.empty()) {
        error = "OBJ files have no named animations to pick";
        return false;
    }
    if (int64_t(frames.size()) > SOURCE_MAX_FRAMES) {
        error = std::to_string(frames.size()) + " OBJ frames are more than a model holds";
        return false;
    }
    const bool sequence = frames.size() > 1;
    const auto where = [&](size_t f) { return sequence ? "frame " + std::to_string(f + 1) + ", " : std::string(); };

    ObjFile first;
    ObjParser parser(where(0), mesh.dropped);
    if (!parser.parse(frames[0], first)) {
        error = parser.error();
        return false;
    }
    if (first.corners.empty()) {
        error = "the OBJ file has no faces";
        return false;
    }

    // One vertex per distinct corner.
    std::unordered_map<Corner, uint32_t, CornerHash> vertexOf;
    std::vector<Corner> vertices;
    bool allNormals = true, anyTexCoords = false;
    for (const Corner& corner : first.corners) {
        const auto found = vertexOf.emplace(corner, uint32_t(vertices.size()));
        if (found.second) vertices.push_back(corner);
        mesh.triangles.push_back(found.first->second);
        allNormals = allNormals && corner.vn >= 0;
        anyTexCoords = anyTexCoords || corner.vt >= 0;
    }
    mesh.vertexCount = vertices.size();
    if (int64_t(vertices.size()) * int64_t(frames.size()) > SOURCE_MAX_VERTEX_FRAMES) {
        error = std::to_string(vertices.size()) + " vertices in " + std::to_string(frames.size()) +
                " frames are more than a model holds";
        return false;
    }
    if (!allNormals) {
        bool anyNormals = false;
        for (const Corner& c : vertices) anyNormals = anyNormals || c.vn >= 0;
        if (anyNormals) noteDropped(mesh.dropped, "the file's normals (some corners have none, so all are made from the faces)");
    }
    if (anyTexCoords) {
        // OBJ counts v up from the picture's bottom row; ours goes down from the top.
        mesh.texCoords.resize(vertices.size() * 2);
        for (size_t i = 0; i < vertices.size(); ++i) {
            const int32_t vt = vertices[i].vt;
            mesh.texCoords[i * 2] = vt >= 0 ? first.texCoords[size_t(vt) * 2] : 0.0f;
            mesh.texCoords[i * 2 + 1] = vt >= 0 ? 1.0f - first.texCoords[size_t(vt) * 2 + 1] : 0.0f;
        }
    }

    // Materials and their pictures, one picture per file however many use it.
    std::map<std::string, std::string> pictureFileOf;
    for (const std::string& library : first.libraries) {
        std::vector<uint8_t> bytes;
        std::string name;
        if (!sourceFileName(library, name, error) || !fetchSourceFile(files, name, bytes, error)) return false;
        if (!readMaterialLibrary(bytes, name, pictureFileOf, mesh.dropped, error)) return false;
    }
    std::map<std::string, int32_t> pictureIndexOf;
    std::vector<int32_t> pictureOfMaterial(first.materialNames.size(), -1);
    for (size_t m = 0; m < first.materialNames.size(); ++m) {
        const auto found = pictureFileOf.find(first.materialNames[m]);
        if (found == pictureFileOf.end()) {
            noteDropped(mesh.dropped, "materials no library defines");
            continue;
        }
        const std::string& file = found->second;
        if (file.empty()) continue;
        const auto known = pictureIndexOf.find(file);
        if (known != pictureIndexOf.end()) {
            pictureOfMaterial[m] = known->second;
            continue;
        }
        std::vector<uint8_t> bytes;
        SourcePicture picture;
        if (!fetchSourceFile(files, file, bytes, error) ||
            !decodeSourcePicture(bytes.data(), bytes.size(), file, picture, error))
            return false;
        pictureOfMaterial[m] = int32_t(mesh.pictures.size());
        pictureIndexOf[file] = pictureOfMaterial[m];
        mesh.pictures.push_back(std::move(picture));
    }
    for (int32_t material : first.triangleMaterial)
        mesh.trianglePicture.push_back(material >= 0 ? pictureOfMaterial[size_t(material)] : -1);

    // Every frame: its positions (and normals) on the first frame's faces.
    SourceAnimation animation;
    animation.name = sequence ? "frames" : "";
    animation.frames.resize(frames.size());
    for (size_t f = 0; f < frames.size(); ++f) {
        ObjFile other;
        const ObjFile* file = &first;
        if (f > 0) {
            ObjParser frameParser(where(f), mesh.dropped);
            if (!frameParser.parse(frames[f], other)) {
                error = frameParser.error();
                return false;
            }
            if (!(other.corners == first.corners) || other.triangleMaterial != first.triangleMaterial ||
                other.materialNames != first.materialNames || other.texCoords != first.texCoords) {
                error = "OBJ frame " + std::to_string(f + 1) + " of " + std::to_string(frames.size()) +
                        " has other faces or texture coordinates than the first: a sequence shares them";
                return false;
            }
            file = &other;
        }
        SourceFrame& frame = animation.frames[f];
        frame.positions.resize(vertices.size() * 3);
        if (allNormals) frame.normals.resize(vertices.size() * 3);
        for (size_t i = 0; i < vertices.size(); ++i) {
            for (size_t a = 0; a < 3; ++a) frame.positions[i * 3 + a] = file->positions[size_t(vertices[i].v) * 3 + a];
            if (!allNormals) continue;
            const float* n = &file->normals[size_t(vertices[i].vn) * 3];
            const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
            for (size_t a = 0; a < 3; ++a)
                frame.normals[i * 3 + a] = length > 1e-30 ? float(n[a] / length) : (a == 1 ? 1.0f : 0.0f);
        }
    }
    mesh.animations.push_back(std::move(animation));
    return true;
}

}  // namespace

bool readObjSource(const std::vector<std::vector<uint8_t>>& frames, const SourceFiles& files,
                   const SourceReadOptions& options, SourceMesh& mesh, std::string& error) {
    mesh = SourceMesh();
    try {
        if (readObj(frames, files, options, mesh, error)) return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the OBJ file";
    }
    mesh = SourceMesh();
    return false;
}
