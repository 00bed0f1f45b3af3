// The keep-alive and the no-delay switch every connection carries, read back from the sockets
// themselves as far as the system tells (keep_alive_check.h). A dead peer is
// then found by the system's probes; the manual check with a dropped peer is
// in docs/logs-and-environment.md.

#include "connection_fixture.h"
#include "keep_alive_check.h"
#include "vksoc/port/port_socket.h"

namespace {

using KeepAliveTest = ConnectionTest;

TEST_F(KeepAliveTest, TheAcceptedConnectionProbesAnIdlePeer) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    ExpectKeepAliveProbes(PortSocket(port));
    ExpectNoDelay(PortSocket(port));
}

TEST_F(KeepAliveTest, AClientConnectionProbesAnIdlePeer) {
    Listener listener;
    int port = OpenPort("127.0.0.1", listener.port(), MODE_CONNECT, "C01");
    ASSERT_GE(port, 0) << GetErrorText();
    ExpectKeepAliveProbes(PortSocket(port));
    ExpectNoDelay(PortSocket(port));
}

}  // namespace
