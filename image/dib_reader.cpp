#include "image/dib_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/window_system.h"
#include "image/dib_decoder.h"

static void showReaderMessage(const char* text) {
    showMessageBox(windowWithKeyboardFocus(), text, "Error", messageIconNone, messageButtonsOk);
}

// The path can be of any length: the text is sized to it. Should even that
// allocation fail, a truncated path is better than no message.
static void showOpenFailure(const char* path) {
    static const char format[] = "Failed to open DIB file %s.\n";
    const int length = std::snprintf(nullptr, 0, format, path);
    char* text = length >= 0 ? (char*)std::malloc((size_t)length + 1) : nullptr;
    if (text) {
        std::snprintf(text, (size_t)length + 1, format, path);
        showReaderMessage(text);
        std::free(text);
        return;
    }
    char shortText[512];
    std::snprintf(shortText, sizeof shortText, format, path);
    showReaderMessage(shortText);
}

RgbImage* readDibFile(const char* path) {
    // O_NONBLOCK: a FIFO in the picture's place must not hang the program; it
    // then fails below like anything else that is not a regular file.
    const int file = path ? open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1;
    struct stat status;
    void* view = MAP_FAILED;
    size_t size = 0;
    // An empty file cannot be mapped: it fails here like a missing one.
    if (file >= 0 && fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        (unsigned long long)status.st_size <= SIZE_MAX) {
        size = (size_t)status.st_size;
        view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file, 0);
    }
    if (view == MAP_FAILED) {
        if (file >= 0) close(file);
        showOpenFailure(path ? path : "");
        return nullptr;
    }

    RgbImage* image = nullptr;
    const DibError error = decodeDib((const unsigned char*)view, size, &image);
    if (error != dibErrorNone) showReaderMessage(dibErrorMessage(error));
    munmap(view, size);
    close(file);
    return image;
}

RgbImage* loadBitmapFile(const char* path) {
    if (!path) return nullptr;
    // Only a test that the file is there; the reader opens it again itself.
    std::FILE* probe = std::fopen(path, "r");
    if (!probe) return nullptr;
    std::fclose(probe);
    return readDibFile(path);
}

void freeRgbImage(RgbImage* image) {
    if (image) {
        std::free(image->data);
        std::free(image);
    }
}
