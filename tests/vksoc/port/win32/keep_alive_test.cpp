// Windows sets the keep-alive times through its own control, which cannot be
// read back; the switch itself can, and so can the no-delay switch.

#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/port_entry.h"

namespace {

bool KeepAliveOn(SOCKET s) {
    BOOL on = FALSE;
    int size = sizeof on;
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<char*>(&on), &size), 0);
    return on != FALSE;
}

bool NoDelayOn(SOCKET s) {
    BOOL on = FALSE;
    int size = sizeof on;
    EXPECT_EQ(getsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on), &size), 0);
    return on != FALSE;
}

using KeepAliveTest = ConnectionTest;

TEST_F(KeepAliveTest, AcceptedAndClientConnectionsProbeAnIdlePeer) {
    Peer peer;
    int accepted = AcceptedPort("C01", &peer);
    EXPECT_TRUE(KeepAliveOn(static_cast<SOCKET>(portTable[accepted].handle)));
    EXPECT_TRUE(NoDelayOn(static_cast<SOCKET>(portTable[accepted].handle)));

    Listener listener;
    int client = OpenPort("127.0.0.1", listener.port(), MODE_CONNECT, "C01");
    ASSERT_GE(client, 0) << GetErrorText();
    EXPECT_TRUE(KeepAliveOn(static_cast<SOCKET>(portTable[client].handle)));
    EXPECT_TRUE(NoDelayOn(static_cast<SOCKET>(portTable[client].handle)));
}

}  // namespace
