// Respond over a real connection: a send into a connection that is gone ends
// that connection once the dialog is over; a refused message does not.

#include "dialog_fixture.h"
#include "os_sockets.h"
#include "ui/dialog_template.h"
#include "ui/script/script_host.h"
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
        exchange_.port = listening;
        Put(0, "0200");
        Put(3, "000000");
        Init();
    }
    void TearDown() override {
        ClosePort(exchange_.port);
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
    EXPECT_TRUE(exchange_.endConnection);
    EXPECT_NE(Log().find("SendMsg: Connection reset\n"), std::string::npos);
}

TEST_F(RespondTest, AMessageThatCannotBeAssembledKeepsTheConnection) {
    Type(0, "02");  // a message identifier shorter than 4 is refused
    Press(ui::IDOK);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Could not Send Response"});
    EXPECT_FALSE(host_.ended);
    EXPECT_FALSE(exchange_.endConnection);
}

// A connection whose send failed is finished: the rule's later responses
// are not tried on it, so they cost neither a box nor a wait.
TEST_F(RespondTest, AScriptStopsRespondingOnAConnectionWhoseSendFailed) {
    std::string text = "on *\n  set 0 0210\n";
    for (int i = 0; i < 200; ++i) {
        text += "  respond\n";
    }
    ui::OperatorScript script;
    std::string error;
    ASSERT_TRUE(ui::ParseOperatorScript("lost.script", text, script, error)) << error;
    ui::ScriptHost host(script, nullptr);
    ResetPeer();
    ::testing::internal::CaptureStderr();
    unsigned char block[ui::TEMPLATE_BLOCK_SIZE];
    EXPECT_EQ(host.RunDialog(block, ui::FillDialogTemplate(block), ui::MsgDlgProc, &exchange_), 1);
    host.WriteSummary();
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(exchange_.endConnection);
    const std::string box = "VELK Tester: Could not Send Response\n";
    size_t first = errors.find(box);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find(box, first + box.size()), std::string::npos) << errors;
    EXPECT_NE(errors.find("1 requests: 0 responded, 0 cancelled, 0 closed, 1 send failed;"),
              std::string::npos)
        << errors;
}

}  // namespace
