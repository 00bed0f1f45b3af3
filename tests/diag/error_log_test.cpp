#include "diag/error_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "diag/error_state.h"
#include "pinned_clock.h"
#include "scoped_env.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

const std::string kRecordHead =
    "#################################################\n"
    "\t\t\t\t\t\t\t\t\t\t\t\t \n";

class ErrorLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearError();
        ResetErrorFilePrefix();
    }
    void TearDown() override { ResetErrorFilePrefix(); }

    TempRoot root_;
    ScopedEnv prefix_{"ERROR_FILE_PFX", std::nullopt};
    PinnedClock clock_;
};

TEST_F(ErrorLogTest, WritesTheRecordLayoutToTheDailyFileAndClearsTheState) {
    SetError(ERR_CONNECTION, 0);
    AddErrorText("vksoc", 1169, "ReadPort: Connection closed by peer\n");
    AddErrorText("vksoc", 1322, "RecvMsg: Unable to read message\n");
    WriteErrorLog();

    EXPECT_EQ(ReadFile(root_.log() / "EVT0912126.log"),
              kRecordHead +
                  "Time :14:03:27 \n"
                  "PID  :  312\n"
                  "Error: (1002,0) **\n"
                  "[vksoc,1169] ReadPort: Connection closed by peer\n"
                  "[vksoc,1322] RecvMsg: Unable to read message\n"
                  "\n");
    EXPECT_EQ(GetErrorCode(), 0);
    EXPECT_STREQ(GetErrorText(), "");
}

TEST_F(ErrorLogTest, WithNoErrorRecordedTheRecordShowsZerosAndAnEmptyText) {
    WriteErrorLog();
    EXPECT_EQ(ReadFile(root_.log() / "EVT0912126.log"),
              kRecordHead + "Time :14:03:27 \nPID  :  312\nError: (0,0) **\n\n");
}

TEST_F(ErrorLogTest, RecordsOfOneDayAreAppendedAndANewDayStartsANewFile) {
    SetError(ERR_FORMAT, 0);
    AddErrorText("vksoc", 1, "first\n");
    WriteErrorLog();
    SetError(ERR_TIMEOUT, 0);
    AddErrorText("vksoc", 2, "second\n");
    WriteErrorLog();
    clock_.Set(LocalTime{126, 12, 10, 0, 0, 1});
    WriteErrorLog();

    std::string today = ReadFile(root_.log() / "EVT0912126.log");
    EXPECT_NE(today.find("[vksoc,1] first\n"), std::string::npos);
    EXPECT_GT(today.find("[vksoc,2] second\n"), today.find("[vksoc,1] first\n"));
    EXPECT_TRUE(fs::exists(root_.log() / "EVT1012126.log"));
}

TEST_F(ErrorLogTest, FileNamesCarryTheYearsSince1900) {
    struct Case {
        LocalTime time;
        const char* name;
    };
    const Case cases[] = {
        {{99, 12, 5, 8, 0, 0}, "EVT051299.log"},
        {{100, 1, 1, 0, 0, 0}, "EVT0101100.log"},
        {{126, 12, 5, 23, 59, 59}, "EVT0512126.log"},
    };
    for (const Case& c : cases) {
        clock_.Set(c.time);
        WriteErrorLog();
        EXPECT_TRUE(fs::exists(root_.log() / c.name)) << c.name;
    }
}

TEST_F(ErrorLogTest, ThePrefixIsTheFirstThreeCharactersOfErrorFilePfx) {
    struct Case {
        std::optional<std::string> value;
        const char* name;
    };
    const Case cases[] = {
        {"ABCDEF", "ABC0912126.log"},
        {"X", "X0912126.log"},
        {std::nullopt, "EVT0912126.log"},
        {"", "0912126.log"},
        // A prefix that would leave the log folder falls back to the default.
        {"../", "EVT0912126.log"},
        {"a\\b", "EVT0912126.log"},
        {"C:x", "EVT0912126.log"},
        {"ABC/x", "ABC0912126.log"},
    };
    for (const Case& c : cases) {
        ScopedEnv env("ERROR_FILE_PFX", c.value);
        ResetErrorFilePrefix();
        WriteErrorLog();
        EXPECT_TRUE(fs::exists(root_.log() / c.name)) << c.name;
    }
}

TEST_F(ErrorLogTest, ThePrefixIsReadOnceAndKept) {
    {
        ScopedEnv env("ERROR_FILE_PFX", "ONE");
        WriteErrorLog();
    }
    ScopedEnv env("ERROR_FILE_PFX", "TWO");
    WriteErrorLog();
    EXPECT_FALSE(fs::exists(root_.log() / "TWO0912126.log"));
    std::string empty = kRecordHead + "Time :14:03:27 \nPID  :  312\nError: (0,0) **\n\n";
    EXPECT_EQ(ReadFile(root_.log() / "ONE0912126.log"), empty + empty);
}

TEST_F(ErrorLogTest, WithoutALogFolderTheShortRecordGoesToStandardError) {
    fs::remove_all(root_.log());
    SetError(ERR_CONNECTION, 10054);
    AddErrorText("vksoc", 5, "ReadPort: Connection reset by peer\n");
    ::testing::internal::CaptureStderr();
    WriteErrorLog();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              "Error opening '../log/EVT0912126.log': 0\n"
              "** 14:03:27 Pid: 312 Error: (1002,10054) **\n"
              "[vksoc,5] ReadPort: Connection reset by peer\n"
              "\n");
    EXPECT_EQ(GetErrorCode(), 0);
    EXPECT_STREQ(GetErrorText(), "");
}

}  // namespace
