#include <thread>

#include "connection_fixture.h"
#include "os_lowio.h"
#include "vksoc/port/monitor_port.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/set_buffers.h"

namespace {

using AcceptConnTest = ConnectionTest;
using MonitorPortTest = ConnectionTest;

TEST_F(AcceptConnTest, TheOneConnectionReplacesTheListeningSocket) {
    int tcpPort = 0;
    int port = ListeningPort("ZTR", &tcpPort);
    int listening = portTable[port].handle;
    Peer peer = Peer::Connect(tcpPort);
    ASSERT_EQ(AcceptConn(port), 0) << GetErrorText();
    EXPECT_NE(portTable[port].handle, listening);
    EXPECT_EQ(portTable[port].state, PORT_IDLE);
    EXPECT_EQ(portTable[port].mode, 'L');

    // The listening socket is gone: a second controller is refused.
    SOCKET second = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(static_cast<unsigned short>(tcpPort));
    EXPECT_EQ(connect(second, reinterpret_cast<const sockaddr*>(&address), sizeof address),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    closesocket(second);

    // Closing and listening again serves the same TCP port.
    ClosePort(port);
    EXPECT_EQ(OpenPort(nullptr, tcpPort, MODE_LISTEN, "ZTR"), port) << GetErrorText();
    Peer again = Peer::Connect(tcpPort);
    EXPECT_EQ(AcceptConn(port), 0) << GetErrorText();
}

TEST_F(AcceptConnTest, AFailedAcceptKeepsTheListeningSocket) {
    // A file port's descriptor is no socket: accept fails with WSAENOTSOCK.
    int port = OpenPort("accept.dat", O_RDWR | O_CREAT, MODE_FILE, "ZTR");
    ASSERT_GE(port, 0);
    int handle = portTable[port].handle;
    portTable[port].state = PORT_LISTENING;
    EXPECT_EQ(AcceptConn(port), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INTERNAL);
    EXPECT_EQ(GetErrorSubCode(), WSAENOTSOCK);
    EXPECT_THAT(GetErrorText(),
                ::testing::EndsWith("AcceptConn: Internal error accepting connection\n"));
    EXPECT_EQ(portTable[port].handle, handle);
    EXPECT_EQ(portTable[port].state, PORT_LISTENING);
}

TEST_F(ConnectionTest, ClosePortFreesTheEntryAndClosesTheHandle) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    ClosePort(port);
    EXPECT_EQ(portTable[port].inUse, 0);
    // The controller sees the connection end.
    EXPECT_EQ(peer.Receive(1), "");

    int file = OpenPort("close.dat", O_RDWR | O_CREAT, MODE_FILE, "ZTR");
    ASSERT_EQ(file, port);
    int fd = portTable[file].handle;
    ClosePort(file);
    EXPECT_EQ(portTable[file].inUse, 0);
    EXPECT_LT(plat::_write(fd, "x", 1), 0);
}

TEST_F(MonitorPortTest, AnIdleLiveConnectionIsAliveAndStaysBlocking) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    EXPECT_EQ(MonitorPort(port), 0) << GetErrorText();
    EXPECT_EQ(GetErrorCode(), 0);

    // Blocking again: a read waits for the byte sent a moment later.
    std::thread late([&peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peer.Send("z");
    });
    char byte = 0;
    EXPECT_EQ(plat::recv(static_cast<SOCKET>(portTable[port].handle), &byte, 1, 0), 1);
    EXPECT_EQ(byte, 'z');
    late.join();
}

TEST_F(MonitorPortTest, AWaitingByteIsUnexpectedAndStaysUnread) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    peer.Send("q");
    bool readable = false;
    bool urgent = false;
    plat::WaitSocket(static_cast<SOCKET>(portTable[port].handle), 5, &readable, &urgent);
    EXPECT_EQ(MonitorPort(port), -1);
    EXPECT_EQ(GetErrorCode(), ERR_CONNECTION);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(), ::testing::EndsWith("MonitorPort: Unexpected data"));
    char byte = 0;
    EXPECT_EQ(plat::recv(static_cast<SOCKET>(portTable[port].handle), &byte, 1, 0), 1);
    EXPECT_EQ(byte, 'q');
}

TEST_F(MonitorPortTest, APeerThatClosedOrResetIsReported) {
    struct Case {
        bool reset;
        int subCode;
        const char* text;
    } const cases[] = {
        {false, 0, "MonitorPort: Connection closed by peer"},
        {true, WSAECONNRESET, "MonitorPort: Connection reset by peer\n"},
    };
    for (const Case& c : cases) {
        Peer peer;
        int port = AcceptedPort("ZTR", &peer);
        c.reset ? peer.Reset() : peer.Close();
        bool readable = false;
        bool urgent = false;
        plat::WaitSocket(static_cast<SOCKET>(portTable[port].handle), 5, &readable, &urgent);
        EXPECT_EQ(MonitorPort(port), -1);
        EXPECT_EQ(GetErrorCode(), ERR_CONNECTION);
        EXPECT_EQ(GetErrorSubCode(), c.subCode);
        EXPECT_THAT(GetErrorText(), ::testing::EndsWith(c.text));
        ClosePort(port);
    }
}

TEST_F(MonitorPortTest, FilePortsAreLeftAloneByMonitorAndBuffers) {
    int port = OpenPort("monitor.dat", O_RDWR | O_CREAT, MODE_FILE, "ZTR");
    ASSERT_GE(port, 0);
    EXPECT_EQ(MonitorPort(port), 0);
    EXPECT_EQ(SetBuffers(port), 0);
    EXPECT_EQ(GetErrorCode(), 0);
}

TEST_F(ConnectionTest, SetBuffersSizesBothSocketBuffers) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    EXPECT_EQ(SetBuffers(port), 0) << GetErrorText();
    int size = 0;
    socklen_t length = sizeof size;
    getsockopt(static_cast<SOCKET>(portTable[port].handle), SOL_SOCKET, SO_RCVBUF,
               reinterpret_cast<char*>(&size), &length);
    // The system may round the size it was given up.
    EXPECT_GE(size, 4096);
    EXPECT_LT(size, 65536);
}

}  // namespace
