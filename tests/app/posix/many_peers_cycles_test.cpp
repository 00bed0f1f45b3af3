// Thousands of connections that come and go leave nothing behind in the
// responder: counted in its /proc entry.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "proc_usage.h"
#include "responder_process.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(ManyPeersCycles, FiveThousandConnectionsLeaveNoDescriptorOrMemoryBehind) {
    TempRoot root;
    fs::copy_file(VELK_SOURCE_DIR "/data/velk.cfg", root.data() / "velk.cfg");
    int port = FreePort();
    // Under AddressSanitizer freed blocks wait in a quarantine that would
    // read as growth: the check is on the program's memory.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    ResponderProcess responder(
        root, {{"OPERATOR_SCRIPT", VELK_SOURCE_DIR "/data/answer.script"},
               {"VELK_PEERS", "8"},
               {"ASAN_OPTIONS",
                std::string(sanitizer != nullptr ? sanitizer : "") + ":quarantine_size_mb=0"}});
    responder.Start("C02", std::to_string(port));
    int first = ConnectWhenListening(port, 10);
    ASSERT_GE(first, 0);
    ClosePeer(first);
    const std::string proc = ProcOfResponder("C02", port);
    ASSERT_FALSE(proc.empty());

    auto settle = [&](int expected) {
        for (int i = 0; i < 200 && ProcDescriptors(proc) != expected; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return ProcDescriptors(proc);
    };
    std::this_thread::sleep_for(100ms);
    const int idle = ProcDescriptors(proc);
    // A few at once, closed with and without a request, one in mid-message.
    // The round trip on one of them keeps the client from outrunning the
    // responder: connections it has not seen end yet would fill the listen
    // backlog, and a connect beyond it waits for the system's retry.
    const std::string request = std::string("0800") + std::string(8, '\0');
    const std::string response = "0810" + std::string("\0\0\0\0\x02\0\0\0", 8) + "00";
    long warmKb = 0;
    for (int cycle = 0; cycle < 5000; cycle += 4) {
        int peers[4];
        for (int& fd : peers) {
            fd = ConnectWhenListening(port, 5);
            ASSERT_GE(fd, 0) << "cycle " << cycle;
        }
        SendAll(peers[1], request.substr(0, 5));
        SendAll(peers[2], request);
        ASSERT_EQ(ReceiveBytes(peers[2], response.size()), response) << "cycle " << cycle;
        for (int fd : peers) {
            ClosePeer(fd);
        }
        if (cycle == 1000) {
            ASSERT_EQ(settle(idle), idle);
            warmKb = ProcResidentKb(proc);
        }
    }
    EXPECT_EQ(settle(idle), idle);
    EXPECT_LE(ProcResidentKb(proc) - warmKb, 256) << "kB grown over 4,000 connections";
}

}  // namespace
