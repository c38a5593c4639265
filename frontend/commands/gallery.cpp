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

    // The model's still and GIF, claimed before it is drawn.
    void claim(const FoundModel& model) {
        outputs_.claim(r_.folder + "/" + stillOf(model), model.text);
        outputs_.claim(r_.folder + "/" + gifOf(model), model.text);
    }

    // Draws the model's pictures (in whichever process draws it): its entry,
    // as keep takes it.
    std::string draw(const FoundModel& model, const PreparedView& prepared, OffscreenView& view) const {
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
        entry.still = stillOf(model);
        entry.gif = gifOf(model);
        const ViewerConfig& record = prepared.record;
        entry.playedFirst = record.startFrame;
        entry.playedLast = record.endFrame;

        applyLook(view, r_.look, record.renderMode);
        writePngFile(place(entry.still), view.draw({record.startFrame, record.startFrame, 0}), true);
        writeLoopGif(place(entry.gif), view, record, 0, true);

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
            writeLoopGif(place(entry.animationGifs[i]), view, played, 0, true);
        }
        return packEntry(entry);
    }

    // A drawn model's entry, in the models' order.
    void keep(const std::string& packed) { entries_.push_back(unpackEntry(packed)); }

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
    static std::string stillOf(const FoundModel& model) { return "pictures/" + model.name + ".png"; }
    static std::string gifOf(const FoundModel& model) { return "pictures/" + model.name + ".gif"; }

    // The path of a picture of the gallery, its folders made.
    std::string place(const std::string& relative) const {
        const std::string path = r_.folder + "/" + relative;
        makeFoldersOf(path);
        return path;
    }

    // An entry as a worker sends it back: CBOR, which keeps every name's
    // bytes as they are.
    static std::string packEntry(const GalleryEntry& entry) {
        const nlohmann::json packed = {{"name", entry.name},
                                       {"facts", entry.facts},
                                       {"still", entry.still},
                                       {"gif", entry.gif},
                                       {"playedFirst", entry.playedFirst},
                                       {"playedLast", entry.playedLast},
                                       {"animationGifs", entry.animationGifs}};
        const std::vector<uint8_t> bytes = nlohmann::json::to_cbor(packed);
        return std::string(bytes.begin(), bytes.end());
    }
    static GalleryEntry unpackEntry(const std::string& bytes) {
        const nlohmann::json packed = nlohmann::json::from_cbor(bytes);
        GalleryEntry entry;
        entry.name = packed.at("name").get<std::string>();
        entry.facts = packed.at("facts");
        entry.still = packed.at("still").get<std::string>();
        entry.gif = packed.at("gif").get<std::string>();
        entry.playedFirst = packed.at("playedFirst").get<int>();
        entry.playedLast = packed.at("playedLast").get<int>();
        entry.animationGifs = packed.at("animationGifs").get<std::vector<std::string>>();
        return entry;
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
    addWorkersOption(app, r.workers);
}

int writeGallery(const GalleryRequest& r) {
    Gallery gallery(r);
    Batch batch;
    batch.sources = r.sources;
    batch.options = gallery.options();
    batch.format = {r.width, r.height, true, r.look.samples};
    batch.workers = r.workers ? r.workers : defaultWorkers();
    batch.showMessages = false;  // the page tells each model's problems
    batch.claim = [&gallery](const FoundModel& model) { gallery.claim(model); };
    // Without a skin a picture is better shaded than a wireframe.
    batch.adjust = shadeWhenUntextured;
    batch.draw = [&gallery](const FoundModel& model, const PreparedView& prepared, OffscreenView& view) {
        return gallery.draw(model, prepared, view);
    };
    batch.keep = [&gallery](const FoundModel&, const std::string& drawn) { gallery.keep(drawn); };
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
