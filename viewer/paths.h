// The six path buffers of the model and texture slots. The configuration
// file's path fields are read into them at start-up, and every successful
// load writes the path it used back, so they always name what each slot holds
// (or last tried to hold).
#pragma once

constexpr int PATH_BUFFER_SIZE = 256;  // 255 characters and the terminating zero

extern char mainModelPath[PATH_BUFFER_SIZE];
extern char mainSkinPath[PATH_BUFFER_SIZE];
extern char attachModelPath[PATH_BUFFER_SIZE];
extern char attachSkinPath[PATH_BUFFER_SIZE];
extern char backgroundPath[PATH_BUFFER_SIZE];
extern char waterPath[PATH_BUFFER_SIZE];
