// A stop during a script's delay, with several connections: the delay is cut
// short and the answer goes out, as with one connection.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "responder_process.h"
#include "sample_exchange.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(ManyPeersStop, AStopDuringADelaySendsTheAnswerAtOnceAndCountsItResponded) {
    TempRoot root;
    fs::copy_file(kSampleConfig, root.data() / "velk.cfg");
    fs::path script = root.data() / "late.script";
    WriteFile(script, "on 0=0200\n  set 0 0210\n  set 39 00\n  delay 3000\n  respond\n");
    const int port = FreePort();
    ResponderProcess responder(root, {{"OPERATOR_SCRIPT", script.string()}, {"VELK_PEERS", "4"}});
    responder.Start("C02", std::to_string(port));
    int peer = ConnectWhenListening(port, 10);
    ASSERT_GE(peer, 0);
    SendAll(peer, kRequest0200);
    std::this_thread::sleep_for(300ms);
    auto stopped = std::chrono::steady_clock::now();
    responder.Signal(SIGTERM);
    EXPECT_EQ(ReceiveBytes(peer, kResponse0210.size(), 3), kResponse0210);
    EXPECT_EQ(responder.Wait(5), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 1500ms)
        << "the delay did not run its 3 s";
    ClosePeer(peer);
    std::string errors = responder.Stderr();
    std::string summary = errors.substr(errors.rfind("VELK Tester: "));
    EXPECT_EQ(summary,
              "VELK Tester: 1 requests: 1 responded, 0 cancelled, 0 closed; by rule: line 1 1, "
              "no rule 0\n")
        << errors;
}

}  // namespace
