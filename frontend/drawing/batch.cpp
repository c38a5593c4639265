#include "frontend/drawing/batch.h"

#include <CLI/CLI.hpp>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
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

void ClaimedOutputs::claim(const std::string& path, const std::string& model) {
    if (!claimed_.insert(absolutePath(path)).second)
        throw badInput(model, "its picture " + nativePath(path) + " is another model's picture of this run");
}

void makeFoldersOf(const std::string& path) {
    std::string error;
    if (!makeFoldersFor(path, error)) throw badInput(nativePath(path), error);
}

std::function<void(size_t)> needNameForMany(const std::string& output) {
    return [output](size_t count) {
        if (count > 1 && !hasNamePlace(output))
            throw badInput("-o " + output, std::to_string(count) +
                                               " models need {name} in the name of their pictures (such as "
                                               "out/{name}.png)");
    };
}

int defaultWorkers() { return usableCores(); }

void addWorkersOption(CLI::App& app, int& workers) {
    addNumberOption(app, "-j,--jobs", true, 1, kMostWorkers,
                    "Draw with N processes at once, each taking the next model: the same files as one "
                    "[default: the cores this process may use; on Windows 1]",
                    [&workers](double value) { workers = int(value); })
        ->type_name("N");
}

namespace {

// What became of one model, told by whichever process drew it.
struct Outcome {
    enum Kind { Drawn, Failed, Fatal, Interrupted };
    Kind kind = Drawn;
    std::vector<std::string> said;  // its warnings, and with --verbose its notes, as report prints them
    std::optional<Failure> failure;  // all but Drawn: why
    std::string drawn;              // what draw returned
};

// An outcome as a worker sends it: CBOR, which carries every name's bytes
// as they are (a file's name need not be UTF-8).
std::string pack(size_t index, const Outcome& outcome) {
    nlohmann::json message = {{"index", index}, {"kind", int(outcome.kind)}, {"said", outcome.said}};
    message["drawn"] = nlohmann::json::binary({outcome.drawn.begin(), outcome.drawn.end()});
    if (outcome.failure) {
        message["code"] = int(outcome.failure->code());
        message["subject"] = outcome.failure->subject();
        message["reason"] = outcome.failure->reason();
        message["signal"] = outcome.failure->signal;
    }
    const std::vector<uint8_t> bytes = nlohmann::json::to_cbor(message);
    return std::string(bytes.begin(), bytes.end());
}

// False for a message that is not one of ours.
bool unpack(const std::string& bytes, size_t models, size_t& index, Outcome& outcome) {
    const nlohmann::json message = nlohmann::json::from_cbor(bytes, true, false);
    if (!message.is_object() || !message.contains("index") || !message["index"].is_number_unsigned()) return false;
    try {
        index = message["index"].get<size_t>();
        outcome.kind = Outcome::Kind(message.at("kind").get<int>());
        outcome.said = message.at("said").get<std::vector<std::string>>();
        const auto& drawn = message.at("drawn").get_binary();
        outcome.drawn.assign(drawn.begin(), drawn.end());
        if (message.contains("code")) {
            outcome.failure = Failure(ExitCode(message["code"].get<int>()), message.at("subject").get<std::string>(),
                                      message.at("reason").get<std::string>());
            outcome.failure->signal = message.at("signal").get<int>();
        }
    } catch (const nlohmann::json::exception&) {
        return false;
    }
    return index < models && outcome.kind >= Outcome::Drawn && outcome.kind <= Outcome::Interrupted &&
           (outcome.kind == Outcome::Drawn || outcome.failure);
}

Outcome failedBy(const Failure& failure) {
    Outcome outcome;
    outcome.kind = failure.signal ? Outcome::Interrupted : Outcome::Failed;
    outcome.failure = failure;
    return outcome;
}

// Prepares, shows and draws one model with the view (opened here for the
// first model that gets so far).
Outcome drawOne(const Batch& batch, const FoundModel& model, Inputs& inputs, OffscreenView& view, bool& opened) {
    std::optional<PreparedView> prepared;
    try {
        ViewOptions options = batch.options;
        options.model = model.text;
        prepared = prepareView(options, inputs, ShownBy::Picture);
        // A picture of nothing would be only the background: a
        // thumbnail or a gallery never shows an empty square as a model.
        if (!prepared->nothingToDraw.empty()) throw badInput("", prepared->nothingToDraw);
        if (batch.adjust) batch.adjust(prepared->record);
    } catch (const Failure& failure) {
        return failedBy(failure);
    }
    Outcome outcome;
    if (batch.showMessages) {
        const Messages& messages = prepared->messages;
        outcome.said = messages.warnings;
        if (batch.options.verbose) outcome.said.insert(outcome.said.end(), messages.notes.begin(), messages.notes.end());
    }
    if (!opened) {
        std::string error;
        if (!view.open(batch.format, error)) {
            outcome.kind = Outcome::Fatal;
            outcome.failure = systemFailure("", error);
            return outcome;
        }
        opened = true;
    }
    try {
        view.show(*prepared);
        outcome.drawn = batch.draw(model, *prepared, view);
    } catch (const Failure& failure) {
        Outcome failed = failedBy(failure);
        failed.said = std::move(outcome.said);
        return failed;
    }
    return outcome;
}

// What the run says, in the models' order, and how many failed.
class Account {
public:
    Account(const Batch& batch, const FoundModels& found, size_t total)
        : batch_(batch), found_(found), total_(total), progress_(found.models.size()) {}

