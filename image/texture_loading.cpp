#include "image/texture_loading.h"

#include <GL/gl.h>

#include "image/dib_reader.h"

unsigned int clothTexture = 0;

bool loadTextures() {
    RgbImage* image = loadBitmapFile("Data/foulard.bmp");
    if (!image) return false;

    // Deleting a name the current context never made is a no-op, so a stale name
    // left from a destroyed context is harmless here.
    if (clothTexture != 0) glDeleteTextures(1, &clothTexture);
    glGenTextures(1, &clothTexture);
    glBindTexture(GL_TEXTURE_2D, clothTexture);
    // RgbImage rows are packed: with the default alignment of 4 any width whose
    // row is not a multiple of 4 bytes would be read sheared.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image->data);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    freeRgbImage(image);
    return true;
}
