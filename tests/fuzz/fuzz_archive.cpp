// An archive's bytes, PACK or zip, as the front end meets them: the
// directory read and its names made paths, every member listed, looked up,
// its first bytes read, then read whole (inflated and checked) within a
// limit. Nothing may crash, hang, read outside its buffers or leak; a
// refusal says why, and a member read whole starts with what its first
// bytes said.
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
        error.clear();
        const bool started = archive->readStart(member, 4, start, error);
        if (started ? start.size() > 4 : error.empty()) std::abort();
        // Every member read whole: the first ones within a mebibyte, the
        // rest (an input may hold a thousand) within 64 KiB.
        std::vector<uint8_t> bytes;
        error.clear();
        if (!archive->read(member, ++read <= 64 ? 1 << 20 : 1 << 16, bytes, error)) {
            if (error.empty() || !bytes.empty()) std::abort();
        } else if (!started || !std::equal(start.begin(), start.end(), bytes.begin())) {
            std::abort();  // the first bytes are the whole member's first bytes
        }
    }
    for (const frontend::LeftOutEntry& left : archive->leftOut())
        if (left.reason.empty() || left.name.size() > 200 * 4 + 3) std::abort();  // 200 bytes, escaped
    return 0;
}
