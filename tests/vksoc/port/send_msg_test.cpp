#include <chrono>
#include <filesystem>
#include <thread>

#include "connection_fixture.h"
#include "diag/traffic_dump.h"
#include "os_lowio.h"
#include "scoped_env.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/recv_msg.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

using SendMsgTest = ConnectionTest;

int OpenSaveFile(const char* path, const char* controllerId) {
    int port =
        OpenPort(path, O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, MODE_FILE, controllerId);
    EXPECT_GE(port, 0) << GetErrorText();
    return port;
}

std::string LogText(const TempRoot& root) {
    std::string log;
    for (const auto& file : std::filesystem::directory_iterator(root.log())) {
        log += ReadFile(file.path());
    }
    return log;
}

TEST_F(SendMsgTest, AFourDigitPrefixCarriesTheMessageLength) {
    ScopedEnv env("HEADER_LENGTH", "4");
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    // 4 + 16 (secondary bitmap) + 2 + 19 + 6 + 3 + 3 + 70 = 123 bytes.
    TestMessage response{{0, "0210"},
                         {2, "4761739001010119000"},
                         {3, "011000"},
                         {70, "301"},
                         {120, std::string(70, 'p')}};
    EXPECT_EQ(SendMsg(port, response.fields()), 127) << GetErrorText();
    std::string wire = peer.Receive(127);
    ASSERT_EQ(wire.size(), 127u);
    EXPECT_EQ(wire.substr(0, 8), "01230210");
}

TEST_F(SendMsgTest, AZtrPortNeverWritesAPrefix) {
    ScopedEnv env("HEADER_LENGTH", "4");
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    TestMessage response{{4, "BINQ"}};
    EXPECT_EQ(SendMsg(port, response.fields()), 84) << GetErrorText();
    std::string wire = peer.Receive(84);
    EXPECT_EQ(wire.substr(0, 5), "00079");
}

TEST_F(SendMsgTest, AFileReceivesByteForByteWhatTheConnectionCarries) {
    for (const char* width : {"0", "2", "4"}) {
        for (const char* controller : {"C01", "ZTR"}) {
            ScopedEnv env("HEADER_LENGTH", width);
            // Both formats carry "1200" in slot 4: the ZTR COMMAND, the ISO 8583 amount.
            TestMessage ztr{{4, "1200"}, {5, "CUST"}};
            TestMessage iso{{0, "0200"}, {3, "011000"}, {4, "1200"}};
            const MessageFields* fields =
                std::string(controller) == "ZTR" ? ztr.fields() : iso.fields();

            Peer peer;
            int socketPort = AcceptedPort(controller, &peer);
            int sent = SendMsg(socketPort, fields);
            ASSERT_GT(sent, 0) << GetErrorText();
            int filePort = OpenSaveFile("saved.dat", controller);
            EXPECT_EQ(SendMsg(filePort, fields), sent);
            ClosePort(filePort);
            EXPECT_EQ(ReadFile("saved.dat"), peer.Receive(sent)) << controller << " " << width;

            // And it reads back through the same framing.
            int readPort = OpenPort("saved.dat", O_RDONLY, MODE_FILE, controller);
            MessageFields back{};
            EXPECT_GT(RecvMsg(readPort, &back, -1), 0) << GetErrorText();
            EXPECT_EQ(SlotText(back, 4).substr(0, 4), "1200");
            CloseAllPorts();
        }
    }
}

TEST_F(SendMsgTest, ALengthWiderThanThePrefixIsRefusedAndNothingIsWritten) {
    struct Case {
        const char* width;
        std::string value;  // element 120, making the message longer than the prefix can tell
        int length;
    } const cases[] = {
        {"1", "", 12},
        {"2", std::string(80, 'v'), 12 + 8 + 3 + 3 + 80},
        {"3", std::string(999, 'v'), 12 + 8 + 3 + 3 + 999},
    };
    for (const Case& c : cases) {
        ScopedEnv env("HEADER_LENGTH", c.width);
        int port = OpenSaveFile("narrow.dat", "C01");
        TestMessage message = c.value.empty()
                                  ? TestMessage{{0, "0800"}}
                                  : TestMessage{{0, "0800"}, {70, "301"}, {120, c.value}};
        EXPECT_EQ(SendMsg(port, message.fields()), -1) << c.width;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
        EXPECT_EQ(GetErrorSubCode(), 0);
        EXPECT_THAT(GetErrorText(), EndsWith("SendMsg: Message length " + std::to_string(c.length) +
                                             " does not fit " + c.width + " digits\n"));
        ClosePort(port);
        EXPECT_EQ(ReadFile("narrow.dat"), "") << c.width;
    }
}

