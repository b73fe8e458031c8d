// dib_fuzzer -- libFuzzer target for the bitmap decoder. Each input is decoded as
// readDibFile decodes a file: the head and the pixel data in exact-size copies, so
// a read past either is caught. A picture must be exactly width * height * 3 bytes.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <sanitizer/allocator_interface.h>

#include "image/dib_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t headSize = size < dibHeadBytes ? size : dibHeadBytes;
    unsigned char* head = (unsigned char*)std::malloc(headSize);
    if (headSize > 0) std::memcpy(head, data, headSize);
    DibLayout layout;
    const DibError layoutError = readDibLayout(head, headSize, size, &layout);
    if (layoutError == dibErrorNone) {
        if (layout.pixelLength == 0 || layout.pixelOffset + layout.pixelLength > size) std::abort();
        unsigned char* pixels = (unsigned char*)std::malloc(layout.pixelLength);
        std::memcpy(pixels, data + layout.pixelOffset, layout.pixelLength);
        RgbImage* image = nullptr;
        const DibError error = decodeDibPixels(layout, pixels, &image);
        if ((error == dibErrorNone) != (image != nullptr)) std::abort();
        if (image) {
            if (image->width < 1 || image->height < 1) std::abort();
            const size_t pictureBytes = (size_t)image->width * (size_t)image->height * 3;
            if (pictureBytes > maxPictureBytes) std::abort();
            if (__sanitizer_get_allocated_size(image->data) != pictureBytes) std::abort();
            std::free(image->data);
            std::free(image);
        }
        std::free(pixels);
    }
    std::free(head);
    return 0;
}
