#include <io.h>
#include <windows.h>

#include "os_files.h"

namespace plat {

FileKind KindOfFile(const char* path) {
    DWORD attributes = ::GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return FileKind::Missing;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return FileKind::Other;
    }
    return FileKind::Regular;
}

bool IsRegularDescriptor(int fd) {
    intptr_t handle = ::_get_osfhandle(fd);
    return handle != -1 && ::GetFileType(reinterpret_cast<HANDLE>(handle)) == FILE_TYPE_DISK;
}

int MoveFileOver(const char* from, const char* to) {
    return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

int RemoveFile(const char* path) {
    return ::DeleteFileA(path) ? 0 : -1;
}

FILE* OpenAppending(const char* path, bool /*ownerOnly*/) {
    return std::fopen(path, "a+");
}

}  // namespace plat
