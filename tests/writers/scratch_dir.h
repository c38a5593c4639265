// A fresh temporary directory for one test, benchmark or fuzz run, removed
// with everything in it when the object goes away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // path()/name
    std::string file(const std::string& name) const;
    // Writes bytes to path()/name and returns that path ("" if writing failed).
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

}  // namespace testdata
