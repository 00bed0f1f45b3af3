#pragma once

// For tests and fuzzers that drive a port from outside the port layer: its
// bookkeeping, asked without the entry being shown.

// Whether the receive bookkeeping of an open, non-listening port is sound:
// the bytes held lie inside the buffer, the header bytes read inside the
// framing's header, and the state says either "read more" or "parse".
bool PortBookkeepingHolds(int port);

// The first byte not yet taken: where the next message GetMsg takes begins.
const unsigned char* PortHeldBytes(int port);
