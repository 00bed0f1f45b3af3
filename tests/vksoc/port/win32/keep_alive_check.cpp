#include "vksoc/port/keep_alive_check.h"

#include <gtest/gtest.h>

namespace {

bool KeepAliveOn(SOCKET s) {
    BOOL on = FALSE;
    int size = sizeof on;
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<char*>(&on), &size), 0);
    return on != FALSE;
}

}  // namespace

void ExpectKeepAliveProbes(SOCKET s) {
    EXPECT_TRUE(KeepAliveOn(s));
}

void ExpectNoDelay(SOCKET s) {
    BOOL on = FALSE;
    int size = sizeof on;
    EXPECT_EQ(getsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on), &size), 0);
    EXPECT_NE(on, FALSE);
}
