// Names that are no regular file: a device that never ends and a named pipe
// that no one writes must be refused at once, not read or waited on.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "pinned_clock.h"
#include "scoped_env.h"
#include "temp_root.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

namespace {

TEST(ConfigFileKinds, ADeviceOrANamedPipeIsRefusedWithoutWaiting) {
    TempRoot root;
    PinnedClock clock;
    ScopedEnv prefix("ERROR_FILE_PFX", std::nullopt);
    ResetErrorFilePrefix();
    std::string fifo = (root.data() / "pipe.cfg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const char* path : {"/dev/zero", "../data/pipe.cfg"}) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(LoadConfigurationFrom(path, nullptr), -1) << path;
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(configView.header, nullptr);
    }
    std::string log = ReadFile(root.log() / "EVT0912126.log");
    EXPECT_NE(log.find("] velk.cfg is not a regular file\n"), std::string::npos) << log;
}

}  // namespace