TEST_F(SendMsgTest, AMessageThatCannotBeAssembledIsDumpedAsFieldsButNotAsBytes) {
    ScopedEnv fieldsDump("DUMP_SEND_FLDS", "Y");
    ScopedEnv bytesDump("DUMP_SEND_BYTES", "Y");
    ResetLogFilePrefix();
    int port = OpenSaveFile("refused.dat", "C02");
    TestMessage message{{0, "0200"}, {11, "000001"}};  // C02 has no element 11
    EXPECT_EQ(SendMsg(port, message.fields()), -1);
    EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
    EXPECT_THAT(GetErrorText(), EndsWith("SendMsg: Error in assembling the message\n"));
    EXPECT_THAT(GetErrorText(), HasSubstr("Assemble8583: Field: 11 unknown"));
    std::string log = LogText(root_);
    EXPECT_THAT(log, HasSubstr("Field 011: 000001\n"));
    EXPECT_THAT(log, Not(HasSubstr(" Bytes\n")));
}

TEST_F(SendMsgTest, ASentMessageIsDumpedWithItsPrefix) {
    ScopedEnv env("HEADER_LENGTH", "4");
    ScopedEnv bytesDump("DUMP_SEND_BYTES", "Y");
    ResetLogFilePrefix();
    int port = OpenSaveFile("dumped.dat", "C01");
    TestMessage message{{0, "0800"}};
    ASSERT_EQ(SendMsg(port, message.fields()), 16);
    EXPECT_THAT(LogText(root_), HasSubstr("Sent 16 Bytes\n30 30 31 32 30 38 30 30 "));
}

TEST_F(SendMsgTest, SendingToAResetPeerFailsWithoutEndingTheProcess) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    peer.Reset();
    TestMessage message{{4, "ECHO"}};
    // The first send may still be taken by the system before the reset is
    // known; a later one must fail.
    int result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = SendMsg(port, message.fields());
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(GetErrorCode(), ERR_CONNECTION);
    EXPECT_EQ(GetErrorSubCode(), WSAECONNRESET);
    EXPECT_THAT(GetErrorText(), EndsWith("SendMsg: Connection reset\n"));
    EXPECT_TRUE(SendLostConnection());
}

TEST_F(SendMsgTest, APeerThatNeverReadsFailsTheSendAfterTheHostTimeout) {
    configView.misc->HOST_TIMEOUT = 1;
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    int small = 1024;
    setsockopt(peer.socket(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&small),
               sizeof small);
    setsockopt(static_cast<SOCKET>(portTable[port].handle), SOL_SOCKET, SO_SNDBUF,
               reinterpret_cast<const char*>(&small), sizeof small);
    std::string text(4000, 's');
    TestMessage message{{4, "ECHO"}, {60, text}};
    // The system's buffers take a few messages; then nothing moves.
    int result = 0;
    int sent = 0;
    for (; sent < 10000 && result >= 0; ++sent) {
        result = SendMsg(port, message.fields());
    }
    ASSERT_EQ(result, -1) << "still sending after " << sent << " messages";
    EXPECT_EQ(GetErrorCode(), ERR_CONNECTION);
    EXPECT_EQ(GetErrorSubCode(), WSAETIMEDOUT);
    EXPECT_THAT(GetErrorText(), EndsWith("SendMsg: Peer took no bytes for 1 seconds\n"));
    EXPECT_TRUE(SendLostConnection());
}

