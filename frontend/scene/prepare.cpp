#include "frontend/scene/prepare.h"

#include <algorithm>

#include "frontend/files/files.h"
#include "frontend/scene/framing.h"
#include "frontend/inputs/skins.h"
#include "frontend/system/system.h"
#include "model/animations.h"

namespace frontend {

namespace {

// The texture slots' pictures and the models end up in the record's path
// fields: as the person's system writes paths, each under 256 characters
// (staging made sure of that).
void setPath(ViewerConfig& record, ConfigPath which, const std::string& path) {
    setConfigPath(record, which, nativePath(path));
}

// A picture the person named (a path or ARCHIVE:PATH) for one of the slots.
std::string placeNamedPicture(const std::string& text, const std::string& role, const std::string& purpose,
                              Inputs& inputs, Staging& staging, Messages& messages) {
    const FileRef file = inputs.locate(text);
    return staging.placePicture(file, inputs.read(file, kLargestInputFile, text), text, role, purpose, messages);
}

// The skin of a model, where the viewer reads it; "" for none.
std::string placeSkin(const OpenedModel& model, const std::string& given, int storedNumber, const std::string& role,
                      const std::string& purpose, Inputs& inputs, Staging& staging, Messages& messages) {
    std::string path;
    useSkin(model, given, storedNumber, purpose, inputs, messages,
            [&](const FileRef& file, const std::vector<uint8_t>& bytes, const std::string& shownName) {
                path = staging.placePicture(file, bytes, shownName, role, purpose, messages);
                return !path.empty();
            });
    return path;
}

// The main model and its skin; the render mode follows from the skin.
void placeMainModel(const ViewOptions& options, const OpenedModel& main, Inputs& inputs, Staging& staging,
                    PreparedView& view) {
    const std::string skin =
        placeSkin(main, options.skin, options.skinNumber, "skin", "skin", inputs, staging, view.messages);
    // A model with nothing to draw is said so instead (by the caller).
    if (skin.empty() && options.skin.empty() && options.skinNumber == 0 && main.check.nothingToDraw.empty())
        view.messages.warnings.push_back(options.model + ": no skin found; showing the wireframe");
    setPath(view.record, PATH_MAIN_MODEL, staging.placeModel(main, "model.md2"));
    setPath(view.record, PATH_MAIN_SKIN, skin);
    view.record.renderMode = options.renderMode ? *options.renderMode
                             : skin.empty()     ? RENDER_WIREFRAME
                                                : RENDER_TEXTURED;
}

void placeAttachment(const ViewOptions& options, Inputs& inputs, Staging& staging, PreparedView& view) {
    if (options.attach.empty()) {
        if (!options.attachSkin.empty())
            throw badInput("--attach-skin " + options.attachSkin, "there is no --attach model to put it on");
        return;
    }
    const OpenedModel attach = openModel(options.attach, inputs);
    const std::string skin = placeSkin(attach, options.attachSkin, 0, "attach-skin", "skin of the attachment", inputs,
                                       staging, view.messages);
    if (skin.empty() && options.attachSkin.empty())
        view.messages.warnings.push_back(options.attach + ": no skin found for the attachment");
    setPath(view.record, PATH_ATTACH_MODEL, staging.placeModel(attach, "attach.md2"));
    setPath(view.record, PATH_ATTACH_SKIN, skin);
}

void placeBackgroundAndWater(const ViewOptions& options, Inputs& inputs, Staging& staging, PreparedView& view) {
    if (!options.background.empty())
        setPath(view.record, PATH_BACKGROUND,
                placeNamedPicture(options.background, "background", "background", inputs, staging, view.messages));
    if (!options.water.empty()) {
        setPath(view.record, PATH_WATER,
                placeNamedPicture(options.water, "water-surface", "water", inputs, staging, view.messages));
        return;
    }
    const std::string water = defaultWaterPicture();
    if (water.empty()) {
        view.messages.notes.push_back("water: none (the installed water.pcx is missing)");
        return;
    }
    setPath(view.record, PATH_WATER, staging.recordPath(water, "water-surface.pcx"));
}

// The played range: the named animation, the given frames, or by default
// the first animation that moves (all frames when none does).
std::pair<int, int> playedFrames(const ViewOptions& options, const OpenedModel& opened, Messages& messages) {
    if (const auto chosen = chosenFrames(options, opened)) return *chosen;
    const Model& model = *opened.model;
    for (const ModelAnimation& a : modelAnimations(&model))
        if (a.last > a.first) {
            messages.notes.push_back("animation: " + a.name + " (frames " + std::to_string(a.first) + " to " +
                                     std::to_string(a.last) + ")");
            return {a.first, a.last};
        }
    return {0, std::max(model.numFrames - 1, 0)};
}

// The played range's frames: the first shown, blending towards the next.
void setFrames(ViewerConfig& record, int first, int last) {
    record.startFrame = record.currentFrame = first;
    record.endFrame = last;
    record.nextFrame = first < last ? first + 1 : first;
    record.frameFraction = 0;
}

// The eye placed so the played frames, turned, fill the window.
void frameView(const ViewOptions& options, const Model& model, ViewerConfig& record) {
    const ViewPlacement placement =
        frameFrames(model, record.startFrame, record.endFrame, options.rotX, options.rotY,
                    float(options.width) / float(options.height), options.distance ? *options.distance : 0);
    record.transX = placement.transX;
    record.transY = placement.transY;
    record.transZ = placement.transZ;
}

void setAnimation(const ViewOptions& options, const OpenedModel& main, PreparedView& view) {
    const std::pair<int, int> range = playedFrames(options, main, view.messages);
    setFrames(view.record, range.first, range.second);
    view.record.msPerFrame = float(1000.0 / options.framesPerSecond);
}

// The window, the turn and the eye placed so the played frames fill the window.
void setView(const ViewOptions& options, const OpenedModel& main, ViewerConfig& record) {
    record.windowWidth = options.width;
    record.windowHeight = options.height;
    record.fullScreen = options.fullScreen ? 1 : 0;
    record.rotX = options.rotX;
    record.rotY = options.rotY;
    frameView(options, *main.model, record);
}

void setColour(float (&field)[3], const std::optional<Colour>& colour) {
    if (!colour) return;
    field[0] = colour->red, field[1] = colour->green, field[2] = colour->blue;
}

void setLook(const ViewOptions& options, ViewerConfig& record) {
    setColour(record.backgroundColor, options.backgroundColour);
    setColour(record.modelColor, options.modelColour);
    setColour(record.wireColor, options.wireColour);
    setColour(record.lightColor, options.lightColour);
    record.brightness = float(options.brightness);

    int flags = FLAG_LIGHTING | FLAG_SPECULAR | FLAG_INTERPOLATE | FLAG_COMMANDS;
    if (options.noInterpolate) flags &= ~FLAG_INTERPOLATE;
    if (options.triangles) flags &= ~FLAG_COMMANDS;
    if (options.paused) flags |= FLAG_PAUSED;
    if (options.waterOn) flags |= FLAG_WATER;
    if (options.showBackground) flags |= FLAG_BACKGROUND;
    record.flags = flags;
    record.textureLimit = 256;
}

}  // namespace

std::optional<std::pair<int, int>> chosenFrames(const ViewOptions& options, const OpenedModel& opened) {
    const Model& model = *opened.model;
    if (!options.animation.empty()) {
        const std::vector<ModelAnimation> animations = modelAnimations(&model);
        for (const ModelAnimation& a : animations)
            if (a.name == options.animation) return std::make_pair(a.first, a.last);
        std::string names;
        for (const ModelAnimation& a : animations) names += (names.empty() ? "" : ", ") + a.name;
        throw badInput("--animation " + options.animation, opened.shownName + " has no animation of that name" +
                                                                (names.empty() ? std::string() : " (it has " + names + ")"));
    }
    if (options.frames) {
        if (options.frames->second >= model.numFrames)
            throw badInput(options.framesGivenAs,
                           opened.shownName + " has key frames 0 to " + std::to_string(model.numFrames - 1));
        return options.frames;
    }
    return std::nullopt;
}

std::string defaultWaterPicture() {
    for (const std::string& folder : dataFolders()) {
        const std::string path = folder + "/water.pcx";
        if (fileKind(path) == FileKind::Regular) return path;
    }
    return "";
}

void playFrames(ViewerConfig& record, const Model& model, int first, int last, const ViewOptions& options) {
    setFrames(record, first, last);
    frameView(options, model, record);
}

PreparedView prepareView(const ViewOptions& options, Staging& staging) {
    Inputs inputs;
    return prepareView(options, inputs, staging);
}

PreparedView prepareView(const ViewOptions& options, Inputs& inputs, Staging& staging) {
    if (options.model.empty()) throw badInput("", "no model given");
    PreparedView view;
    view.main = openModel(options.model, inputs);
    const OpenedModel& main = view.main;
    if (!main.check.nothingToDraw.empty())
        view.nothingToDraw = options.model + ": nothing to draw (" + main.check.nothingToDraw + ")";
    // A signal between steps ends the run there, not after every picture
    // is converted.
    InterruptGuard::checkpoint();
    placeMainModel(options, main, inputs, staging, view);
    InterruptGuard::checkpoint();
    placeAttachment(options, inputs, staging, view);
    InterruptGuard::checkpoint();
    placeBackgroundAndWater(options, inputs, staging, view);
    InterruptGuard::checkpoint();
    setAnimation(options, main, view);
    setView(options, main, view.record);
    setLook(options, view.record);
    return view;
}

}  // namespace frontend
