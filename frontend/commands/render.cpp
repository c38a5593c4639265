#include "frontend/commands/render.h"
#include "frontend/drawing/look.h"

#include <CLI/CLI.hpp>

#include <cmath>

#include "frontend/drawing/batch.h"
#include "frontend/files/files.h"
#include "frontend/base/report.h"
#include "frontend/files/names.h"
#include "frontend/system/system.h"
#include "viewer/config.h"

namespace frontend {

namespace {

constexpr int kMostSteps = 1000;
// Four bytes a pixel, read back whole: 8192 x 8192 is 256 MiB already.
constexpr int kLargestEdge = 8192;

enum class OutputKind { Png, Sequence, Gif };

OutputKind outputKind(const std::string& output) {
    if (!sequenceName(output, 0).empty()) return OutputKind::Sequence;
    const std::string extension = extensionOf(fileNameOf(output));
    if (extension == "gif") return OutputKind::Gif;
    if (extension == "png") return OutputKind::Png;
    throw badInput("-o " + output, "write a .png picture, a .png sequence with {frame} in its name, or a .gif animation");
}

// The one point a single picture shows.
FramePoint singlePoint(const RenderRequest& r, const ViewerConfig& record) {
    const int keyFrames = record.endFrame - record.startFrame + 1;
    if (r.frame) return {*r.frame, *r.frame, 0};
    if (r.time) return pointInLoop(*r.time * 1000.0 / double(record.msPerFrame), record.startFrame, record.endFrame);
    if (r.fraction) return pointInLoop(*r.fraction * keyFrames, record.startFrame, record.endFrame);
    return {record.currentFrame, record.nextFrame, record.frameFraction};
}

void checkRequest(const RenderRequest& r, OutputKind kind) {
    const bool onePoint = r.frame || r.time || r.fraction;
    if (kind != OutputKind::Png && onePoint)
        throw badInput("-o " + r.output,
                       "a sequence or GIF shows the whole animation; --frame, --time and --fraction choose one picture");
    if (kind == OutputKind::Png && r.steps > 0)
        throw badInput("--steps", "only a sequence ({frame} in the name) or a GIF has pictures between key frames");
    if (r.view.width > kLargestEdge || r.view.height > kLargestEdge)
        throw badInput("--size " + std::to_string(r.view.width) + "x" + std::to_string(r.view.height),
                       "pictures are at most " + std::to_string(kLargestEdge) + " pixels wide and high");
}

// The view options a request draws: a lone --frame is framed on its own.
ViewOptions viewFor(const RenderRequest& r) {
    ViewOptions view = r.view;
    if (r.frame && view.animation.empty() && !view.frames) {
        view.frames = std::make_pair(*r.frame, *r.frame);
        view.framesGivenAs = r.frameGivenAs;
    }
    return view;
}

void drawModel(const RenderRequest& r, OutputKind kind, const std::string& output, const ViewerConfig& record,
               OffscreenView& view) {
    if (r.frame && (*r.frame < record.startFrame || *r.frame > record.endFrame))
        throw badInput(r.frameGivenAs, "the played frames are " + std::to_string(record.startFrame) + " to " +
                                           std::to_string(record.endFrame));
    applyLook(view, r.look, record.renderMode);
    if (kind == OutputKind::Png) {
        writePngFile(output, view.draw(singlePoint(r, record)), r.transparent);
        return;
    }
    if (kind == OutputKind::Gif) {
        writeLoopGif(output, view, record, r.steps, r.transparent);
        return;
    }
    std::vector<FramePoint> points = loopPoints(record, r.steps);
    for (size_t i = 0; i < points.size() && !InterruptGuard::received(); ++i)
        writePngFile(sequenceName(output, int(i)), view.draw(points[i]), r.transparent);
}

}  // namespace

bool picturesDrawable() { return true; }

void addRenderOptions(CLI::App& app, RenderRequest& r) {
    const char kPicture[] = "Picture";
    app.add_option("-o,--output", r.output,
                   "The picture: OUT.png; OUT_{frame:03}.png for every key frame of the animation, numbered "
                   "from 0; OUT.gif for a looping animated GIF. With several models {name} stands for each model's "
                   "path inside its folder or archive (out/{name}.png)")
        ->required()
        ->type_name("FILE")
        ->group(kPicture);
    auto* frame = addKeyFrameOption(app, "--frame", "Show this key frame (numbered from 0 in the file)", r.frame,
                                    r.frameGivenAs)
                      ->type_name("N")
                      ->group(kPicture);
    auto* time = addNumberOption(app, "--time", false, 0, 1e6, "Show the animation this many seconds after its start",
                                 [&r](double value) { r.time = value; })
                     ->type_name("T")
                     ->group(kPicture);
    auto* fraction =
        addNumberOption(app, "--fraction", false, 0, 1, "Show the animation this far through its loop, from 0 to 1",
                        [&r](double value) { r.fraction = value; })
            ->type_name("F")
            ->group(kPicture);
    frame->excludes(time)->excludes(fraction);
    time->excludes(fraction);
    addNumberOption(app, "--steps", true, 0, kMostSteps,
                    "Blended pictures between key frames in a sequence or GIF [default: 0]",
                    [&r](double value) { r.steps = int(value); })
        ->type_name("K")
        ->group(kPicture);
    addFlagOption(app, "--transparent", r.transparent, "Make the background transparent (alpha 0)")->group(kPicture);
    addPictureLookOptions(app, r.look);
    addWorkersOption(app, r.workers);
}

int renderPictures(const RenderRequest& r) {
    const OutputKind kind = outputKind(r.output);
    checkRequest(r, kind);
    const bool named = hasNamePlace(r.output);
    ClaimedOutputs outputs;
    Batch batch;
    batch.sources = r.sources;
    batch.options = viewFor(r);
    batch.format = {r.view.width, r.view.height, r.transparent, r.look.samples};
    batch.workers = r.workers ? r.workers : defaultWorkers();
    batch.checkCount = needNameForMany(r.output);
    batch.claim = [&](const FoundModel& model) { outputs.claim(withName(r.output, model.name), model.text); };
    batch.draw = [&](const FoundModel& model, const PreparedView& prepared, OffscreenView& view) {
        const std::string output = withName(r.output, model.name);
        if (named) makeFoldersOf(output);
        drawModel(r, kind, output, prepared.record, view);
        return std::string();
    };
    drawEach(batch);
    return 0;
}

}  // namespace frontend
