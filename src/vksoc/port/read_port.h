#pragma once

// One read on a port into its receive buffer, with the buffer bookkeeping.
// On a port whose framing has a length header (framing.h) the read goes into
// the header while it is incomplete, then into the current record's body,
// never past the record; otherwise it asks for all the room the buffer has
// left. Bytes a previous
// message left behind are first moved to the start of the buffer, so the
// slots of the last message taken are no longer valid afterwards.
// Returns 0, or -1 after recording the error: a read failure, the end of the
// stream (with or without part of a message held), a prefix whose length lies
// outside 1 to 4096 (the record then also shows the first bytes received:
// the header and what already waits behind it, without taking them), or a
// prefixed record whose body held more than one message. A failed port is not repaired: the caller
// closes it.
int ReadPort(int port);
