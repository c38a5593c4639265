#include "frontend/scene/prepare.h"

#include <algorithm>

#include "frontend/files/files.h"
#include "frontend/inputs/formats.h"
#include "frontend/scene/framing.h"
#include "frontend/system/system.h"
#include "model/animations.h"

namespace frontend {

namespace {

// A picture the person named (a path or ARCHIVE:PATH) for one of the slots;
// null, with a warning, when it can't be decoded.
PictureRef namedPicture(const std::string& text, const std::string& purpose, Inputs& inputs, Messages& messages) {
    PictureRef picture = inputs.picture(inputs.locate(text), text);
    if (!picture->decoded.image) {
        messages.warnings.push_back(text + ": can't read the " + purpose + " (" + picture->error +
                                    "); going on without it");
        return nullptr;
    }
    messages.notes.push_back(purpose + ": " + text);
    return picture;
}

// The installed default water picture; null, with a note, when it is not there.
PictureRef defaultWater(Inputs& inputs, Messages& messages) {
    for (const std::string& folder : dataFolders()) {
        const std::string path = folder + "/water.pcx";
        if (fileKind(path) != FileKind::Regular) continue;
        try {
            PictureRef picture = inputs.picture(FileRef{nullptr, path}, path);
            if (picture->decoded.image) return picture;
            messages.notes.push_back("water: none (the installed " + path + " can't be read: " + picture->error + ")");
        } catch (const Failure& unreadable) {
            messages.notes.push_back("water: none (" + std::string(unreadable.what()) + ")");
        }
        return nullptr;
    }
    messages.notes.push_back("water: none (the installed water.pcx is missing)");
    return nullptr;
}

// The main model's skin; the render mode follows from it.
void chooseMainSkin(const ViewOptions& options, Inputs& inputs, PreparedView& view) {
    view.mainSkin = chooseSkin(view.main, options.skin, options.skinNumber, "skin", inputs, view.messages);
    const bool skinned = view.mainSkin.picture != nullptr;
    // A model with nothing to draw is said so instead (by the caller).
    if (!skinned && options.skin.empty() && options.skinNumber == 0 && view.main.check.nothingToDraw.empty())
        view.messages.warnings.push_back(options.model + ": no skin found; showing the wireframe");
    view.record.renderMode = options.renderMode ? *options.renderMode : skinned ? RENDER_TEXTURED : RENDER_WIREFRAME;
}

void openAttachment(const ViewOptions& options, Inputs& inputs, PreparedView& view) {
    if (options.attach.empty()) {
        if (!options.attachSkin.empty())
            throw badInput("--attach-skin " + options.attachSkin, "there is no --attach model to put it on");
        return;
    }
    view.attach = openModel(options.attach, inputs);
    for (const std::string& note : view.attach->notes) view.messages.notes.push_back(options.attach + ": " + note);
    view.attachSkin =
        chooseSkin(*view.attach, options.attachSkin, 0, "skin of the attachment", inputs, view.messages);
    if (!view.attachSkin.picture && options.attachSkin.empty())
        view.messages.warnings.push_back(options.attach + ": no skin found for the attachment");
}

void openBackgroundAndWater(const ViewOptions& options, ShownBy shownBy, Inputs& inputs, PreparedView& view) {
    const bool everything = shownBy == ShownBy::Viewer;
    if (!options.background.empty() && (everything || options.showBackground))
        view.background = namedPicture(options.background, "background", inputs, view.messages);
    if (!everything && !options.waterOn) return;
    view.water = options.water.empty() ? defaultWater(inputs, view.messages)
                                       : namedPicture(options.water, "water", inputs, view.messages);
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

// What the reader left out, and whether anything is left to draw.
void noteWhatWasRead(PreparedView& view) {
    for (const std::string& note : view.main.notes) view.messages.notes.push_back(view.main.shownName + ": " + note);
    if (!view.main.check.nothingToDraw.empty())
        view.nothingToDraw = view.main.shownName + ": nothing to draw (" + view.main.check.nothingToDraw + ")";
}

// The played frames, the framed view and the look, once the models are in.
void setPlayedView(const ViewOptions& options, PreparedView& view) {
    setAnimation(options, view.main, view);
    setView(options, view.main, view.record);
    setLook(options, view.record);
}

}  // namespace

void checkKeyFrame(const OpenedModel& model, int frame, const std::string& givenAs) {
    if (frame >= model.model->numFrames)
        throw badInput(givenAs, model.shownName + " has key frames 0 to " + std::to_string(model.model->numFrames - 1));
}

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
        checkKeyFrame(opened, options.frames->second, options.framesGivenAs);
        return options.frames;
    }
    return std::nullopt;
}

void playFrames(ViewerConfig& record, const Model& model, int first, int last, const ViewOptions& options) {
    setFrames(record, first, last);
    frameView(options, model, record);
}

PreparedView prepareView(const ViewOptions& options, Inputs& inputs, ShownBy shownBy) {
    if (options.model.empty()) throw badInput("", "no model given");
    PreparedView view;
    view.main = openModel(options.model, inputs);
    noteWhatWasRead(view);
    // A signal between steps ends the run there, not after every picture
    // is read.
    InterruptGuard::checkpoint();
    chooseMainSkin(options, inputs, view);
    InterruptGuard::checkpoint();
    openAttachment(options, inputs, view);
    InterruptGuard::checkpoint();
    openBackgroundAndWater(options, shownBy, inputs, view);
    InterruptGuard::checkpoint();
    setPlayedView(options, view);
    return view;
}

PreparedView prepareModelBytes(const ViewOptions& options, std::vector<uint8_t> bytes, const std::string& shownName) {
    PreparedView view;
    view.main.shownName = shownName;
    view.main.bytes = std::move(bytes);
    decodeModel(view.main);
    if (!view.main.check.refusal.empty()) throw badInput(shownName, view.main.check.refusal);
    noteWhatWasRead(view);
    view.record.renderMode = options.renderMode ? *options.renderMode : RENDER_WIREFRAME;
    setPlayedView(options, view);
    return view;
}

}  // namespace frontend
