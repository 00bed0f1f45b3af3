#include "ui/script/script_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dialog_fixture.h"
#include "os_lowio.h"
#include "platform/steady_clock.h"
#include "ui/dialog_template.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"

namespace {

// Controller C01 of the fixture: fields 2, 3, 4, 39 (limit 2) and 70.
class ScriptHostTest : public DialogFixture {
  protected:
    void Load(const std::string& scriptText) {
        std::string error;
        ASSERT_TRUE(ui::ParseOperatorScript("test.script", scriptText, script_, error)) << error;
        host_ = std::make_unique<ui::ScriptHost>(script_, nullptr);
    }
    // The responses go to a file that stands for the connection.
    int OpenWire(const char* name) {
        std::string path = (root_.root() / name).string();
        return OpenPort(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, 'F', "C01");
    }
    std::string Wire(const char* name) { return ReadFile(root_.root() / name); }

    // Runs one message through the loaded script; returns what was sent.
    std::string AnswerOne() {
        exchange_.port = OpenWire("wire.bin");
        ::testing::internal::CaptureStderr();
        result_ = Run();
        stderr_ = ::testing::internal::GetCapturedStderr();
        ClosePort(exchange_.port);
        return Wire("wire.bin");
    }
    std::string Answer(const std::string& scriptText) {
        Load(scriptText);
        return AnswerOne();
    }
    // A fresh request on exchange_.port.
    int Run() {
        exchange_.sendFailed = false;
        exchange_.lastFile = ui::FileOutcome::None;
        unsigned char block[ui::TEMPLATE_BLOCK_SIZE];
        return host_->RunDialog(block, ui::FillDialogTemplate(block), ui::MsgDlgProc, &exchange_);
    }
    std::string Summary() {
        ::testing::internal::CaptureStderr();
        host_->WriteSummary();
        return ::testing::internal::GetCapturedStderr();
    }

