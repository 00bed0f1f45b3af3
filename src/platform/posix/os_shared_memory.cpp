#include "os_shared_memory.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

namespace plat {

namespace {

// POSIX object names begin with a slash; the callers' names do not.
std::string ObjectName(const char* name) {
    return std::string("/") + name;
}

// The object a name referred to when this process created it.
struct ObjectIdentity {
    dev_t device;
    ino_t inode;
};

std::map<std::string, ObjectIdentity>& Published() {
    static std::map<std::string, ObjectIdentity> objects;
    return objects;
}

}  // namespace

SharedMemoryHandle OpenSharedMemory(const char* name) {
    return ::shm_open(ObjectName(name).c_str(), O_RDWR | O_CLOEXEC, 0);
}

unsigned char* MapSharedMemory(SharedMemoryHandle handle, long long* size) {
    struct stat status {};
    if (::fstat(handle, &status) != 0) {
        return nullptr;
    }
    if (status.st_size <= 0) {
        errno = EINVAL;
        return nullptr;
    }
    void* view = ::mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ | PROT_WRITE,
                        MAP_SHARED, handle, 0);
    if (view == MAP_FAILED) {
        return nullptr;
    }
    *size = status.st_size;
    return static_cast<unsigned char*>(view);
}

void CloseSharedMemory(SharedMemoryHandle handle) {
    ::close(handle);
}

void UnmapSharedMemory(unsigned char* view, long long size) {
    ::munmap(view, static_cast<size_t>(size));
}

unsigned char* CreateSharedMemory(const char* name, long long size) {
    std::string objectName = ObjectName(name);
    int fd = ::shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    void* view = MAP_FAILED;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && ::ftruncate(fd, static_cast<off_t>(size)) == 0) {
        view =
            ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    int saved = errno;
    ::close(fd);
    if (view == MAP_FAILED) {
        ::shm_unlink(objectName.c_str());
        errno = saved;
        return nullptr;
    }
    Published()[name] = ObjectIdentity{status.st_dev, status.st_ino};
    return static_cast<unsigned char*>(view);
}

int RemoveSharedMemory(const char* name) {
    auto found = Published().find(name);
    if (found == Published().end()) {
        errno = ENOENT;
        return -1;
    }
    const ObjectIdentity created = found->second;
    Published().erase(found);
    std::string objectName = ObjectName(name);
    int fd = ::shm_open(objectName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        return 0;  // already removed, by a publisher that replaced it
    }
    struct stat status {};
    bool ours = ::fstat(fd, &status) == 0 && status.st_dev == created.device &&
                status.st_ino == created.inode;
    ::close(fd);
    // Hazard: a publisher that replaces the object between the check and
    // the removal loses its name; the window is a few system calls wide.
    return ours ? ::shm_unlink(objectName.c_str()) : 0;
}

int RemoveStaleSharedMemory(const char* name) {
    return ::shm_unlink(ObjectName(name).c_str());
}

}  // namespace plat
