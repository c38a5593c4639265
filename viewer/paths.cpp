#include "viewer/paths.h"

char mainModelPath[PATH_BUFFER_SIZE];
char mainSkinPath[PATH_BUFFER_SIZE];
char attachModelPath[PATH_BUFFER_SIZE];
char attachSkinPath[PATH_BUFFER_SIZE];
char backgroundPath[PATH_BUFFER_SIZE];
char waterPath[PATH_BUFFER_SIZE];
