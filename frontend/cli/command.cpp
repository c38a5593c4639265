#include "frontend/cli/command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <regex>

#include "frontend/commands/convert.h"
#include "frontend/commands/export.h"
#include "frontend/files/files.h"
#include "frontend/inputs/formats.h"
#include "frontend/commands/info.h"
#include "frontend/base/options.h"
#include "frontend/commands/open.h"
#include "frontend/commands/gallery.h"
#include "frontend/commands/list.h"
#include "frontend/commands/render.h"
#include "frontend/commands/thumbnail.h"
#include "frontend/base/report.h"
#include "frontend/cli/settings.h"
#include "frontend/system/system.h"

namespace frontend {

namespace {

const char kDescription[] =
    "Shows an IDP2 model (.md2) animated and skinned in the Ombrel viewer.\n"
    "MODEL is a .md2 file, or ARCHIVE:PATH for one inside a .pak, .pk3 or .zip archive; or a glTF (.glb,\n"
    ".gltf) or OBJ (.obj, or a sequence typed as 'walk_{frame}.obj') source, shown as the .md2 that\n"
    "ombrel convert makes of it.\n";

const char kUsage[] =
    "Usage: ombrel [OPTIONS] MODEL\n"
    "       ombrel --write-config FILE [OPTIONS] MODEL\n"
    "       ombrel render [OPTIONS] MODEL... -o OUT.png|OUT_{frame:03}.png|OUT.gif|OUT/{name}.png\n"
    "       ombrel thumbnail --size S MODEL OUT.png\n"
    "       ombrel thumbnail --size S MODEL... -o OUT/{name}.png\n"
    "       ombrel gallery [OPTIONS] MODEL... -o DIR\n"
    "       ombrel export [OPTIONS] MODEL -o OUT.glb|OUT.gltf|OUT.obj|OUT_{frame:03}.obj\n"
    "       ombrel convert [OPTIONS] SOURCE -o OUT.md2\n"
    "       ombrel info [--json] MODEL\n"
    "       ombrel list ARCHIVE\n";

const char kTryHelp[] = "Try 'ombrel --help' for the options.";

std::string footer() {
    return "Keys in the viewer:\n"
           "  1 2 3 4        wireframe, flat, smooth, textured\n"
           "  l b w s        lighting (off at start), background, water, specular highlights\n"
           "  p  F1          pause / play\n"
           "  + -  Insert    faster / slower, 10 ms per key frame a press\n"
           "  $  Home        centre the view on the model\n"
           "  Escape         quit\n"
           "  mouse          drag to turn, Shift+drag to move, right-drag to zoom\n"
           "\n"
           "Settings: " +
           settingsPath() +
           " may hold one \"option = value\" a line\n"
           "with the long option names (fps = 15, mode = smooth, paused = true); the command line wins.\n"
           "\n"
           "ombrel render takes the options of opening and its own (ombrel render --help); a sequence or GIF\n"
           "shows every key frame of the played animation, --steps K adds K blended pictures after each,\n"
           "and a GIF plays at --fps and loops. Pictures are lit (flat and smooth models) and smooth-edged\n"
           "by default: --no-light --antialias 1 draws exactly what the viewer shows.\n"
           "render, thumbnail and gallery take many models at once: files, folders (every model below),\n"
           "archives (every model inside) and ARCHIVE:PATH; {name} in -o stands for each model's path\n"
           "inside its folder or archive. A model that fails gets its line, the others are drawn.\n"
           "-j N draws them with N processes at once (by default one for each core this process may use;\n"
           "on Windows one process draws them all).\n"
           "\n"
           "ombrel export writes every key frame as a morph target and every animation (at --fps) to .glb or\n"
           ".gltf, or a key frame to .obj (every one with {frame} in the name); ombrel export --help tells all.\n"
           "ombrel convert makes an .md2 and its .pcx skin of a glTF, OBJ or OBJ sequence (or of an .md2 again):\n"
           "each animation sampled at --rate, still vertices still, the nearest normals, strips and fans, an\n"
           "8-bit skin; it prints how close the file comes to the source. ombrel convert --help tells all.\n"
           "\n"
           "Exit status: the viewer's, or 2 for bad input (a missing file, a file that is not a model,\n"
           "a malformed option, any of many models that failed), 1 when the viewer can't be started or a\n"
           "picture can't be drawn or written.";
}

// What this build leaves out, said under --help's description.
std::string leftOut() {
    std::string text;
    if (!picturesDrawable()) text += "This build draws no pictures (render, thumbnail, gallery).\n";
    return text;
}

// The usage lines instead of CLI11's generated one, which can't show the
// forms of the command; one blank line between groups.
class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        if (app->get_parent()) return CLI::Formatter::make_usage(app, name);
        return std::string("\n") + kUsage;
    }
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        static const std::regex blankLines("\n{3,}");
        return std::regex_replace(CLI::Formatter::make_help(app, name, mode), blankLines, "\n\n");
    }
};

