// Archives in a build without an archive library (OMBREL_ARCHIVES off):
// every archive a person names gets the one message, and no Archive is
// ever made, so its other operations are never reached.
#include "frontend/archive.h"

namespace frontend {

namespace {

const char kNoArchives[] =
    "this build of ombrel reads no archives (.pak, .pk3, .zip); unpack the model and its skin and open the .md2 file";

}  // namespace

bool archivesReadable() { return false; }

std::unique_ptr<Archive> Archive::open(const std::string&, std::string& error) {
    error = kNoArchives;
    return nullptr;
}

Archive::~Archive() = default;

bool Archive::read(const std::string&, size_t, std::vector<uint8_t>& bytes, std::string& error) const {
    bytes.clear();
    error = kNoArchives;
    return false;
}

bool Archive::startsWith(const std::string&, const char*, size_t) const { return false; }

}  // namespace frontend
