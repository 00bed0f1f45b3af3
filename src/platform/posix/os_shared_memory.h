#pragma once

// Named shared memory for the shared configuration image: a POSIX
// shared-memory object, whose name is given here without the leading slash
// ("velk" is the object "/velk"). Failures leave the reason in
// plat::GetLastError() (os_lowio.h).

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

// Publisher side: creates the object with the given size (refused when one of
// that name exists), maps it with write access and returns the view, or null.
unsigned char* CreateSharedMemory(const char* name, long long size);
// Removes the name; views already mapped stay valid until unmapped.
int RemoveSharedMemory(const char* name);

}  // namespace plat
