// The receive and send paths on links framed per controller: the framed
// bytes each way, records split and merged, the refusals, the TPDU sent
// back swapped, keep-alives, and a record whose message can never be whole.

#include <chrono>
#include <thread>

#include "framed_link_fixture.h"
#include "vksoc/port/accept_peer.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/read_port.h"
#include "vksoc/port/recv_msg.h"

namespace {

using ::testing::HasSubstr;

// Whether the socket has something to read within ms milliseconds.
bool Readable(SOCKET s, int ms) {
    plat::WaitEntry wait{s, true, false, false, false, false};
    return plat::WaitSockets(&wait, 1, ms) > 0 && wait.readable;
}

// Reads what has arrived on the port until its socket holds nothing more
// (on the loopback one send arrives whole).
void ReadWhatArrived(int port) {
    for (int wait = 2000; Readable(PortSocket(port), wait); wait = 0) {
        ASSERT_EQ(ReadPort(port), 0) << GetErrorText();
        if (PortHoldsData(port)) {
            return;
        }
    }
}

TEST_F(FramedLinkTest, EachFramingSendsAndReadsItsKnownBytes) {
    ForEachFramed([&](const char* id) {
        Peer peer;
        int port = AcceptedPort(id, &peer);
        const std::string message = EchoTest0800(id);
        ASSERT_EQ(message.size(), 39u);
        const std::string record = FramedRecord(id, message);

        TestMessage out({{0, "0800"}, {7, "1209120000"}, {11, "000123"}, {70, "301"}});
        EXPECT_EQ(SendMsg(port, out.fields()), static_cast<int>(record.size()))
            << id << GetErrorText();
        EXPECT_EQ(peer.Receive(static_cast<int>(record.size())), record) << id;

        peer.Send(record);
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, 5), 39) << id << GetErrorText();
        EXPECT_EQ(SlotText(fields, 70), "301") << id;
        ClosePort(port);
    });
}

TEST_F(FramedLinkTest, EveryFramingSplitsAtEveryByteAndMergesInOneSegment) {
    ForEachFramed([&](const char* id) {
        const std::string record = FramedRecord(id, EchoTest0800(id));
        Peer peer;
        int port = AcceptedPort(id, &peer);
        for (size_t at = 1; at < record.size(); ++at) {
            peer.Send(record.substr(0, at));
            ReadWhatArrived(port);
            ASSERT_FALSE(PortHoldsData(port)) << id << " split at " << at;
            peer.Send(record.substr(at));
            MessageFields fields{};
            ASSERT_EQ(RecvMsg(port, &fields, 5), 39) << id << " split at " << at << GetErrorText();
            ASSERT_EQ(SlotText(fields, 11), "000123");
        }
        for (int count : {2, 100}) {
            std::string segment;
            for (int i = 0; i < count; ++i) {
                char stan[16];
                std::snprintf(stan, sizeof stan, "%06d", i);
                segment += FramedRecord(id, EchoTest0800(id, stan));
            }
            peer.Send(segment);
            for (int i = 0; i < count; ++i) {
                char stan[16];
                std::snprintf(stan, sizeof stan, "%06d", i);
                MessageFields fields{};
                ASSERT_EQ(RecvMsg(port, &fields, 5), 39) << id << " " << i << GetErrorText();
                ASSERT_EQ(SlotText(fields, 11), stan) << id;
            }
        }
        ClosePort(port);
    });
}

