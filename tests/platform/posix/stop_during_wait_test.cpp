// A stop requested when no signal can interrupt the wait any more (it landed
// between the caller's look at the stop request and the wait) still ends an
// unlimited wait, soon.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "loopback.h"
#include "os_sockets.h"
#include "platform/socket_contract.h"
#include "platform/stop_request.h"

namespace {

class StopDuringWait : public ::testing::Test {
  protected:
    void SetUp() override { RequestStop(); }
    void TearDown() override { ResetStopRequest(); }
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
};

TEST_F(StopDuringWait, EndsTheWaitOnOneSocketAsTheSignalWould) {
    LoopbackPair quiet;
    bool readable = true;
    bool exceptional = true;
    errno = 0;
    EXPECT_EQ(plat::WaitSocket(quiet.near, -1, &readable, &exceptional), SOCKET_ERROR);
    EXPECT_EQ(errno, EINTR);
    EXPECT_FALSE(readable);
    EXPECT_LT(Seconds(), 2.0);
}

TEST_F(StopDuringWait, EndsTheWaitOnSeveralSocketsWithNothingReady) {
    LoopbackPair quiet;
    plat::WaitEntry entry{quiet.near, true, false, false, false, false};
    EXPECT_EQ(plat::WaitSockets(&entry, 1, -1), 0);
    EXPECT_FALSE(entry.readable);
    EXPECT_LT(Seconds(), 2.0);
}

TEST_F(StopDuringWait, WhatIsReadyIsStillTold) {
    LoopbackPair talking;
    ASSERT_EQ(plat::send(talking.far, "x", 1, 0), 1);
    bool readable = false;
    bool exceptional = false;
    EXPECT_EQ(plat::WaitSocket(talking.near, -1, &readable, &exceptional), 0);
    EXPECT_TRUE(readable);
}

}  // namespace