    ui::OperatorScript script_;
    std::unique_ptr<ui::ScriptHost> host_;
    std::string stderr_;
    int result_ = 0;
};

TEST_F(ScriptHostTest, TheFirstRuleWhoseConditionsAllHoldAnswersTheMessage) {
    Put(0, "0800");
    Put(70, "301");
    std::string sent = Answer(
        "on 0=0200\n  set 0 0210\n  respond\n"
        "on 0=0800 70=302\n  set 0 0811\n  respond\n"
        "on 0=0800 70=30*\n  set 0 0810\n  set 39 00\n  respond\n"
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

TEST_F(ScriptHostTest, SetTypesLikeAnOperatorAndACutIsToldOncePerLine) {
    Put(0, "0200");
    std::string sent = Answer("on *\n  set 39 0000\n  set 5 ignored\n  set 3 1\n  respond\n");
    // Field 39 stops at its limit of 2; field 3 is padded to 6.
    EXPECT_EQ(sent.substr(12), "1     00");
    EXPECT_EQ(stderr_,
              "VELK Tester: operator script test.script line 2: \"set 39\" text of 4 characters "
              "cut at the field's input limit of 2 (said once for this line)\n");
    AnswerOne();
    EXPECT_EQ(stderr_, "") << "the same line is not told again";
}

TEST_F(ScriptHostTest, MessageBoxesAreLinesOnStandardError) {
    Put(0, "0200");
    EXPECT_EQ(Answer("on *\n  clear 0\n  respond\n  cancel\n"), "");
    EXPECT_EQ(stderr_, "VELK Tester: Message Id is mandatory\n");
}

TEST_F(ScriptHostTest, AskWithoutADisplayCancelsAndSaysSoOnce) {
    Put(0, "0200");
    EXPECT_EQ(Answer("on *\n  set 0 0210\n  ask\n  respond\n"), "");
    EXPECT_EQ(stderr_,
              "VELK Tester: \"ask\" (test.script line 3) needs a display; this and every later "
              "\"ask\" cancels its message\n");
    EXPECT_EQ(AnswerOne(), "");
    EXPECT_EQ(stderr_, "") << "said once";
    EXPECT_EQ(result_, 1);
}

TEST_F(ScriptHostTest, SaveAndReadUseTheNamedFilesWithLiveValues) {
    Put(0, "0200");
    Put(3, "123456");
    Answer("on *\n  set 0 0210\n  set 39 05\n  save " + root_.root().string() +
           "/req-${3:1:3}-${seq:2}.dat\n  cancel\n");
    std::string file = (root_.root() / "req-234-01.dat").string();
    Put(0, "0200");
    std::string sent = Answer("on *\n  read " + file + "\n  respond\n");
    EXPECT_EQ(sent, ReadFile(file));
    EXPECT_EQ(sent.substr(0, 4), "0210");
    EXPECT_EQ(sent.substr(sent.size() - 2), "05");
}

TEST_F(ScriptHostTest, AFailedReadEndsTheRuleAsCancelInsteadOfEchoingTheRequest) {
    Put(0, "0200");
    Put(2, "4000000000000002");
    EXPECT_EQ(Answer("on *\n  read " + root_.root().string() + "/missing.dat\n  respond\n"), "");
    EXPECT_NE(stderr_.find("VELK Tester: Open file failed\n"), std::string::npos) << stderr_;
    EXPECT_NE(stderr_.find("line 2: \"read " + root_.root().string() +
                           "/missing.dat\" failed; the message is cancelled"),
              std::string::npos)
        << stderr_;
}

TEST_F(ScriptHostTest, AFailedSaveEndsTheRuleAsCancelToo) {
    Put(0, "0200");
    const std::string path = root_.root().string() + "/no-such-folder/req.dat";
    EXPECT_EQ(Answer("on *\n  set 0 0210\n  save " + path + "\n  respond\n"), "");
    EXPECT_NE(stderr_.find("VELK Tester: Could not open\n"), std::string::npos) << stderr_;
    EXPECT_NE(stderr_.find("line 3: \"save " + path + "\" failed; the message is cancelled"),
              std::string::npos)
        << stderr_;
}

// A send that fails on a connection that lasts (a message that cannot be
// assembled) lets the rule go on; the request is counted apart.
TEST_F(ScriptHostTest, AResponseThatCouldNotBeSentIsCountedAsSendFailed) {
    Put(0, "0200");
    std::string sent = Answer("on *\n  set 0 02\n  respond\n  set 0 0210\n  respond\n");
    EXPECT_EQ(sent.substr(0, 4), "0210");
    EXPECT_EQ(stderr_, "VELK Tester: Could not Send Response\n");
    EXPECT_FALSE(exchange_.endConnection);
    EXPECT_EQ(Summary(),
              "VELK Tester: 1 requests: 0 responded, 0 cancelled, 0 closed, 1 send failed; by "
              "rule: line 1 1, no rule 0\n");
}

TEST_F(ScriptHostTest, RespondTwiceSendsTwoResponsesWithWhatWasTypedBetween) {
    Put(0, "0200");
    Put(3, "000000");
    std::string sent =
        Answer("on *\n  set 0 0210\n  set 39 00\n  respond\n  set 39 05\n  respond\n  set 39 99\n");
    const std::string first =
        "0210" + std::string("\x20\x00\x00\x00\x02\x00\x00\x00", 8) + "000000" + "00";
    EXPECT_EQ(sent, first + first.substr(0, first.size() - 2) + "05");
    EXPECT_EQ(result_, 1);
}

TEST_F(ScriptHostTest, CloseEndsTheConnectionWithItsRecordAndEveryOutcomeIsCounted) {
    Load(
        "on 0=0800\n  set 0 0810\n  respond\n"
        "on 0=0200 4>=000000100000\n  close\n"
        "on 0=0200\n  silence\n");
    struct Message {
        const char* id;
        const char* amount;
        bool endsConnection;
    } const messages[] = {
        {"0800", "", false},
        {"0200", "000000100000", true},
        {"0200", "000000000100", false},
        {"0800", "", false},
        {"0400", "", false},
    };
    for (const Message& m : messages) {
        Put(0, m.id);
        Put(4, m.amount);
        exchange_.endConnection = false;
        std::string sent = AnswerOne();
        EXPECT_EQ(exchange_.endConnection, m.endsConnection) << m.id << " " << m.amount;
        EXPECT_EQ(sent.empty(), std::string(m.id) != "0800") << m.id;
    }
    EXPECT_NE(Log().find("Operator script test.script line 5 closed the connection\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(Summary(),
              "VELK Tester: 5 requests: 2 responded, 1 cancelled, 1 closed, 1 silenced; by rule: "
              "line 1 2, line 4 1, line 6 1, no rule 1\n");
}

// Several connections at once: a delay suspends the run and the host serves
// other messages meanwhile; the run goes on with its own texts.
TEST_F(ScriptHostTest, ADelayCanSuspendTheRunUntilItIsResumed) {
    Load(
        "on 0=0200\n  set 0 0210\n  set 39 ${seq:2}\n  delay 300\n  set 3 ${3}\n  respond\n"
        "on 0=0800\n  set 0 0810\n  respond\n");
    host_->SetSuspendableDelays(true);
    int first = OpenWire("first.bin");
    int second = OpenWire("second.bin");

    Put(0, "0200");
    Put(3, "111111");
    exchange_.port = first;
    int64_t before = SteadyMilliseconds();
    EXPECT_EQ(Run(), ui::DIALOG_SUSPENDED);
    int64_t wake = host_->WakeTime(first);
    EXPECT_GE(wake, before + 300);
    EXPECT_LE(wake, SteadyMilliseconds() + 300);
    EXPECT_EQ(host_->WakeTime(second), -1);

    // Meanwhile another connection's message, with other values.
    Put(0, "0800");
    Put(3, "222222");
    exchange_.port = second;
    EXPECT_EQ(Run(), 1);

    exchange_.port = first;
    EXPECT_EQ(host_->Resume(exchange_), 1);
    EXPECT_EQ(host_->WakeTime(first), -1) << "done";
    EXPECT_EQ(host_->Resume(exchange_), -1);
    ClosePort(first);
    ClosePort(second);
    std::string sent = Wire("first.bin");
    EXPECT_EQ(sent.substr(0, 4), "0210");
    EXPECT_EQ(sent.substr(sent.size() - 8), "11111101") << "its own box texts and number";
    EXPECT_EQ(Wire("second.bin").substr(0, 4), "0810");

    // A run whose connection ended is dropped and counted as not answered.
    Put(0, "0200");
    exchange_.port = 7;
    EXPECT_EQ(Run(), ui::DIALOG_SUSPENDED);
    host_->Discard(7);
    EXPECT_EQ(host_->WakeTime(7), -1);
    EXPECT_EQ(Summary(),
              "VELK Tester: 3 requests: 2 responded, 1 cancelled, 0 closed; by rule: line 1 2, "
              "line 7 1, no rule 0\n");
}

TEST_F(ScriptHostTest, WithoutSuspendableDelaysADelayWaits) {
    Put(0, "0200");
    int64_t before = SteadyMilliseconds();
    std::string sent = Answer("on *\n  set 0 0210\n  delay 120\n  respond\n");
    EXPECT_GE(SteadyMilliseconds() - before, 120);
    EXPECT_EQ(sent.substr(0, 4), "0210");
}

}  // namespace
