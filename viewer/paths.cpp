#include "viewer/paths.h"

#include "viewer/ModelWindow.h"

char mainModelPath[CONFIG_PATH_SIZE];
char mainSkinPath[CONFIG_PATH_SIZE];
char attachModelPath[CONFIG_PATH_SIZE];
char attachSkinPath[CONFIG_PATH_SIZE];
char backgroundPath[CONFIG_PATH_SIZE];
char waterPath[CONFIG_PATH_SIZE];

char* configPathBuffer(ConfigPath field) {
    static char* const buffers[PATH_COUNT] = {mainModelPath,  mainSkinPath,   attachModelPath,
                                              attachSkinPath, backgroundPath, waterPath};
    return field >= 0 && field < PATH_COUNT ? buffers[field] : nullptr;
}

char* modelPathBuffer(int slot) { return configPathBuffer(slot == MODEL_MAIN ? PATH_MAIN_MODEL : PATH_ATTACH_MODEL); }

char* texturePathBuffer(int slot) {
    static const ConfigPath fields[] = {PATH_MAIN_SKIN, PATH_ATTACH_SKIN, PATH_BACKGROUND, PATH_WATER};
    if (slot < TEXTURE_MAIN_SKIN || slot > TEXTURE_WATER) return nullptr;
    return configPathBuffer(fields[slot - TEXTURE_MAIN_SKIN]);
}
