#include "frontend/cli/settings.h"

#include <algorithm>
#include <istream>

#include "frontend/files/files.h"
#include "frontend/base/options.h"
#include "frontend/system/system.h"

namespace frontend {

namespace {

// A settings file is a few lines; anything far larger is not one.
constexpr size_t kLargestSettingsFile = size_t(1) << 20;
// Names from the file are shown in messages at most this long.
constexpr size_t kLongestShownName = 40;

// Options of the command itself, not of the view: never settings.
const char* const kNotSettings[] = {"help", "version", "settings", "write-config", "no-config"};

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string shown(const std::string& name) {
    return name.size() <= kLongestShownName ? name : name.substr(0, kLongestShownName) + "...";
}

bool isFlagWord(std::string value) {
    value = lowerAscii(value);
    for (const char* word : {"true", "false", "yes", "no", "on", "off", "1", "0"})
        if (value == word) return true;
    return false;
}

}  // namespace

SettingsFile::SettingsFile(CLI::App& main, CLI::App& render, const bool& ignored)
    : main_(main), render_(render), ignored_(ignored) {}

void SettingsFile::usePath(const std::string& path) { path_ = path; }

void SettingsFile::requireReadable() const {
    if (!problem_.empty() && !ignored_) throw badInput(path_, problem_);
}

std::vector<CLI::ConfigItem> SettingsFile::from_config(std::istream& input) const {
    applied_.clear();
    // Only opening and render show a model as the settings describe.
    const bool rendering = main_.got_subcommand(&render_);
    if (ignored_ || (!rendering && !main_.get_subcommands().empty())) return {};

    std::string text(kLargestSettingsFile + 1, '\0');
    input.read(&text[0], std::streamsize(text.size()));
    text.resize(size_t(input.gcount()));
    if (text.size() > kLargestSettingsFile)
        throw badInput(path_, "larger than 1 MiB, which no settings file is");
    const std::string folder = folderOf(absolutePath(path_));

    std::vector<std::string> order;
    size_t start = 0;
    for (int number = 1; start <= text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        const size_t equals = line.find('=');
        std::string name = trimmed(line.substr(0, equals));
        if (name.rfind("--", 0) == 0) name.erase(0, 2);
        const CLI::Option* option = name.empty() ? nullptr : main_.get_option_no_throw("--" + name);
        const bool command = std::find(std::begin(kNotSettings), std::end(kNotSettings), name) != std::end(kNotSettings);
        if (!option || command || option->get_lnames().empty())
            throw badInput(path_, where + (name.empty() ? "expected \"option = value\""
                                                        : "no option named \"" + shown(name) + "\""));
        const bool flag = option->get_expected_min() == 0;
        std::string value = equals == std::string::npos ? "true" : trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        if (value.empty()) throw badInput(path_, where + "no value for " + name);
        if (!flag && equals == std::string::npos) throw badInput(path_, where + "no value for " + name);
        if (flag && !isFlagWord(value))
            throw badInput(path_, where + name + " = " + shown(value) + ": expected true or false");
        const auto& paths = pathOptionNames();
        const bool numberedSkin = name == "skin" && value.find_first_not_of("0123456789") == std::string::npos;
        if (std::find(paths.begin(), paths.end(), name) != paths.end() && !numberedSkin) {
            std::string home;
            if (value.rfind("~/", 0) == 0 && homeFolder(home)) value = home + value.substr(1);
            if (rootLength(value) == 0) value = folder + "/" + value;
        }
        // A window size set once is the viewer's: pictures keep their own default.
        if (rendering && name == "size") continue;
        // The last line that sets an option wins, as on the command line.
        if (applied_.count(name)) order.erase(std::find(order.begin(), order.end(), name));
        order.push_back(name);
        applied_[name] = {number, value};
    }

    std::vector<CLI::ConfigItem> items;
    for (const std::string& name : order) {
        CLI::ConfigItem item;
        if (rendering) item.parents = {render_.get_name()};
        item.name = name;
        item.inputs = {applied_[name].value};
        items.push_back(item);
    }
    return items;
}

Failure SettingsFile::blame(const Failure& failure) const {
    const auto found = applied_.find(failure.option);
    if (failure.option.empty() || found == applied_.end() || found->second.value != failure.value) return failure;
    return badInput(path_, "line " + std::to_string(found->second.line) + ": " + failure.what());
}

std::shared_ptr<SettingsFile> connectSettings(CLI::App& app, CLI::App& render, const bool& noConfig) {
    auto settings = std::make_shared<SettingsFile>(app, render, noConfig);
    app.config_formatter(settings);
    const std::string defaultPath = settingsPath();
    CLI::Option* option = app.set_config("--settings", "", "Read the settings from FILE instead of " +
                                                             (defaultPath.empty() ? std::string("the default file")
                                                                                  : defaultPath));
    option->type_name("FILE");
    // The file is opened only when it is a regular file: CLI11 would wait
    // for ever on a FIFO, and passes over a folder in silence.
    option->check(
        [](const std::string& path) {
            const FileKind kind = fileKind(path);
            return kind == FileKind::Regular ? std::string() : path + ": " + describeKind(kind);
        },
        "", "settings file");
    option->each([settings](const std::string& path) { settings->usePath(path); });
    option->trigger_on_parse();
    if (!defaultPath.empty()) {
        settings->usePath(defaultPath);
        const FileKind kind = fileKind(defaultPath);
        if (kind == FileKind::Regular)
            option->default_str(defaultPath);
        else if (kind != FileKind::Missing)
            settings->problem_ = describeKind(kind);
    }
    return settings;
}

}  // namespace frontend
