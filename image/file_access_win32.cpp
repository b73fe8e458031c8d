#include "image/file_access.h"

#include <windows.h>

#include <cstdio>

// The system's reason in the words the POSIX file gives for the same cases.
static const char* reason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return "Permission denied";
    default: break;
    }
    static char text[256];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                        text, sizeof text, nullptr))
        std::snprintf(text, sizeof text, "Windows error %lu", (unsigned long)error);
    for (size_t n = strlen(text); n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.');)
        text[--n] = '\0';
    return text;
}

bool openPictureFile(const char* path, PictureFile* file, const char** why) {
    // A folder cannot be opened as a file at all; say what it is.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *why = reason(GetLastError());
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        *why = "Is a directory";
        return false;
    }
    // Shared for writing and deleting too, as a POSIX descriptor is: another
    // program may still cut the file, which the reader notices.
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *why = reason(GetLastError());
        return false;
    }
    LARGE_INTEGER size;
    // A device or a pipe (what a FIFO is here) is no picture.
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) {
        *why = "not a regular file";
        CloseHandle(handle);
        return false;
    }
    *file = PictureFile{(intptr_t)handle, (uint64_t)size.QuadPart};
    return true;
}

// ReadFile at an offset: the handle is synchronous, so OVERLAPPED only names
// where to read, as pread's offset does.
ptrdiff_t readPictureFile(const PictureFile& file, unsigned char* to, size_t count, uint64_t offset) {
    OVERLAPPED at = {};
    at.Offset = (DWORD)offset;
    at.OffsetHigh = (DWORD)(offset >> 32);
    DWORD got = 0;
    const DWORD wanted = count > 0x40000000 ? 0x40000000 : (DWORD)count;
    if (ReadFile((HANDLE)file.handle, to, wanted, &got, &at)) return (ptrdiff_t)got;
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

void closePictureFile(const PictureFile& file) { CloseHandle((HANDLE)file.handle); }
