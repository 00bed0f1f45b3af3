#pragma once

// Helpers of the socket tests on every platform: they use only the Windows
// Sockets vocabulary of the platform layer.

#include <gtest/gtest.h>

#include "os_sockets.h"

namespace {

// A connected pair of TCP sockets over 127.0.0.1 on a port the system chose.
struct LoopbackPair {
    SOCKET near = INVALID_SOCKET;
    SOCKET far = INVALID_SOCKET;

    LoopbackPair() {
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        EXPECT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener, 1), 0);
        address.sin_port = htons(static_cast<unsigned short>(plat::SocketLocalPort(listener)));
        near = socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(connect(near, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        far = accept(listener, nullptr, nullptr);
        closesocket(listener);
    }
    ~LoopbackPair() {
        if (near != INVALID_SOCKET)
            closesocket(near);
        if (far != INVALID_SOCKET)
            closesocket(far);
    }
};

struct Wait {
    int result;
    bool readable;
    bool exceptional;
};

Wait WaitOn(SOCKET s, int timeoutSeconds) {
    Wait wait{};
    wait.result = plat::WaitSocket(s, timeoutSeconds, &wait.readable, &wait.exceptional);
    return wait;
}

}  // namespace
