// A thousand TLS connections that connect, make their handshake and close
// leave no descriptor and no memory behind in the responder: counted in its
// /proc entry.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "proc_usage.h"
#include "tls_fixture.h"

namespace fs = std::filesystem;

namespace {

class TlsCyclesTest : public TlsTest {};

// Under AddressSanitizer the allocator keeps its own caches beside the
// quarantine, and the TLS library's many small blocks read there as growth
// of a megabyte or two: only the descriptors are checked then.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryIsTheAllocators = true;
#else
constexpr bool kMemoryIsTheAllocators = false;
#endif

TEST_F(TlsCyclesTest, AThousandHandshakesLeaveNoDescriptorOrMemoryBehind) {
    // Freed blocks wait in AddressSanitizer's quarantine, which would read as
    // growth: the check is on the program's memory.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    Start({{"VELK_PEERS", "4"},
           {"ASAN_OPTIONS",
            std::string(sanitizer != nullptr ? sanitizer : "") + ":quarantine_size_mb=0"}});
    const std::string proc = ProcOfResponder("C01", port_);
    ASSERT_FALSE(proc.empty());
    auto settle = [&](int expected) {
        for (int i = 0; i < 200 && ProcDescriptors(proc) != expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return ProcDescriptors(proc);
    };
    const int idle = settle(ProcDescriptors(proc));
    // Warm: the library's tables and the log's buffers exist.
    ASSERT_EQ(Python("cycles 100").output, "100\n");
    ASSERT_EQ(settle(idle), idle);
    const long warmKb = ProcResidentKb(proc);
    CommandResult run = Python("cycles 1000");
    ASSERT_EQ(run.output, "1000\n");
    EXPECT_EQ(settle(idle), idle);
    if (!kMemoryIsTheAllocators) {
        EXPECT_LE(ProcResidentKb(proc) - warmKb, 256) << "kB grown over 1,000 TLS connections";
    }
}

}  // namespace
