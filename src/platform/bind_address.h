#pragma once

// The local address a listening socket binds, from the text a user gives:
// a numeric IPv4 address (127.0.0.1) or IPv6 address (::1, ::, fe80::1%eth0).
// Host names are not looked up: a listener's address must not depend on a
// name service.

namespace plat {

struct BindAddress {
    int family;  // AF_INET or AF_INET6, for the socket
    int length;  // bytes of `storage` that bind takes
    // A sockaddr_in or sockaddr_in6, as the system lays it out.
    alignas(8) unsigned char storage[128];
};

// Fills `address` for `text` and the TCP port `port`; text null or empty:
// every IPv4 interface (0.0.0.0). False when the text is no numeric address
// of either family (`address` is then unspecified).
bool ParseBindAddress(const char* text, int port, BindAddress* address);

}  // namespace plat
