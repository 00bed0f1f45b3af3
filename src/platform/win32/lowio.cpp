#include <io.h>
#include <windows.h>

#include "os_lowio.h"

namespace plat {

// _O_NOINHERIT keeps file ports out of processes the program may start, as
// O_CLOEXEC does on POSIX.
int _open(const char* path, int flags, int permission) {
    return ::_open(path, flags | _O_NOINHERIT, permission);
}

int _read(int fd, void* buffer, unsigned int count) { return ::_read(fd, buffer, count); }

int _write(int fd, const void* buffer, unsigned int count) { return ::_write(fd, buffer, count); }

int _close(int fd) { return ::_close(fd); }

int GetLastError() { return static_cast<int>(::GetLastError()); }

}  // namespace plat