// Edits between two option names, for "did you mean": a letter added,
// dropped or changed, or two neighbours swapped ("szie" is one from "size").
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The option of command whose name is nearest to typed, "" when none is
// near enough to be what was meant. Only the command's own: an option of
// another subcommand is no help here, and one of the very name typed would
// be offered back.
std::string nearestOption(const CLI::App& command, const std::string& typed) {
    std::string word = typed.substr(0, typed.find('='));
    word.erase(0, word.find_first_not_of('-'));
    std::string best;
    size_t bestDistance = std::max<size_t>(2, word.size() / 3) + 1;
    for (const CLI::Option* option : command.get_options())
        for (const std::string& name : option->get_lnames()) {
            const size_t distance = editDistance(word, name);
            if (distance < bestDistance) bestDistance = distance, best = "--" + name;
        }
    return best;
}

// CLI11's refusal of the command line as one line: an unknown option gets
// a suggestion where one of the command given is near.
Failure explain(const CLI::App& app, const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
        const CLI::App* command = &app;
        std::string help = "ombrel --help";
        for (const CLI::App* given : app.get_subcommands()) {
            command = given;
            help = "ombrel " + given->get_name() + " --help";
        }
        for (const std::string& extra : app.remaining(true))
            if (extra.size() > 1 && extra[0] == '-') {
                const std::string near = nearestOption(*command, extra);
                return badInput(extra, near.empty() ? "no such option; " + help + " lists them"
                                                    : "no such option; did you mean " + near + "?");
            }
    }
    return badInput("", error.what());
}

// What the command line asked for, filled as CLI11 parses; each command
// runs from its own callback and leaves its exit code in status.
struct Command {
    CLI::App app{"", "ombrel"};
    CLI::App* render = nullptr;
    ViewOptions view;
    std::string recordFile;
    bool noConfig = false;
    RenderRequest picture;
    ThumbnailRequest thumbnail;
    ExportRequest exporting;
    ConvertRequest converting;
    GalleryRequest gallery;
    std::string infoModel;
    bool json = false;
    std::string archive;
    std::shared_ptr<SettingsFile> settings;
    int status = 0;

    Command();
    void open();
    void writeRecord();
    // The model to open when none was named: the desktop's file chooser.
    void chooseWhenMissing();
};

