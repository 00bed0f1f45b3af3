// The real velk-tester, started with an operator script and answered over
// 127.0.0.1 as a controller would.

#include <gtest/gtest.h>

#include <filesystem>
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

TEST_F(ResponderTest, StartUpFailuresAreReportedInOrderAndExitWithZero) {
    struct Case {
        std::string controller;
        std::string port;
        const char* message;
        bool onlyWhereArgumentsArriveWhole = false;
    };
    const Case cases[] = {
        {"", "", "Controller not given"},
        {"C001", "7001", "Controller invalid"},
        {"c01", "7001", "Controller is invalid"},
        {"C01", "", "Port not given"},
        {"C01", "123456", "Port invalid"},
        {"C01", "65536", "Port invalid"},
        {"C01", "-1", "Port invalid"},
        // Each argument is taken whole: a blank inside is part of it.
        {"C01 7001", "7001", "Controller invalid", true},
        {"C01", "47320 9", "Port invalid", true},
        {"C01", "abc", "Port not found"},
        {"C01", "-0", "Port not found"},
    };
    for (const Case& c : cases) {
        if (c.onlyWhereArgumentsArriveWhole && !kArgumentsArriveWhole) {
            continue;
        }
        ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}});
        responder.Start(c.controller, c.port);
        EXPECT_EQ(responder.Wait(10), 0) << c.message;
        EXPECT_EQ(responder.Stderr(), std::string("VELK Tester: ") + c.message + "\n");
    }
    fs::remove(root_.data() / "velk.cfg");
    ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", kAnswerScript}});
    responder.Start("", "");
    EXPECT_EQ(responder.Wait(10), 0);
    EXPECT_EQ(responder.Stderr(), "VELK Tester: Unable to read configuration file\n");
    EXPECT_NE(Log().find("velk.cfg could not be opened for reading"), std::string::npos);
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

    ResponderProcess headless(root_, {});
    headless.Start("C01", "7001");
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

}  // namespace
