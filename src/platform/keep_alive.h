#pragma once

// TCP keep-alive times of every accepted and connected socket. A peer whose
// machine loses power or its cable sends neither FIN nor RST; without probes
// a connection to it stays open for ever. With these times a dead peer is
// found after about 90 seconds of silence and the connection then fails like
// one the peer reset. A live peer answers the probes at the TCP level and
// never sees them.
namespace plat {

inline constexpr int KEEPALIVE_IDLE_SECONDS = 60;      // silence before the first probe
inline constexpr int KEEPALIVE_INTERVAL_SECONDS = 10;  // between unanswered probes
inline constexpr int KEEPALIVE_PROBES = 3;             // unanswered probes that end it

}  // namespace plat
