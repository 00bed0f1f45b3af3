#include <chrono>
#include <filesystem>
#include <thread>

#include "connection_fixture.h"
#include "diag/traffic_dump.h"
#include "os_lowio.h"
#include "scoped_env.h"
#include "vksoc/port/get_msg.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/read_port.h"
#include "vksoc/port/recv_msg.h"

namespace {

using ::testing::EndsWith;
using ::testing::MatchesRegex;

using RecvMsgTest = ConnectionTest;

constexpr auto kPause = std::chrono::milliseconds(150);

// Waits until the port's socket has something to read, so that what the peer
// sent is there before the receive begins.
void AwaitBytes(int port) {
    bool readable = false;
    bool urgent = false;
    plat::WaitSocket(static_cast<SOCKET>(portTable[port].handle), 5, &readable, &urgent);
}

// The text an error chain reads as in the log, without the source lines.
std::string Chain(std::initializer_list<const char*> lines) {
    std::string pattern;
    for (const char* line : lines) {
        pattern += std::string(R"(\[vksoc,\w+\] )") + line + "\n";
    }
    return pattern;
}

std::string Request(const char* stan) {
    return Iso8583("C01", {{0, "0200"}, {3, "011000"}, {11, stan}});
}

TEST_F(RecvMsgTest, TwoMessagesInOneReadAreTakenByTwoReceivesWithoutAnotherRead) {
    struct Case {
        const char* controller;
        std::string first;
        std::string second;
        int field;  // a field whose value tells the two apart
        const char* firstValue;
        const char* secondValue;
    };
    const Case cases[] = {
        {"C01", Request("000001"), Request("000002"), 11, "000001", "000002"},
        {"ZTR", Ztr({{4, "BINQ"}, {5, "CUST1"}}), Ztr({{4, "BINQ"}, {5, "CUST2"}}), 5, "CUST1",
         "CUST2"},
    };
    for (const Case& c : cases) {
        Peer peer;
        int port = AcceptedPort(c.controller, &peer);
        peer.Send(c.first + c.second);
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, -1), static_cast<int>(c.first.size())) << GetErrorText();
        EXPECT_EQ(SlotText(fields, c.field), c.firstValue);
        EXPECT_EQ(portTable[port].bytesHeld, static_cast<int>(c.second.size()));
        EXPECT_EQ(portTable[port].state, PORT_DATA);

        // A time-out of 0 would fail at once if this receive waited.
        EXPECT_EQ(RecvMsg(port, &fields, 0), static_cast<int>(c.second.size())) << GetErrorText();
        EXPECT_EQ(SlotText(fields, c.field), c.secondValue);
        EXPECT_EQ(portTable[port].bytesHeld, 0);
        EXPECT_EQ(portTable[port].state, PORT_IDLE);
        ClosePort(port);
    }
}

TEST_F(RecvMsgTest, BytesLeftBehindMoveToTheStartOfTheBufferAtTheNextRead) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string first = Request("000001");
    std::string second = Request("000002");
    peer.Send(first + second.substr(0, 10));
    AwaitBytes(port);
    MessageFields fields{};
    ASSERT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(first.size())) << GetErrorText();
    EXPECT_EQ(portTable[port].readOffset, static_cast<int>(first.size()));

    peer.Send(second.substr(10));
    ASSERT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(second.size())) << GetErrorText();
    EXPECT_EQ(fields.slots[0].data, portTable[port].buffer);
    EXPECT_EQ(SlotText(fields, 11), "000002");
}

TEST_F(RecvMsgTest, AMessageSplitOverReadsWaitsWithTheCallersTimeOut) {
    // The pause outlasts READ_TIMEOUT (1 s): only the caller's 5 s let the
    // message complete.
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string message = Request("000003");
    peer.Send(message.substr(0, 7));
    std::thread rest([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        peer.Send(message.substr(7));
    });
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(message.size())) << GetErrorText();
    rest.join();
    EXPECT_EQ(SlotText(fields, 11), "000003");
}

TEST_F(RecvMsgTest, AnIncompleteParseThenSilenceIsATimeOutBeforeReceipt) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    peer.Send(Request("000004").substr(0, 15));
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 1), -1);
    EXPECT_EQ(GetErrorCode(), ERR_TIMEOUT);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"RecvMsg: Timeout before receipt"})));
    EXPECT_EQ(portTable[port].bytesHeld, 15);
}

TEST_F(RecvMsgTest, NothingWithinTheCallersTimeOutIsATimeOutBeforeReceipt) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 0), -1);
    EXPECT_EQ(GetErrorCode(), ERR_TIMEOUT);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"RecvMsg: Timeout before receipt"})));
}

class PrefixedRecvTest : public RecvMsgTest {
  protected:
    ScopedEnv headerLength_{"HEADER_LENGTH", "4"};
};

