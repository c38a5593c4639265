#include "frontend/render.h"

#include <CLI/CLI.hpp>

#include <cmath>

#include "frontend/files.h"
#include "frontend/gif.h"
#include "frontend/offscreen.h"
#include "frontend/prepare.h"
#include "frontend/report.h"
#include "frontend/sequence.h"
#include "frontend/system.h"
#include "image/png_writer.h"
#include "viewer/config.h"

namespace frontend {

namespace {

constexpr int kMostSteps = 1000;
constexpr int kMostPictures = 100000;
// Four bytes a pixel, read back whole: 8192 x 8192 is 256 MiB already.
constexpr int kLargestEdge = 8192;
// Players wait at least this long between GIF pictures whatever the file
// says (shorter delays are shown far slower), so no delay is shorter.
constexpr int kShortestGifDelay = 2;

enum class OutputKind { Png, Sequence, Gif };

OutputKind outputKind(const std::string& output) {
    if (!sequenceName(output, 0).empty()) return OutputKind::Sequence;
    const std::string extension = extensionOf(fileNameOf(output));
    if (extension == "gif") return OutputKind::Gif;
    if (extension == "png") return OutputKind::Png;
    throw badInput("-o " + output, "write a .png picture, a .png sequence with {frame} in its name, or a .gif animation");
}

// A PNG of the picture: R, G, B, or with its alpha when asked. Throws a Failure.
void writePng(const std::string& path, const RgbaPicture& picture, bool alpha) {
    std::vector<uint8_t> rgb;
    if (!alpha) {
        rgb.resize(picture.rgba.size() / 4 * 3);
        for (size_t i = 0, o = 0; o < rgb.size(); i += 4, o += 3)
            rgb[o] = picture.rgba[i], rgb[o + 1] = picture.rgba[i + 1], rgb[o + 2] = picture.rgba[i + 2];
    }
    std::vector<uint8_t> bytes =
        encodePng(picture.width, picture.height, alpha ? 4 : 3, alpha ? picture.rgba.data() : rgb.data());
    if (bytes.empty()) throw systemFailure(path, "can't encode the PNG");
    replaceFile(path, bytes);
}

// The points a sequence or a GIF shows: every key frame of the played
// loop and steps blended pictures after each, the last leading back to the first.
std::vector<FramePoint> loopPoints(const ViewerConfig& record, int steps) {
    const int keyFrames = record.endFrame - record.startFrame + 1;
    std::vector<FramePoint> points;
    const int count = keyFrames * (steps + 1);
    if (count > kMostPictures)
        throw badInput("--steps " + std::to_string(steps), std::to_string(count) + " pictures are too many");
    for (int i = 0; i < count; ++i)
        points.push_back(pointInLoop(double(i) / double(steps + 1), record.startFrame, record.endFrame));
    return points;
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

// A picture of a model with nothing to draw would be only the background:
// refused, so a thumbnail or a gallery never shows an empty square as a model.
void refuseEmpty(const PreparedView& prepared) {
    if (!prepared.nothingToDraw.empty()) throw badInput("", prepared.nothingToDraw);
}

void drawAll(const RenderRequest& r, OutputKind kind, ViewerConfig& record, InterruptGuard& guard) {
    if (r.frame && (*r.frame < record.startFrame || *r.frame > record.endFrame))
        throw badInput(r.frameGivenAs, "the played frames are " + std::to_string(record.startFrame) + " to " +
                                           std::to_string(record.endFrame));
    std::string error;
    OffscreenView view;
    if (!view.open(record, r.transparent, error)) throw systemFailure("", error);
    if (kind == OutputKind::Png) {
        writePng(r.output, view.draw(singlePoint(r, record)), r.transparent);
        return;
    }
    std::vector<FramePoint> points = loopPoints(record, r.steps);
    if (kind == OutputKind::Sequence) {
        for (size_t i = 0; i < points.size() && !guard.received(); ++i)
            writePng(sequenceName(r.output, int(i)), view.draw(points[i]), r.transparent);
        return;
    }
    GifWriter gif(r.output, record.windowWidth, record.windowHeight);
    // Each delay ends where the animation's clock, rounded to hundredths,
    // says the next picture is due, so the rounding never adds up.
    const double hundredthsEach = double(record.msPerFrame) / 10.0 / double(r.steps + 1);
    for (size_t i = 0; i < points.size() && !guard.received(); ++i) {
        int delay = int(std::lround(double(i + 1) * hundredthsEach) - std::lround(double(i) * hundredthsEach));
        if (delay < kShortestGifDelay) delay = kShortestGifDelay;
        gif.add(view.draw(points[i]), delay, r.transparent);
    }
    if (!guard.received()) gif.finish();
}

}  // namespace

bool picturesDrawable() { return true; }

void addRenderOptions(CLI::App& app, RenderRequest& r) {
    const char kPicture[] = "Picture";
    app.add_option("-o,--output", r.output,
                   "The picture: OUT.png; OUT_{frame:03}.png for every key frame of the animation, numbered "
                   "from 0; OUT.gif for a looping animated GIF")
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
}

int renderPictures(const RenderRequest& r) {
    OutputKind kind = outputKind(r.output);
    checkRequest(r, kind);
    InterruptGuard guard;
    {
        RunFolder run;
        if (run.path().empty()) throw systemFailure("", run.error());
        Staging staging(run.path());
        PreparedView prepared = prepareView(viewFor(r), staging);
        refuseEmpty(prepared);
        prepared.messages.show(r.view.verbose);
        drawAll(r, kind, prepared.record, guard);
    }  // the run folder goes before an interruption ends the program
    if (guard.received()) InterruptGuard::dieBy(guard.received());
    return 0;
}

void addThumbnailOptions(CLI::App& app, ThumbnailRequest& request) {
    addNumberOption(app, "--size", true, 1, 4096, "The largest width and height, in pixels",
                    [&request](double value) { request.size = int(value); })
        ->required()
        ->type_name("S");
    app.add_option("MODEL", request.model, "The model")->required()->type_name("");
    app.add_option("OUT", request.output, "The PNG to write")->required()->type_name("");
}

int writeThumbnail(const ThumbnailRequest& request) {
    ViewOptions options;
    options.model = request.model;
    options.width = options.height = request.size;
    // A file manager that gives up on a thumbnail ends it: the run folder
    // goes first, and no picture is written after.
    InterruptGuard guard;
    {
        RunFolder run;
        // The sandboxes thumbnailers run in may have no folder to make the
        // run folder in; only a skin that must be converted needs it.
        Staging staging(run.path());
        PreparedView prepared = prepareView(options, staging);
        refuseEmpty(prepared);
        ViewerConfig& record = prepared.record;
        // Without a skin a thumbnail is better shaded than a wireframe:
        // smooth and lit (the viewer itself starts unlit, a thumbnail need not).
        const bool untextured = record.renderMode == RENDER_WIREFRAME;
        if (untextured) record.renderMode = RENDER_SMOOTH;
        std::string error;
        OffscreenView view;
        if (!view.open(record, true, error)) throw systemFailure("", error);
        if (untextured) view.setFlag(FLAG_LIGHTING, true);
        RgbaPicture picture = view.draw({record.currentFrame, record.currentFrame, 0});
        if (!guard.received()) writePng(request.output, picture, true);
    }
    if (guard.received()) InterruptGuard::dieBy(guard.received());
    return 0;
}

}  // namespace frontend
