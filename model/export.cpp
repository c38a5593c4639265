// What both exports share, and the OBJ export.
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "common/path.h"
#include "image/png_writer.h"
#include "model/export_mesh.h"

namespace {

bool indexBelow(int32_t index, int32_t count) { return index >= 0 && index < count; }

// Length of the valid UTF-8 sequence at text[0] (of at most size bytes), or
// 0 when the bytes there are not one.
size_t utf8SequenceLength(const unsigned char* text, size_t size) {
    const unsigned char lead = text[0];
    if (lead < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (size < length || text[1] < low || text[1] > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (text[i] < 0x80 || text[i] > 0xBF) return 0;
    return length;
}

// A number as OBJ writes it, after a space: six decimals (finer than any
// file's precision), a point whatever the locale, "0" for "-0".
void appendNumber(std::string& out, double value) {
    char text[64] = " ";
    const std::to_chars_result end =
        std::to_chars(text + 1, text + sizeof text, value == 0 ? 0.0 : value, std::chars_format::fixed, 6);
    out.append(text, end.ec == std::errc() ? end.ptr : text + 1);
}

void appendIndex(std::string& out, int64_t index) { out += std::to_string(index + 1); }

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

bool hasSkin(const ExportSkin& skin) { return skin.rgb != nullptr; }

std::string objRefusal(const Model* model, int frame, const ExportOptions& options,
                       const std::vector<ExportCorner>& corners) {
    std::string refusal = exportRefusal(model, corners);
    if (!refusal.empty()) return refusal;
    if (!indexBelow(frame, model->numFrames))
        return "there is no key frame " + std::to_string(frame) + " (the model has " +
               std::to_string(model->numFrames) + ", numbered from 0)";
    if (!(options.scale > 0) || !std::isfinite(options.scale)) return "the scale must be a positive number";
    return exportFrameRefusal(*model, frame, options.scale);
}

}  // namespace

std::vector<ExportCorner> exportCorners(const Model& model) {
    std::vector<ExportCorner> corners;
    if (!model.triangles || model.numTriangles <= 0 || !model.texCoords) return corners;
    corners.reserve(size_t(model.numTriangles) * 3);
    for (int32_t i = 0; i < model.numTriangles; ++i) {
        const ModelTriangle& triangle = model.triangles[i];
        bool inRange = true;
        for (int k = 0; k < 3; ++k)
            inRange = inRange && indexBelow(triangle.vertexIndex[k], model.numVertices) &&
                      indexBelow(triangle.texCoordIndex[k], model.numTexCoords);
        if (!inRange) continue;
        for (int k : {0, 2, 1}) corners.push_back({triangle.vertexIndex[k], triangle.texCoordIndex[k]});
    }
    return corners;
}

std::string exportRefusal(const Model* model, const std::vector<ExportCorner>& corners) {
    if (!model) return "no model";
    if (!model->frames || model->numFrames <= 0) return "the model has no frames: nothing to draw";
    if (model->numVertices <= 0) return "the model has no vertices: nothing to draw";
    if (corners.empty()) return "the model has no triangle whose indices are in range: nothing to draw";
    return "";
}

std::string exportFrameRefusal(const Model& model, int frame, double scale) {
    const ModelVertex* vertices = model.frames[frame].vertices;
    float position[3];
    for (int32_t i = 0; i < model.numVertices; ++i) {
        exportPosition(vertices[i], scale, position);
        if (!std::isfinite(position[0]) || !std::isfinite(position[1]) || !std::isfinite(position[2]))
            return "key frame " + std::to_string(frame) + " has a position that is not a finite number";
    }
    return "";
}

float exportTexCoord(int16_t pixel, int32_t skinSize) { return float(pixel) / (skinSize != 0 ? float(skinSize) : 1.0f); }

std::string exportText(const char* bytes, size_t size) {
    std::string text;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const size_t end = strnlen(bytes, size);
    size_t i = 0;
    while (i < end) {
        const size_t length = utf8SequenceLength(p + i, end - i);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            ++i;
        } else {
            text.append(bytes + i, length);
            i += length;
        }
    }
    return text;
}

std::string exportFrameName(const ModelFrame& frame) { return exportText(frame.name, MODEL_FRAME_NAME_SIZE); }

ExportResult exportFailure(const std::string& error) {
    ExportResult result;
    result.error = error;
    return result;
}

ExportResult exportObjFrame(const Model* model, int frame, const ExportOptions& options, const std::string& objName,
                            const std::string& materialName) {
    try {
        const std::vector<ExportCorner> corners = model ? exportCorners(*model) : std::vector<ExportCorner>();
        const std::string refusal = objRefusal(model, frame, options, corners);
        if (!refusal.empty()) return exportFailure(refusal);

        std::string out;
        out.reserve(size_t(model->numVertices) * 80 + size_t(model->numTexCoords) * 40 + corners.size() * 24);
        out += "# " + exportFrameName(model->frames[frame]) + ", key frame " + std::to_string(frame) +
               "; +Y up, front towards +Z\n";
        out += "mtllib " + fileNameOf(materialName) + "\n";
        const ModelVertex* vertices = model->frames[frame].vertices;
        float value[3];
        for (int32_t i = 0; i < model->numVertices; ++i) {
            exportPosition(vertices[i], options.scale, value);
            out += "v";
            for (float v : value) appendNumber(out, v);
            out += "\n";
        }
        // OBJ's second texture coordinate counts from the picture's bottom row.
        for (int32_t i = 0; i < model->numTexCoords; ++i) {
            out += "vt";
            appendNumber(out, exportTexCoord(model->texCoords[i].s, model->skinWidth));
            appendNumber(out, 1.0 - exportTexCoord(model->texCoords[i].t, model->skinHeight));
            out += "\n";
        }
        for (int32_t i = 0; i < model->numVertices; ++i) {
            exportNormal(vertices[i], value);
            out += "vn";
            for (float v : value) appendNumber(out, v);
            out += "\n";
        }
        out += "usemtl skin\n";
        for (size_t i = 0; i < corners.size(); i += 3) {
            out += "f";
            for (size_t k = i; k < i + 3; ++k) {
                out += " ";
                appendIndex(out, corners[k].vertex);
                out += "/";
                appendIndex(out, corners[k].texCoord);
                out += "/";
                appendIndex(out, corners[k].vertex);
            }
            out += "\n";
        }
        ExportResult result;
        result.ok = true;
        result.files.push_back({objName, bytesOf(out)});
        return result;
    } catch (const std::bad_alloc&) {
        return exportFailure("not enough memory for the export");
    }
}

ExportResult exportObjMaterial(const ExportOptions& options, const std::string& materialName) {
    try {
        const ExportSkin& skin = options.skin;
        if (hasSkin(skin) && (skin.width <= 0 || skin.height <= 0)) return exportFailure("the skin has no size");
        std::string out = "newmtl skin\n";
        out += "Ka 0 0 0\nKs 0 0 0\n";
        out += "Kd";
        for (int i = 0; i < 3; ++i) appendNumber(out, hasSkin(skin) ? 1.0f : options.color[i]);
        out += "\n";
        ExportResult result;
        if (hasSkin(skin)) {
            const std::string pictureName = nameBeside(materialName, "png");
            std::vector<uint8_t> png = encodePng(skin.width, skin.height, 3, skin.rgb, PngCompression::Fast);
            if (png.empty()) return exportFailure("can't encode the skin as PNG");
            out += "map_Kd " + fileNameOf(pictureName) + "\n";
            result.files.push_back({materialName, bytesOf(out)});
            result.files.push_back({pictureName, std::move(png)});
        } else {
            result.files.push_back({materialName, bytesOf(out)});
        }
        result.ok = true;
        return result;
    } catch (const std::bad_alloc&) {
        return exportFailure("not enough memory for the export");
    }
}

ExportResult exportObj(const Model* model, int frame, const ExportOptions& options, const std::string& objName) {
    const std::string materialName = nameBeside(objName, "mtl");
    ExportResult result = exportObjFrame(model, frame, options, objName, materialName);
    if (!result.ok) return result;
    ExportResult material = exportObjMaterial(options, materialName);
    if (!material.ok) return material;
    for (ExportFile& file : material.files) result.files.push_back(std::move(file));
    return result;
}
