#include "tests/support/loaded_libraries.h"

#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>

namespace testsupport {

void keepLoadedLibraries() {
    std::vector<std::string> paths;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && info->dlpi_name[0])
                static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
            return 0;
        },
        &paths);
    // RTLD_NOLOAD: only libraries already in memory; NODELETE pins them.
    for (const std::string& path : paths) dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace testsupport