TEST_F(PrefixedRecvTest, APrefixAndItsBodyInOneSegmentMakeOneMessage) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string message = Iso8583("C01", {{0, "0800"}});
    ASSERT_EQ(message.size(), 12u);
    peer.Send("0012" + message);
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, -1), 12) << GetErrorText();
    EXPECT_EQ(SlotText(fields, 0), "0800");
    EXPECT_EQ(portTable[port].bytesHeld, 0);
    EXPECT_EQ(portTable[port].headerBytesRead, 0);
    EXPECT_EQ(portTable[port].state, PORT_IDLE);
}

TEST_F(PrefixedRecvTest, EveryPrefixWidthFramesItsRecords) {
    std::string message = Request("000005");
    for (int width = 2; width <= 4; ++width) {
        ScopedEnv env("HEADER_LENGTH", std::to_string(width));
        Peer peer;
        int port = AcceptedPort("C01", &peer);
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%0*d", width, static_cast<int>(message.size()));
        peer.Send(prefix + message + prefix + message);
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(message.size())) << width;
        EXPECT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(message.size())) << width;
        EXPECT_EQ(SlotText(fields, 11), "000005");
        ClosePort(port);
    }
}

TEST_F(PrefixedRecvTest, ABodyInTwoPiecesIsCompletedWithinReadTimeout) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string message = Request("000006");
    peer.Send("00" + std::to_string(message.size()) + message.substr(0, 9));
    std::thread rest([&] {
        std::this_thread::sleep_for(kPause);
        peer.Send(message.substr(9));
    });
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, -1), static_cast<int>(message.size())) << GetErrorText();
    rest.join();
    EXPECT_EQ(SlotText(fields, 11), "000006");
}

TEST_F(PrefixedRecvTest, ABodyThatStallsExpiresReadTimeoutEvenWithoutACallersLimit) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string message = Request("000007");
    peer.Send("00" + std::to_string(message.size()) + message.substr(0, 9));
    MessageFields fields{};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RecvMsg(port, &fields, -1), -1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"RecvMsg: Timeout before assembly"})));
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(4));
}

TEST_F(PrefixedRecvTest, SurplusInARecordIsFoundAtTheNextPrefix) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string message = Request("000008");
    std::string body = message + "XYZ";
    peer.Send("00" + std::to_string(body.size()) + body);
    MessageFields fields{};
    ASSERT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(message.size())) << GetErrorText();

    peer.Send("00" + std::to_string(message.size()) + message);
    EXPECT_EQ(RecvMsg(port, &fields, 5), -1);
    EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"ReadPort: Formatting error 3 bytes in excess",
                                                    "RecvMsg: Unable to read message"})));
}

TEST_F(PrefixedRecvTest, ARecordLengthOutsideOneTo4096IsRefused) {
    // The record also shows the first bytes received, the header and what
    // already waits behind it (16 at most), escaped: another protocol's
    // request reads as what it is.
    struct Case {
        std::string sent;
        int length;
        const char* shown;  // as a pattern: a backslash is written "\\\\"
    } const cases[] = {
        {"0000", 0, "0000"},    {"4097", 4097, "4097"},
        {"abcd", 0, "abcd"},    {"-001", -1, "-001"},
        {"9999", 9999, "9999"}, {"GET / HTTP/1.0\r\n\r\n", 0, "GET / HTTP/1.0\\\\x0d\\\\x0a"},
    };
    for (const Case& c : cases) {
        Peer peer;
        int port = AcceptedPort("C01", &peer);
        peer.Send(c.sent);
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, 5), -1) << c.sent;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT) << c.sent;
        EXPECT_EQ(GetErrorSubCode(), 0);
        std::string line =
            "Record length specified : " + std::to_string(c.length) + " longer than 4096";
        std::string first = std::string("ReadPort: First bytes received: \"") + c.shown + "\"";
        EXPECT_THAT(
            GetErrorText(),
            MatchesRegex(Chain({line.c_str(), first.c_str(), "RecvMsg: Unable to read message"})))
            << c.sent;
        ClosePort(port);
    }
}

TEST_F(PrefixedRecvTest, APrefixArrivingDigitByDigitIsCollected) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string message = Request("000009");
    std::string record = "00" + std::to_string(message.size()) + message;
    std::thread trickle([&] {
        for (char byte : record.substr(0, 5)) {
            peer.Send(std::string(1, byte));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        peer.Send(record.substr(5));
    });
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(message.size())) << GetErrorText();
    trickle.join();
    EXPECT_EQ(SlotText(fields, 11), "000009");
}

