#pragma once

// Whole files by path: what a path names, and replacing a file in one step.
// A negative result is a failure, and GetLastError() (os_lowio.h) then
// tells the system's error number.

#include <cstdio>

namespace plat {

// Open flag: an open that cannot wait. Opening a file never waits here.
inline constexpr int OPEN_NO_WAIT = 0;

enum class FileKind {
    Missing,  // nothing there, or nothing that can be examined
    Regular,
    Other,  // a directory or device
};

// What the path names.
FileKind KindOfFile(const char* path);
// True when the open descriptor is a disk file.
bool IsRegularDescriptor(int fd);

// Renames from to to, replacing a file there at once: a reader of to sees
// the old file or the new one, never a mixture.
int MoveFileOver(const char* from, const char* to);
int RemoveFile(const char* path);

// Opens path for reading and appending, as fopen's "a+". Windows has no
// permission bits: a file it creates takes the access list of its folder,
// whatever ownerOnly says. Null on failure.
FILE* OpenAppending(const char* path, bool ownerOnly);

}  // namespace plat
