#include "frontend/command.h"

#include <CLI/CLI.hpp>

#include <cstring>
#include <iostream>

#include "frontend/archive.h"
#include "frontend/chooser.h"
#include "frontend/files.h"
#include "frontend/info.h"
#include "frontend/options.h"
#include "frontend/prepare.h"
#include "frontend/render.h"
#include "frontend/run.h"
#include "frontend/system.h"

namespace frontend {

namespace {

constexpr int kExitBadInput = 2;
constexpr int kExitFailure = 1;

const char kDescription[] =
    "Shows an IDP2 model (.md2) animated and skinned in the Ombrel viewer.\n"
    "MODEL is a .md2 file, or ARCHIVE:PATH for one inside a .pak, .pk3 or .zip archive.\n";

const char kUsage[] =
    "Usage: ombrel [OPTIONS] MODEL\n"
    "       ombrel --write-config FILE [OPTIONS] MODEL\n"
    "       ombrel render [OPTIONS] MODEL -o OUT.png|OUT_{frame:03}.png|OUT.gif\n"
    "       ombrel thumbnail --size S MODEL OUT.png\n"
    "       ombrel info [--json] MODEL\n"
    "       ombrel list ARCHIVE\n";

const char kTryHelp[] = "Try 'ombrel --help' for the options.\n";

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
           "and a GIF plays at --fps and loops.\n"
           "\n"
           "Exit status: the viewer's, or 2 for bad input (a missing file, a file that is not a model,\n"
           "a malformed option), 1 when the viewer can't be started or a picture can't be drawn or written.";
}

// The usage lines instead of CLI11's generated one, which can't show the
// forms of the command.
class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        if (app->get_parent()) return CLI::Formatter::make_usage(app, name);
        return std::string("\n") + kUsage;
    }
};

// What the command line asked for, filled as CLI11 parses.
struct Request {
    ViewOptions view;
    std::string writeConfig;
    bool noConfig = false;
    std::string infoModel;
    bool json = false;
    std::string archive;
    RenderRequest picture;
    int thumbnailSize = 0;
    std::string thumbnailModel, thumbnailOutput;
    CLI::App* info = nullptr;
    CLI::App* list = nullptr;
    CLI::App* render = nullptr;
    CLI::App* thumbnail = nullptr;
};

void defineCommand(CLI::App& app, Request& r) {
    app.description(std::string(kDescription) + leftOutHere());
    // Options begin with '-' on Windows too: a word starting with '/' is a
    // path (as Wine passes them), never an option.
    app.allow_windows_style_options(false);
    app.footer(footer());
    auto formatter = std::make_shared<Formatter>();
    formatter->column_width(30);
    app.formatter(formatter);
    app.set_version_flag("--version", std::string("ombrel ") + OMBREL_VERSION);
    addViewOptions(app, r.view);
    app.add_option("MODEL", r.view.model, "The model to show")->type_name("");
    app.add_option("--write-config", r.writeConfig,
                   "Write the viewer's record to FILE (converted pictures go to FILE.files) and start nothing")
        ->type_name("FILE");
    app.add_flag("--no-config", r.noConfig, "Ignore the settings file");

    // render shares the view options with opening (and with the settings
    // file, which sets them before the command line).
    r.render = app.add_subcommand("render",
                                  "Draw the model without a window: a PNG, a PNG for every key frame, or a looping GIF "
                                  "[default size: 640x480]");
    addViewOptions(*r.render, r.view);
    r.render->get_option("--size")->description("Picture size in pixels [default: 640x480]");
    r.render->add_option("MODEL", r.view.model, "The model to draw")->required()->type_name("");
    addRenderOptions(*r.render, r.picture);
    r.render->add_flag("--no-config", r.noConfig, "Ignore the settings file");
    r.thumbnail = app.add_subcommand("thumbnail", "Write a PNG thumbnail of at most SxS pixels for file managers: transparent around the model, "
                                  "textured with its skin, else shaded and lit; on failure nothing is written and the "
                                  "exit status is not 0");
    r.thumbnail->add_option("--size", r.thumbnailSize, "The largest width and height, in pixels")
        ->required()
        ->type_name("S")
        ->check(CLI::Range(1, 4096).description(""));
    r.thumbnail->add_option("MODEL", r.thumbnailModel, "The model")->required()->type_name("");
    r.thumbnail->add_option("OUT", r.thumbnailOutput, "The PNG to write")->required()->type_name("");
    r.info = app.add_subcommand("info", "Describe a model: counts, skins, animations, bounds and problems");
    r.info->add_option("MODEL", r.infoModel, "The model (a path or ARCHIVE:PATH)")->required()->type_name("");
    r.info->add_flag("--json", r.json, "Print one JSON object");
    r.list = app.add_subcommand("list", archivesReadable() ? "List the models inside an archive"
                                                           : "List the models inside an archive (not in this build)");
    r.list->add_option("ARCHIVE", r.archive, "A .pak, .pk3 or .zip archive")->required()->type_name("");
    app.require_subcommand(0, 1);
}

// CLI11 wants the words after the program name, last first.
void parseWords(CLI::App& app, const std::vector<std::string>& words) {
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    app.parse(reversed);
}

