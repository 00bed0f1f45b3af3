// The real velk-tester, started with an operator script and answered over
// 127.0.0.1 as a controller would.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "diag/message_fields.h"
#include "responder_process.h"
#include "sample_exchange.h"
#include "temp_root.h"
#include "vksoc/codec/ztr.h"

namespace fs = std::filesystem;

namespace {

class ResponderTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::copy_file(kSampleConfig, root_.data() / "velk.cfg"); }

    std::string Log() const { return root_.LogText(); }

    TempRoot root_;
};

TEST_F(ResponderTest, StartUpFailuresAreReportedInOrderAndExitWithTheCodeOfTheirKind) {
    constexpr int kArguments = 2;
    struct Case {
        std::string controller;
        std::string port;
        const char* message;
        int exitCode;
        bool onlyWhereArgumentsArriveWhole = false;
    };
    const Case cases[] = {
        {"", "", "Controller not given", kArguments},
        {"C001", "7001", "Controller invalid", kArguments},
        {"c01", "7001", "Controller is invalid", kArguments},
        {"C99", "7001", "Controller is invalid", kArguments},
        {"C01", "", "Port not given", kArguments},
        {"C01", "123456", "Port invalid", kArguments},
        {"C01", "65536", "Port invalid", kArguments},
        {"C01", "-1", "Port invalid", kArguments},
        // Each argument is taken whole: a blank inside is part of it.
        {"C01 7001", "7001", "Controller invalid", kArguments, true},
        {"C01", "47320 9", "Port invalid", kArguments, true},
        {"C01", "abc", "Port not found", kArguments},
        {"C01", "-0", "Port not found", kArguments},
        // Only the exact words ask for the usage.
        {"--HELP", "7001", "Controller invalid", kArguments},
        {"-help", "7001", "Controller invalid", kArguments},
    };
    for (const Case& c : cases) {
        if (c.onlyWhereArgumentsArriveWhole && !kArgumentsArriveWhole) {
            continue;
        }
        ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}});
        responder.Start(c.controller, c.port);
        EXPECT_EQ(responder.Wait(10), c.exitCode) << c.message;
        EXPECT_EQ(responder.Stderr(), std::string("VELK Tester: ") + c.message + "\n");
    }

    // VELK_PEERS is checked after the arguments, before listening.
    {
        ResponderProcess responder(root_,
                                   {{"OPERATOR_SCRIPT", kAnswerScript}, {"VELK_PEERS", "41"}});
        responder.Start("C01", "7001");
        EXPECT_EQ(responder.Wait(10), 3);
        EXPECT_EQ(responder.Stderr(), "VELK Tester: VELK_PEERS must be a number from 1 to 40\n");
    }

    // So is VELK_BIND: a name or a typo is refused before anything listens.
    {
        ResponderProcess responder(
            root_, {{"OPERATOR_SCRIPT", kAnswerScript}, {"VELK_BIND", "localhost"}});
        responder.Start("C01", "7001");
        EXPECT_EQ(responder.Wait(10), 9);
        EXPECT_EQ(
            responder.Stderr(),
            "VELK Tester: VELK_BIND must be a numeric IPv4 or IPv6 address (got: localhost)\n");
    }

    fs::remove(root_.data() / "velk.cfg");
    ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}});
    responder.Start("", "");
    EXPECT_EQ(responder.Wait(10), 4);
    EXPECT_EQ(responder.Stderr(), "VELK Tester: Unable to read configuration file\n");
    EXPECT_NE(Log().find("velk.cfg could not be opened for reading"), std::string::npos);
}

TEST_F(ResponderTest, APortAnotherResponderListensOnEndsWithOpenPortFailed) {
    // The other responder has its own installation; with several peers its
    // listening socket stays open throughout.
    TempRoot other;
    fs::copy_file(kSampleConfig, other.data() / "velk.cfg");
    int port = FreePort();
    ResponderProcess first(other, {{"OPERATOR_SCRIPT", kAnswerScript}, {"VELK_PEERS", "2"}});
    first.Start("C02", std::to_string(port));
    int peer = ConnectWhenListening(port, 10);
    ASSERT_GE(peer, 0);
    ClosePeer(peer);
    ResponderProcess second(root_, {{"OPERATOR_SCRIPT", kAnswerScript}});
    second.Start("C02", std::to_string(port));
    EXPECT_EQ(second.Wait(10), 5);
    EXPECT_EQ(second.Stderr(), "VELK Tester: Open Port failed\n");
    EXPECT_NE(Log().find("already in use"), std::string::npos) << Log();
}

