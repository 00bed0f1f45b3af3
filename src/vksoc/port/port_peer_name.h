#pragma once

// The name of the peer a connection's records and dumps carry while several
// connections are served at once ("127.0.0.1:54321"). A port has none until
// it is given one: a single connection's records stay as they always were.

inline constexpr int PEER_NAME_SIZE = 64;

// Names the peer of an open port; null or "" forgets the name. A name longer
// than PEER_NAME_SIZE - 1 characters is cut.
void SetPortPeerName(int port, const char* name);
// The port's peer name, or null when it has none (or the port is not a
// valid handle).
const char* PortPeerName(int port);

// Names the peer of an accepted connection's port by its socket's peer
// address. Returns the name (at worst "?").
const char* NamePortPeer(int port);
