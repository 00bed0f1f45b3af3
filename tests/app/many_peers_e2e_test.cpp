// The real velk-tester with VELK_PEERS, answering with an operator script
// several controllers at once over 127.0.0.1.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "os_sockets.h"
#include "responder_process.h"
#include "sample_exchange.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string& kRequest = kRequest0200;
const std::string& kResponse = kResponse0210;

class ManyPeersTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::copy_file(kSampleConfig, root_.data() / "velk.cfg"); }

    void Start(const std::string& peers, const std::string& script = kAnswerScript,
               const std::string& controller = "C02",
               std::map<std::string, std::string> environment = {}) {
        port_ = FreePort();
        environment["OPERATOR_SCRIPT"] = script;
        environment["VELK_PEERS"] = peers;
        responder_ = std::make_unique<ResponderProcess>(root_, std::move(environment));
        responder_->Start(controller, std::to_string(port_));
    }
    int Connect() {
        int fd = ConnectWhenListening(port_, 10);
        EXPECT_GE(fd, 0);
        return fd;
    }
    static bool RoundTrip(int fd, int requests = 1) {
        std::string all;
        for (int i = 0; i < requests; ++i) {
            all += kRequest;
        }
        SendAll(fd, all);
        std::string expected;
        for (int i = 0; i < requests; ++i) {
            expected += kResponse;
        }
        return ReceiveBytes(fd, expected.size()) == expected;
    }
    std::string Log() const { return root_.LogText(); }

    TempRoot root_;
    int port_ = 0;
    std::unique_ptr<ResponderProcess> responder_;
};

TEST_F(ManyPeersTest, TwoPeersAreServedAtOnceEachOnItsOwnConnection) {
    Start("2");
    int a = Connect();
    int b = Connect();
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    // a stops half-way through a request: b is answered meanwhile.
    SendAll(a, kRequest.substr(0, 11));
    EXPECT_TRUE(RoundTrip(b));
    SendAll(a, kRequest.substr(11));
    EXPECT_EQ(ReceiveBytes(a, kResponse.size()), kResponse);
    // Requests that arrive together are answered in order, each on its own
    // connection.
    SendAll(a, kRequest + kRequest);
    EXPECT_TRUE(RoundTrip(b, 3));
    EXPECT_EQ(ReceiveBytes(a, 2 * kResponse.size()), kResponse + kResponse);

    // One peer's end costs only itself, with its own record; the port keeps
    // listening.
    ClosePeer(a);
    EXPECT_TRUE(RoundTrip(b));
    int c = Connect();
    ASSERT_GE(c, 0);
    EXPECT_TRUE(RoundTrip(c));
    ClosePeer(b);
    ClosePeer(c);
    std::this_thread::sleep_for(200ms);
    responder_->Stop();
    std::string log = Log();
    size_t closedByPeer = 0;
    for (size_t at = log.find("ReadPort: Connection closed by peer"); at != std::string::npos;
         at = log.find("ReadPort: Connection closed by peer", at + 1)) {
        ++closedByPeer;
    }
    EXPECT_EQ(closedByPeer, 3u) << log;
}