TEST_F(ResponderTest, HelpAndVersionAreToldWithoutStartingAndExitWithZero) {
    struct Case {
        const char* word;
        const char* told;  // a pattern
    } const cases[] = {
        {"--help", "Usage: velk-tester CONTROLLER PORT\n[\\s\\S]*"},
        {"-h", "Usage: velk-tester CONTROLLER PORT\n[\\s\\S]*"},
        {"--version", "velk-tester [0-9]+(\\.[0-9]+)*\n"},
    };
    // Neither needs the configuration, a desk or a script.
    fs::remove(root_.data() / "velk.cfg");
    for (const Case& c : cases) {
        ResponderProcess responder(root_, {});
        responder.Start(c.word, "7001");
        EXPECT_EQ(responder.Wait(10), 0) << c.word;
        // Standard output, or standard error where a desktop program has no
        // standard output of its own.
        std::string told = responder.Stdout() + responder.Stderr();
        EXPECT_TRUE(std::regex_match(told, std::regex(c.told))) << c.word << ": " << told;
    }
    ResponderProcess help(root_, {});
    help.Start("--help", "");
    EXPECT_EQ(help.Wait(10), 0);
    std::string told = help.Stdout() + help.Stderr();
    for (const char* mentioned :
         {"OPERATOR_SCRIPT", "VELK_PEERS", "HEADER_LENGTH", "docs/start-up-messages.md"}) {
        EXPECT_NE(told.find(mentioned), std::string::npos) << mentioned;
    }
}

TEST_F(ResponderTest, ABadScriptOrNoDisplayStopsWithALineThatSaysWhy) {
    WriteFile(root_.root() / "bad.script", "on *\n  respnod\n");
    ResponderProcess bad(root_, {{"OPERATOR_SCRIPT", (root_.root() / "bad.script").string()}});
    bad.Start("C01", "7001");
    EXPECT_EQ(bad.Wait(10), 1);
    EXPECT_NE(bad.Stderr().find("line 2: unknown command \"respnod\""), std::string::npos)
        << bad.Stderr();

    ResponderProcess directory(root_, {{"OPERATOR_SCRIPT", root_.root().string()}});
    directory.Start("C01", "7001");
    EXPECT_EQ(directory.Wait(10), 1);
    EXPECT_EQ(directory.Stderr(), "VELK Tester: Operator script " + root_.root().string() +
                                      " cannot be read (it is a directory)\n");

    // Where a desk can be shown this one would listen: never on a fixed port.
    ResponderProcess headless(root_, {});
    headless.Start("C01", std::to_string(FreePort()));
    EXPECT_EQ(headless.Wait(10), 1);
    EXPECT_NE(headless.Stderr().find("OPERATOR_SCRIPT="), std::string::npos) << headless.Stderr();
}

TEST_F(ResponderTest, ServesOneConnectionAtATimeAndListensAgainAfterThePeerCloses) {
    int port = FreePort();
    ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}});
    responder.Start("C02", std::to_string(port));
    int peer = ConnectWhenListening(port, 10);
    ASSERT_GE(peer, 0);

    // Two requests in one segment are answered one after the other.
    SendAll(peer, kRequest0200 + kRequest0200);
    EXPECT_EQ(ReceiveBytes(peer, 2 * kResponse0210.size()), kResponse0210 + kResponse0210);

    // Nobody else is accepted while the connection is served.
    EXPECT_LT(ConnectWhenListening(port, 0), 0);

    ClosePeer(peer);
    peer = ConnectWhenListening(port, 10);
    ASSERT_GE(peer, 0) << "listening again on the same port";
    SendAll(peer, kRequest0200);
    EXPECT_EQ(ReceiveBytes(peer, kResponse0210.size()), kResponse0210);

    // A request with an element the controller does not define ends the
    // connection; the responder listens again.
    std::string unknown = "0200" + Bytes({0x02, 0, 0, 0, 0, 0, 0, 0}) + "0101120000";
    SendAll(peer, unknown);
    EXPECT_TRUE(PeerClosed(peer));
    ClosePeer(peer);
    peer = ConnectWhenListening(port, 10);
    EXPECT_GE(peer, 0);
    ClosePeer(peer);

    responder.Stop();
    std::string log = Log();
    EXPECT_NE(log.find("Error: (1002,0) **\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] ReadPort: Connection closed by peer\n["), std::string::npos);
    EXPECT_NE(log.find("] RecvMsg: Unable to read message\n"), std::string::npos);
    EXPECT_NE(log.find("Error: (1004,0) **\n"), std::string::npos);
    EXPECT_NE(log.find("] Disassemble8583: Unknown field 7\n"), std::string::npos);
    EXPECT_NE(log.find("] RecvMsg: Message received is invalid\n"), std::string::npos);
    EXPECT_NE(responder.Stderr().find("VELK Tester: Connection closed\n"), std::string::npos);
}

