// The loop for several connections, in this process with an answerer that
// echoes and can suspend, against real sockets over 127.0.0.1. The loop
// runs on its own thread and ends on a stop request, which each test
// withdraws again before it starts.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/peer_set.h"
#include "connection_fixture.h"
#include "platform/steady_clock.h"
#include "platform/stop_request.h"
#include "scoped_env.h"
#include "vksoc/port/accept_peer.h"

namespace {

using namespace std::chrono_literals;

// Echoes every request; a ZTR request whose COMMAND (field 4) is WAIT is
// answered DONE instead, once the test releases it. The answer is held by the
// test, not by a time, so that what happens meanwhile does not depend on how
// fast the machine is.
class FakeAnswerer final : public PeerAnswerer {
  public:
    explicit FakeAnswerer(MessageFields* message) : message_(message) {}

    PeerAnswer Answer(int port) override {
        if (SlotText(*message_, 4) == "WAIT") {
            holding = true;
            return PeerAnswer::Suspended;
        }
        return SendMsg(port, message_) > 0 ? PeerAnswer::Done : PeerAnswer::End;
    }
    // The loop looks again at least twice a second.
    int64_t WakeTime(int) const override { return released ? 0 : SteadyMilliseconds() + 60000; }
    PeerAnswer Resume(int port) override {
        TestMessage done({{4, "DONE"}, {7, "C01"}});
        return SendMsg(port, done.fields()) > 0 ? PeerAnswer::Done : PeerAnswer::End;
    }
    void Failed(int) override {
        std::lock_guard lock(mutex_);
        failures.push_back(GetErrorText());
    }
    void Gone(int) override { ++gone; }
    void AcceptFailed() override {}

    std::mutex mutex_;
    std::vector<std::string> failures;
    int gone = 0;
    std::atomic<bool> holding = false;   // a WAIT was taken and is held
    std::atomic<bool> released = false;  // its answer may go now

  private:
    MessageFields* message_;
};

class PeerSetTest : public ConnectionTest {
  protected:
    void SetUp() override {
        ResetStopRequest();  // an earlier test in this process may have stopped its loop
        ConnectionTest::SetUp();
    }

    void Start(const char* controller, int limit) {
        listening_ = ListeningPort(controller, &tcpPort_);
        ASSERT_EQ(ListenForPeers(listening_), 0) << GetErrorText();
        loop_ = std::thread(
            [this, limit] { result_ = ServePeers(listening_, limit, &message_, answerer_); });
    }
    void Stop() {
        RequestStop();
        loop_.join();
        EXPECT_EQ(result_, 0);
        EXPECT_TRUE(PortIsOpen(listening_)) << "the listening port is the caller's";
    }
    // Whether the peer has something to read within the time.
    static bool Readable(const Peer& peer, int seconds) {
        bool readable = false;
        bool urgent = false;
        EXPECT_EQ(plat::WaitSocket(peer.socket(), seconds, &readable, &urgent), 0);
        return readable;
    }
    // The command of the next ZTR response on the peer.
    static std::string NextCommand(const Peer& peer) {
        std::string head = peer.Receive(5);
        if (head.size() != 5) {
            return "(closed)";
        }
        std::string body = peer.Receive(std::stoi(head));
        MessageFields fields{};
        int complete = 0;
        std::string whole = head + body;
        DisassembleZTR(reinterpret_cast<const unsigned char*>(whole.data()),
                       static_cast<int>(whole.size()), &fields, &complete);
        return complete == 1 ? SlotText(fields, 4) : "(malformed)";
    }

    MessageFields message_{};
    FakeAnswerer answerer_{&message_};
    int listening_ = -1;
    int tcpPort_ = 0;
    int result_ = -1;
    std::thread loop_;
};

TEST_F(PeerSetTest, ASuspendedAnswerHoldsOnlyItsConnectionAndItsLaterRequests) {
    Start("ZTR", 2);
    Peer a = Peer::Connect(tcpPort_);
    Peer b = Peer::Connect(tcpPort_);
    a.Send(Ztr({{4, "WAIT"}, {7, "C01"}}) + Ztr({{4, "ECHO"}, {7, "C01"}}));
    for (int i = 0; i < 500 && !answerer_.holding; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(answerer_.holding) << "a's first request was never taken";

    // b does not wait for a's held answer, and a's second request waits.
    for (int i = 0; i < 3; ++i) {
        b.Send(Ztr({{4, "ECHO"}, {7, "C02"}}));
        if (!Readable(b, 10)) {
            ADD_FAILURE() << "b waits for a's held answer";
            break;
        }
        EXPECT_EQ(NextCommand(b), "ECHO");
    }
    EXPECT_FALSE(Readable(a, 0)) << "a is answered only after its held answer";

    // a's second request is answered after its held first one.
    answerer_.released = true;
    EXPECT_EQ(NextCommand(a), "DONE");
    EXPECT_EQ(NextCommand(a), "ECHO");

    Stop();
    EXPECT_EQ(answerer_.gone, 2);
    EXPECT_TRUE(answerer_.failures.empty());
}

TEST_F(PeerSetTest, PartOfAPrefixedRecordIsGivenReadTimeoutWhileOthersAreServed) {
    ScopedEnv prefix("HEADER_LENGTH", "4");
    Start("C01", 2);
    Peer stalled = Peer::Connect(tcpPort_);
    Peer b = Peer::Connect(tcpPort_);
    stalled.Send("0020" + std::string("02"));
    auto start = std::chrono::steady_clock::now();
    std::string request = Iso8583("C01", {{0, "0800"}, {70, "301"}});
    std::string framed = "00" + std::to_string(request.size()) + request;
    for (int i = 0; i < 3; ++i) {
        b.Send(framed);
        EXPECT_EQ(b.Receive(static_cast<int>(framed.size())), framed);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);

    EXPECT_EQ(stalled.Receive(1), "") << "the stalled connection is closed";
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms) << "READ_TIMEOUT is 1 s here";
    Stop();
    std::lock_guard lock(answerer_.mutex_);
    ASSERT_EQ(answerer_.failures.size(), 1u);
    EXPECT_THAT(answerer_.failures[0], ::testing::EndsWith("RecvMsg: Timeout before assembly\n"));
}

}  // namespace
