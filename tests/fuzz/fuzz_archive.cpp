// An archive's bytes, PACK or zip, as the front end meets them: the
// directory read and its names made paths, every member listed, looked up
// and read (its first bytes, then whole within a limit) through PhysFS.
// Nothing may crash, hang, read outside its buffers or leak; a member read
// whole has exactly the size its directory gives.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/inputs/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    std::unique_ptr<frontend::Archive> archive =
        frontend::Archive::openBytes(std::vector<uint8_t>(data, data + size), "input.pk3", error);
    if (!archive) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    size_t read = 0;
    for (const std::string& member : archive->members()) {
        if (member.empty() || member.front() == '/' || member.back() == '/' || member.find("//") != std::string::npos)
            std::abort();  // names are plain paths
        if (archive->find(member) != member) std::abort();
        std::vector<uint8_t> start;
        if (archive->readStart(member, 4, start, error) ? start.size() > 4 : error.empty()) std::abort();
        if (++read > 64) continue;  // every member listed, the first ones read whole
        std::vector<uint8_t> bytes;
        if (!archive->read(member, 1 << 20, bytes, error) && (error.empty() || !bytes.empty())) std::abort();
    }
    for (const frontend::LeftOutEntry& left : archive->leftOut())
        if (left.reason.empty() || left.name.size() > 200 * 4 + 3) std::abort();  // 200 bytes, escaped
    return 0;
}
