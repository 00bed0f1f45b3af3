#include "os_sockets.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

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
    EXPECT_EQ(WaitOn(pair.near, 0).readable, false);
}

TEST(WaitSocket, DataTheEndOfTheStreamAndAResetAllReadAsReadable) {
    {
        LoopbackPair pair;
        ASSERT_EQ(plat::send(pair.far, "x", 1, 0), 1);
        EXPECT_TRUE(WaitOn(pair.near, 5).readable);
    }
    {
        LoopbackPair pair;
        closesocket(pair.far);
        pair.far = INVALID_SOCKET;
        Wait wait = WaitOn(pair.near, 5);
        EXPECT_TRUE(wait.readable);
        char byte;
        EXPECT_EQ(plat::recv(pair.near, &byte, 1, 0), 0);
    }
    {
        LoopbackPair pair;
        linger abort{1, 0};
        setsockopt(pair.far, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                   sizeof abort);
        closesocket(pair.far);
        pair.far = INVALID_SOCKET;
        EXPECT_TRUE(WaitOn(pair.near, 5).readable);
        char byte;
        EXPECT_EQ(plat::recv(pair.near, &byte, 1, 0), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    }
}

TEST(WaitSocket, UrgentDataIsExceptional) {
    LoopbackPair pair;
    ASSERT_EQ(plat::send(pair.far, "!", 1, MSG_OOB), 1);
    EXPECT_TRUE(WaitOn(pair.near, 5).exceptional);
}

TEST(WaitSocket, ADescriptorThatIsNotOpenFails) {
    int fd = plat::_open("/dev/null", O_RDONLY, 0);
    plat::_close(fd);
    Wait wait = WaitOn(fd, 1);
    EXPECT_EQ(wait.result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEBADF);
}

TEST(SocketCalls, SendingToAPeerThatHasGoneFailsWithAResetInsteadOfASignal) {
    LoopbackPair pair;
    linger abort{1, 0};
    setsockopt(pair.far, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
    closesocket(pair.far);
    pair.far = INVALID_SOCKET;
    int result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = plat::send(pair.near, "data", 4, 0);
    }
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
}

TEST(SocketCalls, ANonBlockingSocketWithNothingToReadSaysItWouldBlock) {
    LoopbackPair pair;
    unsigned long on = 1;
    ASSERT_EQ(ioctlsocket(pair.near, FIONBIO, &on), 0);
    char byte;
    EXPECT_EQ(plat::recv(pair.near, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    unsigned long off = 0;
    ASSERT_EQ(ioctlsocket(pair.near, FIONBIO, &off), 0);
    ASSERT_EQ(plat::send(pair.far, "y", 1, 0), 1);
    EXPECT_EQ(plat::recv(pair.near, &byte, 1, 0), 1);
}

TEST(SocketCalls, StartingTheSocketLayerAlwaysSucceeds) {
    WSADATA data{};
    EXPECT_EQ(WSAStartup(0x0101, &data), 0);
}

TEST(SharedMemory, APublishedObjectIsOpenedAndMappedWholeByName) {
    std::string name = "velk-platform-test-" + std::to_string(getpid());
    unsigned char* published = plat::CreateSharedMemory(name.c_str(), 8192);
    ASSERT_NE(published, nullptr);
    std::memcpy(published, "image", 5);

    // A second publisher under the same name is refused.
    EXPECT_EQ(plat::CreateSharedMemory(name.c_str(), 8192), nullptr);
    EXPECT_EQ(plat::GetLastError(), EEXIST);

    plat::SharedMemoryHandle handle = plat::OpenSharedMemory(name.c_str());
    ASSERT_NE(handle, plat::NO_SHARED_MEMORY);
    long long size = 0;
    unsigned char* view = plat::MapSharedMemory(handle, &size);
    plat::CloseSharedMemory(handle);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(size, 8192);
    EXPECT_EQ(std::memcmp(view, "image", 5), 0);

    EXPECT_EQ(plat::RemoveSharedMemory(name.c_str()), 0);
    EXPECT_EQ(plat::OpenSharedMemory(name.c_str()), plat::NO_SHARED_MEMORY);
    EXPECT_EQ(plat::GetLastError(), ENOENT);
    // Views stay valid after the name is gone.
    EXPECT_EQ(std::memcmp(view, "image", 5), 0);
    plat::UnmapSharedMemory(view, size);
    plat::UnmapSharedMemory(published, 8192);
}

}  // namespace
