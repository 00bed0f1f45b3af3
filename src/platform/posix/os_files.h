#pragma once

// Whole files by path: what a path names, and replacing a file in one step.
// A negative result is a failure, and GetLastError() (os_lowio.h) then
// tells the system's error number.

#include <fcntl.h>

#include <cstdio>

namespace plat {

// Open flag: an open that cannot wait. A FIFO or a device opened with it
// returns at once instead of waiting for its other end.
inline constexpr int OPEN_NO_WAIT = O_NONBLOCK | O_NOCTTY;

enum class FileKind {
    Missing,  // nothing there, or nothing that can be examined
    Regular,
    Other,  // a directory, FIFO, device or socket
};

// What the path names, links followed.
FileKind KindOfFile(const char* path);
// True when the open descriptor is a regular file.
bool IsRegularDescriptor(int fd);

// Renames from to to, replacing a file there at once: a reader of to sees
// the old file or the new one, never a mixture. The new file takes the
// permission bits of the one it replaces.
int MoveFileOver(const char* from, const char* to);
int RemoveFile(const char* path);

// Opens path for reading and appending, as fopen's "a+". With ownerOnly a
// file it creates is readable and writable by its owner alone (0600, or less
// under the umask); a file that exists keeps its permission bits. Null on
// failure (errno tells why).
FILE* OpenAppending(const char* path, bool ownerOnly);

}  // namespace plat