TEST_F(SendMsgTest, AMessageLongerThanAReceiverTakesIsRefusedBeforeAnythingIsWritten) {
    // An empty ZTR message is 80 bytes, ECHO 4 more; field 60 makes up the rest.
    for (int length : {4096, 4097, 4104}) {
        std::string value(static_cast<size_t>(length - 84), 'z');
        TestMessage message{{4, "ECHO"}, {60, value}};
        int port = OpenSaveFile("long.dat", "ZTR");
        int result = SendMsg(port, message.fields());
        ClosePort(port);
        if (length <= MAX_MESSAGE_LENGTH) {
            EXPECT_EQ(result, length) << GetErrorText();
            int readPort = OpenPort("long.dat", O_RDONLY | plat::OPEN_BINARY, MODE_FILE, "ZTR");
            MessageFields back{};
            EXPECT_EQ(RecvMsg(readPort, &back, -1), length) << GetErrorText();
            ClosePort(readPort);
            continue;
        }
        EXPECT_EQ(result, -1) << length;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
        EXPECT_THAT(GetErrorText(), HasSubstr("AssembleZTR: Message longer than 4096\n"));
        EXPECT_FALSE(SendLostConnection());
        EXPECT_EQ(ReadFile("long.dat"), "") << length;
    }
}

TEST_F(SendMsgTest, AResponseCanBeSentWhileFurtherRequestBytesAreHeld) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string request = Iso8583("C01", {{0, "0200"}, {11, "000001"}});
    peer.Send(request + request.substr(0, 5));
    MessageFields fields{};
    ASSERT_GT(RecvMsg(port, &fields, 5), 0);
    PortEntry before = portTable[port];
    TestMessage response{{0, "0210"}, {39, "00"}};
    ASSERT_GT(SendMsg(port, response.fields()), 0);
    EXPECT_EQ(portTable[port].bytesHeld, before.bytesHeld);
    EXPECT_EQ(portTable[port].readOffset, before.readOffset);
    EXPECT_EQ(portTable[port].state, before.state);
}

// The character columns of every byte dump in the log, one after another.
std::string CharacterColumns(const std::string& log) {
    std::string columns;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        std::string line = log.substr(at, end - at);
        if (line.size() > 48 && line.compare(0, 4, "Pid:") != 0) {
            columns += line.substr(48);
        }
        at = end == std::string::npos ? log.size() : end + 1;
    }
    return columns;
}

TEST_F(SendMsgTest, WithDumpMaskPanTheByteDumpsHideTheCardNumberButTheWireKeepsIt) {
    ScopedEnv env("HEADER_LENGTH", "4");
    ScopedEnv sendDump("DUMP_SEND_BYTES", "Y");
    ScopedEnv recvDump("DUMP_RECV_BYTES", "Y");
    ScopedEnv mask("DUMP_MASK_PAN", "Y");
    ResetLogFilePrefix();
    TestMessage message{{0, "0200"}, {2, "4761739001010119"}, {3, "011000"}};
    int file = OpenSaveFile("card.dat", "C01");
    int sent = SendMsg(file, message.fields());
    ASSERT_GT(sent, 0) << GetErrorText();
    ClosePort(file);
    std::string wire = ReadFile("card.dat");
    EXPECT_THAT(wire, HasSubstr("4761739001010119"));
    EXPECT_THAT(CharacterColumns(LogText(root_)), HasSubstr("476173******0119"));

    // Received in two reads split inside the number: the first read's
    // digits are all hidden, the second's as the whole message shows.
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    peer.Send(wire.substr(0, 4 + 22));
    std::thread rest([&peer, &wire] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peer.Send(wire.substr(4 + 22));
    });
    MessageFields fields{};
    EXPECT_GT(RecvMsg(port, &fields, 5), 0) << GetErrorText();
    rest.join();
    EXPECT_EQ(SlotText(fields, 2), "4761739001010119");
    std::string columns = CharacterColumns(LogText(root_));
    for (const char* middle : {"7390", "9001", "0101"}) {
        EXPECT_THAT(columns, Not(HasSubstr(middle))) << columns;
    }
}

}  // namespace
