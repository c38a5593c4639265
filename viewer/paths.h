// The six path buffers of the model and texture slots. The configuration
// file's path fields are read into them at start-up, and every successful
// load writes the path it used back, so they always name what each slot holds
// (or last tried to hold). Each buffer is exactly one path field of the
// record: 255 characters and the terminating zero.
#pragma once

#include "viewer/config.h"

extern char mainModelPath[CONFIG_PATH_SIZE];
extern char mainSkinPath[CONFIG_PATH_SIZE];
extern char attachModelPath[CONFIG_PATH_SIZE];
extern char attachSkinPath[CONFIG_PATH_SIZE];
extern char backgroundPath[CONFIG_PATH_SIZE];
extern char waterPath[CONFIG_PATH_SIZE];

// The buffer of each path field of the record.
char* configPathBuffer(ConfigPath field);
// The buffer of model slot 0 (the main model); any other slot number gets
// the attachment's.
char* modelPathBuffer(int slot);
// The buffer of texture slot 1 to 4; null for any other slot number.
char* texturePathBuffer(int slot);