void Flood(int fd) {
    unsigned long nonBlocking = 1;
    ioctlsocket(static_cast<SOCKET>(fd), FIONBIO, &nonBlocking);
    std::string burst;
    for (int i = 0; i < 64; ++i) {
        burst += kRequest;
    }
    // Until the responder has stopped taking requests for 300 ms.
    auto blockedSince = std::chrono::steady_clock::now();
    auto giveUp = blockedSince + 20s;
    size_t offset = 0;
    while (std::chrono::steady_clock::now() < giveUp) {
        int n = plat::send(static_cast<SOCKET>(fd), burst.data() + offset,
                           static_cast<int>(burst.size() - offset), 0);
        if (n > 0) {
            offset = (offset + static_cast<size_t>(n)) % kRequest.size();
            blockedSince = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - blockedSince > 300ms) {
            return;
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    ADD_FAILURE() << "the responder never stopped reading the flood";
}

void Reset(int fd) {
    linger abort{1, 0};
    setsockopt(static_cast<SOCKET>(fd), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&abort), sizeof abort);
    ClosePeer(fd);
}

TEST_F(ManyPeersTest, AHostilePeerCostsOnlyItsOwnConnection) {
    struct Case {
        const char* behaviour;
        std::function<void(int)> act;
        bool responderCloses;  // the responder ends the connection itself
        bool closedByAct;      // the act closed the socket already
        const char* record;    // in the error log once the case is over
        const char* orRecord;  // or this one instead
    };
    const Case cases[] = {
        {"sends garbage", [](int fd) { SendAll(fd, "GARBAGE!GARBAGE!GARBAGE!\n"); }, true, false,
         "RecvMsg: Message received is invalid", nullptr},
        {"stalls mid-message", [](int fd) { SendAll(fd, kRequest.substr(0, 20)); }, false, false,
         "ReadPort: Socket closed before full message", nullptr},
        {"never reads its responses", Flood, false, false, nullptr, nullptr},
        {"resets mid-message",
         [](int fd) {
             SendAll(fd, kRequest.substr(0, 20));
             std::this_thread::sleep_for(50ms);
             Reset(fd);
         },
         // Under Wine an abortive close reads as an orderly one.
         false, true, "ReadPort: Connection reset by peer",
         "ReadPort: Socket closed before full message"},
    };
    Start("2");
    int good = Connect();
    ASSERT_GE(good, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.behaviour);
        int hostile = Connect();
        ASSERT_GE(hostile, 0);
        c.act(hostile);
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(RoundTrip(good, 2));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        if (c.responderCloses) {
            EXPECT_TRUE(PeerClosed(hostile));
        }
        if (!c.closedByAct) {
            ClosePeer(hostile);
        }
        EXPECT_TRUE(RoundTrip(good)) << "after the hostile peer is gone";
    }
    ClosePeer(good);
    std::this_thread::sleep_for(200ms);
    responder_->Stop();
    std::string log = Log();
    for (const Case& c : cases) {
        if (c.record != nullptr) {
            bool found = log.find(c.record) != std::string::npos ||
                         (c.orRecord != nullptr && log.find(c.orRecord) != std::string::npos);
            EXPECT_TRUE(found) << c.behaviour << "\n" << log;
        }
    }
}

TEST_F(ManyPeersTest, APeerBeyondTheLimitWaitsUntilAConnectionEnds) {
    Start("40");
    std::vector<int> peers;
    for (int i = 0; i < 40; ++i) {
        peers.push_back(Connect());
        ASSERT_GE(peers.back(), 0);
        ASSERT_TRUE(RoundTrip(peers.back())) << "peer " << i;
    }
    int extra = Connect();
    ASSERT_GE(extra, 0) << "it waits in the listen backlog";
    SendAll(extra, kRequest);
    EXPECT_EQ(ReceiveBytes(extra, kResponse.size(), 1), "") << "not served while 40 are";
    for (int fd : peers) {
        EXPECT_TRUE(RoundTrip(fd));
    }
    ClosePeer(peers[17]);
    EXPECT_EQ(ReceiveBytes(extra, kResponse.size(), 5), kResponse);
    ClosePeer(extra);
    for (size_t i = 0; i < peers.size(); ++i) {
        if (i != 17) {
            ClosePeer(peers[i]);
        }
    }
}

// A 0200 with the trace number given and the 0210 the delay script answers.
std::string RequestWithTrace(const std::string& trace) {
    return "0200" + Bytes({0x30, 0x20, 0, 0, 0, 0x80, 0, 0}) + "000000" + "000000001000" + trace +
           "TERM0001";
}
std::string ResponseWithTrace(const std::string& trace) {
    return "0210" + Bytes({0x30, 0x20, 0, 0, 0x02, 0x80, 0, 0}) + "000000" + "000000001000" +
           trace + "00" + "TERM0001";
}