    Progress& progress() { return progress_; }
    size_t failed() const { return failed_; }

    // Tells what became of model index, or throws the Failure that ends the run.
    void tell(size_t index, Outcome& outcome) {
        if (!outcome.said.empty()) progress_.clear();
        for (const std::string& line : outcome.said) report(line);
        switch (outcome.kind) {
        case Outcome::Drawn:
            if (batch_.keep) batch_.keep(found_.models[index], outcome.drawn);
            return;
        case Outcome::Failed:
            if (total_ == 1) throw *outcome.failure;
            progress_.clear();
            report(outcome.failure->what());
            ++failed_;
            return;
        case Outcome::Fatal:
        case Outcome::Interrupted:
            throw *outcome.failure;
        }
    }

    // A refusal of a source or of a model's claim, in its place.
    void refused(const Failure& failure) {
        if (total_ == 1) throw failure;
        progress_.clear();
        report(failure.what());
        ++failed_;
    }

private:
    const Batch& batch_;
    const FoundModels& found_;
    size_t total_;
    Progress progress_;
    size_t failed_ = 0;
};

// Claims model index's files; false, with the refusal told, when that fails.
bool claimed(const Batch& batch, const FoundModels& found, size_t index, Account& account) {
    if (!batch.claim) return true;
    try {
        batch.claim(found.models[index]);
        return true;
    } catch (const Failure& failure) {
        account.refused(failure);
        return false;
    }
}

// Every model drawn here, one after another.
void drawHere(const Batch& batch, const FoundModels& found, Inputs& inputs, Account& account) {
    OffscreenView view;
    bool opened = false;
    for (size_t i = 0; i < found.models.size() && !InterruptGuard::received(); ++i) {
        account.progress().show(i, found.models[i].name);
        if (!claimed(batch, found, i, account)) continue;
        Outcome outcome = drawOne(batch, found.models[i], inputs, view, opened);
        account.tell(i, outcome);
    }
}

// A worker's life: it draws the models it is sent, one after another, in
// a window of its own, and sends back what became of each.
int workerMain(const Batch& batch, const FoundModels& found, int threads, int channel) {
    shareSoftwareRenderer(threads);
    Inputs inputs;
    OffscreenView view;
    bool opened = false;
    std::string job;
    while (!InterruptGuard::received() && receiveMessage(channel, job)) {
        uint32_t number = UINT32_MAX;
        if (job.size() == sizeof number) std::memcpy(&number, job.data(), sizeof number);
        const size_t index = number;
        if (index >= found.models.size()) return 1;
        Outcome outcome;
        try {
            outcome = drawOne(batch, found.models[index], inputs, view, opened);
        } catch (const std::exception& e) {
            outcome.kind = Outcome::Fatal;
            outcome.failure = systemFailure(found.models[index].text, e.what());
        }
        if (!sendMessage(channel, pack(index, outcome))) return 1;
        if (outcome.kind == Outcome::Fatal || outcome.kind == Outcome::Interrupted) return 0;
    }
    return 0;
}

// Every model drawn by count workers, each sent the next model in the
// models' order as it finishes one; the outcomes told in that order. An
// interrupted run ends every worker (each stops after the picture it is
// drawing) and returns; drawEach ends it by the signal.
void drawByWorkers(const Batch& batch, const FoundModels& found, Account& account, int count) {
    const size_t models = found.models.size();
    const int threads = std::max(usableCores() / count, 1);
    std::vector<Worker> workers;
    std::vector<size_t> drawing;         // each worker's model; models for none
    std::map<size_t, Outcome> outcomes;  // received, not yet told
    std::vector<bool> refused(models);   // refused before drawing (already told)
    std::vector<size_t> unsent;          // claimed, and the worker they were for ended first
    size_t next = 0, told = 0;
    bool stopping = false;
    std::optional<Failure> ending;       // what ends the run once every worker ended

    auto start = [&]() {
        Worker worker;
        std::string error;
        if (!startWorker([&](int channel) { return workerMain(batch, found, threads, channel); }, worker, error))
            throw systemFailure("", error);
        workers.push_back(worker);
        drawing.push_back(models);
    };
    // The next model to draw, its files claimed; models when none is left.
    auto nextModel = [&]() {
        if (!unsent.empty()) {
            const size_t index = unsent.back();
            unsent.pop_back();
            return index;
        }
        while (next < models) {
            const size_t index = next++;
            if (claimed(batch, found, index, account)) return index;
            refused[index] = true;
        }
        return models;
    };
    // Sends worker w its next model, or tells it that none comes.
    auto dispatch = [&](size_t w) {
        drawing[w] = models;
        const size_t index = stopping ? models : nextModel();
        if (index < models) {
            const uint32_t job = uint32_t(index);
            if (sendMessage(workers[w].channel, std::string(reinterpret_cast<const char*>(&job), sizeof job))) {
                account.progress().show(index, found.models[index].name);
                drawing[w] = index;
                return;
            }
            unsent.push_back(index);  // it ended: its end is seen next
        }
        finishSending(workers[w]);
    };
    auto stop = [&](const Failure& failure) {
        if (!ending) ending = failure;
        if (stopping) return;
        stopping = true;
        for (size_t w = 0; w < workers.size(); ++w)
            if (workers[w].id && drawing[w] == models) finishSending(workers[w]);
    };
    // Tells every outcome whose turn has come; what ends the run stops it.
    auto tellInOrder = [&]() {
        try {
            while (told < models && !ending) {
                if (!refused[told]) {
                    auto outcome = outcomes.find(told);
                    if (outcome == outcomes.end()) return;
                    Outcome o = std::move(outcome->second);
                    outcomes.erase(outcome);
                    account.tell(told, o);
                }
                ++told;
            }
        } catch (const Failure& failure) {
            stop(failure);
        }
    };
    auto endAll = [&]() {
        for (Worker& worker : workers) endWorker(worker);
    };

    try {
        for (int i = 0; i < count; ++i) start();
        for (size_t w = 0; w < workers.size(); ++w) dispatch(w);
    } catch (...) {
        endAll();
        throw;
    }
    for (;;) {
        std::vector<int> channels;
        std::vector<size_t> which;
        for (size_t w = 0; w < workers.size(); ++w)
            if (workers[w].id) channels.push_back(workers[w].channel), which.push_back(w);
        if (channels.empty()) break;
        const int ready = waitForChannels(channels);
        if (ready < 0) {
            // A signal, which the guard passed on to every worker.
            endAll();
            return;
        }
        const size_t w = which[size_t(ready)];
        std::string message;
        if (receiveMessage(workers[w].channel, message)) {
            size_t index = 0;
            Outcome outcome;
            if (!unpack(message, models, index, outcome) || index != drawing[w]) {
                stop(systemFailure("", "a worker sent what ombrel does not understand"));
                endWorker(workers[w]);
                continue;
            }
            if (outcome.kind == Outcome::Fatal || outcome.kind == Outcome::Interrupted) stopping = true;
            outcomes[index] = std::move(outcome);
            tellInOrder();
            dispatch(w);
            continue;
        }
        if (InterruptGuard::received()) {
            endAll();
            return;
        }
        // The worker ended: the model it was drawing gets its line, and
        // another worker takes the rest.
        const size_t lost = drawing[w];
        const WorkerEnd end = endWorker(workers[w]);
        if (lost < models) {
            Outcome died;
            died.kind = Outcome::Failed;
            died.failure = systemFailure(found.models[lost].text,
                                         "the worker drawing it ended " +
                                             (end.signal ? "by " + signalName(end.signal)
                                                         : "with exit code " + std::to_string(end.code)));
            outcomes[lost] = std::move(died);
            tellInOrder();
        }
        if (!stopping && (next < models || !unsent.empty())) {
            try {
                start();
                dispatch(workers.size() - 1);
            } catch (const Failure& failure) {
                stop(failure);
            }
        }
    }
    tellInOrder();
    if (ending) throw *ending;
}

}  // namespace

