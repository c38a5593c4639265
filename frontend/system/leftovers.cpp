// The one part of the system contract written once for every system:
// std::filesystem lists and removes alike everywhere, and only whether a
// process runs is the system's own question.
#include <filesystem>
#include <string>
#include <system_error>

#include "common/path.h"
#include "frontend/system/system.h"

namespace fs = std::filesystem;

namespace frontend {

void removeLeftovers(const std::string& folder, const std::string& prefix, char separator) {
    std::error_code error;
    for (fs::directory_iterator it(pathFromText(folder), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().u8string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const size_t digits = name.find_first_not_of("0123456789", prefix.size());
        if (digits == prefix.size() || digits == std::string::npos || name[digits] != separator) continue;
        if (digits - prefix.size() > 9 || processRunning(std::stol(name.substr(prefix.size(), digits - prefix.size()))))
            continue;
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);  // a link is removed, never followed
    }
}

}  // namespace frontend
