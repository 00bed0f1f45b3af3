#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "os_lowio.h"

namespace plat {

int _open(const char* path, int flags, int permission) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, permission);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int _read(int fd, void* buffer, unsigned int count) {
    if (count > INT_MAX) {
        count = INT_MAX;
    }
    ssize_t n;
    do {
        n = ::read(fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int _write(int fd, const void* buffer, unsigned int count) {
    if (count > INT_MAX) {
        count = INT_MAX;
    }
    ssize_t n;
    do {
        n = ::write(fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int _close(int fd) {
    return ::close(fd);
}

std::FILE* OpenRegularFileToRead(const char* path, bool* notRegular) {
    *notRegular = false;
    // Without O_NONBLOCK the open of a named pipe waits for a writer.
    int fd = _open(path, O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status {};
    int error = 0;
    if (::fstat(fd, &status) != 0) {
        error = errno;
    } else if (!S_ISREG(status.st_mode)) {
        *notRegular = true;
        error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        int openError = errno;
        ::close(fd);
        errno = openError;
    }
    return stream;
}

int GetLastError() {
    return errno;
}

}  // namespace plat
