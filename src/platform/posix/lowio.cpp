#include <errno.h>
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

int _close(int fd) { return ::close(fd); }

int GetLastError() { return errno; }

}  // namespace plat
