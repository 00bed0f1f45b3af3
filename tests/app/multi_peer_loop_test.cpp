// The responder's loop for several connections, with a host whose dialogs
// answer, suspend or end their connection, against real sockets. The loop
// runs on its own thread and ends on a stop request, which each test
// withdraws again before it starts.

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/multi_peer_loop.h"
#include "app/peer_set.h"
#include "connection_fixture.h"
#include "platform/steady_clock.h"
#include "platform/stop_request.h"
#include "ui/responder_state.h"

namespace {

using namespace std::chrono_literals;

// Dialogs by the request's ZTR COMMAND (field 4): BYE ends the connection
// without an answer, WAIT is answered LATE 200 ms later, anything else is
// echoed. Every box is kept.
class FakeHosts final : public ui::UiHost, public PeerHost {
  public:
    void ShowMessageBox(const char* text, unsigned) override { boxes.push_back(text); }
    int RunDialog(const unsigned char*, int, ui::DialogProc, void* context) override {
        ui::Exchange& exchange = *static_cast<ui::Exchange*>(context);
        std::string command = SlotText(*exchange.message, 4);
        if (command == "BYE") {
            exchange.endConnection = true;
            return 2;
        }
        if (command == "WAIT") {
            wake_[exchange.port] = SteadyMilliseconds() + 200;
            return ui::DIALOG_SUSPENDED;
        }
        return SendMsg(exchange.port, exchange.message) > 0 ? 1 : 2;
    }

    void SetSuspendableDelays(bool on) override {
        suspendable = on;
        for (int i = 0; on && i < MAX_PORTS; ++i) {
            if (PortIsOpen(i) && PortIsListening(i)) {
                tcpPort = plat::SocketLocalPort(PortSocket(i));
            }
        }
    }
    int64_t WakeTime(int port) const override { return wake_[port]; }
    int Resume(ui::Exchange& exchange) override {
        wake_[exchange.port] = -1;
        TestMessage late({{4, "LATE"}, {7, "C01"}});
        return SendMsg(exchange.port, late.fields()) > 0 ? 1 : 2;
    }
    void Discard(int port) override { wake_[port] = -1; }
    bool BoxesWait() const override { return false; }

    std::vector<std::string> boxes;
    std::atomic<int> tcpPort{0};
    bool suspendable = false;

  private:
    int64_t wake_[MAX_PORTS]{};
};

class MultiPeerLoopTest : public ConnectionTest {
  protected:
    void SetUp() override {
        ResetStopRequest();  // an earlier test in this process may have stopped its loop
        ConnectionTest::SetUp();
        std::strcpy(responderState.controllerId, "ZTR");
        responderState.portNumber = 0;
    }

    static std::string Command(const Peer& peer) {
        std::string head = peer.Receive(5);
        if (head.size() != 5) {
            return "(closed)";
        }
        std::string whole = head + peer.Receive(std::stoi(head));
        MessageFields fields{};
        int complete = 0;
        DisassembleZTR(reinterpret_cast<const unsigned char*>(whole.data()),
                       static_cast<int>(whole.size()), &fields, &complete);
        return SlotText(fields, 4);
    }

    FakeHosts hosts_;
};

TEST_F(MultiPeerLoopTest, EachDialogAnswersItsOwnConnectionAndEachEndIsToldOnce) {
    std::thread loop([this] { ServeManyPeers(hosts_, 3, hosts_); });
    for (int i = 0; i < 500 && hosts_.tcpPort == 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_NE(hosts_.tcpPort, 0);
    Peer a = Peer::Connect(hosts_.tcpPort);
    Peer b = Peer::Connect(hosts_.tcpPort);
    Peer c = Peer::Connect(hosts_.tcpPort);

    a.Send(Ztr({{4, "WAIT"}, {7, "C01"}}) + Ztr({{4, "ECHO"}, {7, "C01"}}));
    std::this_thread::sleep_for(20ms);
    b.Send(Ztr({{4, "ECHO"}, {7, "C02"}}));
    EXPECT_EQ(Command(b), "ECHO");
    EXPECT_EQ(Command(a), "LATE");
    EXPECT_EQ(Command(a), "ECHO");

    // A dialog that ends its connection: closed, no box (its record is the
    // dialog's own). A peer that closes: one box, one record.
    c.Send(Ztr({{4, "BYE"}, {7, "C03"}}) + Ztr({{4, "ECHO"}, {7, "C03"}}));
    EXPECT_EQ(Command(c), "(closed)");
    b.Close();
    std::this_thread::sleep_for(100ms);
    a.Send(Ztr({{4, "ECHO"}, {7, "C01"}}));
    EXPECT_EQ(Command(a), "ECHO") << "the others go on";

    RequestStop();
    loop.join();
    EXPECT_FALSE(hosts_.suspendable) << "switched off when the loop returns";
    EXPECT_EQ(hosts_.boxes, std::vector<std::string>{"Connection closed"});
    for (int i = 0; i < MAX_PORTS; ++i) {
        EXPECT_FALSE(PortIsOpen(i)) << "port " << i;
    }
}

}  // namespace
