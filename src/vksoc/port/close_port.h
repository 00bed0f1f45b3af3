#pragma once

// Releases the receive buffer, closes the socket or file and frees the entry.
// Always 0; the result of the close is not examined. Only an open port may be
// given.
int ClosePort(int port);
