// Who may read the log and dump files the program creates: with card data
// masked (DUMP_MASK_PAN on) only their owner; otherwise what the umask gives,
// as before.

#include <sys/stat.h>

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

class LogFileModeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousUmask_ = ::umask(022);
        ResetErrorFilePrefix();
        ResetLogFilePrefix();
    }
    void TearDown() override {
        ::umask(previousUmask_);
        ResetErrorFilePrefix();
        ResetLogFilePrefix();
    }

    static unsigned Mode(const fs::path& path) {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
        return status.st_mode & 0777;
    }

    // One error record into ERRddmmyyy.log, one byte dump into EVTddmmyyy.log.
    static void WriteBoth() {
        SetError(ERR_CONNECTION, 0);
        AddErrorText("vksoc", 5, "ReadPort: Connection closed by peer\n");
        WriteErrorLog();
        DumpBytes(reinterpret_cast<const unsigned char*>("x"), 1, 'R');
    }

    TempRoot root_;
    ScopedEnv errorPrefix_{"ERROR_FILE_PFX", "ERR"};
    ScopedEnv logPrefix_{"LOG_FILE_PFX", std::nullopt};
    ScopedEnv recvBytes_{"DUMP_RECV_BYTES", "Y"};
    PinnedClock clock_;
    mode_t previousUmask_ = 0;
};

TEST_F(LogFileModeTest, WithMaskingOnNewLogFilesAreTheOwnersAlone) {
    ScopedEnv mask("DUMP_MASK_PAN", "Y");
    WriteBoth();
    EXPECT_EQ(Mode(root_.log() / "ERR0912126.log"), 0600u);
    EXPECT_EQ(Mode(root_.log() / "EVT0912126.log"), 0600u);
    // Appending to them again changes nothing.
    WriteBoth();
    EXPECT_EQ(Mode(root_.log() / "EVT0912126.log"), 0600u);
}

TEST_F(LogFileModeTest, WithMaskingOffTheUmaskDecidesAndAnExistingFileKeepsItsBits) {
    ScopedEnv mask("DUMP_MASK_PAN", std::nullopt);
    WriteBoth();
    EXPECT_EQ(Mode(root_.log() / "ERR0912126.log"), 0644u);
    EXPECT_EQ(Mode(root_.log() / "EVT0912126.log"), 0644u);
    ScopedEnv on("DUMP_MASK_PAN", "Y");
    WriteBoth();
    EXPECT_EQ(Mode(root_.log() / "EVT0912126.log"), 0644u);
}

}  // namespace
