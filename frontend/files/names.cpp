#include "frontend/files/names.h"

#include <vector>

#include "common/path.h"
#include "frontend/base/report.h"

namespace frontend {

bool normaliseStoredName(const std::string& stored, std::string& name, bool& folder, ParentParts parents) {
    name.clear();
    folder = false;
    if (stored.find('\0') != std::string::npos) return false;
    if (stored.find_first_not_of("/\\") == std::string::npos) {  // the root itself
        folder = true;
        return true;
    }
    if (stored[0] == '/' || stored[0] == '\\') return false;
    if (stored.size() >= 2 && stored[1] == ':') return false;  // a drive letter
    std::vector<size_t> partStarts;                            // where each part of name begins
    size_t begin = 0;
    for (size_t i = 0; i <= stored.size(); ++i) {
        if (i < stored.size() && stored[i] != '/' && stored[i] != '\\') continue;
        const size_t length = i - begin;
        if (length == 2 && stored.compare(begin, 2, "..") == 0) {
            if (partStarts.empty() || parents == ParentParts::Refused) return false;
            name.resize(partStarts.back() ? partStarts.back() - 1 : 0);
            partStarts.pop_back();
        } else if (length != 0 && !(length == 1 && stored[begin] == '.')) {
            if (!name.empty()) name += '/';
            partStarts.push_back(name.size());
            name.append(stored, begin, length);
        }
        begin = i + 1;
    }
    // Parts taken back by ".." can bring a drive letter to the front
    // ("a/../C:/x"): refused as one typed there, so a name made plain is
    // always taken again as itself.
    if (name.size() >= 2 && name[1] == ':') {
        name.clear();
        return false;
    }
    const char last = stored.empty() ? '/' : stored.back();
    folder = name.empty() || last == '/' || last == '\\';
    return true;
}

bool isPlainRelativeName(const std::string& name) {
    std::string normal;
    bool folder = false;
    return normaliseStoredName(name, normal, folder) && !folder && normal == name;
}

namespace {

// Where the {frame} or {frame:0N} place lies in a pattern, and its digits.
struct FramePlace {
    size_t at = std::string::npos, end = 0;
    int digits = 0;
};

// subject names the pattern in the Failure of a malformed place: the output
// option as typed, or an input's name.
FramePlace framePlace(const std::string& pattern, const std::string& subject) {
    FramePlace place;
    place.at = pattern.find("{frame");
    if (place.at == std::string::npos) return place;
    place.end = pattern.find('}', place.at);
    const std::string malformed = "expected {frame} or {frame:0N} (N digits) in the name";
    if (place.end == std::string::npos) throw badInput(subject, malformed);
    const std::string width = pattern.substr(place.at + 6, place.end - place.at - 6);
    if (!width.empty()) {
        if (width.size() != 3 || width[0] != ':' || width[1] != '0' || width[2] < '1' || width[2] > '9')
            throw badInput(subject, malformed);
        place.digits = width[2] - '0';
    }
    return place;
}

}  // namespace

std::string sequenceName(const std::string& pattern, int number) {
    const FramePlace place = framePlace(pattern, "-o " + pattern);
    if (place.at == std::string::npos) return "";
    std::string text = std::to_string(number);
    if (int(text.size()) < place.digits) text.insert(0, size_t(place.digits) - text.size(), '0');
    return pattern.substr(0, place.at) + text + pattern.substr(place.end + 1);
}

std::string withoutFramePlace(const std::string& pattern) {
    const FramePlace place = framePlace(pattern, "-o " + pattern);
    if (place.at == std::string::npos) return pattern;
    return pattern.substr(0, place.at) + pattern.substr(place.end + 1);
}

bool hasFramePlace(const std::string& name) { return name.find("{frame") != std::string::npos; }

bool sequenceNumber(const std::string& pattern, const std::string& name, int& number) {
    const FramePlace place = framePlace(pattern, pattern);
    if (place.at == std::string::npos) return false;
    const size_t suffix = pattern.size() - place.end - 1;
    if (name.size() <= place.at + suffix || name.compare(0, place.at, pattern, 0, place.at) != 0 ||
        name.compare(name.size() - suffix, suffix, pattern, place.end + 1, suffix) != 0)
        return false;
    const std::string digits = name.substr(place.at, name.size() - place.at - suffix);
    // More digits than any frame number needs are no frame's.
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    const int found = std::stoi(digits);
    if (sequenceName(pattern, found) != name) return false;  // padded otherwise than the pattern pads
    number = found;
    return true;
}

std::string sequenceStem(const std::string& pattern) {
    const FramePlace place = framePlace(pattern, pattern);
    const std::string without =
        place.at == std::string::npos ? pattern : pattern.substr(0, place.at) + pattern.substr(place.end + 1);
    // Up to the last dot, even the first letter: "{frame}.obj" shares nothing.
    std::string name = fileNameOf(without);
    name = name.substr(0, name.rfind('.'));
    while (!name.empty() && (name.back() == '_' || name.back() == '-' || name.back() == '.')) name.pop_back();
    return name;
}

static const std::string kNamePlace = "{name}";

bool hasNamePlace(const std::string& pattern) { return pattern.find(kNamePlace) != std::string::npos; }

std::string withName(const std::string& pattern, const std::string& name) {
    std::string text = pattern;
    for (size_t at = text.find(kNamePlace); at != std::string::npos; at = text.find(kNamePlace, at + name.size()))
        text.replace(at, kNamePlace.size(), name);
    return text;
}

}  // namespace frontend
