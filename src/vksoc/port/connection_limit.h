#pragma once

#include "vksoc/port/port.h"

// The most connections served at once (VELK_PEERS), and so the most that
// velkctl opens together and the most answers a script keeps suspended: one
// per connection. Each takes a port-table entry beside the listening port
// and the ports a dialog opens for a data file.
inline constexpr int MAX_PEERS = 40;
static_assert(MAX_PEERS + 2 <= MAX_PORTS);
