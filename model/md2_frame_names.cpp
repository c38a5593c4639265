// Frame names that give the animations back.
//
// groupAnimations reads an animation as a run of frames sharing the name
// before their trailing number, the number rising. So a made name is the
// animation's name (its stem, kept apart from every other animation's)
// followed by the frame's number from 01; a stem ending in a digit is set
// off by '_', as the number would run into it. A source's own names are
// kept when they are all there, unique, and group back into exactly their
// animation; an animation whose names don't is named as made instead.
#include <set>

#include "model/animations.h"
#include "model/md2_steps.h"
#include "model/model.h"

namespace {

constexpr size_t kNameBytes = MODEL_FRAME_NAME_SIZE - 1;  // and the terminating zero

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// text cut to at most size bytes, never inside a UTF-8 sequence.
std::string cutText(const std::string& text, size_t size) {
    if (text.size() <= size) return text;
    size_t end = size;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// The name before its trailing number.
std::string baseOf(const std::string& name) {
    size_t end = name.size();
    while (end > 0 && isDigit(name[end - 1])) --end;
    return name.substr(0, end);
}

// name cut to size bytes and without the spaces a cut may leave at its end.
std::string cutName(const std::string& name, size_t size) {
    std::string cut = cutText(name, size);
    while (!cut.empty() && cut.back() == ' ') cut.pop_back();
    return cut;
}

// A stem of at most room bytes from name and a suffix, not ending in a digit.
std::string stem(const std::string& name, const std::string& suffix, size_t room) {
    std::string cut = cutName(name, room > suffix.size() ? room - suffix.size() : 0) + suffix;
    if (!cut.empty() && isDigit(cut.back()))
        cut = cutName(name, room > suffix.size() + 1 ? room - suffix.size() - 1 : 0) + suffix + "_";
    return cut;
}

// 01 .. 99, 100 ..
std::string frameNumber(size_t number) { return (number < 10 ? "0" : "") + std::to_string(number); }

size_t digitsFor(size_t frameCount) { return frameNumber(frameCount).size(); }

bool hasOwnNames(const Md2NamedAnimation& animation) {
    if (animation.frameNames.empty()) return false;
    for (const std::string& name : animation.frameNames)
        if (name.empty() || name.size() > kNameBytes || name.find('\0') != std::string::npos) return false;
    return true;
}

std::vector<std::string> nameFrames(const std::vector<Md2NamedAnimation>& animations, const std::vector<bool>& own) {
    // Stems must not be the base of a name kept, nor each other's.
    std::set<std::string> taken;
    for (size_t a = 0; a < animations.size(); ++a)
        if (own[a])
            for (const std::string& name : animations[a].frameNames) taken.insert(baseOf(name));
    std::vector<std::string> names;
    for (size_t a = 0; a < animations.size(); ++a) {
        const Md2NamedAnimation& animation = animations[a];
        if (own[a]) {
            names.insert(names.end(), animation.frameNames.begin(), animation.frameNames.end());
            continue;
        }
        const size_t count = animation.frameNames.size();
        const size_t digits = digitsFor(count);
        std::string source;
        for (char c : animation.name)
            if (c != '\0') source += c;
        if (source.empty()) source = "frame";
        const size_t room = kNameBytes - digits;
        std::string chosen = stem(source, "", room);
        for (int copy = 2; taken.count(chosen); ++copy) chosen = stem(source, "_" + std::to_string(copy), room);
        taken.insert(chosen);
        for (size_t f = 0; f < count; ++f) names.push_back(chosen + frameNumber(f + 1));
    }
    return names;
}

}  // namespace

std::vector<std::string> md2FrameNames(const std::vector<Md2NamedAnimation>& animations) {
    std::vector<bool> own(animations.size());
    for (size_t a = 0; a < animations.size(); ++a) own[a] = hasOwnNames(animations[a]);
    for (;;) {
        const std::vector<std::string> names = nameFrames(animations, own);
        // The first animation kept by its own names that shares a name, or
        // doesn't come back whole from them, is named as made instead; when
        // its names run on into the next animation's own names, that one is.
        std::set<std::string> seen;
        std::vector<ModelAnimation> groups = groupAnimations(names);
        std::vector<size_t> groupOf(names.size());
        for (size_t g = 0; g < groups.size(); ++g)
            for (int f = groups[g].first; f <= groups[g].last; ++f) groupOf[size_t(f)] = g;
        bool changed = false;
        size_t first = 0;
        for (size_t a = 0; a < animations.size() && !changed; ++a) {
            const size_t count = animations[a].frameNames.size();
            bool unique = true;
            for (size_t f = first; f < first + count; ++f) unique = seen.insert(names[f]).second && unique;
            if (count > 0 && own[a]) {
                const ModelAnimation& group = groups[groupOf[first]];
                const bool startsRight = size_t(group.first) == first;
                const bool runsOn = size_t(group.last) > first + count - 1;
                if (unique && startsRight && runsOn && a + 1 < animations.size() && own[a + 1]) {
                    own[a + 1] = false;
                    changed = true;
                } else if (!unique || !startsRight || size_t(group.last) != first + count - 1) {
                    own[a] = false;
                    changed = true;
                }
            }
            first += count;
        }
        if (!changed) return names;
    }
}
