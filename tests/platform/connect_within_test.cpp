// The bounded connect of the platform layer, on every platform: it connects,
// reports a refusal as such, and never waits past its time.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "os_sockets.h"

namespace {

using Clock = std::chrono::steady_clock;

// A listener on 127.0.0.1 that accepts nobody; its address for connects.
struct QuietListener {
    SOCKET socket_ = INVALID_SOCKET;
    sockaddr_in address{};

    explicit QuietListener(int backlog) {
        socket_ = socket(AF_INET, SOCK_STREAM, 0);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        EXPECT_EQ(bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(socket_, backlog), 0);
        address.sin_port = htons(static_cast<unsigned short>(plat::SocketLocalPort(socket_)));
    }
    ~QuietListener() { closesocket(socket_); }
    const sockaddr* peer() const { return reinterpret_cast<const sockaddr*>(&address); }
};

TEST(ConnectWithin, ConnectsAndLeavesTheSocketBlocking) {
    QuietListener listener(4);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(plat::ConnectWithin(s, listener.peer(), sizeof listener.address, 2000), 0)
        << WSAGetLastError();
    SOCKET far = accept(listener.socket_, nullptr, nullptr);
    ASSERT_NE(far, INVALID_SOCKET);
    // Blocking again: a receive waits for a byte sent a while later instead
    // of failing at once.
    std::thread later([far] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        plat::send(far, "x", 1, 0);
    });
    char byte = 0;
    EXPECT_EQ(plat::recv(s, &byte, 1, 0), 1) << WSAGetLastError();
    EXPECT_EQ(byte, 'x');
    later.join();
    closesocket(far);
    closesocket(s);
}

TEST(ConnectWithin, APortNobodyListensOnIsRefused) {
    sockaddr_in gone{};
    {
        QuietListener listener(1);
        gone = listener.address;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(plat::ConnectWithin(s, reinterpret_cast<const sockaddr*>(&gone), sizeof gone, 2000),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    closesocket(s);
}

TEST(ConnectWithin, AFullListenQueueNeverHoldsItPastItsTime) {
    // The queue of a backlog of 0 takes one connection at most; what the
    // system does with the next differs (no answer, or a refusal), but the
    // connect must end by its time either way.
    QuietListener listener(0);
    SOCKET queued = socket(AF_INET, SOCK_STREAM, 0);
    plat::ConnectWithin(queued, listener.peer(), sizeof listener.address, 1000);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    const Clock::time_point started = Clock::now();
    const int result = plat::ConnectWithin(s, listener.peer(), sizeof listener.address, 300);
    const auto took = Clock::now() - started;
    if (result == SOCKET_ERROR) {
        const int why = WSAGetLastError();
        EXPECT_TRUE(why == WSAETIMEDOUT || why == WSAECONNREFUSED) << why;
    }
    EXPECT_LT(took, std::chrono::seconds(3));
    closesocket(s);
    closesocket(queued);
}

}  // namespace
