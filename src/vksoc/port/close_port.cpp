#include "vksoc/port/close_port.h"

#include <cstdlib>

#include "os_lowio.h"
#include "os_sockets.h"
#include "vksoc/port/port_entry.h"

int ClosePort(int port) {
    PortEntry& entry = portTable[port];
    std::free(entry.buffer);
    entry.buffer = nullptr;
    if (entry.mode == MODE_FILE) {
        plat::_close(entry.handle);
    } else {
        closesocket(static_cast<SOCKET>(entry.handle));
    }
    entry.inUse = 0;
    return 0;
}
