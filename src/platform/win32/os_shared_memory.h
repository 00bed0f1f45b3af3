#pragma once

// Named shared memory for the shared configuration image: a named file
// mapping backed by the paging file ("velk"). Failures leave the reason in
// plat::GetLastError() (os_lowio.h).
//
// Unlike a POSIX object, a mapping has no name of its own once every handle
// and view is gone, and keeps its name while any view exists: removing the
// publisher's name therefore takes effect when its view is unmapped.

namespace plat {

using SharedMemoryHandle = void*;  // the mapping's HANDLE
inline constexpr SharedMemoryHandle NO_SHARED_MEMORY = nullptr;

// Opens an existing mapping with write access; never creates one.
SharedMemoryHandle OpenSharedMemory(const char* name);
// Maps the whole mapping with write access and tells its size, rounded up to
// whole pages. Null on failure. The view outlives the handle.
unsigned char* MapSharedMemory(SharedMemoryHandle handle, long long* size);
void CloseSharedMemory(SharedMemoryHandle handle);
void UnmapSharedMemory(unsigned char* view, long long size);

// Publisher side: creates the mapping with the given size (refused with
// ERROR_ALREADY_EXISTS when one of that name exists), maps it with write
// access and returns the view, or null. The process keeps the mapping's
// handle until RemoveSharedMemory.
unsigned char* CreateSharedMemory(const char* name, long long size);
// Closes the handle CreateSharedMemory kept for the name; 0, or -1 when this
// process published nothing under it.
int RemoveSharedMemory(const char* name);
// A mapping lives only while some process holds it, so none is ever left
// behind by a publisher that was killed: nothing to remove, always 0.
int RemoveStaleSharedMemory(const char* name);

// The error a publisher meets when a mapping of that name exists.
inline constexpr int SHARED_MEMORY_EXISTS = 183;  // ERROR_ALREADY_EXISTS
// The error an open meets when no mapping of that name exists.
inline constexpr int SHARED_MEMORY_NOT_FOUND = 2;  // ERROR_FILE_NOT_FOUND

}  // namespace plat
