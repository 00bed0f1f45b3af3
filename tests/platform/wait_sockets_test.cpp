// The wait over several sockets, on real sockets over 127.0.0.1, in the
// Windows Sockets vocabulary of every backend.

#include <gtest/gtest.h>

#include <chrono>

#include "loopback.h"
#include "os_sockets.h"
#include "platform/wait_on.h"

namespace {

plat::WaitEntry Asking(SOCKET s, bool read, bool write) {
    return plat::WaitEntry{s, read, write, false, false, false};
}

TEST(WaitSockets, ReportsEachSocketForWhatIsAskedOfIt) {
    LoopbackPair quiet;
    LoopbackPair talking;
    LoopbackPair ended;
    ASSERT_EQ(plat::send(talking.far, "x", 1, 0), 1);
    closesocket(ended.far);
    ended.far = INVALID_SOCKET;

    plat::WaitEntry entries[] = {
        Asking(quiet.near, true, false),
        Asking(talking.near, true, false),
        Asking(ended.near, true, false),
        Asking(quiet.far, false, true),     // a fresh connection takes a send
        Asking(talking.far, false, false),  // asks nothing: passed over
    };
    ASSERT_EQ(plat::WaitSockets(entries, 5, 1000), 3);
    EXPECT_FALSE(entries[0].readable);
    EXPECT_TRUE(entries[1].readable);
    EXPECT_TRUE(entries[2].readable) << "the end of the stream reads as readable";
    EXPECT_TRUE(entries[3].writable);
    EXPECT_FALSE(entries[3].readable);
    EXPECT_FALSE(entries[4].readable || entries[4].writable || entries[4].exceptional);
    for (const plat::WaitEntry& entry : entries) {
        EXPECT_FALSE(entry.exceptional);
    }
    // The same meaning as the wait on one socket.
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(WaitOn(entries[i].socket, 0).readable, entries[i].readable) << i;
    }
}

TEST(WaitSockets, UrgentDataIsExceptional) {
    LoopbackPair pair;
    ASSERT_EQ(plat::send(pair.far, "!", 1, MSG_OOB), 1);
    plat::WaitEntry entry = Asking(pair.near, true, false);
    ASSERT_EQ(plat::WaitSockets(&entry, 1, 1000), 1);
    EXPECT_TRUE(entry.exceptional);
}

TEST(WaitSockets, APeerThatNeverReadsMakesItsConnectionUnwritable) {
    LoopbackPair pair;
    unsigned long nonBlocking = 1;
    ASSERT_EQ(ioctlsocket(pair.near, FIONBIO, &nonBlocking), 0);
    static char chunk[4096];
    int sent = 0;
    while (plat::send(pair.near, chunk, sizeof chunk, 0) > 0 && sent < (64 << 20)) {
        sent += static_cast<int>(sizeof chunk);
    }
    ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    plat::WaitEntry entry = Asking(pair.near, false, true);
    EXPECT_EQ(plat::WaitSockets(&entry, 1, 100), 0);
    EXPECT_FALSE(entry.writable);
}

TEST(WaitSockets, WaitsTheTimeOutWhenNothingIsReadyOrNothingIsAsked) {
    LoopbackPair pair;
    plat::WaitEntry quiet[] = {Asking(pair.near, true, false)};
    plat::WaitEntry askingNothing[] = {Asking(pair.near, false, false)};
    for (plat::WaitEntry* entries : {quiet, askingNothing}) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(plat::WaitSockets(entries, 1, 200), 0);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
    }
}

TEST(WaitSockets, MoreEntriesThanItCanWaitOnFail) {
    static plat::WaitEntry entries[plat::MAX_WAIT_SOCKETS + 1]{};
    EXPECT_EQ(plat::WaitSockets(entries, plat::MAX_WAIT_SOCKETS + 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

}  // namespace
