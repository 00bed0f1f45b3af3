// A log file system that takes no more bytes: the open succeeds, the
// writes do not. /dev/full plays it.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "diag/traffic_dump.h"
#include "pinned_clock.h"
#include "scoped_env.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

class FullLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearError();
        ResetErrorFilePrefix();
        ResetLogFilePrefix();
        fs::create_symlink("/dev/full", root_.log() / "EVT0912126.log");
    }
    void TearDown() override {
        ResetErrorFilePrefix();
        ResetLogFilePrefix();
    }

    TempRoot root_;
    ScopedEnv errorPrefix_{"ERROR_FILE_PFX", std::nullopt};
    ScopedEnv logPrefix_{"LOG_FILE_PFX", std::nullopt};
    ScopedEnv recvBytes_{"DUMP_RECV_BYTES", "Y"};
    ScopedEnv recvFields_{"DUMP_RECV_FLDS", "Y"};
    PinnedClock clock_;
};

TEST_F(FullLogTest, AnErrorRecordGoesToStandardErrorInItsShortForm) {
    SetError(ERR_CONNECTION, 0);
    AddErrorText("vksoc", 5, "ReadPort: Connection closed by peer\n");
    ::testing::internal::CaptureStderr();
    WriteErrorLog();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error writing '../log/EVT0912126.log': 28\n"
              "** 14:03:27 Pid: 312 Error: (1002,0) **\n"
              "[vksoc,5] ReadPort: Connection closed by peer\n"
              "\n");
    EXPECT_EQ(GetErrorCode(), 0);
}

TEST_F(FullLogTest, DumpsGoToStandardErrorWhole) {
    MessageFields fields{};
    const unsigned char id[] = "0800";
    fields.slots[0] = FieldSlot{id, 4};
    ::testing::internal::CaptureStderr();
    DumpBytes(id, 4, 'R');
    DumpFields(1, 'R', &fields);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error writing '../log/EVT0912126.log': 28\n"
              "Pid: 312 09/12/2026 14:03:27 Received 4 Bytes\n"
              "30 38 30 30                                     0800\n"
              "Error writing '../log/EVT0912126.log': 28\n"
              "Pid: 312 Received At: 09/12/2026 14:03:27\n"
              "MessageId: 0800\n");
    EXPECT_EQ(GetErrorCode(), 0);
}

}  // namespace
