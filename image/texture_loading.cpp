#include "image/texture_loading.h"

unsigned int clothTexture = 0;

bool loadTextures() { return true; }