TEST_F(FramedLinkTest, ARecordTheFramingRefusesEndsTheReceiveWithItsReason) {
    Load({"BN2", "BN4", "BCD", "HX4", "BCS", "TPD", "TRL", "AS4"});
    const std::string message = EchoTest0800("BN2");
    struct Case {
        const char* controller;
        std::string sent;
        const char* line;
    } const cases[] = {
        {"BN2", std::string("\x10\x01", 2), "Record length specified : 4097 longer than 4096"},
        {"BN4", std::string("\x00\x01\x00\x00", 4),
         "Record length specified : 65536 longer than 4096"},
        {"BCD", std::string("\x00\x3A", 2),
         "ReadPort: BCD2 length header 003A holds a nibble that is no digit"},
        {"HX4", "00G7", "ReadPort: HEX4 length header \"00G7\" is not hexadecimal"},
        {"BCS", std::string("\x00\x01", 2),
         "ReadPort: BIN2 length 1 is shorter than its own 2-byte header"},
        {"TPD", std::string("\x00\x03\x60\x00\x01", 5),
         "ReadPort: BIN2 record of length 3 is shorter than its 5-byte TPDU and 0-byte trailer"},
        {"TRL", std::string("\x00\x28", 2) + message + "\x04",
         "ReadPort: Record ends with 04, not with its trailer 03"},
        {"TRL", std::string("\x00\x27", 2) + message,
         "ReadPort: Record ends with 31, not with its trailer 03"},
        {"C01", "0000", "Record length specified : 0 longer than 4096"},
    };
    for (const Case& c : cases) {
        Peer peer;
        int port = AcceptedPort(c.controller, &peer);
        peer.Send(c.sent);
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, 5), -1) << c.line;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT) << c.line;
        EXPECT_THAT(GetErrorText(), HasSubstr(std::string(c.line) + "\n"));
        EXPECT_THAT(GetErrorText(), HasSubstr("RecvMsg: Unable to read message\n"));
        ClosePort(port);
        ClearError();
    }
}

TEST_F(FramedLinkTest, AResponseCarriesTheRequestsTpduWithItsAddressesSwapped) {
    Load({"TPD"});
    Peer peer;
    int port = AcceptedPort("TPD", &peer);
    const std::string message = EchoTest0800("TPD");
    peer.Send(std::string("\x00\x2C\x60\x12\x34\xAB\xCD", 7) + message);
    MessageFields fields{};
    ASSERT_EQ(RecvMsg(port, &fields, 5), 39) << GetErrorText();
    unsigned char tpdu[5];
    ASSERT_TRUE(PortReceivedTpdu(port, tpdu));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(tpdu), 5), "\x60\x12\x34\xAB\xCD");

    TestMessage out({{0, "0810"}, {7, "1209120000"}, {11, "000123"}, {70, "301"}});
    ASSERT_EQ(SendMsg(port, out.fields()), 46) << GetErrorText();
    std::string answer = peer.Receive(46);
    EXPECT_EQ(answer.substr(0, 7), std::string("\x00\x2C\x60\xAB\xCD\x12\x34", 7));
}

TEST_F(FramedLinkTest, EachOfManyPeersGetsItsOwnTpduBackAndAClientSendsTheConfiguredOne) {
    Load({"TPD"});
    int tcpPort = 0;
    int listening = ListeningPort("TPD", &tcpPort);
    ASSERT_EQ(ListenForPeers(listening), 0) << GetErrorText();
    Peer first = Peer::Connect(tcpPort);
    Peer second = Peer::Connect(tcpPort);
    int ports[2] = {-1, -1};
    for (int& p : ports) {
        for (int tries = 0; tries < 100 && p < 0; ++tries) {
            p = AcceptPeer(listening);
            if (p == NO_PEER_WAITING) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                p = -1;
            }
        }
        ASSERT_GE(p, 0) << GetErrorText();
    }
    const std::string message = EchoTest0800("TPD");
    first.Send(std::string("\x00\x2C\x60\x00\x01\x00\x02", 7) + message);
    second.Send(std::string("\x00\x2C\x60\x00\x03\x00\x04", 7) + message);
    MessageFields fields{};
    // Which accepted port is which peer is the system's choice: each gets
    // back the swap of what came on it.
    std::string sent[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(RecvMsg(ports[i], &fields, 5), 39) << GetErrorText();
        unsigned char tpdu[5];
        ASSERT_TRUE(PortReceivedTpdu(ports[i], tpdu));
        sent[i] = std::string(reinterpret_cast<char*>(tpdu), 5);
    }
    TestMessage out({{0, "0810"}, {7, "1209120000"}, {11, "000123"}, {70, "301"}});
    ASSERT_EQ(SendMsg(ports[1], out.fields()), 46);
    ASSERT_EQ(SendMsg(ports[0], out.fields()), 46);
    std::string answers[2] = {first.Receive(46).substr(2, 5), second.Receive(46).substr(2, 5)};
    for (const std::string& answer : answers) {
        const bool ofFirst = answer == std::string("\x60\x00\x02\x00\x01", 5);
        const bool ofSecond = answer == std::string("\x60\x00\x04\x00\x03", 5);
        EXPECT_TRUE(ofFirst != ofSecond);
    }
    EXPECT_NE(answers[0], answers[1]);
    EXPECT_EQ(answers[0], std::string("\x60\x00\x02\x00\x01", 5));

    // A client port originates: it sends the configured TPDU, also after a
    // response came with another.
    Listener listener;
    int client = OpenPort("127.0.0.1", listener.port(), MODE_CONNECT, "TPD");
    ASSERT_GE(client, 0) << GetErrorText();
    Peer far = listener.Accept();
    far.Send(std::string("\x00\x2C\x60\x00\x02\x00\x01", 7) + message);
    ASSERT_EQ(RecvMsg(client, &fields, 5), 39);
    ASSERT_EQ(SendMsg(client, out.fields()), 46);
    EXPECT_EQ(far.Receive(46).substr(2, 5), std::string("\x60\x00\x01\x00\x02", 5));
}

