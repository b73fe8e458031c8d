#pragma once
// texture_loading.h -- the cloth texture, made from "Data/foulard.bmp".

extern unsigned int clothTexture;  // the live texture object, 0 before the first load

// Reads the picture and makes it the bound 2-D texture. Needs a current GL
// context. False when the file is missing or unreadable.
bool loadTextures();
