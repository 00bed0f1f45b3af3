// Respond over a real connection: a send into a connection that is gone ends
// that connection once the dialog is over; a refused message does not.

#include "dialog_fixture.h"
#include "os_sockets.h"
#include "vksoc/port/accept_conn.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_socket.h"

namespace {

class RespondTest : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        int listening = OpenPort(nullptr, 0, MODE_LISTEN, "C01");
        ASSERT_GE(listening, 0) << GetErrorText();
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        address.sin_port =
            htons(static_cast<unsigned short>(plat::SocketLocalPort(PortSocket(listening))));
        peer_ = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(connect(peer_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(AcceptConn(listening), 0) << GetErrorText();
        responderState.connPort = listening;
        Put(0, "0200");
        Put(3, "000000");
        Init();
    }
    void TearDown() override {
        ClosePort(responderState.connPort);
        if (peer_ != INVALID_SOCKET) {
            closesocket(peer_);
        }
    }
    void ResetPeer() {
        linger abort{1, 0};
        setsockopt(peer_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                   sizeof abort);
        closesocket(peer_);
        peer_ = INVALID_SOCKET;
    }

    SOCKET peer_ = INVALID_SOCKET;
};

TEST_F(RespondTest, ASendIntoAConnectionThatIsGoneEndsItAfterTheBox) {
    ResetPeer();
    Type(0, "0210");
    // The first send may still be taken before the reset is known.
    for (int i = 0; i < 50 && host_.boxes.empty(); ++i) {
        Press(ui::IDOK);
    }
    ASSERT_EQ(host_.boxes, std::vector<std::string>{"Could not Send Response"});
    EXPECT_TRUE(responderState.endConnection);
    EXPECT_NE(Log().find("SendMsg: Connection reset\n"), std::string::npos);
}

TEST_F(RespondTest, AMessageThatCannotBeAssembledKeepsTheConnection) {
    Type(0, "02");  // a message identifier shorter than 4 is refused
    Press(ui::IDOK);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Could not Send Response"});
    EXPECT_FALSE(host_.ended);
    EXPECT_FALSE(responderState.endConnection);
}

}  // namespace
