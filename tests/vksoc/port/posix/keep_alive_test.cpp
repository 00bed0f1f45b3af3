// The keep-alive times and the no-delay switch every connection carries, read
// back from the sockets themselves. A dead peer is then found by the system's
// probes (the manual check with a dropped peer is in
// docs/logs-and-environment.md); a second answer in a row is not held back
// (bench/back_to_back.sh measures it).

#include <netinet/tcp.h>

#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/port_entry.h"

namespace {

struct KeepAlive {
    int on;
    int idle;
    int interval;
    int probes;
};

KeepAlive ReadKeepAlive(SOCKET s) {
    KeepAlive k{-1, -1, -1, -1};
    socklen_t size = sizeof(int);
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &k.on, &size), 0);
    EXPECT_EQ(getsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, &k.idle, &size), 0);
    EXPECT_EQ(getsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, &k.interval, &size), 0);
    EXPECT_EQ(getsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, &k.probes, &size), 0);
    return k;
}

void ExpectKeepAliveTimes(SOCKET s) {
    KeepAlive k = ReadKeepAlive(s);
    EXPECT_NE(k.on, 0);
    EXPECT_EQ(k.idle, 60);
    EXPECT_EQ(k.interval, 10);
    EXPECT_EQ(k.probes, 3);
}

// Small writes go on the wire at once, without waiting for the
// acknowledgement of the one before.
void ExpectNoDelay(SOCKET s) {
    int on = -1;
    socklen_t size = sizeof on;
    EXPECT_EQ(getsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, &size), 0);
    EXPECT_NE(on, 0);
}

using KeepAliveTest = ConnectionTest;

TEST_F(KeepAliveTest, TheAcceptedConnectionProbesAnIdlePeer) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    ExpectKeepAliveTimes(static_cast<SOCKET>(portTable[port].handle));
    ExpectNoDelay(static_cast<SOCKET>(portTable[port].handle));
}

TEST_F(KeepAliveTest, AClientConnectionProbesAnIdlePeer) {
    Listener listener;
    int port = OpenPort("127.0.0.1", listener.port(), MODE_CONNECT, "C01");
    ASSERT_GE(port, 0) << GetErrorText();
    ExpectKeepAliveTimes(static_cast<SOCKET>(portTable[port].handle));
    ExpectNoDelay(static_cast<SOCKET>(portTable[port].handle));
}

}  // namespace
