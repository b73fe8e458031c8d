#pragma once
// texture_loading.h -- the cloth texture, made from "Data/foulard.bmp".

extern unsigned int clothTexture;  // the live texture object, 0 before the first load

// Reads the picture and makes it the bound 2-D texture, deleting the one made by
// the previous call, so a held R keeps exactly one texture alive. Needs a current
// GL context. False when the file is missing or unreadable; the texture made
// before then stays alive and bound.
bool loadTextures();