TEST_F(FramedLinkTest, KeepAlivesArePassedOverOrEchoedByTheAnsweringSideOnly) {
    Load({"BN2", "KAE"});
    const std::string message = EchoTest0800("BN2");
    const std::string keepAlive(2, '\0');
    {
        Peer peer;
        int port = AcceptedPort("BN2", &peer);
        peer.Send(keepAlive + keepAlive + FramedRecord("BN2", message));
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, 5), 39) << GetErrorText();
        EXPECT_FALSE(Readable(peer.socket(), 100)) << "IGNORE answers nothing";
    }
    {
        Peer peer;
        int port = AcceptedPort("KAE", &peer);
        peer.Send(keepAlive + FramedRecord("KAE", message));
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(port, &fields, 5), 39) << GetErrorText();
        EXPECT_EQ(peer.Receive(2), keepAlive) << "ECHO answers with one";
        EXPECT_FALSE(Readable(peer.socket(), 100)) << "and with one only";
    }
    {
        // The connecting side never echoes: two ends that echo cannot keep a
        // keep-alive going between them.
        Listener listener;
        int client = OpenPort("127.0.0.1", listener.port(), MODE_CONNECT, "KAE");
        ASSERT_GE(client, 0) << GetErrorText();
        Peer far = listener.Accept();
        far.Send(keepAlive + FramedRecord("KAE", message));
        MessageFields fields{};
        EXPECT_EQ(RecvMsg(client, &fields, 5), 39) << GetErrorText();
        EXPECT_FALSE(Readable(far.socket(), 100));
    }
}

TEST_F(FramedLinkTest, AWholeRecordWhoseMessageIsIncompleteIsRefusedAtOnce) {
    // 0200 with field 2 claiming 16 digits of which 8 came, behind a 4-digit
    // prefix; a fixed field cut short; a secondary-bitmap bit with no
    // secondary bitmap.
    const std::string bitmap2("\x40\0\0\0\0\0\0\0", 8);
    const std::string bitmap3("\x20\0\0\0\0\0\0\0", 8);
    const std::string bitmap1("\x80\0\0\0\0\0\0\0", 8);
    const std::string messages[] = {"0200" + bitmap2 + "16" + "47617390", "0200" + bitmap3 + "0110",
                                    "0200" + bitmap1};
    {
        Load({});
        Peer peer;
        int port = AcceptedPort("C01", &peer);
        ASSERT_EQ(messages[0].size(), 22u);
        peer.Send("0022" + messages[0]);
        MessageFields fields{};
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RecvMsg(port, &fields, -1), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT);
        EXPECT_THAT(GetErrorText(), HasSubstr("ReadPort: Formatting error 22 bytes in excess\n"
                                              "[vksoc,"));
        EXPECT_THAT(GetErrorText(), HasSubstr("RecvMsg: Message received is invalid\n"));
        ClosePort(port);
    }
    ForEachFramed([&](const char* id) {
        for (const std::string& message : messages) {
            Peer peer;
            int port = AcceptedPort(id, &peer);
            peer.Send(FramedRecord(id, message));
            MessageFields fields{};
            EXPECT_EQ(RecvMsg(port, &fields, -1), -1) << id;
            EXPECT_THAT(GetErrorText(),
                        HasSubstr("Formatting error " + std::to_string(message.size()) +
                                  " bytes in excess"))
                << id;
            ClosePort(port);
            ClearError();
        }
    });
}

}  // namespace
