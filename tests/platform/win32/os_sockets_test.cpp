// The helpers of the Windows Sockets backend, on real sockets over 127.0.0.1.

#include "os_sockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "loopback.h"
#include "os_lowio.h"
#include "os_shared_memory.h"
#include "platform/wait_on.h"

namespace {

TEST(WaitSocket, NothingPendingTimesOutWithNeitherFlag) {
    LoopbackPair pair;
    auto start = std::chrono::steady_clock::now();
    Wait wait = WaitOn(pair.near, 1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(wait.result, 0);
    EXPECT_FALSE(wait.readable);
    EXPECT_FALSE(wait.exceptional);
    EXPECT_GE(waited, std::chrono::milliseconds(950));
    EXPECT_FALSE(WaitOn(pair.near, 0).readable);
}

TEST(WaitSocket, DataAndTheEndOfTheStreamReadAsReadable) {
    {
        LoopbackPair pair;
        ASSERT_EQ(plat::send(pair.far, "x", 1, 0), 1);
        EXPECT_TRUE(WaitOn(pair.near, 5).readable);
    }
    {
        LoopbackPair pair;
        closesocket(pair.far);
        pair.far = INVALID_SOCKET;
        EXPECT_TRUE(WaitOn(pair.near, 5).readable);
        char byte;
        EXPECT_EQ(plat::recv(pair.near, &byte, 1, 0), 0);
    }
}

TEST(WaitSocket, UrgentDataIsExceptional) {
    LoopbackPair pair;
    ASSERT_EQ(plat::send(pair.far, "!", 1, MSG_OOB), 1);
    EXPECT_TRUE(WaitOn(pair.near, 5).exceptional);
}

TEST(WaitSocket, AHandleThatIsNoSocketFails) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    closesocket(s);
    Wait wait = WaitOn(s, 1);
    EXPECT_EQ(wait.result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(SocketCalls, ANonBlockingSocketWithNothingToReadSaysItWouldBlock) {
    LoopbackPair pair;
    u_long on = 1;
    ASSERT_EQ(ioctlsocket(pair.near, FIONBIO, &on), 0);
    char byte;
    EXPECT_EQ(plat::recv(pair.near, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    u_long off = 0;
    ASSERT_EQ(ioctlsocket(pair.near, FIONBIO, &off), 0);
    ASSERT_EQ(plat::send(pair.far, "y", 1, 0), 1);
    EXPECT_EQ(plat::recv(pair.near, &byte, 1, 0), 1);
}

TEST(SocketCalls, ConnectingToAClosedPortIsRefused) {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    address.sin_port = htons(static_cast<unsigned short>(plat::SocketLocalPort(probe)));
    closesocket(probe);

    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    closesocket(s);
}

TEST(SharedMemory, APublishedMappingIsOpenedAndMappedWholeByName) {
    std::string name = "velk-platform-test-" + std::to_string(GetCurrentProcessId());
    unsigned char* published = plat::CreateSharedMemory(name.c_str(), 8192);
    ASSERT_NE(published, nullptr);
    std::memcpy(published, "image", 5);

    // A second publisher under the same name is refused.
    EXPECT_EQ(plat::CreateSharedMemory(name.c_str(), 8192), nullptr);
    EXPECT_EQ(plat::GetLastError(), ERROR_ALREADY_EXISTS);

    plat::SharedMemoryHandle handle = plat::OpenSharedMemory(name.c_str());
    ASSERT_NE(handle, plat::NO_SHARED_MEMORY);
    long long size = 0;
    unsigned char* view = plat::MapSharedMemory(handle, &size);
    plat::CloseSharedMemory(handle);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(size, 8192);
    EXPECT_EQ(std::memcmp(view, "image", 5), 0);

    // The name lives as long as a handle or view holds the mapping.
    EXPECT_EQ(plat::RemoveSharedMemory(name.c_str()), 0);
    EXPECT_EQ(plat::RemoveSharedMemory(name.c_str()), -1);
    plat::UnmapSharedMemory(published, 8192);
    EXPECT_EQ(std::memcmp(view, "image", 5), 0);
    plat::UnmapSharedMemory(view, size);
    EXPECT_EQ(plat::OpenSharedMemory(name.c_str()), plat::NO_SHARED_MEMORY);
    EXPECT_EQ(plat::GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
