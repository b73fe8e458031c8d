// dib_fuzzer -- libFuzzer target for the bitmap decoder. Each input is decoded as
// readDibFile decodes a file: the head from an exact-size copy, the pixel data read
// into a buffer of the reader's fixed size in pieces the input picks, so that refills
// fall inside rows, RLE codes and absolute runs. The part of the buffer past the
// bytes at hand is poisoned, so reading there is caught like reading past a block.
// A picture must be exactly width * height * 3 bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>

#include "image/dib_decoder.h"

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    unsigned char* buffer;
};

// The first byte a read would give picks its length: 1 to 16 bytes, or all asked for.
static ptrdiff_t readInput(void* context, unsigned char* to, size_t count, uint64_t offset) {
    const FuzzInput& input = *(const FuzzInput*)context;
    // Asked for nothing: the decoder wanted more than the buffer holds. Asked past
    // the input: more than the layout's pixel data.
    if (count == 0 || offset >= input.size || count > input.size - offset) std::abort();
    const uint8_t pick = input.data[offset];
    size_t length = pick < 0x80 ? 1u + pick % 16 : count;
    if (length > count) length = count;
    ASAN_UNPOISON_MEMORY_REGION(to, length);
    std::memcpy(to, input.data + offset, length);
    ASAN_POISON_MEMORY_REGION(to + length, (size_t)(input.buffer + dibSourceBytes - (to + length)));
    return (ptrdiff_t)length;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t headSize = size < dibHeadBytes ? size : dibHeadBytes;
    unsigned char* head = (unsigned char*)std::malloc(headSize);
    if (headSize > 0) std::memcpy(head, data, headSize);
    DibLayout layout;
    const DibError layoutError = readDibLayout(head, headSize, size, &layout);
    if (layoutError == dibErrorNone) {
        if (layout.pixelLength == 0 || layout.pixelOffset + layout.pixelLength > size) std::abort();
        FuzzInput input = {data, size, (unsigned char*)std::malloc(dibSourceBytes)};
        ASAN_POISON_MEMORY_REGION(input.buffer, dibSourceBytes);
        DibSource source = dibReadSource(layout, input.buffer, readInput, &input);
        RgbImage* image = nullptr;
        const DibError error = decodeDibPixels(layout, source, &image);
        if ((error == dibErrorNone) != (image != nullptr) || source.cut) std::abort();
        if (image) {
            if (image->width < 1 || image->height < 1) std::abort();
            const size_t pictureBytes = (size_t)image->width * (size_t)image->height * 3;
            if (pictureBytes > maxPictureBytes) std::abort();
            if (__sanitizer_get_allocated_size(image->data) != pictureBytes) std::abort();
            std::free(image->data);
            std::free(image);
        }
        ASAN_UNPOISON_MEMORY_REGION(input.buffer, dibSourceBytes);
        std::free(input.buffer);
    }
    std::free(head);
    return 0;
}
