// VELK_PEERS against the descriptor limit (ulimit -n): refused at start-up,
// before anyone connects, when the connections could not all be opened; and
// served in full when they can.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "responder_process.h"
#include "sample_exchange.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

// Lowers this process's soft limit while a responder is started: the child
// inherits it, the test program gets its own back at once.
void StartUnderLimit(ResponderProcess& responder, rlim_t soft, int port) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = soft;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    responder.Start("C02", std::to_string(port));
    setrlimit(RLIMIT_NOFILE, &saved);
}

class DescriptorLimitTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::copy_file(kSampleConfig, root_.data() / "velk.cfg"); }
    TempRoot root_;
};

TEST_F(DescriptorLimitTest, TooManyPeersForTheLimitAreRefusedAtStartUp) {
    ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}, {"VELK_PEERS", "40"}});
    StartUnderLimit(responder, 30, FreePort());
    EXPECT_EQ(responder.Wait(10), 8);
    EXPECT_EQ(responder.Stderr(),
              "VELK Tester: VELK_PEERS=40 needs about 47 file descriptors; the limit is 30 "
              "(ulimit -n)\n");
}

TEST_F(DescriptorLimitTest, AsManyPeersAsTheLimitAllowsAreServedAtOnce) {
    // 20 connections need about 27 descriptors.
    const int port = FreePort();
    ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}, {"VELK_PEERS", "20"}});
    StartUnderLimit(responder, 30, port);
    std::vector<int> peers;
    for (int i = 0; i < 20; ++i) {
        int fd = ConnectWhenListening(port, 10);
        ASSERT_GE(fd, 0) << i;
        peers.push_back(fd);
    }
    for (int fd : peers) {
        SendAll(fd, kRequest0200);
    }
    for (size_t i = 0; i < peers.size(); ++i) {
        EXPECT_EQ(ReceiveBytes(peers[i], kResponse0210.size()), kResponse0210) << i;
    }
    for (int fd : peers) {
        ClosePeer(fd);
    }
    responder.Stop();
    // Only the connections' ends are told.
    EXPECT_EQ(responder.Stderr().find("failed"), std::string::npos) << responder.Stderr();
}

}  // namespace
