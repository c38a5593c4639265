// The animations of a model, read from its frame names the way modders name
// frames: a name and a frame number ("stand01" .. "stand40", "run1" ..
// "run6"). Consecutive frames with the same name form one animation, so the
// frame numbers are what changes inside it and the name what changes at its
// end. Two refinements follow the files people make:
//  - three-digit numbers whose first digit jumps while the name stays
//    ("pain101" .. "pain104", "pain201" .. "pain204") are separate
//    animations, named with that digit ("pain1", "pain2"); a count that runs
//    on (099, 100) stays one animation;
//  - a name that comes back after another one, or a number that starts again
//    (not larger than the one before), begins a new animation of that name.
#pragma once

#include <string>
#include <vector>

struct Model;

struct ModelAnimation {
    std::string name;
    int first = 0;  // frame numbers in the file, both included
    int last = 0;
};

// The animations of these frame names, in file order; together they cover
// every frame exactly once.
std::vector<ModelAnimation> groupAnimations(const std::vector<std::string>& frameNames);

// The animations of a loaded model (none for a null model or one without frames).
std::vector<ModelAnimation> modelAnimations(const Model* model);
