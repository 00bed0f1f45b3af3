#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dialog_fixture.h"
#include "os_lowio.h"
#include "ui/field_text_area.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"

namespace fs = std::filesystem;

namespace {

using DataFile = DialogFixture;

int FreePorts() {
    return MAX_PORTS - PortsInUse();
}

TEST_F(DataFile, RespondSendsTheBoxesAndEndsTheDialog) {
    std::string path = (root_.root() / "wire.bin").string();
    exchange_.port =
        OpenPort(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, 'F', "C01");
    ASSERT_GE(exchange_.port, 0);
    Put(0, "0200");
    Init();
    Type(0, "0210");
    Type(3, "12");
    Type(39, "00");
    EXPECT_EQ(Press(ui::IDOK), 1);
    EXPECT_TRUE(host_.ended);
    EXPECT_EQ(host_.endResult, 1);
    ClosePort(exchange_.port);
    // Bit 3 and bit 39; the fixed field is blank-padded to its length.
    EXPECT_EQ(ReadFile(path), std::string("0210\x20\x00\x00\x00\x02\x00\x00\x00"
                                          "12    00",
                                          20));
}

TEST_F(DataFile, AFailedSendTellsTheOperatorLogsAndKeepsTheDialogOpen) {
    UseZtr();
    std::string path = (root_.root() / "wire.bin").string();
    exchange_.port =
        OpenPort(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, 'F', "ZTR");
    Init();
    host_.Find(1004)->text = "EC\x1cHO";  // a separator inside a field cannot be sent
    EXPECT_EQ(Press(ui::IDOK), 0);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Could not Send Response"});
    EXPECT_FALSE(host_.ended);
    EXPECT_NE(Log().find("Error: (1004,0) **"), std::string::npos) << Log();
    ClosePort(exchange_.port);
    EXPECT_EQ(ReadFile(path), "");
}

TEST_F(DataFile, ASavedMessageReadsBackIntoTheBoxes) {
    for (const char* prefix : {"", "4"}) {
        ScopedEnv header("HEADER_LENGTH", std::string(prefix));
        std::string path = (root_.root() / "saved.dat").string();
        host_ = FakeDialogHost{};
        Put(0, "0200");
        Init();
        Type(2, "4111111111111111");
        Type(3, "31");
        Type(70, "301");
        host_.nextFile = path;
        EXPECT_EQ(Press(ui::SAVE_BUTTON_ID), 1);
        EXPECT_TRUE(host_.boxes.empty());
        EXPECT_EQ(host_.chooserForSave, std::vector<bool>{true});
        std::string bytes = ReadFile(path);
        EXPECT_EQ(bytes.substr(0, std::string(prefix).empty() ? 4 : 8),
                  std::string(prefix).empty() ? "0200" : "00470200");

        Type(0, "9999");
        Type(2, "");
        Type(4, "left alone");
        EXPECT_EQ(Press(ui::READ_BUTTON_ID), 1);
        EXPECT_EQ(Box(0), "0200");
        EXPECT_EQ(Box(2), "4111111111111111");
        EXPECT_EQ(Box(3), "31    ") << "a fixed field comes back padded";
        EXPECT_EQ(Box(70), "301");
        EXPECT_EQ(Box(4), "") << "a field the file does not hold empties its box";
        EXPECT_FALSE(host_.ended);
        // The message keeps its own copy: the file port's buffer is gone.
        EXPECT_EQ(responderState.message.slots[0].data, fieldTextArea.fromFile);
        EXPECT_EQ(Slot(2), "4111111111111111");
        EXPECT_EQ(FreePorts(), MAX_PORTS);
    }
}

TEST_F(DataFile, AZtrMessageRoundTripsWithItsComputedKey) {
    UseZtr();
    std::string path = (root_.root() / "ztr.dat").string();
    Init();
    host_.Find(1004)->text = "ECHO";
    host_.Find(1002)->text = "typed key is not sent";
    host_.nextFile = path;
    Press(ui::SAVE_BUTTON_ID);
    host_.Find(1004)->text = "";
    Press(ui::READ_BUTTON_ID);
    EXPECT_TRUE(host_.boxes.empty()) << host_.boxes[0];
    EXPECT_EQ(host_.Find(1004)->text, "ECHO");
    EXPECT_EQ(host_.Find(1001)->text, "00079");
    EXPECT_EQ(host_.Find(1003)->text, "B1.0");
    EXPECT_EQ(host_.Find(1002)->text.size(), 8u);
}

TEST_F(DataFile, CommandsFailWithTheirBoxesAndLeaveNoPortInUse) {
    Put(0, "0200");
    Init();
    Type(3, "123456");
    std::string empty = (root_.root() / "empty.dat").string();
    WriteFile(empty, "");
    std::string folder = (root_.root() / "folder.dat").string();
    fs::create_directory(folder);

    struct Case {
        int command;
        std::string file;
        const char* box;
        bool logged;
    };
    const Case cases[] = {
        {ui::SAVE_BUTTON_ID, folder, "Could not open", true},
        {ui::SAVE_BUTTON_ID, (root_.root() / "no" / "such.dat").string(), "Could not open", true},
        {ui::READ_BUTTON_ID, folder, "Open file failed", true},
        {ui::READ_BUTTON_ID, (root_.root() / "missing.dat").string(), "Open file failed", true},
        {ui::READ_BUTTON_ID, empty, "Read from file failed", false},
    };
    for (const Case& c : cases) {
        fs::remove(root_.log() / LogName());
        host_.boxes.clear();
        host_.boxIcons.clear();
        host_.nextFile = c.file;
        EXPECT_EQ(Press(c.command), 1);
        EXPECT_EQ(host_.boxes, std::vector<std::string>{c.box});
        EXPECT_EQ(host_.boxIcons[0], ui::MB_ICONERROR);
        EXPECT_EQ(fs::exists(root_.log() / LogName()), c.logged) << c.box;
        EXPECT_EQ(Box(3), "123456") << "the boxes keep their values";
        EXPECT_EQ(FreePorts(), MAX_PORTS);
    }
}

TEST_F(DataFile, AFileSavedUnderAnotherPrefixNamesItInTheReadBox) {
    std::string path = (root_.root() / "prefixed.dat").string();
    Put(0, "0200");
    Init();
    Type(3, "31");
    {
        ScopedEnv header("HEADER_LENGTH", "4");
        host_.nextFile = path;
        EXPECT_EQ(Press(ui::SAVE_BUTTON_ID), 1);
    }
    host_.boxes.clear();
    host_.nextFile = path;
    EXPECT_EQ(Press(ui::READ_BUTTON_ID), 1);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{
                               "Read from file failed (the file seems to carry a 4-digit length "
                               "prefix: HEADER_LENGTH=4)"});
    EXPECT_EQ(FreePorts(), MAX_PORTS);
}

