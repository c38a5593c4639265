// An IDP2 model as a source to make again: the triangles and axes exactly
// as `export` writes them (model/export_mesh.h), so a model made from the
// export of a model and one made from the model itself are the same.
#include <map>
#include <new>

#include "model/animations.h"
#include "model/export_mesh.h"
#include "model/import.h"

bool readMd2Source(const Model& model, const uint8_t* skinRgb, int skinWidth, int skinHeight,
                   const SourceReadOptions& options, SourceMesh& mesh, std::string& error) {
    try {
        mesh = SourceMesh();
        const std::vector<ExportCorner> corners = exportCorners(model);
        error = exportRefusal(&model, corners);
        if (!error.empty()) return false;
        if (skinRgb && (skinWidth <= 0 || skinHeight <= 0)) {
            error = "the skin has no size";
            return false;
        }

        std::vector<ModelAnimation> animations;
        for (const ModelAnimation& animation : modelAnimations(&model)) {
            bool wanted = options.animations.empty();
            for (const std::string& name : options.animations) wanted = wanted || name == animation.name;
            if (wanted) animations.push_back(animation);
        }
        for (const std::string& name : options.animations) {
            bool found = false;
            for (const ModelAnimation& animation : animations) found = found || animation.name == name;
            if (!found) {
                error = "the model has no animation named " + name;
                return false;
            }
        }
        for (const ModelAnimation& animation : animations)
            for (int f = animation.first; f <= animation.last; ++f) {
                error = exportFrameRefusal(model, f, 1.0);
                if (!error.empty()) return false;
            }

        // A source vertex for each pair of model vertex and texture
        // coordinate the triangles use, as a glTF export has them.
        const bool hasCoordinates = model.skinWidth > 0 && model.skinHeight > 0;
        std::vector<int32_t> modelVertex;
        std::map<std::pair<int32_t, int32_t>, uint32_t> vertexOfPair;
        for (const ExportCorner& corner : corners) {
            const auto found = vertexOfPair.emplace(std::pair{corner.vertex, corner.texCoord}, uint32_t(modelVertex.size()));
            if (found.second) {
                modelVertex.push_back(corner.vertex);
                if (hasCoordinates) {
                    const ModelTexCoord& c = model.texCoords[corner.texCoord];
                    mesh.texCoords.push_back(exportTexCoord(c.s, model.skinWidth));
                    mesh.texCoords.push_back(exportTexCoord(c.t, model.skinHeight));
                }
            }
            mesh.triangles.push_back(found.first->second);
        }
        mesh.vertexCount = modelVertex.size();

        // The skin, or its size alone so the coordinates keep their pixels.
        if (hasCoordinates) {
            SourcePicture picture;
            picture.name = "skin";
            picture.width = skinRgb ? skinWidth : model.skinWidth;
            picture.height = skinRgb ? skinHeight : model.skinHeight;
            if (skinRgb) {
                const size_t pixels = size_t(skinWidth) * size_t(skinHeight);
                picture.rgba.resize(pixels * 4);
                for (size_t i = 0; i < pixels; ++i) {
                    picture.rgba[4 * i] = skinRgb[3 * i];
                    picture.rgba[4 * i + 1] = skinRgb[3 * i + 1];
                    picture.rgba[4 * i + 2] = skinRgb[3 * i + 2];
                    picture.rgba[4 * i + 3] = 255;
                }
            }
            mesh.pictures.push_back(std::move(picture));
            mesh.trianglePicture.assign(corners.size() / 3, 0);
        }

        for (const ModelAnimation& animation : animations) {
            SourceAnimation out;
            out.name = animation.name;
            for (int f = animation.first; f <= animation.last; ++f) {
                const ModelFrame& frame = model.frames[f];
                SourceFrame sample;
                sample.name = exportFrameName(frame);
                sample.positions.resize(modelVertex.size() * 3);
                sample.normals.resize(modelVertex.size() * 3);
                for (size_t v = 0; v < modelVertex.size(); ++v) {
                    exportPosition(frame.vertices[modelVertex[v]], 1.0, &sample.positions[3 * v]);
                    exportNormal(frame.vertices[modelVertex[v]], &sample.normals[3 * v]);
                }
                out.frames.push_back(std::move(sample));
            }
            mesh.animations.push_back(std::move(out));
        }
        return true;
    } catch (const std::bad_alloc&) {
        mesh = SourceMesh();
        error = "not enough memory to read the model";
        return false;
    }
}
