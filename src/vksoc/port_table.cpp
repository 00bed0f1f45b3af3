#include "vksoc/port_table.h"

PortEntry portTable[MAX_PORTS];
