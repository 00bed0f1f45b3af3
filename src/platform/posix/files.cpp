#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os_files.h"

namespace plat {

FileKind KindOfFile(const char* path) {
    struct stat status {};
    if (::stat(path, &status) != 0) {
        return FileKind::Missing;
    }
    return S_ISREG(status.st_mode) ? FileKind::Regular : FileKind::Other;
}

bool IsRegularDescriptor(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

int MoveFileOver(const char* from, const char* to) {
    struct stat old {};
    if (::stat(to, &old) == 0 && S_ISREG(old.st_mode)) {
        // Best effort: a file the caller may not chmod keeps its own bits.
        (void)::chmod(from, old.st_mode & 07777);
    }
    return ::rename(from, to) == 0 ? 0 : -1;
}

int RemoveFile(const char* path) {
    return ::unlink(path) == 0 ? 0 : -1;
}

FILE* OpenAppending(const char* path, bool ownerOnly) {
    if (!ownerOnly) {
        return ::fopen(path, "a+");
    }
    int fd = ::open(path, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    FILE* file = ::fdopen(fd, "a+");
    if (file == nullptr) {
        int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return file;
}

}  // namespace plat
