#pragma once
// dib_reader.h -- the bitmap (DIB/BMP) reader: file bytes to packed RGB rows.

#include <cstdint>

// A decoded picture: width * height pixels, 3 bytes each (R, G, B), rows from the
// bottom of the picture to the top, no padding. The record and data are separate
// malloc'd blocks; the owner frees data first, then the record (freeRgbImage).
struct RgbImage {
    int32_t width;
    int32_t height;
    unsigned char* data;
};

// Reads the file at path; on any failure shows its own message box (caption
// "Error") and returns null.
RgbImage* readDibFile(const char* path);

// The colour-table entry count of the bitmap header starting at header, which
// must hold at least the header's size field and the fields this reads.
uint16_t dibColourCount(const unsigned char* header);

// Front end: null when path is null, or names no regular file that can be opened
// (a FIFO, folder or device counts as missing; no message, no waiting);
// otherwise readDibFile's result.
RgbImage* loadBitmapFile(const char* path);

void freeRgbImage(RgbImage* image);
