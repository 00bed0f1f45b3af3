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

    void Start(const std::string& script, std::map<std::string, std::string> environment = {}) {
        WriteFile(root_.root() / "test.script", script);
        environment["OPERATOR_SCRIPT"] = (root_.root() / "test.script").string();
        responder_ = std::make_unique<ResponderProcess>(root_, environment);
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

// Chip data (field 55 of the sample's C01, FIELD_FORMAT TLV) through the
// real responder: the shipped chip host simulator approves, declines by
// amount and by the card's own cryptogram, and answers issuer data only.
TEST_F(ScriptE2E, TheChipHostSimulatorAnswersByAmountAndCryptogram) {
    Start(ReadFile(VELK_SOURCE_DIR "/data/chip-host.script"));
    const std::string request = "0=0200 3=000000 4=000000001000 11=000001 ";
    struct Case {
        const char* chip;  // the request's field 55
        const char* code;  // the response's 39
        const char* arc;   // its 8A, in hexadecimal
        bool arpc;         // whether it carries 91
    } const cases[] = {
        {"9F0206000000001000 9F2701 80 9F360200 42", "00", "3030", true},
        {"9F0206000000010000 9F2701 80", "00", "3030", true},  // at the limit
        {"9F0206000000010001 9F2701 80", "51", "3531", true},
        {"9F2701 00 9F0206000000001000", "05", "3035", false},  // the card declined: AAC
    };
    for (const Case& c : cases) {
        std::string chip;
        for (const char* p = c.chip; *p != '\0'; ++p) {
            if (*p != ' ') {
                chip += *p;
            }
        }
        CommandResult run = Send(request + "55=" + chip);
        ASSERT_EQ(run.exitCode, 0) << c.chip << "\n" << run.output << responder_->Stderr();
        EXPECT_EQ(Field(run, 39), c.code) << c.chip;
        const std::string field = Field(run, 55);
        const std::string tail = std::string("8A02") + c.arc;
        if (c.arpc) {
            // 91 0A: 8 random bytes and the response code, then 8A.
            ASSERT_EQ(field.size(), 4u + 20u + tail.size()) << field;
            EXPECT_EQ(field.substr(0, 4), "910A") << field;
            EXPECT_EQ(field.substr(20, 4), c.arc) << field;
            EXPECT_NE(run.output.find(
                          "\n  55.91 Issuer Authentication Data: " + field.substr(4, 20) + "\n"),
                      std::string::npos)
                << run.output;
        } else {
            EXPECT_EQ(field, tail) << c.chip;
        }
        EXPECT_EQ(field.substr(field.size() - tail.size()), tail) << field;
        EXPECT_NE(
            run.output.find(std::string("\n  55.8A Authorisation Response Code: ") + c.arc + "\n"),
            std::string::npos)
            << run.output;
    }
}

TEST_F(ScriptE2E, ChipDataObjectsAreMatchedReadAndSetInPlace) {
    Start(R"(on 0=0200 55.9F10=* 55.9F27=80
  set 0 0210
  set 39 00
  set 44 ATC ${55.9F36}
  set 55.9F27 40
  set 55.91 1122334455667788
  clear 55.9F10
  respond
on 0=0200
  set 0 0210
  set 39 96
  respond
)");
    // 9F27 is replaced where it stands, 9F10 goes, 91 comes last.
    CommandResult run = Send(
        "0=0200 3=000000 4=000000001000 11=000001 "
        "55=9F2701809F10020102"
        "9F360200429F02060000000010005F340101");
    ASSERT_EQ(run.exitCode, 0) << run.output << responder_->Stderr();
    EXPECT_EQ(Field(run, 39), "00");
    EXPECT_EQ(Field(run, 44), "ATC 0042");
    EXPECT_EQ(Field(run, 55),
              "9F270140"
              "9F36020042"
              "9F0206000000001000"
              "5F340101"
              "91081122334455667788");
    EXPECT_NE(run.output.find("\n  55.9F27 Cryptogram Information Data: 40\n"
                              "  55.9F36 Application Transaction Counter (ATC): 0042\n"),
              std::string::npos)
        << run.output;

    // Without 9F10 the first rule does not hold.
    run = Send("0=0200 3=000000 4=000000001000 11=000002 55=9F270180");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Field(run, 39), "96");

    // A malformed field is answered like any other and shown with its finding
    // and its raw rest; the echo sends its bytes as they came.
    run = Send("0=0200 3=000000 4=000000001000 11=000003 55=9F2701809F020600000000");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Field(run, 39), "96");
    EXPECT_EQ(Field(run, 55), "9F2701809F020600000000");
    EXPECT_NE(run.output.find("\n  55.9F27 Cryptogram Information Data: 80\n"
                              "  55 malformed at byte 6: length past the field's end\n"
                              "  55 raw from byte 4: 9F020600000000\n"),
              std::string::npos)
        << run.output;
}

TEST_F(ScriptE2E, TheFieldDumpListsChipDataWithItsCardDataMasked) {
    Start("on *\n  cancel\n",
          {{"DUMP_RECV_FLDS", "Y"}, {"DUMP_RECV_BYTES", "Y"}, {"DUMP_MASK_PAN", "Y"}});
    CommandResult run = Send(
        "0=0200 3=000000 4=000000001000 11=000001 "
        "55=5A0847617390010100109F270180",
        1);
    EXPECT_NE(run.exitCode, 0) << "the request is cancelled: no response";
    responder_->Signal(SIGTERM);
    EXPECT_EQ(responder_->Wait(5), 0);
    const std::string log = Log();
    EXPECT_NE(log.find("Field 055: 5A08476173******00109F270180\n"
                       "  55.5A Application Primary Account Number (PAN): 476173******0010\n"
                       "  55.9F27 Cryptogram Information Data: 80\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("4761739001010010"), std::string::npos) << log;
    // The byte dump hides the bytes whose digits the listing hides.
    std::string bytes = log;
    for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at)) {
        bytes.erase(at, 1);  // a value may wrap onto the next line of 16 bytes
    }
    EXPECT_EQ(bytes.find("47 61 73 90"), std::string::npos) << log;
    EXPECT_NE(log.find("47 61 73 ** "), std::string::npos) << log;
}

}  // namespace
