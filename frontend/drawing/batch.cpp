#include "frontend/drawing/batch.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <optional>

#include "frontend/files/files.h"
#include "frontend/files/names.h"
#include "frontend/drawing/gif.h"
#include "frontend/system/system.h"
#include "image/png_writer.h"

namespace frontend {

namespace {

// A sequence or GIF of more pictures than this is a mistake.
constexpr int kMostPictures = 100000;
// Players wait at least this long between GIF pictures whatever the file
// says (shorter delays are shown far slower), so no delay is shorter.
constexpr int kShortestGifDelay = 2;

// The line "[12/240] name" on a terminal, rewritten in place for each model
// and cleared before anything else is printed. Output that is not a
// terminal (a log, a pipe) gets none of it.
class Progress {
public:
    explicit Progress(size_t total) : total_(total), shown_(total > 1 && standardErrorIsTerminal()) {}
    ~Progress() { clear(); }

    void show(size_t index, const std::string& name) {
        if (!shown_) return;
        constexpr size_t kLongest = 60;  // a line that wraps can't be rewritten
        const std::string text = name.size() <= kLongest ? name : "..." + name.substr(name.size() - kLongest + 3);
        std::cerr << "\r[" << index + 1 << "/" << total_ << "] " << text << "\033[K" << std::flush;
        visible_ = true;
    }
    void clear() {
        if (!visible_) return;
        std::cerr << "\r\033[K" << std::flush;
        visible_ = false;
    }

private:
    size_t total_;
    bool shown_;
    bool visible_ = false;
};

}  // namespace

void writePngFile(const std::string& path, const RgbaPicture& picture, bool alpha) {
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

void writeLoopGif(const std::string& path, OffscreenView& view, const ViewerConfig& record, int steps,
                  bool transparent) {
    const std::vector<FramePoint> points = loopPoints(record, steps);
    GifWriter gif(path, record.windowWidth, record.windowHeight);
    // Each delay ends where the animation's clock, rounded to hundredths,
    // says the next picture is due, so the rounding never adds up.
    const double hundredthsEach = double(record.msPerFrame) / 10.0 / double(steps + 1);
    for (size_t i = 0; i < points.size() && !InterruptGuard::received(); ++i) {
        int delay = int(std::lround(double(i + 1) * hundredthsEach) - std::lround(double(i) * hundredthsEach));
        if (delay < kShortestGifDelay) delay = kShortestGifDelay;
        gif.add(view.draw(points[i]), delay, transparent);
    }
    if (!InterruptGuard::received()) gif.finish();
}

void ClaimedOutputs::claim(const std::string& path, const std::string& model, bool makeFolders) {
    if (!claimed_.insert(absolutePath(path)).second)
        throw badInput(model, "its picture " + nativePath(path) + " is another model's picture of this run");
    std::string error;
    if (makeFolders && !makeFoldersFor(path, error)) throw badInput(nativePath(path), error);
}

std::function<void(size_t)> needNameForMany(const std::string& output) {
    return [output](size_t count) {
        if (count > 1 && !hasNamePlace(output))
            throw badInput("-o " + output, std::to_string(count) +
                                               " models need {name} in the name of their pictures (such as "
                                               "out/{name}.png)");
    };
}

void drawEach(const Batch& batch) {
    InterruptGuard guard;
    size_t total = 0, failed = 0;
    {
        Inputs inputs;
        const FoundModels found = findModels(batch.sources, inputs);
        total = found.models.size() + found.refused.size();
        if (total == 1 && !found.refused.empty()) throw found.refused.front();
        if (batch.checkCount) batch.checkCount(found.models.size());
        for (const Failure& refusal : found.refused) {
            report(refusal.what());
            ++failed;
        }
        OffscreenView view;
        bool opened = false;
        Progress progress(found.models.size());
        for (size_t i = 0; i < found.models.size() && !guard.received(); ++i) {
            const FoundModel& model = found.models[i];
            progress.show(i, model.name);
            auto fail = [&](const Failure& failure) {
                if (total == 1 || failure.signal) throw failure;
                progress.clear();
                report(failure.what());
                ++failed;
            };
            std::optional<PreparedView> prepared;
            try {
                ViewOptions options = batch.options;
                options.model = model.text;
                prepared = prepareView(options, inputs);
                // A picture of nothing would be only the background: a
                // thumbnail or a gallery never shows an empty square as a model.
                if (!prepared->nothingToDraw.empty()) throw badInput("", prepared->nothingToDraw);
                if (batch.adjust) batch.adjust(prepared->record);
            } catch (const Failure& failure) {
                fail(failure);
                continue;
            }
            if (batch.showMessages) {
                const Messages& messages = prepared->messages;
                if (!messages.warnings.empty() || (batch.options.verbose && !messages.notes.empty())) progress.clear();
                messages.show(batch.options.verbose);
            }
            if (!opened) {
                std::string error;
                if (!view.open(batch.format, error)) throw systemFailure("", error);
                opened = true;
            }
            try {
                view.show(*prepared);
                batch.draw(model, *prepared, view);
            } catch (const Failure& failure) {
                fail(failure);
            }
        }
    }
    if (guard.received()) InterruptGuard::dieBy(guard.received());
    if (failed > 0)
        throw badInput("", std::to_string(failed) + " of " + std::to_string(total) +
                               (total == 1 ? " model" : " models") + " failed");
}

}  // namespace frontend