int writeRecordFile(const ViewOptions& options, const std::string& file) {
    const std::string target = absolutePath(file);
    if (fileKind(target) == FileKind::Folder) throw BadInput(file + ": a folder, not a file");
    Staging staging(target + ".files");
    PreparedView view = prepareView(options, staging);
    showMessages(view, options.verbose);
    if (!writeConfig(target, view.record)) throw BadInput(file + ": can't write the record there");
    if (options.verbose) std::cerr << "ombrel: record: " << nativePath(target) << "\n";
    return 0;
}

int openInViewer(const ViewOptions& options) {
    const std::string viewer = viewerProgram();
    if (fileKind(viewer) != FileKind::Regular) {
        std::cerr << "ombrel: " << viewer << ": the viewer is not there\n";
        return kExitFailure;
    }
    InterruptGuard guard;
    ViewerExit exit;
    {
        RunFolder run;
        if (run.path().empty()) {
            std::cerr << "ombrel: " << run.error() << "\n";
            return kExitFailure;
        }
        Staging staging(run.path());
        PreparedView view = prepareView(options, staging);
        showMessages(view, options.verbose);
        if (!writeConfig(run.path() + "/ombrel.cfg", view.record)) {
            std::cerr << "ombrel: " << run.path() << ": can't write the record\n";
            return kExitFailure;
        }
        if (!guard.received()) exit = runViewer(viewer, run.path());
    }  // the run folder goes here, before anything else happens
    if (guard.received() && (!exit.started || exit.signal == guard.received())) InterruptGuard::dieBy(guard.received());
    if (!exit.started) {
        std::cerr << "ombrel: " << exit.error << "\n";
        return kExitFailure;
    }
    if (exit.signal) {
        std::cerr << "ombrel: the viewer ended by signal " << exit.signal << " (" << signalName(exit.signal) << ")\n";
        return 128 + exit.signal;
    }
    return exit.code;
}

// The model to open when none was named: the desktop's file chooser, or
// usage and exit 2 without a desktop.
int chooseWhenMissing(ViewOptions& options) {
    if (!options.model.empty()) return 0;
    if (!onDesktop()) {
        std::cerr << kUsage << kTryHelp;
        return kExitBadInput;
    }
    switch (chooseModel(options.model)) {
    case Choice::Chosen:
        return 0;
    case Choice::Cancelled:
        return kExitFailure;
    case Choice::Unavailable:
        break;
    }
    std::cerr << "ombrel: no MODEL given, and no file chooser to ask with (a desktop portal, zenity or kdialog)\n"
              << kUsage << kTryHelp;
    return kExitBadInput;
}

int run(Request& r) {
    if (r.info->parsed()) return describeModel(r.infoModel, r.json, std::cout, std::cerr);
    if (r.list->parsed()) return listModels(r.archive, std::cout, std::cerr);
    if (r.thumbnail->parsed()) return writeThumbnail(r.thumbnailModel, r.thumbnailSize, r.thumbnailOutput);
    if (r.render->parsed()) {
        r.picture.view = r.view;
        // A window size from the settings is the viewer's; pictures have their own default.
        if (r.render->get_option("--size")->count() == 0) r.picture.view.width = 640, r.picture.view.height = 480;
        return renderPictures(r.picture);
    }
    if (int status = chooseWhenMissing(r.view)) return status;
    if (!r.writeConfig.empty()) return writeRecordFile(r.view, r.writeConfig);
    return openInViewer(r.view);
}

}  // namespace

int ombrelMain(int argc, char** argv) {
    std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        // First the command line alone: is it a command that takes the
        // settings, and does it say --no-config?
        Request plain;
        CLI::App app{"", "ombrel"};
        defineCommand(app, plain);
        try {
            parseWords(app, words);
        } catch (const CLI::CallForHelp& e) {
            return app.exit(e);
        } catch (const CLI::CallForVersion& e) {
            return app.exit(e);
        } catch (const CLI::ParseError& e) {
            std::cerr << "ombrel: " << e.what() << "\n";
            return kExitBadInput;
        }
        const std::string settings = settingsPath();
        if (plain.noConfig || plain.info->parsed() || plain.list->parsed() || plain.thumbnail->parsed() ||
            settings.empty())
            return run(plain);

        std::vector<std::string> settingWords;
        std::string error;
        if (!readSettings(settings, settingNames(app), pathSettingNames(), settingWords, error)) {
            std::cerr << "ombrel: " << settings << ": " << error << "\n";
            return kExitBadInput;
        }
        if (settingWords.empty()) return run(plain);
        {
            // The settings alone first, so a bad value is blamed on the file.
            Request alone;
            CLI::App check{"", "ombrel"};
            defineCommand(check, alone);
            try {
                parseWords(check, settingWords);
            } catch (const CLI::ParseError& e) {
                std::cerr << "ombrel: " << settings << ": " << e.what() << "\n";
                return kExitBadInput;
            }
        }
        Request merged;
        CLI::App both{"", "ombrel"};
        defineCommand(both, merged);
        settingWords.insert(settingWords.end(), words.begin(), words.end());
        parseWords(both, settingWords);  // each part parsed cleanly on its own
        return run(merged);
    } catch (const BadInput& e) {
        std::cerr << "ombrel: " << e.what() << "\n";
        return kExitBadInput;
    } catch (const CLI::ParseError& e) {
        std::cerr << "ombrel: " << e.what() << "\n";
        return kExitBadInput;
    }
}

}  // namespace frontend
