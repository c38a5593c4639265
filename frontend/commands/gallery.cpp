// ombrel gallery: every model drawn as a looping GIF and a still PNG, and
// the page that shows them with what ombrel info says of each.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <set>

#include "frontend/drawing/batch.h"
#include "frontend/files/files.h"
#include "frontend/commands/gallery_page.h"
#include "frontend/scene/describe.h"
#include "frontend/commands/gallery.h"
#include "frontend/drawing/look.h"
#include "frontend/system/system.h"

namespace frontend {

namespace {

// An animation's name as a file name: names come from the model's frame
// names, which may hold anything.
std::string safeFileName(const std::string& name) {
    std::string safe;
    for (char c : name)
        safe += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ? c : '_';
    return safe.empty() ? "_" : safe;
}

void writeText(const std::string& path, const std::string& text) {
    replaceFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

class Gallery {
public:
    explicit Gallery(const GalleryRequest& request) : r_(request) {}

    void draw(const FoundModel& model, const PreparedView& prepared, OffscreenView& view) {
        GalleryEntry entry;
        entry.name = model.name;
        // The facts of what is drawn, as words now (the archives they name
        // close with the run), every file named from the source's folder.
        const FileNamer namer = [&model](const FileRef& file) {
            return file.archive ? relativePath(file.archive->path(), model.base) + ":" + file.path
                                : relativePath(file.path, model.base);
        };
        const ModelDescription description =
            describeModel(prepared.main, namer(prepared.main.file), &prepared.mainSkin, namer);
        entry.facts = describeJson(description);
        entry.still = "pictures/" + model.name + ".png";
        entry.gif = "pictures/" + model.name + ".gif";
        const ViewerConfig& record = prepared.record;
        entry.playedFirst = record.startFrame;
        entry.playedLast = record.endFrame;

        applyLook(view, r_.look, record.renderMode);
        writePngFile(claim(entry.still, model), view.draw({record.startFrame, record.startFrame, 0}), true);
        writeLoopGif(claim(entry.gif, model), view, record, 0, true);

        const std::vector<ModelAnimation>& animations = description.animations;
        entry.animationGifs.assign(animations.size(), "");
        std::set<std::string> names;
        for (size_t i = 0; i < animations.size() && !InterruptGuard::received(); ++i) {
            const ModelAnimation& a = animations[i];
            if (a.first == record.startFrame && a.last == record.endFrame) {
                entry.animationGifs[i] = entry.gif;
                continue;
            }
            if (!r_.allAnimations) continue;
            std::string file = safeFileName(a.name);
            if (!names.insert(file).second) file += "-" + std::to_string(i + 1);
            entry.animationGifs[i] = "animations/" + model.name + "/" + file + ".gif";
            ViewerConfig played = record;
            playFrames(played, *prepared.main.model, a.first, a.last, options());
            view.show(prepared, played);
            applyLook(view, r_.look, played.renderMode);
            writeLoopGif(claim(entry.animationGifs[i], model), view, played, 0, true);
        }
        entries_.push_back(std::move(entry));
    }

    void writePage() const {
        writeText(r_.folder + "/index.html", galleryPage(entries_, r_.width, r_.height));
        writeText(r_.folder + "/index.json",
                  galleryIndex(entries_).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    }

    bool empty() const { return entries_.empty(); }

    ViewOptions options() const {
        ViewOptions options;
        options.width = r_.width;
        options.height = r_.height;
        options.rotX = r_.rotX;
        options.rotY = r_.rotY;
        options.framesPerSecond = r_.framesPerSecond;
        return options;
    }

private:
    std::string claim(const std::string& relative, const FoundModel& model) {
        const std::string path = r_.folder + "/" + relative;
        outputs_.claim(path, model.text, true);
        return path;
    }

    const GalleryRequest& r_;
    ClaimedOutputs outputs_;
    std::vector<GalleryEntry> entries_;
};

}  // namespace

void addGalleryOptions(CLI::App& app, GalleryRequest& r) {
    app.add_option("MODEL", r.sources, "The models: files, folders (every model below), archives, ARCHIVE:PATH")
        ->required()
        ->type_name("");
    app.add_option("-o,--output", r.folder, "The folder to write the gallery to (made if missing)")
        ->required()
        ->type_name("DIR");
    addValueOption(app, "--size", "Picture size in pixels [default: 256x256]",
                   [&r](const std::string& value, std::string& error) {
                       if (!parseSize(value, r.width, r.height, error)) return false;
                       if (r.width <= 2048 && r.height <= 2048) return true;
                       error = "gallery pictures are at most 2048 pixels wide and high";
                       return false;
                   })
        ->type_name("WxH");
    addNumberOption(app, "--fps", false, 0.01, 1000, "Key frames per second of the GIFs [default: 10]",
                    [&r](double value) { r.framesPerSecond = value; })
        ->type_name("N");
    addFlagOption(app, "--all-animations", r.allAnimations, "Make a GIF of every animation, each linked from the page");
    addViewChoice(app, r.rotX, r.rotY, "three-quarter");
    addPictureLookOptions(app, r.look);
}

int writeGallery(const GalleryRequest& r) {
    Gallery gallery(r);
    Batch batch;
    batch.sources = r.sources;
    batch.options = gallery.options();
    batch.format = {r.width, r.height, true, r.look.samples};
    batch.showMessages = false;  // the page tells each model's problems
    // Without a skin a picture is better shaded than a wireframe.
    batch.adjust = shadeWhenUntextured;
    batch.draw = [&gallery](const FoundModel& model, const PreparedView& prepared, OffscreenView& view) {
        gallery.draw(model, prepared, view);
    };
    // The folder is made with the first picture: a run that draws nothing leaves none.
    const FileKind kind = fileKind(r.folder);
    if (kind != FileKind::Folder && kind != FileKind::Missing) throw badInput("-o " + r.folder, "not a folder");
    try {
        drawEach(batch);
    } catch (const Failure& failure) {
        // The page shows what was drawn, also when some models failed.
        if (!failure.signal && !gallery.empty()) gallery.writePage();
        throw;
    }
    gallery.writePage();
    return 0;
}

}  // namespace frontend
