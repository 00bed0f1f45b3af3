// A thousand TLS connections that connect, make their handshake and close
// leave no descriptor and no memory behind in the responder: counted in its
// /proc entry.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tls_fixture.h"

namespace fs = std::filesystem;

namespace {

// The process serving the port: the velk-tester whose arguments end with it.
std::string ProcOf(int port) {
    const std::string tail = std::string("C01") + '\0' + std::to_string(port) + '\0';
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (cmdline.find("velk-tester") != std::string::npos && cmdline.size() >= tail.size() &&
            cmdline.compare(cmdline.size() - tail.size(), tail.size(), tail) == 0) {
            return entry.path().string();
        }
    }
    return "";
}

int Descriptors(const std::string& proc) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(proc + "/fd")) {
        ++count;
    }
    return count;
}

long ResidentKb(const std::string& proc) {
    std::ifstream in(proc + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

class TlsCyclesTest : public TlsTest {};

TEST_F(TlsCyclesTest, AThousandHandshakesLeaveNoDescriptorOrMemoryBehind) {
    // Freed blocks wait in AddressSanitizer's quarantine, which would read as
    // growth: the check is on the program's memory.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    Start({{"VELK_PEERS", "4"},
           {"ASAN_OPTIONS",
            std::string(sanitizer != nullptr ? sanitizer : "") + ":quarantine_size_mb=0"}});
    const std::string proc = ProcOf(port_);
    ASSERT_FALSE(proc.empty());
    auto settle = [&](int expected) {
        for (int i = 0; i < 200 && Descriptors(proc) != expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Descriptors(proc);
    };
    const int idle = settle(Descriptors(proc));
    // Warm: the library's tables and the log's buffers exist.
    ASSERT_EQ(Python("cycles 100").output, "100\n");
    ASSERT_EQ(settle(idle), idle);
    const long warmKb = ResidentKb(proc);
    CommandResult run = Python("cycles 1000");
    ASSERT_EQ(run.output, "1000\n");
    EXPECT_EQ(settle(idle), idle);
    EXPECT_LE(ResidentKb(proc) - warmKb, 256) << "kB grown over 1,000 TLS connections";
}

}  // namespace
