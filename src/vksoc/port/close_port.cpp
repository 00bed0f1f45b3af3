#include "vksoc/port/close_port.h"

#include <cstdlib>

#include "os_lowio.h"
#include "os_sockets.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_transport.h"

int ClosePort(int port) {
    PortEntry& entry = portTable[port];
    std::free(entry.buffer);
    entry.buffer = nullptr;
    if (entry.mode == MODE_FILE) {
        plat::_close(entry.handle);
    } else {
        CloseTransport(entry);
    }
    entry.inUse = 0;
    return 0;
}
