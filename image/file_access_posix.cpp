#include "image/file_access.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool openPictureFile(const char* path, PictureFile* file, const char** why) {
    // O_NONBLOCK: a FIFO in the picture's place must not hang the program; it
    // then fails below like anything else that is not a regular file.
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status;
    if (descriptor < 0 || fstat(descriptor, &status) != 0) {
        *why = std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        *why = S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    } else {
        *file = PictureFile{descriptor, (uint64_t)status.st_size};
        return true;
    }
    if (descriptor >= 0) close(descriptor);
    return false;
}

// One pread, repeated only when a signal interrupts it.
ptrdiff_t readPictureFile(const PictureFile& file, unsigned char* to, size_t count, uint64_t offset) {
    for (;;) {
        const ssize_t got = pread((int)file.handle, to, count, (off_t)offset);
        if (got >= 0 || errno != EINTR) return got;
    }
}

void closePictureFile(const PictureFile& file) { close((int)file.handle); }
