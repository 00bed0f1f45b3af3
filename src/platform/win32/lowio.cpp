#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "os_lowio.h"

namespace plat {

// _O_NOINHERIT keeps file ports out of processes the program may start, as
// O_CLOEXEC does on POSIX.
int _open(const char* path, int flags, int permission) {
    return ::_open(path, flags | _O_NOINHERIT, permission);
}

int _read(int fd, void* buffer, unsigned int count) {
    return ::_read(fd, buffer, count);
}

int _write(int fd, const void* buffer, unsigned int count) {
    return ::_write(fd, buffer, count);
}

int _close(int fd) {
    return ::_close(fd);
}

std::FILE* OpenRegularFileToRead(const char* path, bool* notRegular) {
    *notRegular = false;
    // A device name (CON, NUL, COM1) or a pipe opens, and is refused by its
    // type; a directory is refused by the open itself.
    int fd = _open(path, _O_RDONLY | _O_BINARY, 0);
    if (fd < 0) {
        DWORD attributes = ::GetFileAttributesA(path);
        *notRegular =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return nullptr;
    }
    struct _stat64 status {};
    if (::_fstat64(fd, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        ::_close(fd);
        *notRegular = true;
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    std::FILE* stream = ::_fdopen(fd, "rb");
    if (stream == nullptr) {
        ::_close(fd);
    }
    return stream;
}

int GetLastError() {
    return static_cast<int>(::GetLastError());
}

}  // namespace plat
