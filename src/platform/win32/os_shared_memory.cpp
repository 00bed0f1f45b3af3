#include "os_shared_memory.h"

#include <windows.h>

#include <map>
#include <string>

namespace plat {

namespace {

// The handles of the mappings this process published, by name: a mapping
// lives only while some handle or view holds it.
std::map<std::string, HANDLE>& Published() {
    static std::map<std::string, HANDLE> handles;
    return handles;
}

}  // namespace

SharedMemoryHandle OpenSharedMemory(const char* name) {
    return ::OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
}

unsigned char* MapSharedMemory(SharedMemoryHandle handle, long long* size) {
    void* view = ::MapViewOfFile(handle, FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) {
        return nullptr;
    }
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(view, &region, sizeof region) == 0) {
        DWORD error = ::GetLastError();
        ::UnmapViewOfFile(view);
        ::SetLastError(error);
        return nullptr;
    }
    *size = static_cast<long long>(region.RegionSize);
    return static_cast<unsigned char*>(view);
}

void CloseSharedMemory(SharedMemoryHandle handle) {
    ::CloseHandle(handle);
}

void UnmapSharedMemory(unsigned char* view, long long) {
    ::UnmapViewOfFile(view);
}

unsigned char* CreateSharedMemory(const char* name, long long size) {
    auto wide = static_cast<unsigned long long>(size);
    HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                          static_cast<DWORD>(wide >> 32),
                                          static_cast<DWORD>(wide & 0xFFFFFFFFu), name);
    if (mapping == nullptr) {
        return nullptr;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mapping);
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    void* view = ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) {
        DWORD error = ::GetLastError();
        ::CloseHandle(mapping);
        ::SetLastError(error);
        return nullptr;
    }
    Published()[name] = mapping;
    return static_cast<unsigned char*>(view);
}

int RemoveSharedMemory(const char* name) {
    auto found = Published().find(name);
    if (found == Published().end()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return -1;
    }
    ::CloseHandle(found->second);
    Published().erase(found);
    return 0;
}

int RemoveStaleSharedMemory(const char*) {
    return 0;
}

}  // namespace plat
