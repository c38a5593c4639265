// The settings file: defaults a person sets once, one "option = value" a
// line with the long option names ("fps = 15", "mode = smooth", "paused").
// CLI11 reads it through its own config-file support, with this file's
// format plugged in, after the command line: so a setting is parsed and
// checked by the same option as on the command line, the command line wins,
// and nothing is parsed twice. Paths in it count from its folder.
#pragma once

#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frontend/base/report.h"

namespace frontend {

class SettingsFile : public CLI::Config {
public:
    // The settings apply to the options of `main` (opening a model) and of
    // `render` when that runs; other subcommands take none.
    SettingsFile(CLI::App& main, CLI::App& render, const bool& ignored);

    std::string to_config(const CLI::App*, bool, bool, std::string) const override { return ""; }
    std::vector<CLI::ConfigItem> from_config(std::istream& input) const override;

    // The file CLI11 is to read: the given one, or the default.
    const std::string& path() const { return path_; }
    void usePath(const std::string& path);

    // Throws the Failure of a default settings file that stands but can't be
    // read (a folder, a device, no permission), unless settings are ignored.
    void requireReadable() const;

    // A Failure for a value from the file, restated to name the file and its
    // line; any other Failure as it is.
    Failure blame(const Failure& failure) const;

private:
    struct Setting {
        int line = 0;
        std::string value;
    };
    CLI::App& main_;
    CLI::App& render_;
    const bool& ignored_;
    std::string path_;
    std::string problem_;                            // why the default file can't be read
    mutable std::map<std::string, Setting> applied_;  // by option name, what from_config handed on

    friend std::shared_ptr<SettingsFile> connectSettings(CLI::App&, CLI::App&, const bool&);
};

// Connects the settings file to app: `--settings FILE` and the default file
// (settingsPath()). noConfig is the --no-config flag's target.
std::shared_ptr<SettingsFile> connectSettings(CLI::App& app, CLI::App& render, const bool& noConfig);

}  // namespace frontend
