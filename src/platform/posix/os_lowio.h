#pragma once

// The low-level descriptor file calls that file ports use, with the names
// and contracts of the Windows runtime: a negative result is a failure, and
// GetLastError() then tells the system's error number.

#include <cstdio>

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

// Opens path for reading as a stream, but only when it is a regular file: a
// directory, a device or a named pipe is refused at once, never waiting for
// a writer or reading without end: null, with *notRegular set. Null with
// *notRegular false: the open itself failed (GetLastError() tells why). The
// check is made on what was opened, so a name swapped meanwhile gains
// nothing.
std::FILE* OpenRegularFileToRead(const char* path, bool* notRegular);

// The error number of the last failed call (errno).
int GetLastError();

}  // namespace plat
