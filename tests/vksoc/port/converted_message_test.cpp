// A controller whose fields are not all ASCII, through the ports: Save and
// Read of a data file and an exchange over a socket carry value forms above
// the port and the wire form below it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "connection_fixture.h"
#include "os_lowio.h"
#include "vksoc/port/message_file_port.h"
#include "vksoc/port/recv_msg.h"

namespace {

std::string Encoded(int n, int maxLen, int lengthBytes, const std::string& tags) {
    std::string text = FieldText(n, "F", maxLen, lengthBytes);
    text.insert(text.rfind("</FIELD>"), tags);
    return text;
}

// V01: MTI in BCD, bitmap in EBCDIC hexadecimal, code page 037; 2 LLVAR BCD
// with a binary length, 4 fixed BCD 12, 35 LLVAR BCD_F, 41 fixed EBCDIC 8,
// 52 fixed BINARY 8, 70 fixed BCD 3, 120 LLLVAR EBCDIC with an EBCDIC length.
std::string ConvertedConfigText() {
    return "<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>V01\n"
           "<MTI_ENCODING>BCD\n<BITMAP_ENCODING>EBCDIC_HEX\n<CODE_PAGE>037\n"
           "<FIELD_SPEC_LIST>\n" +
           Encoded(2, 19, 2, "<ENCODING>BCD\n<LENGTH_ENCODING>BINARY\n") +
           Encoded(4, 12, 0, "<ENCODING>BCD\n") +
           Encoded(35, 37, 2, "<ENCODING>BCD_F\n<LENGTH_ENCODING>BCD\n") +
           Encoded(41, 8, 0, "<ENCODING>EBCDIC\n") + Encoded(52, 8, 0, "<ENCODING>BINARY\n") +
           Encoded(70, 3, 0, "<ENCODING>BCD\n") +
           Encoded(120, 999, 3, "<ENCODING>EBCDIC\n<LENGTH_ENCODING>EBCDIC\n") +
           "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n";
}

class ConvertedMessageTest : public ConnectionTest {
  protected:
    void SetUp() override {
        root_.WriteConfig(ConvertedConfigText());
        ASSERT_EQ(LoadConfiguration(), 0);
        ClearError();
    }
};

// The message, its value forms, and its bytes worked out by hand.
const Field REQUEST[] = {
    {0, "0200"},         {2, "378282246310005"},
    {4, "000000001000"}, {35, "4111111111111111=2512101"},
    {41, "TERM[01]"},    {52, "0123456789ABCDEF"},
    {70, "301"},         {120, "Caf\xC3\xA9"},
};
const char* const REQUEST_WIRE =
    "02 00"                                            // MTI in BCD
    "C4 F0 F0 F0 F0 F0 F0 F0 F2 F0 F8 F0 F1 F0 F0 F0"  // primary bitmap: 1 2 4 35 41 52
    "F0 F4 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F1 F0 F0"  // secondary bitmap: 70 120
    "0F 03 78 28 22 46 31 00 05"                       // 2
    "00 00 00 00 10 00"                                // 4
    "24 41 11 11 11 11 11 11 11 D2 51 21 01"           // 35
    "E3 C5 D9 D4 BA F0 F1 BB"                          // 41: [ and ] in 037
    "01 23 45 67 89 AB CD EF"                          // 52
    "03 01"                                            // 70
    "F0 F0 F4 C3 81 86 51";                            // 120

TestMessage Request() {
    return TestMessage{REQUEST[0], REQUEST[1], REQUEST[2], REQUEST[3],
                       REQUEST[4], REQUEST[5], REQUEST[6], REQUEST[7]};
}

std::string HexBytes(const char* hex) {
    std::string bytes;
    int high = -1;
    for (const char* p = hex; *p != '\0'; ++p) {
        const int v = *p >= '0' && *p <= '9'   ? *p - '0'
                      : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10
                                               : -1;
        if (v < 0) {
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            bytes += static_cast<char>(high << 4 | v);
            high = -1;
        }
    }
    return bytes;
}

void ExpectRequestSlots(const MessageFields& fields) {
    for (const Field& field : REQUEST) {
        const FieldSlot& slot = fields.slots[field.n];
        EXPECT_EQ(
            std::string(reinterpret_cast<const char*>(slot.data), static_cast<size_t>(slot.length)),
            field.value)
            << "field " << field.n;
    }
}

TEST_F(ConvertedMessageTest, SaveWritesTheWireFormAndReadGivesTheValueForms) {
    const std::string path = (root_.root() / "v01.dat").string();
    TestMessage request = Request();
    int written = 0;
    ASSERT_EQ(ui::WriteMessageFile(path.c_str(), request.fields(), "V01", &written),
              ui::SaveResult::Saved)
        << GetErrorText();
    const std::string wire = HexBytes(REQUEST_WIRE);
    EXPECT_EQ(ReadFile(path), wire);
    EXPECT_EQ(written, static_cast<int>(wire.size()));

    const int port = ui::OpenMessageFile(path.c_str(), "V01");
    ASSERT_GE(port, 0) << GetErrorText();
    MessageFields fields{};
    ASSERT_EQ(RecvMsg(port, &fields, 0), static_cast<int>(wire.size())) << GetErrorText();
    ExpectRequestSlots(fields);
}

TEST_F(ConvertedMessageTest, AValueFormTheFieldCannotTakeIsRefusedNamingFieldAndReason) {
    const std::string path = (root_.root() / "refused.dat").string();
    TestMessage request{{0, "0200"}, {2, "37828224631000X"}};
    EXPECT_EQ(ui::WriteMessageFile(path.c_str(), request.fields(), "V01", nullptr),
              ui::SaveResult::NotSaved);
    EXPECT_THAT(GetErrorText(),
                ::testing::HasSubstr("Assemble8583: Field: 2 non-digit 'X' in a BCD value\n"));
}

TEST_F(ConvertedMessageTest, AReceivedNibbleThatIsNoDigitIsAFormatError) {
    Peer peer;
    const int port = AcceptedPort("V01", &peer);
    std::string wire = HexBytes(REQUEST_WIRE);
    wire[34 + 2] = static_cast<char>(0x7B);  // a B inside field 2's digits
    peer.Send(wire);
    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, 5), -1);
    EXPECT_THAT(GetErrorText(),
                ::testing::HasSubstr("Disassemble8583: Field 2: non-BCD nibble B received\n"));
}

TEST_F(ConvertedMessageTest, MessagesBackToBackOverASocketEachGiveTheirValueForms) {
    Peer peer;
    const int port = AcceptedPort("V01", &peer);
    const std::string wire = HexBytes(REQUEST_WIRE);
    peer.Send(wire + wire);
    for (int i = 0; i < 2; ++i) {
        MessageFields fields{};
        ASSERT_EQ(RecvMsg(port, &fields, 5), static_cast<int>(wire.size())) << GetErrorText();
        ExpectRequestSlots(fields);
    }
    TestMessage request = Request();
    ASSERT_EQ(SendMsg(port, request.fields()), static_cast<int>(wire.size())) << GetErrorText();
    EXPECT_EQ(peer.Receive(static_cast<int>(wire.size())), wire);
}

}  // namespace
