// dibdump -- decodes a bitmap with the program's own reader and writes it as a PPM.
//
//   dibdump FILE OUT.ppm
//
// OUT.ppm is binary (P6, maxval 255), top row first. When the reader refuses
// FILE, its message (caption, then text) goes to stderr and the exit status is 1;
// a usage or write error exits with 2.

#include <cstdio>

#include "platform/window_system.h"
#include "image/dib_reader.h"

// The reader's messages end up here instead of in a window.
WindowHandle windowWithKeyboardFocus() { return nullptr; }
MessageAnswer showMessageBox(WindowHandle, const char* text, const char* caption, MessageIcon,
                             MessageButtons) {
    std::fprintf(stderr, "%s: %s", caption, text);
    const char* last = text;
    while (*last && last[1]) ++last;
    if (*last != '\n') std::fputc('\n', stderr);
    return messageAnswerOk;
}

// The box above has said it already.
void reportFailure(const char*, const char*) {}

static bool writePpm(const RgbImage& image, const char* path) {
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    bool written = std::fprintf(out, "P6\n%d %d\n255\n", (int)image.width, (int)image.height) > 0;
    const size_t rowBytes = (size_t)image.width * 3;
    for (int32_t row = image.height - 1; written && row >= 0; --row)
        written = std::fwrite(image.data + (size_t)row * rowBytes, 1, rowBytes, out) == rowBytes;
    return std::fclose(out) == 0 && written;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dibdump FILE OUT.ppm\n");
        return 2;
    }
    RgbImage* image = readDibFile(argv[1]);
    if (!image) return 1;
    const bool written = writePpm(*image, argv[2]);
    freeRgbImage(image);
    if (!written) {
        std::perror(argv[2]);
        return 2;
    }
    return 0;
}