TEST_F(ResponderTest, ALengthPrefixFramesRequestAndResponse) {
    int port = FreePort();
    ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}, {"HEADER_LENGTH", "4"}});
    responder.Start("C02", std::to_string(port));
    int peer = ConnectWhenListening(port, 10);
    ASSERT_GE(peer, 0);
    SendAll(peer, "0044" + kRequest0200);
    EXPECT_EQ(ReceiveBytes(peer, 4 + kResponse0210.size()), "0046" + kResponse0210);
    ClosePeer(peer);
}

TEST_F(ResponderTest, AZtrRequestIsAnsweredWithAComputedHashKey) {
    WriteFile(root_.root() / "ztr.script", "on 4=ECHO\n  set 4 ECHR\n  set 26 00\n  respond\n");
    int port = FreePort();
    ResponderProcess responder(root_,
                               {{"OPERATOR_SCRIPT", (root_.root() / "ztr.script").string()}});
    responder.Start("ZTR", std::to_string(port));
    int peer = ConnectWhenListening(port, 10);
    ASSERT_GE(peer, 0);

    MessageFields request{};
    request.slots[4] = FieldSlot{reinterpret_cast<const unsigned char*>("ECHO"), 4};
    request.slots[7] = FieldSlot{reinterpret_cast<const unsigned char*>("C01"), 3};
    unsigned char out[4096];
    int length = AssembleZTR(out, sizeof out, &request);
    ASSERT_GT(length, 0);
    SendAll(peer, std::string(reinterpret_cast<char*>(out), static_cast<size_t>(length)));

    std::string head = ReceiveBytes(peer, 5);
    ASSERT_EQ(head.size(), 5u);
    std::string response = head + ReceiveBytes(peer, static_cast<size_t>(std::stoi(head)));
    MessageFields fields{};
    int complete = 0;
    int taken = DisassembleZTR(reinterpret_cast<const unsigned char*>(response.data()),
                               static_cast<int>(response.size()), &fields, &complete);
    ASSERT_EQ(taken, static_cast<int>(response.size())) << "the hash key and version check out";
    auto text = [&](int n) {
        return std::string(reinterpret_cast<const char*>(fields.slots[n].data),
                           static_cast<size_t>(fields.slots[n].length));
    };
    EXPECT_EQ(text(4), "ECHR");
    EXPECT_EQ(text(7), "C01");
    EXPECT_EQ(text(26), "00");
    ClosePeer(peer);
}

// A peer's field must never choose a file: its text in a save path keeps
// only what cannot leave the folder the script names.
TEST_F(ResponderTest, AFieldInASavePathCannotReachAFileOutsideTheScriptsFolder) {
    fs::create_directories(root_.root() / "files" / "req");
    const fs::path victim = root_.root() / "files" / "v.txt";
    WriteFile(victim, "victim\n");
    WriteFile(root_.root() / "save.script",
              "on 41=../v.txt\n  set 0 0210\n  set 39 00\n  save ../files/req/${41}\n  respond\n"
              "on *\n  save ../files/req/.${11:6:1}./x\n  respond\n");
    int port = FreePort();
    ResponderProcess responder(root_,
                               {{"OPERATOR_SCRIPT", (root_.root() / "save.script").string()}});
    responder.Start("C02", std::to_string(port));
    int peer = ConnectWhenListening(port, 10);
    ASSERT_GE(peer, 0);

    auto withTerminal = [](std::string message, const std::string& terminal) {
        return message.replace(message.size() - 8, 8, terminal);
    };
    std::string response = withTerminal(kResponse0210, "../v.txt");
    SendAll(peer, withTerminal(kRequest0200, "../v.txt"));
    EXPECT_EQ(ReceiveBytes(peer, response.size()), response);
    EXPECT_EQ(ReadFile(victim), "victim\n");
    EXPECT_TRUE(fs::exists(root_.root() / "files" / "req" / "_._v.txt"));

    // A path whose fixed text climbs once the peer's part comes out empty is
    // refused: no answer, a record and a line, and the connection goes on.
    SendAll(peer, kRequest0200);
    EXPECT_EQ(ReceiveBytes(peer, 1, 1), "");
    SendAll(peer, withTerminal(kRequest0200, "../v.txt"));
    EXPECT_EQ(ReceiveBytes(peer, response.size()), response);
    ClosePeer(peer);
    responder.Stop();
    EXPECT_FALSE(fs::exists(root_.root() / "files" / "x"));
    EXPECT_NE(Log().find("line 7: \"save ../files/req/../x\" refused: the path leaves the folder "
                         "\"../files/req/\""),
              std::string::npos)
        << Log();
    EXPECT_NE(responder.Stderr().find("line 7: \"save ../files/req/../x\" failed"),
              std::string::npos)
        << responder.Stderr();
}

}  // namespace
