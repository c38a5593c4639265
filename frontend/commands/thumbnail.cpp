#include "frontend/commands/thumbnail.h"

#include <CLI/CLI.hpp>

#include "frontend/drawing/batch.h"
#include "frontend/drawing/look.h"
#include "frontend/drawing/thumbnail.h"
#include "frontend/files/files.h"
#include "frontend/files/names.h"
#include "frontend/system/system.h"

namespace frontend {

void addThumbnailOptions(CLI::App& app, ThumbnailRequest& request) {
    addNumberOption(app, "--size", true, 1, 4096, "The width and height, in pixels",
                    [&request](double value) { request.size = int(value); })
        ->required()
        ->type_name("S");
    app.add_option("MODEL", request.sources,
                   "The models (files, folders, archives, ARCHIVE:PATH), then the PNG to write when -o is not given")
        ->required()
        ->type_name("");
    app.add_option("-o,--output", request.output,
                   "The PNG to write; {name} in it stands for each model's path inside its folder or archive")
        ->type_name("FILE");
    addViewChoice(app, request.rotX, request.rotY, "three-quarter");
    addPictureLookOptions(app, request.look);
    addWorkersOption(app, request.workers);
}

int writeThumbnail(const ThumbnailRequest& request) {
    std::vector<std::string> sources = request.sources;
    std::string output = request.output;
    if (output.empty()) {
        if (sources.size() < 2) throw badInput("ombrel thumbnail", "no PNG to write: give it after the model, or -o");
        output = sources.back();
        sources.pop_back();
    }
    const bool named = hasNamePlace(output);
    ClaimedOutputs outputs;
    Batch batch;
    batch.sources = sources;
    batch.options = thumbnailOptions(request.size, request.rotX, request.rotY);
    batch.format = thumbnailFormat(request.size, request.look);
    batch.workers = request.workers ? request.workers : defaultWorkers();
    batch.showMessages = false;
    batch.checkCount = needNameForMany(output);
    batch.claim = [&](const FoundModel& model) { outputs.claim(withName(output, model.name), model.text); };
    // Without a skin a thumbnail is better shaded than a wireframe.
    batch.adjust = shadeWhenUntextured;
    batch.draw = [&](const FoundModel& model, const PreparedView& prepared, OffscreenView& view) {
        const std::string path = withName(output, model.name);
        RgbaPicture picture = drawThumbnail(view, prepared, request.look);
        // A file manager that gives up on a thumbnail ends it: no picture is written after.
        if (!InterruptGuard::received()) {
            if (named) makeFoldersOf(path);
            writePngFile(path, picture, true);
        }
        return std::string();
    };
    drawEach(batch);
    return 0;
}

}  // namespace frontend
