#include "vksoc/port/shm_attach.h"

#include "diag/error_state.h"
#include "os_lowio.h"
#include "os_shared_memory.h"
#include "os_sockets.h"
#include "vkstp/config_view.h"

int VELK_GetShm() {
    return AttachSharedConfig(SHARED_CONFIG_NAME);
}

int AttachSharedConfig(const char* name) {
    WSADATA started;
    if (WSAStartup(0x0101, &started) != 0) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("VELK_GetShm: Error in WSAStartup\n");
        return -1;
    }

    plat::SharedMemoryHandle mapping = plat::OpenSharedMemory(name);
    if (mapping == plat::NO_SHARED_MEMORY) {
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT("VELK_GetShm: Error %ld mapping to shm\n",
                       static_cast<long>(plat::GetLastError()));
        return -1;
    }

    long long size = 0;
    unsigned char* view = plat::MapSharedMemory(mapping, &size);
    if (view == nullptr) {
        long error = plat::GetLastError();
        plat::CloseSharedMemory(mapping);
        SetError(ERR_INTERNAL, 0);
        ADD_ERROR_TEXT("VELK_GetShm: Error %ld attaching to shm\n", error);
        return -1;
    }
    plat::CloseSharedMemory(mapping);

    // The image comes from another process: every table its header names must
    // lie inside the mapping before any pointer is set on it.
    if (size < static_cast<long long>(sizeof(ConfigHeader)) ||
        !ConfigHeaderFits(*reinterpret_cast<const ConfigHeader*>(view), size)) {
        plat::UnmapSharedMemory(view, size);
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT("VELK_GetShm: Shared image of %lld bytes does not hold its tables\n", size);
        return -1;
    }

    if (!ConfigHeaderAligned(*reinterpret_cast<const ConfigHeader*>(view))) {
        plat::UnmapSharedMemory(view, size);
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT(
            "VELK_GetShm: Shared image has a table offset that is not a multiple of 4\n");
        return -1;
    }

    if (!ConfigLinksValid(view)) {
        plat::UnmapSharedMemory(view, size);
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT(
            "VELK_GetShm: Shared image has a link record with a value this build does "
            "not know\n");
        return -1;
    }

    SetConfigView(view);
    return 0;
}
