#include "frontend/scene/describe.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "frontend/files/files.h"
#include "frontend/base/report.h"
#include "model/animations.h"
#include "model/draw.h"
#include "model/model.h"

namespace frontend {

namespace {

std::string fixed(float value) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(2) << value;
    return out.str();
}

void printText(const ModelDescription& d, std::ostream& out) {
    const Model& h = d.check.header;
    out << d.name << ": IDP2 model, version " << h.version
        << (d.madeFrom.empty() ? "" : " (made of this " + d.madeFrom + " as ombrel convert makes it)") << "\n";
    out << "  frames " << h.numFrames << ", vertices " << h.numVertices << ", triangles " << h.numTriangles
        << ", texture coordinates " << h.numTexCoords << ", draw-command words " << h.numCommands << "\n";
    out << "  skin size " << h.skinWidth << "x" << h.skinHeight << "\n";
    if (d.storedSkins.empty()) out << "  stored skin names: none\n";
    for (size_t i = 0; i < d.storedSkins.size(); ++i)
        out << "  stored skin " << i + 1 << ": " << d.storedSkins[i] << " -> "
            << (d.storedResolved[i].empty() ? std::string("not found") : d.storedResolved[i]) << "\n";
    out << "  skin: " << (d.skin.empty() ? "none found" : d.skin + (d.skinWhy.empty() ? "" : " (" + d.skinWhy + ")"))
        << "\n";
    if (!d.animations.empty()) {
        out << "  animations:\n";
        size_t width = 0;
        for (const ModelAnimation& a : d.animations) width = std::max(width, a.name.size());
        for (const ModelAnimation& a : d.animations)
            out << "    " << std::left << std::setw(int(width)) << a.name << std::right << "  " << a.first << "-"
                << a.last << " (" << a.last - a.first + 1 << (a.last == a.first ? " frame)" : " frames)") << "\n";
    }
    if (d.hasBounds) {
        const ModelBounds& b = d.bounds;
        out << "  bounds of frame 0: x " << fixed(b.minX) << " to " << fixed(b.maxX) << ", y " << fixed(b.minY)
            << " to " << fixed(b.maxY) << ", z " << fixed(b.minZ) << " to " << fixed(b.maxZ) << " (y up)\n";
    }
    std::vector<std::string> problems = d.check.problems;
    if (!d.check.refusal.empty()) problems.insert(problems.begin(), "the viewer refuses it: " + d.check.refusal);
    if (problems.empty()) out << "  problems: none\n";
    for (const std::string& problem : problems) out << "  problem: " << problem << "\n";
}

}  // namespace

nlohmann::json describeJson(const ModelDescription& d) {
    const Model& h = d.check.header;
    nlohmann::json j;
    j["file"] = d.name;
    j["version"] = h.version;
    j["madeFrom"] = d.madeFrom.empty() ? nlohmann::json(nullptr) : nlohmann::json(d.madeFrom);
    j["frames"] = h.numFrames;
    j["vertices"] = h.numVertices;
    j["triangles"] = h.numTriangles;
    j["texCoords"] = h.numTexCoords;
    j["commands"] = h.numCommands;
    j["skinWidth"] = h.skinWidth;
    j["skinHeight"] = h.skinHeight;
    j["skins"] = nlohmann::json::array();
    for (size_t i = 0; i < d.storedSkins.size(); ++i)
        j["skins"].push_back({{"name", d.storedSkins[i]},
                              {"path", d.storedResolved[i].empty() ? nlohmann::json(nullptr)
                                                                   : nlohmann::json(d.storedResolved[i])}});
    j["skin"] = d.skin.empty() ? nlohmann::json(nullptr) : nlohmann::json(d.skin);
    j["animations"] = nlohmann::json::array();
    for (const ModelAnimation& a : d.animations)
        j["animations"].push_back({{"name", a.name}, {"first", a.first}, {"last", a.last}});
    if (d.hasBounds) {
        const ModelBounds& b = d.bounds;
        j["bounds"] = {{"min", {b.minX, b.minY, b.minZ}}, {"max", {b.maxX, b.maxY, b.maxZ}}};
    } else {
        j["bounds"] = nullptr;
    }
    j["usable"] = d.check.refusal.empty() && d.check.nothingToDraw.empty();
    j["problems"] = nlohmann::json::array();
    if (!d.check.refusal.empty()) j["problems"].push_back("the viewer refuses it: " + d.check.refusal);
    for (const std::string& problem : d.check.problems) j["problems"].push_back(problem);
    return j;
}

ModelDescription describeModel(const OpenedModel& model, const std::string& name, const SkinChoice* skin,
                               const FileNamer& namer) {
    ModelDescription d;
    d.name = name;
    d.check = model.check;
    d.madeFrom = model.madeFrom;
    d.storedSkins = model.storedSkins;
    if (model.model) {
        d.animations = modelAnimations(model.model.get());
        if (model.model->numFrames > 0 && model.model->numVertices > 0) {
            modelBounds(model.model.get(), &d.bounds);
            d.hasBounds = true;
        }
    }
    d.storedResolved.resize(d.storedSkins.size());
    if (model.file.empty()) return d;
    for (size_t i = 0; i < d.storedSkins.size(); ++i) {
        const FileRef target = resolveStoredSkin(model.file, d.storedSkins[i]);
        if (!target.empty()) d.storedResolved[i] = namer(target);
    }
    if (skin) {
        for (const auto& [file, why] : skin->passedOver)
            d.check.problems.push_back("skin " + namer(file) + " passed over: " + why);
        if (skin->picture) {
            // A picture made in memory is the model's own (a source's skin).
            d.skin = namer(skin->picture->file.empty() ? model.file : skin->picture->file);
            d.skinWhy = skin->why;
        } else {
            d.check.problems.push_back("no skin found");
        }
    }
    for (size_t i = 0; i < d.storedSkins.size(); ++i)
        if (d.storedResolved[i].empty())
            d.check.problems.push_back("stored skin " + std::to_string(i + 1) + " (" + d.storedSkins[i] +
                                       ") is nowhere to be found");
    return d;
}

void printDescription(const ModelDescription& d, bool json, std::ostream& out) {
    if (json)
        // Names come from the file: bytes that are not UTF-8 are replaced, not fatal.
        out << describeJson(d).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    else
        printText(d, out);
}

}  // namespace frontend