Command::Command() {
    app.description(std::string(kDescription) + leftOut());
    // Options begin with '-' on Windows too: a word starting with '/' is a
    // path (as Wine passes them), never an option.
    app.allow_windows_style_options(false);
    app.footer(footer());
    auto formatter = std::make_shared<Formatter>();
    formatter->column_width(30);
    app.formatter(formatter);
    app.set_version_flag("--version", std::string("ombrel ") + OMBREL_VERSION);
    addViewOptions(app, view);
    app.add_option("MODEL", view.model, "The model to show")->type_name("");
    app.add_option("--write-config", recordFile,
                   "Write the viewer's record to FILE (converted pictures go to FILE.files) and start nothing")
        ->type_name("FILE");
    addFlagOption(app, "--no-config", noConfig, "Ignore the settings file")->trigger_on_parse();
    app.require_subcommand(0, 1);
    app.callback([this] {
        if (!app.get_subcommands().empty()) return;
        if (recordFile.empty())
            open();
        else
            writeRecord();
    });

    // render shares the view options with opening, and so takes the settings.
    render = app.add_subcommand("render",
                                "Draw models without a window: a PNG, a PNG for every key frame, or a looping GIF "
                                "[default size: 640x480]");
    addViewOptions(*render, picture.view);
    render->get_option("--size")->description("Picture size in pixels [default: 640x480]");
    render
        ->add_option("MODEL", picture.sources,
                     "The models to draw: files, folders (every model below), archives (every model inside), "
                     "ARCHIVE:PATH")
        ->required()
        ->type_name("");
    addRenderOptions(*render, picture);
    addFlagOption(*render, "--no-config", noConfig, "Ignore the settings file")->trigger_on_parse();
    render->callback([this] {
        settings->requireReadable();
        // A window size from the settings is the viewer's; pictures have their own default.
        if (render->get_option("--size")->count() == 0)
            picture.view.width = 640, picture.view.height = 480;
        status = renderPictures(picture);
    });

    CLI::App* thumb = app.add_subcommand(
        "thumbnail",
        "Write a PNG thumbnail of SxS pixels for file managers: the model turned three-quarters, transparent around "
        "it, textured with its skin, else shaded and lit; on failure nothing is written and the exit status is not 0");
    addThumbnailOptions(*thumb, thumbnail);
    thumb->callback([this] { status = writeThumbnail(thumbnail); });

    CLI::App* exportCommand = app.add_subcommand(
        "export", "Write the model for other tools: glTF 2.0 with every key frame and animation, or OBJ frames");
    addExportOptions(*exportCommand, exporting);
    exportCommand->callback([this] { status = exportModel(exporting); });

    CLI::App* convertCommand = app.add_subcommand(
        "convert",
        "Make an .md2 model and its .pcx skin of a glTF or OBJ source (or of an .md2 again), and say how close it "
        "comes");
    addConvertOptions(*convertCommand, converting);
    convertCommand->callback([this] { status = convertModel(converting); });

    CLI::App* gallerySub = app.add_subcommand(
        "gallery",
        "Draw every model as a looping GIF of its first moving animation and a still PNG (three-quarters, lit as "
        "pictures are, smooth-edged, transparent; untextured models shaded) and write index.html, a page any browser "
        "shows from disk, and index.json with each model's facts");
    addGalleryOptions(*gallerySub, gallery);
    gallerySub->callback([this] { status = writeGallery(gallery); });

    CLI::App* info = app.add_subcommand("info", "Describe a model: counts, skins, animations, bounds and problems");
    info->add_option("MODEL", infoModel, "The model (a path or ARCHIVE:PATH)")->required()->type_name("");
    addFlagOption(*info, "--json", json, "Print one JSON object");
    info->callback([this] { status = describeModel(infoModel, json, std::cout); });

    CLI::App* list = app.add_subcommand("list", "List the models inside an archive");
    list->add_option("ARCHIVE", archive, "A .pak, .pk3 or .zip archive")->required()->type_name("");
    list->callback([this] { status = listModels(archive, std::cout); });

    settings = connectSettings(app, *render, noConfig);
}

void Command::chooseWhenMissing() {
    if (!view.model.empty()) return;
    if (!onDesktop()) throw usageFailure(std::string(kUsage) + kTryHelp);
    switch (chooseModel(chooserFilters(), view.model)) {
    case Choice::Chosen:
        return;
    case Choice::Cancelled:
        throw Failure(ExitCode::SystemFailure, "", "");  // the person said no: nothing to report
    case Choice::Unavailable:
        break;
    }
    throw badInput("", "no MODEL given, and no file chooser to ask with (a desktop portal, zenity or kdialog)\n" +
                           std::string(kUsage) + kTryHelp);
}

void Command::writeRecord() {
    settings->requireReadable();
    chooseWhenMissing();
    status = writeViewerRecord(view, recordFile);
}

void Command::open() {
    settings->requireReadable();
    chooseWhenMissing();
    status = showInViewer(view);
}

}  // namespace

int ombrelMain(int argc, char** argv) {
    Command command;
    try {
        try {
            command.app.parse(argc, argv);
        } catch (const CLI::CallForHelp& e) {
            return command.app.exit(e);
        } catch (const CLI::CallForAllHelp& e) {
            return command.app.exit(e);
        } catch (const CLI::CallForVersion& e) {
            return command.app.exit(e);
        } catch (const CLI::ParseError& e) {
            throw explain(command.app, e);
        }
        return command.status;
    } catch (const Failure& caught) {
        if (caught.signal) InterruptGuard::dieBy(caught.signal);
        const Failure failure = command.settings->blame(caught);
        report(failure);
        return int(failure.code());
    }
}

}  // namespace frontend
