#pragma once

// The low-level descriptor file calls that file ports use: the Windows
// runtime's own, under the names the callers use on every platform. A
// negative result is a failure, and GetLastError() then tells the system's
// error number.

#include <cstdio>

#include <fcntl.h>     // O_RDONLY, O_WRONLY, O_CREAT, O_TRUNC, O_BINARY for the callers
#include <sys/stat.h>  // _S_IREAD, _S_IWRITE

namespace plat {

// "No newline translation": without it the runtime turns CR LF into LF and
// stops reading at a 0x1A byte, both of which occur in binary bitmaps.
inline constexpr int OPEN_BINARY = O_BINARY;
// Permission for a file the open creates: owner may read and write.
inline constexpr int PERMIT_READ_WRITE = _S_IREAD | _S_IWRITE;

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

// The system's error number of the last failed call (the thread's last
// error, not errno): ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ...
int GetLastError();

}  // namespace plat
