// tinygltf's code, once for the whole program.
#define TINYGLTF_IMPLEMENTATION
#include "model/gltf.h"
