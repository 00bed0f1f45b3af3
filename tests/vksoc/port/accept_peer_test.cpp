// Several connections on one listening port.

#include <chrono>
#include <thread>

#include "connection_fixture.h"
#include "os_lowio.h"
#include "scoped_env.h"
#include "vksoc/port/accept_peer.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/recv_msg.h"

namespace {

using AcceptPeerTest = ConnectionTest;

TEST_F(AcceptPeerTest, EachConnectionGetsAPortOfItsOwnAndTheListeningPortKeepsListening) {
    ScopedEnv prefix("HEADER_LENGTH", "4");
    int tcpPort = 0;
    int listening = ListeningPort("C01", &tcpPort);
    ASSERT_EQ(ListenForPeers(listening), 0) << GetErrorText();
    EXPECT_EQ(AcceptPeer(listening), NO_PEER_WAITING) << "nobody waits: the accept returns at once";
    EXPECT_EQ(GetErrorCode(), 0);

    Peer first = Peer::Connect(tcpPort);
    Peer second = Peer::Connect(tcpPort);
    int a = AcceptPeer(listening);
    int b = AcceptPeer(listening);
    ASSERT_GE(a, 0) << GetErrorText();
    ASSERT_GE(b, 0) << GetErrorText();
    EXPECT_EQ(AcceptPeer(listening), NO_PEER_WAITING);
    EXPECT_EQ(portTable[listening].state, PORT_LISTENING);
    for (int port : {a, b}) {
        EXPECT_NE(port, listening);
        EXPECT_EQ(portTable[port].state, PORT_IDLE);
        EXPECT_EQ(portTable[port].mode, MODE_LISTEN);
        EXPECT_EQ(portTable[port].format, portTable[listening].format);
        EXPECT_EQ(portTable[port].headerLength, 4);
    }
    EXPECT_NE(portTable[a].buffer, portTable[b].buffer);

    // The connection blocks as one from AcceptConn does: a message that
    // comes in pieces is received whole.
    std::string request = Iso8583("C01", {{0, "0800"}, {70, "301"}});
    std::string framed = "00" + std::to_string(request.size()) + request;
    second.Send(framed.substr(0, 7));
    std::thread rest([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        second.Send(framed.substr(7));
    });
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(b, &fields, 5), static_cast<int>(request.size())) << GetErrorText();
    rest.join();
    EXPECT_EQ(SlotText(fields, 70), "301");

    ClosePort(a);
    Peer third = Peer::Connect(tcpPort);
    EXPECT_EQ(AcceptPeer(listening), a) << "the freed entry is taken again";
}

TEST_F(AcceptPeerTest, AFailedAcceptIsRecordedAndTakesNoEntry) {
    int port = OpenPort("accept.dat", O_RDWR | O_CREAT, MODE_FILE, "ZTR");
    ASSERT_GE(port, 0);
    EXPECT_EQ(AcceptPeer(port), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INTERNAL);
    EXPECT_EQ(GetErrorSubCode(), WSAENOTSOCK);
    EXPECT_THAT(GetErrorText(),
                ::testing::EndsWith("AcceptPeer: Internal error accepting connection\n"));
    for (int i = 0; i < MAX_PORTS; ++i) {
        EXPECT_EQ(portTable[i].inUse, i == port ? 1 : 0);
    }
}

}  // namespace
