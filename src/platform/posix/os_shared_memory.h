#pragma once

// Named shared memory for the shared configuration image: a POSIX
// shared-memory object, whose name is given here without the leading slash
// ("velk" is the object "/velk"). Failures leave the reason in
// plat::GetLastError() (os_lowio.h).

#include <cerrno>

namespace plat {

using SharedMemoryHandle = int;
inline constexpr SharedMemoryHandle NO_SHARED_MEMORY = -1;

// Opens an existing object for reading and writing; never creates one.
SharedMemoryHandle OpenSharedMemory(const char* name);
// Maps the whole object with write access and tells its size. Null on
// failure, also for an object of size 0. The view outlives the handle.
unsigned char* MapSharedMemory(SharedMemoryHandle handle, long long* size);
void CloseSharedMemory(SharedMemoryHandle handle);
void UnmapSharedMemory(unsigned char* view, long long size);

// The error a publisher meets when an object of that name exists.
inline constexpr int SHARED_MEMORY_EXISTS = EEXIST;
// The error an open meets when no object of that name exists.
inline constexpr int SHARED_MEMORY_NOT_FOUND = ENOENT;

// Publisher side: creates the object with the given size (refused when one of
// that name exists), maps it with write access and returns the view, or null.
// The process remembers which object it created under the name.
unsigned char* CreateSharedMemory(const char* name, long long size);
// Withdraws what this process published under the name: removes the name
// only while it still refers to the object this process created, so that a
// publisher that replaced it keeps its image. 0, or -1 when this process
// published nothing under it. Views already mapped stay valid until unmapped.
int RemoveSharedMemory(const char* name);
// Removes the name whoever created the object: an image left behind by a
// publisher that was killed. The old publisher's RemoveSharedMemory then
// leaves the new object alone.
int RemoveStaleSharedMemory(const char* name);

}  // namespace plat
