#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "ui/dialog_fixture.h"

namespace fs = std::filesystem;

namespace {

using DataFileKind = DialogFixture;

// A FIFO or device named like a data file would hold the open (or the
// write) until its other end appears: both commands refuse it at once, with
// their box and record, and leave it as it is.
TEST_F(DataFileKind, OnlyARegularFileIsReadOrSaved) {
    std::string fifo = (root_.root() / "x.dat").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Put(0, "0200");
    Init();
    Type(3, "123456");
    struct Case {
        int command;
        std::string file;
        const char* box;
    };
    const Case cases[] = {
        {ui::READ_BUTTON_ID, fifo, "Open file failed"},
        {ui::SAVE_BUTTON_ID, fifo, "Could not open"},
        {ui::READ_BUTTON_ID, "/dev/zero", "Open file failed"},
        {ui::SAVE_BUTTON_ID, "/dev/null", "Could not open"},
    };
    for (const Case& c : cases) {
        fs::remove(root_.log() / LogName());
        host_.boxes.clear();
        host_.nextFile = c.file;
        EXPECT_EQ(Press(c.command), 1);
        EXPECT_EQ(host_.boxes, std::vector<std::string>{c.box}) << c.file;
        EXPECT_NE(Log().find(c.file + " is not a regular file"), std::string::npos) << Log();
        EXPECT_EQ(Box(3), "123456");
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
