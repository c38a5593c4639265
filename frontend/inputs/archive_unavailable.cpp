// Archives in a build without an archive library (OMBREL_ARCHIVES off):
// every archive a person names gets the one message, and no Archive is
// ever made, so its other operations are never reached.
#include "frontend/inputs/archive.h"

namespace frontend {

bool archivesReadable() { return false; }

std::string Archive::noReaderReason() {
    return "this build of ombrel reads no archives (.pak, .pk3, .zip); unpack the model and its skin and open the "
           ".md2 file";
}

Archive::~Archive() = default;

bool Archive::readMember(const ArchiveEntry&, size_t, std::vector<uint8_t>& bytes, std::string& error) const {
    bytes.clear();
    error = noReaderReason();
    return false;
}

}  // namespace frontend
