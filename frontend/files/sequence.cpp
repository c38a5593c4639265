#include "frontend/files/sequence.h"

#include "frontend/base/report.h"

namespace frontend {

std::string sequenceName(const std::string& pattern, int number) {
    size_t at = pattern.find("{frame");
    if (at == std::string::npos) return "";
    size_t end = pattern.find('}', at);
    if (end == std::string::npos)
        throw badInput("-o " + pattern, "expected {frame} or {frame:0N} (N digits) in the name");
    const std::string width = pattern.substr(at + 6, end - at - 6);
    int digits = 0;
    if (!width.empty()) {
        if (width.size() != 3 || width[0] != ':' || width[1] != '0' || width[2] < '1' || width[2] > '9')
            throw badInput("-o " + pattern, "expected {frame} or {frame:0N} (N digits) in the name");
        digits = width[2] - '0';
    }
    std::string text = std::to_string(number);
    if (int(text.size()) < digits) text.insert(0, size_t(digits) - text.size(), '0');
    return pattern.substr(0, at) + text + pattern.substr(end + 1);
}

}  // namespace frontend
