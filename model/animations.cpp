#include "model/animations.h"

#include <cstring>

#include "model/model.h"

namespace {

// A frame name split into its name and trailing frame number.
struct FrameName {
    std::string base;
    std::string digits;     // the trailing digits as written, "" when there are none
    long long number = -1;  // their value (names hold at most 15 characters, so it fits)
};

FrameName splitFrameName(const std::string& name) {
    FrameName split;
    size_t end = name.size();
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') --end;
    split.base = name.substr(0, end);
    split.digits = name.substr(end);
    if (!split.digits.empty()) {
        split.number = 0;
        for (char c : split.digits)
            if (split.number < 1000000000000000LL) split.number = split.number * 10 + (c - '0');
    }
    return split;
}

// "pain104" then "pain201": the hundreds digit numbers the animation, the
// last two digits its frames. "run099" then "run100" is one count running on.
bool hundredsDigitJumps(const FrameName& before, const FrameName& now) {
    return before.digits.size() == 3 && now.digits.size() == 3 && before.digits[0] != now.digits[0] &&
           now.number != before.number + 1;
}

}  // namespace

std::vector<ModelAnimation> groupAnimations(const std::vector<std::string>& frameNames) {
    std::vector<ModelAnimation> animations;
    std::vector<bool> namedByHundreds;  // one entry per animation
    FrameName previous;
    for (size_t i = 0; i < frameNames.size(); ++i) {
        FrameName current = splitFrameName(frameNames[i]);
        bool byHundreds = i > 0 && current.base == previous.base && hundredsDigitJumps(previous, current);
        bool starts = i == 0 || current.base != previous.base || byHundreds ||
                      (!current.digits.empty() && !previous.digits.empty() && current.number <= previous.number);
        if (starts) {
            if (byHundreds) namedByHundreds.back() = true;
            ModelAnimation animation;
            animation.name = current.base.empty() ? frameNames[i] : current.base;
            animation.first = int(i);
            animations.push_back(animation);
            namedByHundreds.push_back(byHundreds);
        }
        animations.back().last = int(i);
        previous = current;
    }
    // The hundreds digit becomes part of the name of every animation it set
    // apart, the first of such a series included.
    for (size_t a = 0; a < animations.size(); ++a) {
        if (!namedByHundreds[a]) continue;
        const std::string& firstName = frameNames[size_t(animations[a].first)];
        animations[a].name = splitFrameName(firstName).base + firstName[firstName.size() - 3];
    }
    return animations;
}

std::vector<ModelAnimation> modelAnimations(const Model* model) {
    std::vector<std::string> names;
    if (!model || !model->frames) return {};
    for (int i = 0; i < model->numFrames; ++i)
        names.emplace_back(model->frames[i].name, strnlen(model->frames[i].name, MODEL_FRAME_NAME_SIZE));
    return groupAnimations(names);
}
