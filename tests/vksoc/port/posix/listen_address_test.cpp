// Where a listening port listens (VELK_BIND) and how many connections may
// wait for it, seen from clients of either address family.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "scoped_env.h"
#include "vksoc/port/accept_conn.h"
#include "vksoc/port/accept_peer.h"
#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/port_socket.h"

namespace {

using ListenAddressTest = ConnectionTest;

// A client of `family` that connects to `address` (numeric) and tcpPort
// without blocking; the outcome once the handshake ended or waitMs passed:
// 0 connected, ETIMEDOUT when the listener never took the connection, else
// the connect's errno. The socket is closed again.
int ConnectOnce(int family, const char* address, int tcpPort, int waitMs) {
    sockaddr_storage to{};
    socklen_t length;
    if (family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&to);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(tcpPort));
        EXPECT_EQ(inet_pton(AF_INET6, address, &v6->sin6_addr), 1) << address;
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&to);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(tcpPort));
        EXPECT_EQ(inet_pton(AF_INET, address, &v4->sin_addr), 1) << address;
        length = sizeof *v4;
    }
    int s = socket(family, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (s < 0) {
        return errno;
    }
    int outcome = 0;
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), length) != 0) {
        outcome = errno;
        if (outcome == EINPROGRESS) {
            pollfd wait{s, POLLOUT, 0};
            if (poll(&wait, 1, waitMs) != 1) {
                outcome = ETIMEDOUT;
            } else {
                socklen_t size = sizeof outcome;
                getsockopt(s, SOL_SOCKET, SO_ERROR, &outcome, &size);
            }
        }
    }
    close(s);
    return outcome;
}

std::string LocalAddress(SOCKET s) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&local), &length), 0);
    char text[INET6_ADDRSTRLEN] = "";
    const void* where =
        local.ss_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&local)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&local)->sin_addr);
    inet_ntop(local.ss_family, where, text, sizeof text);
    return text;
}

bool Ipv6LoopbackWorks() {
    int s = socket(AF_INET6, SOCK_STREAM, 0);
    if (s < 0) {
        return false;
    }
    sockaddr_in6 any{};
    any.sin6_family = AF_INET6;
    any.sin6_addr = in6addr_loopback;
    bool bound = bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
    close(s);
    return bound;
}

TEST_F(ListenAddressTest, WithoutVelkBindEveryIpv4InterfaceIsServed) {
    ScopedEnv bind("VELK_BIND", std::nullopt);
    int tcpPort = 0;
    int port = ListeningPort("ZTR", &tcpPort);
    ASSERT_GE(port, 0);
    EXPECT_EQ(LocalAddress(PortSocket(port)), "0.0.0.0");
    EXPECT_EQ(ConnectOnce(AF_INET, "127.0.0.2", tcpPort, 2000), 0);
}

TEST_F(ListenAddressTest, BindingTheLoopbackAddressServesItAlone) {
    ScopedEnv bind("VELK_BIND", "127.0.0.1");
    int tcpPort = 0;
    int port = ListeningPort("ZTR", &tcpPort);
    ASSERT_GE(port, 0);
    EXPECT_EQ(LocalAddress(PortSocket(port)), "127.0.0.1");
    // Every 127.x address reaches this machine, but only the bound one is
    // listened on.
    EXPECT_EQ(ConnectOnce(AF_INET, "127.0.0.2", tcpPort, 2000), ECONNREFUSED);
    Peer peer = Peer::Connect(tcpPort);
    ASSERT_EQ(AcceptConn(port), 0) << GetErrorText();
    peer.Send("x");
    char byte = 0;
    EXPECT_EQ(plat::recv(PortSocket(port), &byte, 1, 0), 1);
}

TEST_F(ListenAddressTest, AnIpv6AddressListensOnIpv6) {
    if (!Ipv6LoopbackWorks()) {
        GTEST_SKIP() << "IPv6 loopback (::1) is not available on this machine";
    }
    ScopedEnv bind("VELK_BIND", "::1");
    int tcpPort = 0;
    int port = ListeningPort("ZTR", &tcpPort);
    ASSERT_GE(port, 0) << GetErrorText();
    EXPECT_EQ(LocalAddress(PortSocket(port)), "::1");
    ASSERT_EQ(ListenForPeers(port), 0) << GetErrorText();
    EXPECT_EQ(ConnectOnce(AF_INET6, "::1", tcpPort, 2000), 0);
    EXPECT_EQ(ConnectOnce(AF_INET, "127.0.0.1", tcpPort, 2000), ECONNREFUSED);
    int accepted = AcceptPeer(port);
    EXPECT_GE(accepted, 0) << GetErrorText();
}

// A responder serving N connections at once leaves the others waiting in
// the listen queue, also ones the client closes again before they are
// served: none may be dropped, which would cost the client a SYN retry of a
// second or more (or its connect altogether).
TEST_F(ListenAddressTest, ConnectionsNotYetServedWaitInTheListenQueue) {
    int tcpPort = 0;
    int port = ListeningPort("ZTR", &tcpPort);
    ASSERT_GE(port, 0);
    ASSERT_EQ(ListenForPeers(port), 0) << GetErrorText();
    for (int i = 0; i < 40; ++i) {
        // Nothing is accepted meanwhile: each connection stays queued.
        ASSERT_EQ(ConnectOnce(AF_INET, "127.0.0.1", tcpPort, 900), 0)
            << "connection " << i + 1 << " was not taken into the listen queue";
    }
}

}  // namespace
