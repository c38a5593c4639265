#include "tests/writers/scratch_dir.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "tests/writers/bytes.h"

namespace testdata {

ScratchDir::ScratchDir() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    // create_directory reports false for a name that exists, so a directory it made is ours alone.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "ombrel-%08x", unsigned(random()));
        std::filesystem::path candidate = base / name;
        if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
}

ScratchDir::~ScratchDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::file(const std::string& name) const { return path_ + "/" + name; }

std::string ScratchDir::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::string target = file(name);
    return writeFile(target, bytes) ? target : std::string();
}

}  // namespace testdata