const char kDelayScript[] =
    "on 0=0200 11=000001\n"
    "  set 0 0210\n"
    "  set 39 00\n"
    "  delay 1500\n"
    "  respond\n"
    "on 0=0200 11=000099\n"
    "  close\n"
    "on 0=0200\n"
    "  set 0 0210\n"
    "  set 39 00\n"
    "  respond\n";

// Receives count bytes and says how long after start they were complete.
std::string ReceiveTimed(int fd, size_t count, std::chrono::steady_clock::time_point start,
                         std::chrono::milliseconds& after) {
    std::string bytes = ReceiveBytes(fd, count);
    after = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start);
    return bytes;
}

TEST_F(ManyPeersTest, AScriptDelayHoldsOnlyItsOwnConnectionAndKeepsItsOrder) {
    fs::path script = root_.data() / "delay.script";
    WriteFile(script, kDelayScript);
    Start("2", script.string());
    int a = Connect();
    int b = Connect();
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);

    auto start = std::chrono::steady_clock::now();
    SendAll(a, RequestWithTrace("000001"));
    std::this_thread::sleep_for(100ms);
    SendAll(b, RequestWithTrace("000002"));
    // A's second request arrives while its first waits out the delay.
    SendAll(a, RequestWithTrace("000003"));
    std::chrono::milliseconds bAfter{}, aAfter{};
    EXPECT_EQ(ReceiveTimed(b, ResponseWithTrace("000002").size(), start, bAfter),
              ResponseWithTrace("000002"));
    EXPECT_LT(bAfter, 1000ms) << "B waited for A's delay";
    EXPECT_EQ(ReceiveTimed(a, 2 * ResponseWithTrace("000001").size(), start, aAfter),
              ResponseWithTrace("000001") + ResponseWithTrace("000003"))
        << "A's answers in the order of its requests";
    EXPECT_GE(aAfter, 1400ms);
    EXPECT_LT(aAfter, 4000ms);

    // close ends only the connection whose request asked for it.
    SendAll(a, RequestWithTrace("000099"));
    EXPECT_TRUE(PeerClosed(a));
    SendAll(b, RequestWithTrace("000004"));
    EXPECT_EQ(ReceiveBytes(b, ResponseWithTrace("000004").size()), ResponseWithTrace("000004"));
    int c = Connect();
    ASSERT_GE(c, 0);
    SendAll(c, RequestWithTrace("000005"));
    EXPECT_EQ(ReceiveBytes(c, ResponseWithTrace("000005").size()), ResponseWithTrace("000005"));
    ClosePeer(a);
    ClosePeer(b);
    ClosePeer(c);
    std::this_thread::sleep_for(200ms);
    responder_->Stop();
    EXPECT_NE(Log().find("closed the connection"), std::string::npos) << Log();
}