void drawEach(const Batch& batch) {
    InterruptGuard guard;
    size_t total = 0, failed = 0;
    {
        Inputs inputs;
        const FoundModels found = findModels(batch.sources, inputs);
        total = found.models.size() + found.refused.size();
        if (total == 1 && !found.refused.empty()) throw found.refused.front();
        if (batch.checkCount) batch.checkCount(found.models.size());
        Account account(batch, found, total);
        for (const Failure& refusal : found.refused) account.refused(refusal);
        // One picture whose shaders are built anew (no shader cache, as a
        // file manager's thumbnailer runs): building them costs more than
        // drawing with them.
        if (found.models.size() == 1 && !softwareRendererKeepsShaders()) buildShadersQuickly();
        const int workers = int(std::min<size_t>(size_t(std::max(batch.workers, 1)), found.models.size()));
        if (workers > 1 && workersAvailable() && !guard.received()) {
            // Loaded once, here: the workers forked afterwards share it.
            std::string error;
            if (!loadDrawing(error)) throw systemFailure("", "drawing is unavailable: " + error);
            drawByWorkers(batch, found, account, workers);
        } else {
            drawHere(batch, found, inputs, account);
        }
        failed = account.failed();
    }
    if (guard.received()) InterruptGuard::dieBy(guard.received());
    if (failed > 0)
        throw badInput("", std::to_string(failed) + " of " + std::to_string(total) +
                               (total == 1 ? " model" : " models") + " failed");
}

}  // namespace frontend
