#pragma once

#include <cstdint>

// The address and port of a connected socket's peer, as a person reads it:
// "127.0.0.1:54321", or "[::1]:54321" for IPv6.

namespace plat {

inline constexpr int PEER_ADDRESS_SIZE = 64;

// socket: the platform's socket handle (SOCKET), widened. Fills text (of
// size bytes, NUL-terminated) and returns true; false with text "?" when the
// system cannot tell (the socket is not connected, say).
bool SocketPeerAddress(uintptr_t socket, char* text, int size);

}  // namespace plat