// "127.0.0.1:PORT" for the local end of a test's connection: how the
// responder names that peer.
std::string PeerName(int fd) {
    return "127.0.0.1:" + std::to_string(plat::SocketLocalPort(static_cast<SOCKET>(fd)));
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// A C01 0200 with element 3 only; the script below answers 000000 with
// thousands of responses of 3 KB each, anything else with one small one.
std::string RequestOfC01(const std::string& processingCode) {
    return "0200" + Bytes({0x20, 0, 0, 0, 0, 0, 0, 0}) + processingCode;
}

TEST_F(ManyPeersTest, APeerThatNeverReadsLosesItsConnectionAndHoldsTheOthersAtMostASecond) {
    const std::string long999(999, 'A');
    std::string text = "on 0=0200 3=000000\n  set 0 0210\n  set 46 " + long999 + "\n  set 47 " +
                       long999 + "\n  set 48 " + long999 + "\n";
    for (int i = 0; i < 3000; ++i) {
        text += "  respond\n";
    }
    text += "on 0=0200\n  set 0 0210\n  respond\n";
    fs::path script = root_.data() / "flood.script";
    WriteFile(script, text);
    Start("2", script.string(), "C01");
    int hostile = Connect();
    int good = Connect();
    ASSERT_GE(hostile, 0);
    ASSERT_GE(good, 0);
    const std::string hostileName = PeerName(hostile);

    SendAll(hostile, RequestOfC01("000000"));  // and never reads
    std::this_thread::sleep_for(300ms);
    auto start = std::chrono::steady_clock::now();
    SendAll(good, RequestOfC01("111111"));
    const std::string answer = "0210" + Bytes({0x20, 0, 0, 0, 0, 0, 0, 0}) + "111111";
    EXPECT_EQ(ReceiveBytes(good, answer.size(), 20), answer);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "HOST_TIMEOUT is 30 s";

    // Served again at once, and the hostile connection is over.
    start = std::chrono::steady_clock::now();
    SendAll(good, RequestOfC01("222222"));
    EXPECT_EQ(ReceiveBytes(good, answer.size(), 5).substr(0, 4), "0210");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    ClosePeer(good);
    ClosePeer(hostile);
    std::this_thread::sleep_for(200ms);
    responder_->Stop();

    const std::string log = Log();
    const std::string errors = responder_->Stderr();
    EXPECT_EQ(Count(log, "SendMsg: Peer did not take the message within 1000 ms"), 1u) << log;
    EXPECT_NE(log.find("Peer :  " + hostileName + "\n"), std::string::npos)
        << "the record names the peer\n"
        << log;
    EXPECT_EQ(Count(errors, "Could not Send Response"), 1u) << errors;
    EXPECT_EQ(Count(errors, "VELK Tester: peer " + hostileName + " ended\n"), 1u) << errors;
}

TEST_F(ManyPeersTest, EachConnectionsRecordsAndDumpsNameItsPeer) {
    Start("2", kAnswerScript, "C02",
          {{"DUMP_RECV_BYTES", "Y"}, {"DUMP_SEND_BYTES", "Y"}, {"DUMP_RECV_FLDS", "Y"}});
    int a = Connect();
    int b = Connect();
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    const std::string aName = PeerName(a);
    const std::string bName = PeerName(b);
    EXPECT_TRUE(RoundTrip(a));
    SendAll(b, "GARBAGE!GARBAGE!GARBAGE!\n");
    EXPECT_TRUE(PeerClosed(b));
    ClosePeer(a);
    ClosePeer(b);
    std::this_thread::sleep_for(200ms);
    responder_->Stop();

    const std::string log = Log();
    EXPECT_NE(
        log.find(" Received " + std::to_string(kRequest.size()) + " Bytes from " + aName + "\n"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find(" Sent " + std::to_string(kResponse.size()) + " Bytes to " + aName + "\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" from " + aName + "\nMessageId: 0200\n"), std::string::npos) << log;
    const size_t record = log.find("Peer :  " + bName + "\n");
    ASSERT_NE(record, std::string::npos) << log;
    EXPECT_NE(log.find("RecvMsg: Message received is invalid", record), std::string::npos) << log;
    const std::string errors = responder_->Stderr();
    for (const std::string& name : {aName, bName}) {
        EXPECT_EQ(Count(errors, "VELK Tester: peer " + name + " connected\n"), 1u) << errors;
        EXPECT_EQ(Count(errors, "VELK Tester: peer " + name + " ended\n"), 1u) << errors;
    }
}

TEST_F(ManyPeersTest, AValueItDoesNotUnderstandStopsWithALineThatSaysSo) {
    for (const char* value : {"0", "41", "abc", "-2", " 4", "8x"}) {
        SCOPED_TRACE(value);
        Start(value);
        EXPECT_EQ(responder_->Wait(10), 3);
        EXPECT_EQ(responder_->Stderr(), "VELK Tester: VELK_PEERS must be a number from 1 to 40\n");
    }
}

}  // namespace