// The file is replaced only by a whole message: a Save that cannot assemble
// leaves the earlier file as it was, and nothing beside it.
TEST_F(DataFile, ARefusedSaveLeavesTheEarlierFileWhole) {
    UseZtr();
    std::string path = (root_.root() / "kept.dat").string();
    WriteFile(path, "an earlier message");
    Init();
    host_.Find(1004)->text = "EC\x1cHO";  // a separator inside a field cannot be saved
    host_.nextFile = path;
    EXPECT_EQ(Press(ui::SAVE_BUTTON_ID), 1);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Could not save"});
    EXPECT_EQ(ReadFile(path), "an earlier message");
    for (const auto& entry : fs::directory_iterator(root_.root())) {
        EXPECT_EQ(entry.path().filename().string().find("kept.dat."), std::string::npos)
            << entry.path();
    }
    EXPECT_EQ(FreePorts(), MAX_PORTS);
}

TEST_F(DataFile, ACancelledChooserChangesNothing) {
    Put(0, "0200");
    Init();
    host_.nextFile.clear();
    EXPECT_EQ(Press(ui::READ_BUTTON_ID), 1);
    EXPECT_EQ(Press(ui::SAVE_BUTTON_ID), 1);
    EXPECT_TRUE(host_.boxes.empty());
    EXPECT_EQ(host_.chooserForSave, (std::vector<bool>{false, true}));
    EXPECT_EQ(Box(0), "0200");
}

TEST_F(DataFile, SaveWithoutMessageIdAsksForItBeforeChoosingAFile) {
    Init();
    host_.nextFile = (root_.root() / "never.dat").string();
    Press(ui::SAVE_BUTTON_ID);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Message Id is mandatory"});
    EXPECT_TRUE(host_.chooserForSave.empty());
    EXPECT_FALSE(fs::exists(host_.nextFile));
}

}  // namespace
