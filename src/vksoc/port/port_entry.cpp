#include "vksoc/port/port_entry.h"

PortEntry portTable[MAX_PORTS];

int FreePortEntry() {
    for (int i = 0; i < MAX_PORTS; ++i) {
        if (portTable[i].inUse != 1) {
            return i;
        }
    }
    return -1;
}
