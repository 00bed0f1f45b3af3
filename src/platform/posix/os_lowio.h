#pragma once

// The low-level descriptor file calls that file ports use, with the names
// and contracts of the Windows runtime: a negative result is a failure, and
// GetLastError() then tells the system's error number.

#include <fcntl.h>  // O_RDONLY, O_WRONLY, O_CREAT, O_TRUNC for the callers

namespace plat {

// "No newline translation": nothing to ask for on POSIX.
inline constexpr int OPEN_BINARY = 0;
// Permission for a file the open creates: owner may read and write.
inline constexpr int PERMIT_READ_WRITE = 0600;

int _open(const char* path, int flags, int permission);
int _read(int fd, void* buffer, unsigned int count);
int _write(int fd, const void* buffer, unsigned int count);
int _close(int fd);

// The error number of the last failed call (errno).
int GetLastError();

}  // namespace plat
