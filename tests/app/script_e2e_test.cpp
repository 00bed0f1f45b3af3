// The operator script as a host simulator, end to end: the real velk-tester
// with a script, and velkctl send (or a plain socket) as the controller.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "responder_process.h"
#include "run_command.h"
#include "sample_exchange.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

class ScriptE2E : public ::testing::Test {
  protected:
    // The script's own behaviour, without the conformance checks the sample's
    // C01 declares (conformance_e2e_test.cpp runs those).
    void SetUp() override {
        WriteFile(root_.data() / "velk.cfg", SampleWithoutDeclarations());
        port_ = FreePort();
    }

    void Start(const std::string& script) {
        WriteFile(root_.root() / "test.script", script);
        responder_ = std::make_unique<ResponderProcess>(
            root_, std::map<std::string, std::string>{
                       {"OPERATOR_SCRIPT", (root_.root() / "test.script").string()}});
        responder_->Start("C01", std::to_string(port_));
    }

    CommandResult Velkctl(const std::string& arguments) {
        return RunCommand("cd '" + (root_.root() / "work").string() +
                          "' && " VELK_BINARY_DIR "/velkctl " + arguments);
    }

    // velkctl send as the controller. The responder listens again only once
    // it has closed the last connection: a refused connect is tried again.
    CommandResult Send(const std::string& fields, int timeoutSeconds = 5) {
        CommandResult run;
        for (int attempt = 0; attempt < 200; ++attempt) {
            run = Velkctl("send C01 127.0.0.1 " + std::to_string(port_) + " " + fields +
                          " --timeout " + std::to_string(timeoutSeconds));
            if (run.output.find("No program running") == std::string::npos) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return run;
    }

    // The value of field n in velkctl's listing ("N NAME: VALUE"), or "-".
    static std::string Field(const CommandResult& run, int n) {
        std::string lead = "\n";
        lead += std::to_string(n);
        lead += ' ';
        std::string output = "\n";
        output += run.output;
        size_t at = output.find(lead);
        if (at == std::string::npos) {
            return "-";
        }
        size_t value = output.find(": ", at) + 2;
        return output.substr(value, output.find('\n', value) - value);
    }

    // A message of C01 as its bytes on the wire, made by velkctl.
    std::string Message(const std::string& fields) {
        EXPECT_EQ(Velkctl("make C01 m.dat " + fields).exitCode, 0) << fields;
        return ReadFile(root_.root() / "work" / "m.dat");
    }

    std::string Log() const { return root_.LogText(); }

    TempRoot root_;
    int port_ = 0;
    std::unique_ptr<ResponderProcess> responder_;
};

TEST_F(ScriptE2E, RulesMatchOnEveryConditionForm) {
    Start(R"(# decline one card, answer by terminal, amount and card ranges
on 0=0800
  set 0 0810
  set 39 00
  respond
on 0=0200 2=4000000000000002
  set 0 0210
  set 39 05
  respond
on 0=0200 41="TERM 001"
  set 0 0210
  set 39 12
  respond
on 0=0200 2=4111* 4=*13
  set 0 0210
  set 39 13
  respond
on 0=0200 2=*0004*
  set 0 0210
  set 39 14
  respond
on 0=0200 2!= 4<=000000010000
  set 0 0210
  set 39 00
  respond
on 0=0200 2!= 4>000000010000
  set 0 0210
  set 39 51
  respond
on 0=0200 2=
  set 0 0210
  set 39 30
  respond
)");
    struct Case {
        const char* fields;
        const char* code;  // "-": no response
    } const cases[] = {
        {"0=0800", "00"},
        {"0=0200 2=4000000000000002 4=000000000100", "05"},
        {"0=0200 2=4111111111111111 4=000000000100 '41=TERM 001'", "12"},
        {"0=0200 2=4111111111111111 4=000000000100 41=TERM0001", "00"},
        {"0=0200 2=4111111111111111 4=000000001013", "13"},
        {"0=0200 2=5500000000000004 4=000000001013", "14"},
        {"0=0200 2=5500000000000000 4=000000010000", "00"},
        {"0=0200 2=5500000000000000 4=000000010001", "51"},
        {"0=0200 4=000000000100", "30"},
        {"0=0200 2=5500000000000000 4=ABC", "-"},  // no comparison holds: no rule
        {"0=0400", "-"},
    };
    for (const Case& c : cases) {
        CommandResult run = Send(c.fields, std::string(c.code) == "-" ? 1 : 5);
        EXPECT_EQ(Field(run, 39), c.code) << c.fields << "\n" << run.output;
    }
}

TEST_F(ScriptE2E, LiveValuesAreFilledInWhenTheLineRuns) {
    Start(R"(on 0=0200
  set 0 0210
  set 7 ${utc:%m%d%H%M%S}
  set 37 ${utc:%y%j}${11}${seq:1}
  set 38 ${rand:6}
  set 39 00
  set 44 $$${4:10:2}
  save ../log/req-${seq:6}.dat
  respond
)");
    char utcNow[16];
    std::time_t now = std::time(nullptr);
    std::strftime(utcNow, sizeof utcNow, "%m%d%H%M", std::gmtime(&now));
    char dayOfYear[8];
    std::strftime(dayOfYear, sizeof dayOfYear, "%y%j", std::gmtime(&now));

    CommandResult first = Send("0=0200 4=000000001234 11=000777");
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_EQ(Field(first, 7).substr(0, 8), utcNow) << "a minute may turn meanwhile, rarely";
    EXPECT_EQ(Field(first, 37), std::string(dayOfYear) + "0007771");
    EXPECT_EQ(Field(first, 38).size(), 6u);
    EXPECT_EQ(Field(first, 38).find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(Field(first, 44), "$34");

    CommandResult second = Send("0=0200 4=000000001234 11=000778");
    EXPECT_EQ(Field(second, 37), std::string(dayOfYear) + "0007782") << "the next number";
    EXPECT_TRUE(fs::exists(root_.log() / "req-000001.dat"));
    EXPECT_TRUE(fs::exists(root_.log() / "req-000002.dat"));
    // Saved before respond, with what the rule had set by then.
    std::string saved = Velkctl("show C01 ../log/req-000002.dat").output;
    for (const char* line : {"0 Message Id: 0210\n", "11 System Trace Audit Number: 000778\n",
                             "39 Response Code: 00\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << saved;
    }
}

TEST_F(ScriptE2E, LateDuplicateMissingAndDroppedAnswers) {
    Start(R"(on 0=0200 4=000000000001
  set 0 0210
  delay 1500
  respond
on 0=0200 4=000000000002
  set 0 0210
  set 39 00
  respond
  set 39 01
  respond
on 0=0200 4=000000000003
  close
on 0=0200 4=000000000004
  silence
on 0=0800
  set 0 0810
  respond
)");
    // Late: past a controller's time-out of 1 s, in time for one of 5 s.
    CommandResult late = Send("0=0200 4=000000000001", 1);
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_NE(late.output.find("no response to request 1"), std::string::npos) << late.output;
    auto before = std::chrono::steady_clock::now();
    CommandResult waited = Send("0=0200 4=000000000001", 5);
    EXPECT_EQ(waited.exitCode, 0) << waited.output;
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1500));

    std::string duplicate = Message("0=0200 4=000000000002");
    std::string first = Message("0=0210 4=000000000002 39=00");
    std::string second = Message("0=0210 4=000000000002 39=01");
    std::string missing = Message("0=0200 4=000000000004");
    std::string dropped = Message("0=0200 4=000000000003");
    std::string echo = Message("0=0800");
    std::string echoed = Message("0=0810");
    int peer = ConnectWhenListening(port_, 10);
    ASSERT_GE(peer, 0);
    SendAll(peer, duplicate);
    EXPECT_EQ(ReceiveBytes(peer, first.size() + second.size()), first + second);
    SendAll(peer, missing);
    EXPECT_EQ(ReceiveBytes(peer, 1, 1), "") << "silence: nothing is sent";
    SendAll(peer, echo);
    EXPECT_EQ(ReceiveBytes(peer, echoed.size()), echoed) << "the connection goes on";
    SendAll(peer, dropped);
    EXPECT_TRUE(PeerClosed(peer));
    ClosePeer(peer);
    EXPECT_NE(Log().find("Operator script " + (root_.root() / "test.script").string() +
                         " line 12 closed the connection\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(Send("0=0800").exitCode, 0) << "listening again";
}

TEST_F(ScriptE2E, AskWithoutADisplayCancelsSaysSoOnceAndServesOn) {
    Start("on 0=0200\n  ask\non 0=0800\n  set 0 0810\n  respond\n");
    EXPECT_EQ(Send("0=0200", 1).exitCode, 1);
    EXPECT_EQ(Send("0=0200", 1).exitCode, 1);
    EXPECT_EQ(Send("0=0800").exitCode, 0) << "still serving";
    std::string errors = responder_->Stderr();
    size_t said = errors.find("\"ask\" (" + (root_.root() / "test.script").string() +
                              " line 2) needs a display");
    EXPECT_NE(said, std::string::npos) << errors;
    EXPECT_EQ(errors.find("needs a display", errors.find('\n', said)), std::string::npos) << "once";
}

TEST_F(ScriptE2E, AStopEndsTheRunWithASummaryAndExitZero) {
    Start(R"(on 0=0800
  set 0 0810
  respond
on 0=0200 4=000000000001
  set 0 0210
  delay 3000
  respond
on 0=0200
  close
)");
    EXPECT_EQ(Send("0=0800").exitCode, 0);
    EXPECT_EQ(Send("0=0200 4=000000000002").exitCode, 1);
    Send("0=0400", 1);

    // A request in hand is finished: its delay ends at once, its answer goes.
    std::string late = Message("0=0200 4=000000000001");
    std::string answer = Message("0=0210 4=000000000001");
    int peer = ConnectWhenListening(port_, 10);
    ASSERT_GE(peer, 0);
    SendAll(peer, late);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto stopped = std::chrono::steady_clock::now();
    responder_->Signal(SIGTERM);
    EXPECT_EQ(ReceiveBytes(peer, answer.size(), 3), answer);
    EXPECT_EQ(responder_->Wait(5), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(1500))
        << "the delay did not run its 3 s";
    ClosePeer(peer);
    std::string errors = responder_->Stderr();
    std::string summary = errors.substr(errors.rfind("VELK Tester: "));
    EXPECT_EQ(summary,
              "VELK Tester: 4 requests: 2 responded, 1 cancelled, 1 closed; by rule: line 1 1, "
              "line 4 1, line 8 1, no rule 1\n")
        << errors;
}

TEST_F(ScriptE2E, AnIdleResponderStopsAtOnceWhetherListeningOrConnected) {
    for (int signal : {SIGINT, SIGTERM}) {
        for (bool connected : {false, true}) {
            Start("on *\n  cancel\n");
            int peer = ConnectWhenListening(port_, 10);
            ASSERT_GE(peer, 0);
            if (!connected) {
                ClosePeer(peer);  // the responder listens again
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            auto stopped = std::chrono::steady_clock::now();
            responder_->Signal(signal);
            EXPECT_EQ(responder_->Wait(5), 0) << signal << connected;
            EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(2));
            std::string errors = responder_->Stderr();
            EXPECT_NE(errors.find("VELK Tester: 0 requests: 0 responded, 0 cancelled, 0 closed; "
                                  "by rule: line 1 0, no rule 0\n"),
                      std::string::npos)
                << errors;
            if (connected) {
                ClosePeer(peer);
                EXPECT_EQ(errors.find("Connection closed"), std::string::npos) << errors;
            }
        }
    }
}

}  // namespace
