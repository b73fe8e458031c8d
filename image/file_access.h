#pragma once
// file_access.h -- how the bitmap reader gets at a file, one file per system
// (file_access_posix.cpp, file_access_win32.cpp), with the same outcomes on
// both: a missing file, a folder or a device is no file to read, opening one
// never waits (a FIFO has no writer), and a file cut while it is read ends
// the read early.

#include <cstddef>
#include <cstdint>

struct PictureFile {
    intptr_t handle;  // a descriptor or a HANDLE
    uint64_t size;    // when it was opened
};

// Opens the regular file at path for reading. False, with why in the system's
// words ("No such file or directory", "Is a directory", "not a regular file"),
// when there is none.
bool openPictureFile(const char* path, PictureFile* file, const char** why);
// Up to count bytes from offset: the number read, 0 at the end, -1 on an error.
ptrdiff_t readPictureFile(const PictureFile& file, unsigned char* to, size_t count, uint64_t offset);
void closePictureFile(const PictureFile& file);
