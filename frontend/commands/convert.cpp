#include "frontend/commands/convert.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>

#include "frontend/base/options.h"
#include "frontend/base/report.h"
#include "frontend/files/files.h"
#include "frontend/inputs/formats.h"
#include "frontend/inputs/inputs.h"
#include "frontend/inputs/pictures.h"
#include "frontend/inputs/skins.h"
#include "frontend/system/system.h"
#include "image/palette.h"
#include "model/import.h"
#include "model/md2_maker.h"
#include "model/model.h"
#include "model/model_check.h"

namespace frontend {

namespace {

const char kSource[] = "Source and frames";
const char kShape[] = "Size and shape";
const char kSkin[] = "Skin";

// A skin's pixels: R, G, B rows, top first.
struct SkinPixels {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

SkinPixels pixelsOf(const Picture& picture) {
    const mxImage& image = *picture.decoded.image;
    return {image.width, image.height, rgbOf(image)};
}

// The picture given with --skin; refused when it can't be decoded (a skin
// asked for by name is not passed over).
SkinPixels givenSkin(const std::string& text, Inputs& inputs) {
    const PictureRef picture = inputs.picture(inputs.locate(text), text);
    if (!picture->decoded.image) throw badInput(text, "can't read the skin (" + picture->error + ")");
    return pixelsOf(*picture);
}

// --palette FILE: 768 bytes of R, G, B as a game keeps them (.lmp, .pal), or
// the palette of an 8-bit PCX.
std::vector<uint8_t> readPalette(const std::string& text, Inputs& inputs) {
    std::vector<uint8_t> bytes = inputs.read(inputs.locate(text), kLargestInputFile, text);
    if (bytes.size() == size_t(PALETTE_SIZE)) return bytes;
    DecodedPicture picture;
    std::string error;
    if (decodePicture(bytes, picture, error) && picture.image->bpp == 8 && picture.image->palette)
        return std::vector<uint8_t>(picture.image->palette, picture.image->palette + PALETTE_SIZE);
    throw badInput("--palette " + text, "expected 768 bytes of R, G, B (a .lmp or .pal) or an 8-bit PCX (it has " +
                                            std::to_string(bytes.size()) + " bytes)");
}

// The source as the maker takes it. An IDP2 model is opened as opening
// opens it, with the skin opening would show unless --skin gives one.
SourceMesh readMesh(const ConvertRequest& r, Inputs& inputs, Messages& messages) {
    SourceReadOptions options;
    options.rate = r.rate;
    options.animations = r.animations;
    ModelSource source = readSource(r.source, inputs);
    if (source.format->source) {
        SourceMesh mesh = readSourceMesh(source, options, inputs);
        for (const std::string& dropped : mesh.dropped) messages.notes.push_back(r.source + ": left out: " + dropped);
        return mesh;
    }
    const OpenedModel opened = readModel(std::move(source), inputs);
    if (!opened.check.refusal.empty()) throw badInput(r.source, opened.check.refusal);
    if (!opened.check.nothingToDraw.empty())
        throw badInput(r.source, "nothing to draw (" + opened.check.nothingToDraw + ")");
    SkinPixels skin;
    if (r.skin.empty()) {
        const SkinChoice choice = chooseSkin(opened, "", 0, "skin", inputs, messages);
        if (choice.picture) skin = pixelsOf(*choice.picture);
    }
    SourceMesh mesh;
    std::string error;
    if (!readMd2Source(*opened.model, skin.rgb.empty() ? nullptr : skin.rgb.data(), skin.width, skin.height, options,
                       mesh, error))
        throw badInput(r.source, error);
    return mesh;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

std::string animationName(const Md2AnimationReport& a) { return a.name.empty() ? "the model" : a.name; }

void printText(const ConvertRequest& r, const Md2MakeResult& made, const Model& h, const std::string& skinPath,
               std::ostream& out) {
    out << nativePath(r.output) << ": " << h.numFrames << (h.numFrames == 1 ? " frame, " : " frames, ") << h.numVertices
        << " vertices, " << h.numTriangles << " triangles, "
        << (made.skin.empty() ? std::string("no skin")
                              : "skin " + nativePath(skinPath) + " (" + std::to_string(h.skinWidth) + "x" +
                                    std::to_string(h.skinHeight) + ")")
        << "\n";
    for (const Md2AnimationReport& a : made.animations)
        out << "  " << animationName(a) << " (" << a.frames << (a.frames == 1 ? " frame" : " frames")
            << "): position error at most " << number(a.largestError) << " (" << number(a.largestErrorSteps)
            << " of a step), mean " << number(a.meanError) << " (" << number(a.meanErrorSteps) << "); normals within "
            << number(a.largestNormalErrorDegrees) << " degrees\n";
    out << "  commands: " << made.commandWords << " words (the triangle list would take " << made.triangleListWords
        << ")\n";
}

void printJson(const ConvertRequest& r, const Md2MakeResult& made, const Model& h, const std::string& skinPath,
               const std::string& skinName, const Messages& messages, std::ostream& out) {
    nlohmann::json j;
    j["model"] = nativePath(r.output);
    j["skin"] = made.skin.empty() ? nlohmann::json(nullptr) : nlohmann::json(nativePath(skinPath));
    j["skinName"] = made.skin.empty() || skinName.empty() ? nlohmann::json(nullptr) : nlohmann::json(skinName);
    j["frames"] = h.numFrames;
    j["vertices"] = h.numVertices;
    j["triangles"] = h.numTriangles;
    j["texCoords"] = h.numTexCoords;
    j["skinWidth"] = h.skinWidth;
    j["skinHeight"] = h.skinHeight;
    j["commandWords"] = made.commandWords;
    j["triangleListWords"] = made.triangleListWords;
    j["animations"] = nlohmann::json::array();
    for (const Md2AnimationReport& a : made.animations)
        j["animations"].push_back({{"name", a.name},
                                   {"frames", a.frames},
                                   {"largestError", a.largestError},
                                   {"meanError", a.meanError},
                                   {"largestErrorSteps", a.largestErrorSteps},
                                   {"meanErrorSteps", a.meanErrorSteps},
                                   {"largestNormalErrorDegrees", a.largestNormalErrorDegrees}});
    j["warnings"] = made.warnings;
    j["notes"] = messages.notes;
    out << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace

void addConvertOptions(CLI::App& app, ConvertRequest& r) {
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("SOURCE", r.source,
                   "A .glb or .gltf file, an .obj file, an OBJ sequence typed as 'walk_{frame}.obj', or an .md2 file "
                   "to make again (a path or ARCHIVE:PATH)")
        ->required()
        ->type_name("");
    app.add_option("-o,--output", r.output, "OUT.md2; its skin is written beside it as OUT.pcx")
        ->required()
        ->type_name("FILE");
    addNumberOption(app, "--rate", false, 0.01, SOURCE_MAX_RATE,
                    "Frames made a second of each glTF animation, from 0.01 to 1000 [default: 10]; --fps elsewhere "
                    "is the speed they play at",
                    [&r](double value) { r.rate = value; })
        ->type_name("R")
        ->group(kSource);
    addValueOption(app, "--animation",
                   "Make only this animation of the source; give it again for more [default: every one]",
                   [&r](const std::string& value, std::string&) {
                       r.animations.push_back(value);
                       return true;
                   })
        ->type_name("NAME")
        ->group(kSource);
    addNumberOption(app, "--scale", false, 1e-6, 1e6, "Multiply every length by S [default: 1, the source's units]",
                    [&r](double value) {
                        r.scale = value;
                        r.scaleGiven = true;
                    })
        ->type_name("S")
        ->group(kShape);
    addNumberOption(app, "--height", false, 1e-6, 1e6,
                    "Scale the model so its first frame is H high (the source's up axis), instead of --scale",
                    [&r](double value) { r.height = value; })
        ->type_name("H")
        ->group(kShape);
    addValueOption(app, "--box",
                   "frame: each frame its own tightest box, for the least error [default: animation, one grid an "
                   "animation, on which vertices that do not move stay in one place]",
                   [&r](const std::string& value, std::string& error) {
                       if (value != "frame" && value != "animation") {
                           error = "expected frame or animation";
                           return false;
                       }
                       r.boxPerFrame = value == "frame";
                       return true;
                   })
        ->type_name("KIND")
        ->group(kShape);
    app.add_option("--skin", r.skin,
                   "Make the skin of this picture instead of the source's own (a path or ARCHIVE:PATH): every "
                   "texture coordinate lies in it")
        ->type_name("PICTURE")
        ->group(kSkin);
    app.add_option("--palette", r.palette,
                   "Map the skin onto this palette (an 8-bit PCX's, or 768 bytes of a .lmp or .pal, such as a game's "
                   "own) instead of making one for it; transparent pixels take index 255")
        ->type_name("FILE")
        ->group(kSkin);
    addFlagOption(app, "--dither", r.dither, "Diffuse the error of mapping the skin onto its palette (Floyd-Steinberg)")
        ->group(kSkin);
    app.add_option_function<std::string>(
           "--skin-name",
           [&r](const std::string& value) {
               r.skinName = value;
               r.skinNameGiven = true;
           },
           "The skin's name stored in the model, such as models/monsters/knight/skin.pcx; \"\" stores none "
           "[default: OUT.pcx's file name, the skin beside the model]")
        ->type_name("NAME")
        ->group(kSkin);
    addFlagOption(app, "--strict", r.strict,
                  "Refuse what engines of the format's era refuse (over 2048 vertices, 4096 triangles, 512 frames, "
                  "32 skins, a skin taller than 480 pixels) instead of warning");
    addFlagOption(app, "--json", r.json, "Print the report as one JSON object");
    addFlagOption(app, "-v,--verbose", r.verbose, "Say which files were chosen and what the source's reader left out");
}

int convertModel(const ConvertRequest& r) {
    if (extensionOf(fileNameOf(r.output)) != "md2")
        throw badInput("-o " + r.output, "write an .md2 file (its skin goes beside it as a .pcx)");
    if (r.scaleGiven && r.height > 0) throw badInput("--height", "give --scale or --height, not both");
    const std::string skinPath = nameBeside(r.output, "pcx");
    const std::string skinName = r.skinNameGiven ? r.skinName : fileNameOf(skinPath);
    if (skinName.size() >= size_t(MODEL_SKIN_NAME_SIZE))
        throw badInput(r.skinNameGiven ? "--skin-name " + skinName : "-o " + r.output,
                       "a model stores skin names of at most " + std::to_string(MODEL_SKIN_NAME_SIZE - 1) + " bytes");

    InterruptGuard guard;
    Inputs inputs;
    Messages messages;
    Md2MakeOptions options;
    options.scale = r.scale;
    options.height = r.height;
    options.boxPerFrame = r.boxPerFrame;
    options.dither = r.dither;
    options.skinName = skinName;
    options.strict = r.strict;
    SkinPixels skin;
    if (!r.skin.empty()) skin = givenSkin(r.skin, inputs);
    if (!r.palette.empty()) options.palette = readPalette(r.palette, inputs);
    const SourceMesh mesh = readMesh(r, inputs, messages);
    if (!skin.rgb.empty()) {
        options.pictureRgb = skin.rgb.data();
        options.pictureWidth = skin.width;
        options.pictureHeight = skin.height;
    }
    InterruptGuard::checkpoint();

    expectLargeBuffers();
    const Md2MakeResult made = makeMd2(mesh, options);
    if (!made.ok) throw badInput(r.source, made.error);
    for (const std::string& warning : made.warnings) messages.warnings.push_back(r.source + ": " + warning);
    messages.show(r.verbose);
    InterruptGuard::checkpoint();

    // Both files beside their names first, renamed into place together.
    OutputFiles output;
    output.add(r.output, made.model);
    if (!made.skin.empty()) output.add(skinPath, made.skin);
    InterruptGuard::checkpoint();
    output.commit();

    const ModelCheck check = modelCheck(made.model.data(), made.model.size());
    if (r.json)
        printJson(r, made, check.header, skinPath, skinName, messages, std::cout);
    else
        printText(r, made, check.header, skinPath, std::cout);
    return 0;
}

}  // namespace frontend
