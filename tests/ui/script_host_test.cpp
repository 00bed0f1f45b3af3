#include "ui/script/script_host.h"

#include <gtest/gtest.h>

#include <string>

#include "dialog_fixture.h"
#include "os_lowio.h"
#include "ui/dialog_template.h"
#include "vksoc/close_port.h"
#include "vksoc/open_port.h"

namespace {

class ScriptHostTest : public DialogFixture {
protected:
    // Runs one message through the script; returns what was sent.
    std::string Answer(const std::string& scriptText) {
        std::string error;
        EXPECT_TRUE(ui::ParseOperatorScript("test.script", scriptText, script_, error)) << error;
        std::string path = (root_.root() / "wire.bin").string();
        responderState.connPort = OpenPort(
            path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, 'F', "C01");
        ui::ScriptHost host(script_, nullptr);
        ::testing::internal::CaptureStderr();
        ui::BuildDialog(host, ui::MsgDlgProc);
        stderr_ = ::testing::internal::GetCapturedStderr();
        ClosePort(responderState.connPort);
        return ReadFile(path);
    }

    ui::OperatorScript script_;
    std::string stderr_;
};

TEST_F(ScriptHostTest, TheFirstRuleThatAppliesAnswersTheMessage) {
    Put(0, "0800");
    Put(70, "301");
    std::string sent = Answer(
        "on 0=0200\n  set 0 0210\n  respond\n"
        "on 70=301\n  set 0 0810\n  set 39 00\n  respond\n"
        "on *\n  cancel\n");
    EXPECT_EQ(sent.substr(0, 4), "0810");
    EXPECT_EQ(sent.substr(sent.size() - 5), "00301");
    EXPECT_EQ(stderr_, "");
}

TEST_F(ScriptHostTest, AMessageNoRuleAppliesToIsCancelled) {
    Put(0, "0200");
    EXPECT_EQ(Answer("on 0=0800\n  respond\n"), "");
}

TEST_F(ScriptHostTest, ARuleThatDoesNotEndTheDialogEndsAsCancel) {
    Put(0, "0200");
    EXPECT_EQ(Answer("on *\n  set 39 00\n"), "");
}

TEST_F(ScriptHostTest, SetTypesLikeAnOperatorAndFieldsWithoutBoxesAreIgnored) {
    Put(0, "0200");
    std::string sent = Answer("on *\n  set 39 0000\n  set 5 ignored\n  set 3 1\n  respond\n");
    // Field 39 stops at its limit of 2; field 3 is padded to 6.
    EXPECT_EQ(sent.substr(12), "1     00");
}

TEST_F(ScriptHostTest, MessageBoxesAreLinesOnStandardError) {
    Put(0, "0200");
    EXPECT_EQ(Answer("on *\n  clear 0\n  respond\n  cancel\n"), "");
    EXPECT_EQ(stderr_, "VELK Tester: Message Id is mandatory\n");
}

TEST_F(ScriptHostTest, AskWithoutADisplayCancelsAndSaysSo) {
    Put(0, "0200");
    EXPECT_EQ(Answer("on *\n  set 0 0210\n  ask\n  respond\n"), "");
    EXPECT_EQ(stderr_,
              "VELK Tester: \"ask\" (test.script line 3) needs a display; the message is "
              "cancelled\n");
}

TEST_F(ScriptHostTest, SaveAndReadUseTheNamedFiles) {
    Put(0, "0200");
    std::string file = (root_.root() / "prepared.dat").string();
    Answer("on *\n  set 0 0210\n  set 39 05\n  save " + file + "\n  cancel\n");
    Put(0, "0200");
    std::string sent = Answer("on *\n  read " + file + "\n  respond\n");
    EXPECT_EQ(sent, ReadFile(file));
    EXPECT_EQ(sent.substr(0, 4), "0210");
    EXPECT_EQ(sent.substr(sent.size() - 2), "05");
}

}  // namespace
