// Under VELK_PEERS, peers that send a record's length header and nothing
// more: READ_TIMEOUT ends each, and the places they held serve others.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "responder_process.h"
#include "sample_exchange.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(ManyPeersHeaderOnly, APeerThatSendsOnlyALengthHeaderIsEndedByReadTimeout) {
    TempRoot root;
    std::ifstream sample(kSampleConfig);
    std::stringstream text;
    text << sample.rdbuf();
    const std::string config =
        std::regex_replace(text.str(), std::regex("<READ_TIMEOUT>[0-9]+"), "<READ_TIMEOUT>1");
    std::ofstream(root.data() / "velk.cfg") << config;

    const int port = FreePort();
    ResponderProcess responder(
        root, {{"OPERATOR_SCRIPT", kAnswerScript}, {"VELK_PEERS", "2"}, {"HEADER_LENGTH", "4"}});
    responder.Start("C02", std::to_string(port));
    const int first = ConnectWhenListening(port, 10);
    const int second = ConnectWhenListening(port, 10);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    SendAll(first, "0050");
    SendAll(second, "0050");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(PeerClosed(first, 5));
    EXPECT_TRUE(PeerClosed(second, 5));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);

    const int third = ConnectWhenListening(port, 10);
    ASSERT_GE(third, 0);
    SendAll(third, "0044" + kRequest0200);
    EXPECT_EQ(ReceiveBytes(third, 4 + kResponse0210.size()), "0046" + kResponse0210);
    ClosePeer(first);
    ClosePeer(second);
    ClosePeer(third);
    responder.Stop();
    EXPECT_NE(root.LogText().find("RecvMsg: Timeout before assembly"), std::string::npos)
        << root.LogText();
}

}  // namespace
