#include "vksoc/port/keep_alive_check.h"

#include <gtest/gtest.h>
#include <netinet/tcp.h>

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

}  // namespace

void ExpectKeepAliveProbes(SOCKET s) {
    KeepAlive k = ReadKeepAlive(s);
    EXPECT_NE(k.on, 0);
    EXPECT_EQ(k.idle, 60);
    EXPECT_EQ(k.interval, 10);
    EXPECT_EQ(k.probes, 3);
}

void ExpectNoDelay(SOCKET s) {
    int on = -1;
    socklen_t size = sizeof on;
    EXPECT_EQ(getsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, &size), 0);
    EXPECT_NE(on, 0);
}
