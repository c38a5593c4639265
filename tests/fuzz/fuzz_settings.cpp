// Any bytes as the settings file, read as ombrel reads it: the file's own
// format, then each setting through the option it names, as CLI11 applies
// them. A refusal must be a Failure that names the file (and the line where
// one is to blame); nothing else may escape, crash or swell.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "frontend/base/options.h"
#include "frontend/base/report.h"
#include "frontend/cli/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CLI::App app;
    CLI::App* render = app.add_subcommand("render");
    frontend::ViewOptions view;
    frontend::addViewOptions(app, view);
    const bool ignored = false;
    frontend::SettingsFile settings(app, *render, ignored);
    settings.usePath("/settings");
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    try {
        for (const CLI::ConfigItem& item : settings.from_config(input)) {
            CLI::Option* option = app.get_option_no_throw("--" + item.name);
            if (!option || !item.parents.empty()) std::abort();  // only known options of the open command
            try {
                option->add_result(item.inputs);
                option->run_callback();
            } catch (const frontend::Failure& refused) {
                const frontend::Failure blamed = settings.blame(refused);
                if (blamed.subject() != "/settings") std::abort();
            } catch (const CLI::Error&) {
                // a flag's value is checked by the file's reader; CLI11's own
                // conversions refuse the rest
            }
        }
    } catch (const frontend::Failure& refused) {
        if (refused.subject() != "/settings") std::abort();
    }
    return 0;
}
