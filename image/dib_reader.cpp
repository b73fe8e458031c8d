#include "image/dib_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/window_system.h"
#include "image/dib_decoder.h"
#include "image/file_access.h"

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

// Beside the box, the terminal's line: "cannot read PATH: why".
static void reportUnreadable(const char* path, const char* why) {
    char what[4200];
    std::snprintf(what, sizeof what, "cannot read %s", path);
    reportFailure(what, why);
}

static ptrdiff_t readPiece(void* file, unsigned char* to, size_t count, uint64_t offset) {
    return readPictureFile(*(const PictureFile*)file, to, count, offset);
}

// Reads length bytes at offset; false on an error, or when the file ends sooner
// because another program cut it since it was measured.
static bool readFileBytes(PictureFile& file, unsigned char* buffer, size_t length, uint64_t offset) {
    while (length > 0) {
        const ptrdiff_t got = readPiece(&file, buffer, length, offset);
        if (got <= 0) return false;
        buffer += got;
        length -= (size_t)got;
        offset += (uint64_t)got;
    }
    return true;
}

// Only the head and the pixel data the layout names are read, the pixel data one
// buffer at a time as they are decoded: whatever the file, reading it costs the
// picture, its record and that buffer.
RgbImage* readDibFile(const char* path) {
    PictureFile file = {-1, 0};
    const char* why = "No such file or directory";
    unsigned char head[dibHeadBytes];
    uint64_t fileSize = 0;
    size_t headSize = 0;
    const bool found = path && openPictureFile(path, &file, &why);
    bool opened = found && file.size > 0;
    if (found && !opened) why = "the file is empty";  // fails like a missing file
    const char* const cut = "the file was cut while it was read";
    if (opened) {
        fileSize = file.size;
        headSize = fileSize < dibHeadBytes ? (size_t)fileSize : dibHeadBytes;
        opened = readFileBytes(file, head, headSize, 0);
        why = cut;
    }

    RgbImage* image = nullptr;
    unsigned char* buffer = nullptr;
    DibLayout layout;
    DibError error = dibErrorNone;
    if (opened) error = readDibLayout(head, headSize, fileSize, &layout);
    // Too large for the stack; from the heap it is gone again once the picture is read.
    if (opened && error == dibErrorNone) {
        buffer = (unsigned char*)dibAllocate(dibSourceBytes);
        if (!buffer) error = dibErrorOutOfMemory;
    }
    if (opened && error == dibErrorNone) {
        DibSource source = dibReadSource(layout, buffer, readPiece, &file);
        error = decodeDibPixels(layout, source, &image);
        // Cut by another program since it was measured: as good as unreadable.
        if (source.cut) {
            freeRgbImage(image);
            image = nullptr;
            opened = false;
            why = cut;
        }
    }
    if (opened && error != dibErrorNone) {
        reportUnreadable(path, dibErrorMessage(error));
        showReaderMessage(dibErrorMessage(error));
    }
    std::free(buffer);
    if (found) closePictureFile(file);
    if (!opened) {
        reportUnreadable(path ? path : "", why);
        showOpenFailure(path ? path : "");
    }
    return image;
}

RgbImage* loadBitmapFile(const char* path) {
    if (!path) return nullptr;
    // Only a test that a readable file is there; the reader opens it again itself.
    // Anything but a regular file counts as missing: opening a FIFO would wait for
    // a writer, and a device is no picture. No box, but the terminal is told.
    PictureFile probe;
    const char* why = nullptr;
    if (!openPictureFile(path, &probe, &why)) {
        reportUnreadable(path, why);
        return nullptr;
    }
    closePictureFile(probe);
    return readDibFile(path);
}

void freeRgbImage(RgbImage* image) {
    if (image) {
        std::free(image->data);
        std::free(image);
    }
}
