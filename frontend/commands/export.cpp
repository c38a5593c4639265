#include "frontend/commands/export.h"

#include <CLI/CLI.hpp>

#include "frontend/files/files.h"
#include "frontend/inputs/inputs.h"
#include "frontend/inputs/pictures.h"
#include "frontend/scene/prepare.h"
#include "frontend/base/report.h"
#include "frontend/files/names.h"
#include "frontend/inputs/skins.h"
#include "frontend/system/system.h"
#include "model/export.h"

namespace frontend {

namespace {

enum class Format { Glb, Gltf, Obj };

Format formatOf(const std::string& output) {
    const std::string extension = extensionOf(fileNameOf(output));
    if (extension == "glb") return Format::Glb;
    if (extension == "gltf") return Format::Gltf;
    if (extension == "obj") return Format::Obj;
    throw badInput("-o " + output, "write a .glb or .gltf file (glTF 2.0) or an .obj file");
}

// The skin's pixels, chosen as opening chooses it; none when there is none.
struct SkinPixels {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

SkinPixels findSkinPixels(const ExportRequest& request, const OpenedModel& model, Inputs& inputs, Messages& messages) {
    SkinPixels skin;
    const SkinChoice choice = chooseSkin(model, request.view.skin, request.view.skinNumber, "skin", inputs, messages);
    if (choice.picture) {
        const mxImage& image = *choice.picture->decoded.image;
        skin.width = image.width;
        skin.height = image.height;
        skin.rgb = rgbOf(image);
    } else if (request.view.skin.empty() && request.view.skinNumber == 0) {
        messages.warnings.push_back(request.view.model + ": no skin found; exported with the model colour");
    }
    return skin;
}

// The file name the material of an OBJ sequence shares: the pattern without
// its {frame} place ("run_{frame:03}.obj" -> "run.mtl").
std::string sharedMaterialName(const std::string& pattern) {
    const std::string without = withoutFramePlace(pattern);
    const std::string folder = without.substr(0, without.size() - fileNameOf(without).size());
    const std::string name = sequenceStem(pattern);
    return folder + (name.empty() ? "material" : name) + ".mtl";
}

void collect(const ExportResult& result, const std::string& model, OutputFiles& output) {
    if (!result.ok) throw badInput(model, result.error);
    for (const ExportFile& file : result.files) {
        InterruptGuard::checkpoint();
        output.add(file.name, file.bytes);
    }
}

}  // namespace

void addExportOptions(CLI::App& app, ExportRequest& r) {
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    const char kExport[] = "Export";
    app.add_option("MODEL", r.view.model, "The model (a path or ARCHIVE:PATH)")->required()->type_name("");
    app.add_option("-o,--output", r.output,
                   "OUT.glb (one file), OUT.gltf (with OUT.bin and the skin as OUT.png), OUT.obj (with OUT.mtl and "
                   "OUT.png); OUT_{frame:03}.obj writes every exported key frame, numbered from 0")
        ->required()
        ->type_name("FILE")
        ->group(kExport);
    addSkinOption(app, r.view);
    addAnimationOptions(app, r.view);
    app.get_option("--animation")
        ->description("Export this animation only (ombrel info MODEL lists them) [default: every frame, every "
                      "animation]");
    app.get_option("--frames")->description("Export these key frames only, both included");
    app.get_option("--fps")->description("Key frames per second of the animations, from 0.01 to 1000 [default: 10]");
    app.get_option("--no-interpolate")->description("Step from key frame to key frame instead of blending");
    addKeyFrameOption(app, "--frame", "The key frame an OBJ holds (numbered from 0 in the file) [default: the first exported]",
                      r.frame, r.frameGivenAs)
        ->type_name("N")
        ->group(kExport);
    addNumberOption(app, "--scale", false, 1e-6, 1e6, "Multiply every length by S [default: 1, the file's units]",
                    [&r](double value) { r.scale = value; })
        ->type_name("S")
        ->group(kExport);
    addFlagOption(app, "--quantize",
                  r.quantize, "Store glTF positions and normals in 16- and 8-bit integers (KHR_mesh_quantization)")
        ->group(kExport);
    addColourOption(app, "--model-color", r.view.modelColour, "Colour of the model without a skin [default: 1,1,1]")
        ->type_name("COLOUR")
        ->group(kExport);
    addFlagOption(app, "-v,--verbose", r.view.verbose, "Say which files were chosen and why");
}

int exportModel(const ExportRequest& r) {
    const Format format = formatOf(r.output);
    const bool sequence = !sequenceName(r.output, 0).empty();
    if (sequence && format != Format::Obj)
        throw badInput("-o " + r.output, "{frame} names a sequence of .obj files, one a key frame");
    if (r.frame && (format != Format::Obj || sequence))
        throw badInput(r.frameGivenAs, "only a single .obj holds one key frame");
    if (r.quantize && format == Format::Obj) throw badInput("--quantize", "only glTF files store integers");

    InterruptGuard guard;
    Inputs inputs;
    Messages messages;
    const OpenedModel opened = openModel(r.view.model, inputs);
    for (const std::string& note : opened.notes) messages.notes.push_back(r.view.model + ": " + note);
    if (!opened.check.nothingToDraw.empty())
        throw badInput(r.view.model, "nothing to draw (" + opened.check.nothingToDraw + ")");
    // The named animation, the given frames, or by default every frame.
    const std::pair<int, int> range = chosenFrames(r.view, opened).value_or(std::make_pair(0, opened.model->numFrames - 1));
    if (r.frame) checkKeyFrame(opened, *r.frame, r.frameGivenAs);
    const SkinPixels skin = findSkinPixels(r, opened, inputs, messages);
    messages.show(r.view.verbose);
    InterruptGuard::checkpoint();

    expectLargeBuffers();
    ExportOptions options;
    options.firstFrame = range.first;
    options.lastFrame = range.second;
    options.fps = r.view.framesPerSecond;
    options.interpolate = !r.view.noInterpolate;
    options.scale = r.scale;
    options.quantize = r.quantize;
    if (r.view.modelColour)
        options.color[0] = r.view.modelColour->red, options.color[1] = r.view.modelColour->green,
        options.color[2] = r.view.modelColour->blue;
    if (!skin.rgb.empty()) options.skin = {skin.rgb.data(), skin.width, skin.height};

    // Every file is written beside its name first and renamed into place
    // only when all are: an error or an interrupt leaves none of them.
    OutputFiles output;
    if (format != Format::Obj) {
        collect(exportGltf(opened.model.get(), options, r.output), r.view.model, output);
    } else if (!sequence) {
        collect(exportObj(opened.model.get(), r.frame.value_or(range.first), options, r.output), r.view.model, output);
    } else {
        const std::string material = sharedMaterialName(r.output);
        collect(exportObjMaterial(options, material), r.view.model, output);
        for (int frame = range.first; frame <= range.second; ++frame)
            collect(exportObjFrame(opened.model.get(), frame, options, sequenceName(r.output, frame - range.first),
                                   material),
                    r.view.model, output);
    }
    InterruptGuard::checkpoint();
    output.commit();
    if (r.view.verbose) report("wrote " + nativePath(r.output));
    return 0;
}

}  // namespace frontend