TEST_F(RecvMsgTest, TheEndOfTheStreamReadsAsClosedBetweenMessagesAndAsFormatErrorWithin) {
    struct Case {
        std::string sent;
        bool reset;
        int code;
        int subCode;
        const char* line;
    } const cases[] = {
        {"", false, ERR_CONNECTION, 0, "ReadPort: Connection closed by peer"},
        {Request("000010").substr(0, 20), false, ERR_FORMAT, 0,
         "ReadPort: Socket closed before full message"},
        {"", true, ERR_CONNECTION, WSAECONNRESET, "ReadPort: Connection reset by peer"},
    };
    for (const Case& c : cases) {
        Peer peer;
        int port = AcceptedPort("C01", &peer);
        if (!c.sent.empty()) {
            peer.Send(c.sent);
            AwaitBytes(port);
            MessageFields fields{};
            EXPECT_EQ(RecvMsg(port, &fields, 0), -1);
        }
        c.reset ? peer.Reset() : peer.Close();
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, 5), -1) << c.line;
        EXPECT_EQ(GetErrorCode(), c.code) << c.line;
        EXPECT_EQ(GetErrorSubCode(), c.subCode) << c.line;
        EXPECT_THAT(GetErrorText(),
                    MatchesRegex(Chain({c.line, "RecvMsg: Unable to read message"})));
        ClosePort(port);
    }
}

TEST_F(RecvMsgTest, UrgentDataReadsAsAResetConnection) {
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    peer.SendUrgent('!');
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 5), -1);
    EXPECT_EQ(GetErrorCode(), ERR_CONNECTION);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"RecvMsg: Connect resetted by peer"})));
}

TEST_F(RecvMsgTest, AMalformedMessageIsReportedUnderTheDisassemblersLine) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    peer.Send("00000\x1c");
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 5), -1);
    EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"DisassembleZTR: Invalid Msg Len fld: 00000",
                                                    "GetMsg: Message disassembly failed",
                                                    "RecvMsg: Message received is invalid"})));
}

TEST_F(RecvMsgTest, AFullBufferWithoutAWholeMessageIsTooLong) {
    Peer peer;
    int port = AcceptedPort("ZTR", &peer);
    std::string claim = "09999\x1c" + std::string(4200, 'x');
    std::thread flood([&] { peer.Send(claim); });
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 5), -1);
    flood.join();
    EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"GetMsg: Message longer than 4096",
                                                    "RecvMsg: Message received is invalid"})));
    EXPECT_EQ(portTable[port].bytesHeld, 4096);
}

class FilePortRecvTest : public RecvMsgTest {
  protected:
    int OpenWith(const std::string& bytes) {
        WriteFile("message.dat", bytes);
        int port = OpenPort("message.dat", O_RDONLY | plat::OPEN_BINARY, MODE_FILE, "C01");
        EXPECT_GE(port, 0) << GetErrorText();
        return port;
    }
};

TEST_F(FilePortRecvTest, TheFirstMessageOfAFileIsTakenWithoutWaiting) {
    std::string message = Request("000011");
    int port = OpenWith(message + "trailing bytes are ignored");
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, -1), static_cast<int>(message.size())) << GetErrorText();
    EXPECT_EQ(SlotText(fields, 11), "000011");
}

TEST_F(FilePortRecvTest, AnEmptyOrTruncatedFileFailsAtItsEnd) {
    struct Case {
        std::string content;
        int code;
        const char* line;
    } const cases[] = {
        {"", ERR_CONNECTION, "ReadPort: End of File"},
        {Request("000012").substr(0, 20), ERR_FORMAT,
         "ReadPort: Socket closed before full message"},
    };
    for (const Case& c : cases) {
        int port = OpenWith(c.content);
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, -1), -1);
        EXPECT_EQ(GetErrorCode(), c.code);
        EXPECT_EQ(GetErrorSubCode(), 0);
        EXPECT_THAT(GetErrorText(),
                    MatchesRegex(Chain({c.line, "RecvMsg: Unable to read message"})));
        ClosePort(port);
    }
}

TEST_F(FilePortRecvTest, AReadFailureGivesTheSystemErrorNumber) {
    // A directory opens for reading but cannot be read.
    std::filesystem::create_directory("folder");
    int port = OpenPort("folder", O_RDONLY, MODE_FILE, "C01");
    ASSERT_GE(port, 0) << GetErrorText();
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, -1), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INTERNAL);
    EXPECT_EQ(GetErrorSubCode(), EISDIR);
    EXPECT_THAT(GetErrorText(), MatchesRegex(Chain({"ReadPort: Error reading from file",
                                                    "RecvMsg: Unable to read message"})));
}

TEST_F(PrefixedRecvTest, APrefixAndItsBodyAreDumpedAsTwoRecords) {
    ScopedEnv dump("DUMP_RECV_BYTES", "Y");
    ScopedEnv fieldsDump("DUMP_RECV_FLDS", "y");
    ResetLogFilePrefix();
    Peer peer;
    int port = AcceptedPort("C01", &peer);
    std::string message = Iso8583("C01", {{0, "0800"}});
    peer.Send("0012" + message);
    MessageFields fields{};
    ASSERT_EQ(RecvMsg(port, &fields, 5), 12) << GetErrorText();

    const std::string log = root_.LogText();
    EXPECT_NE(log.find("Received 4 Bytes\n30 30 31 32 "), std::string::npos) << log;
    EXPECT_NE(log.find("Received 12 Bytes\n30 38 30 30 "), std::string::npos) << log;
    EXPECT_NE(log.find("MessageId: 0800\n"), std::string::npos) << log;
}

}  // namespace
