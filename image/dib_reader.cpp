#include "image/dib_reader.h"

#include <cstdlib>

RgbImage* readDibFile(const char*) { return nullptr; }
uint16_t dibColourCount(const unsigned char*) { return 0; }
RgbImage* loadBitmapFile(const char*) { return nullptr; }
void freeRgbImage(RgbImage* image) {
    if (image) {
        std::free(image->data);
        std::free(image);
    }
}
