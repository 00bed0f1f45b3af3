#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_codec_support.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/value_form.h"

namespace {

struct Codec {
    FieldSpecTable specs{};
    LinkRecord link = PlainLinkRecord();

    FieldSpec& Spec(int n) { return specs[static_cast<size_t>(n - 1)]; }
    std::vector<unsigned char> area = std::vector<unsigned char>(DECODE_AREA_SIZE);

    // The message for `fields`, or "<-1>" with the error in LastErrorMessage.
    std::string Assemble(const MessageFields& fields, int room = MAX_MESSAGE_LENGTH) {
        std::vector<unsigned char> out(MESSAGE_BUFFER_SIZE);
        const int length = Assemble8583(out.data(), room, specs.data(), &link, &fields);
        return length < 0 ? "<-1>" : std::string(out.begin(), out.begin() + length);
    }

    Taken Take(const std::string& bytes, MessageFields& fields) {
        held = bytes;
        return Take8583(reinterpret_cast<const unsigned char*>(held.data()),
                        static_cast<int>(held.size()), specs.data(), &link,
                        {area.data(), static_cast<int32_t>(area.size())}, &fields);
    }

    std::string held;
};

MessageFields Message(const std::string& mti, int n, const std::string& value) {
    static std::string keptMti;
    static std::string keptValue;
    keptMti = mti;
    keptValue = value;
    MessageFields fields = EmptyFields();
    SetSlot(fields, 0, keptMti);
    SetSlot(fields, n, keptValue);
    return fields;
}

// The bitmap of a message holding element n (2 to 64) alone.
std::string BitmapOf(int n) {
    std::string bitmap(8, '\0');
    bitmap[static_cast<size_t>((n - 1) / 8)] = static_cast<char>(0x80u >> ((n - 1) % 8));
    return bitmap;
}

struct FieldVector {
    const char* source;
    int n;
    FieldSpec spec;
    ValueEncoding value;
    LengthEncoding length;
    CodePage page;
    const char* valueForm;  // as sent
    const char* wire;       // the element on the wire: prefix and value
    const char* received;   // the value form taken back, when not `valueForm`
};

const FieldVector FIELD_VECTORS[] = {
    {"Amex test PAN as LLVAR BCD, odd count padded left (IFB_LLNUM)", 2,
     MakeFieldSpec("PAN", 19, 2), ValueEncoding::Bcd, LengthEncoding::Bcd, CodePage::Cp1047,
     "378282246310005", "15 03 78 28 22 46 31 00 05", nullptr},
    {"the same padded right", 2, MakeFieldSpec("PAN", 19, 2), ValueEncoding::BcdRight,
     LengthEncoding::Bcd, CodePage::Cp1047, "378282246310005", "15 37 82 82 24 63 10 00 50",
     nullptr},
    {"the same padded with F", 2, MakeFieldSpec("PAN", 19, 2), ValueEncoding::BcdF,
     LengthEncoding::Bcd, CodePage::Cp1047, "378282246310005", "15 37 82 82 24 63 10 00 5F",
     nullptr},
    {"the same with a binary length byte", 2, MakeFieldSpec("PAN", 19, 2), ValueEncoding::Bcd,
     LengthEncoding::Binary, CodePage::Cp1047, "378282246310005", "0F 03 78 28 22 46 31 00 05",
     nullptr},
    {"track 2 as LLVAR BCD, the separator as nibble D", 35, MakeFieldSpec("TRACK2", 37, 2),
     ValueEncoding::Bcd, LengthEncoding::Bcd, CodePage::Cp1047, "4111111111111111=2512101",
     "24 41 11 11 11 11 11 11 11 D2 51 21 01", nullptr},
    {"track 2 typed with D for the separator", 35, MakeFieldSpec("TRACK2", 37, 2),
     ValueEncoding::Bcd, LengthEncoding::Bcd, CodePage::Cp1047, "4111111111111111D2512101",
     "24 41 11 11 11 11 11 11 11 D2 51 21 01", "4111111111111111=2512101"},
    {"fixed BCD amount, short value padded with leading zeros (IFB_NUMERIC)", 4,
     MakeFieldSpec("AMOUNT", 12, 0), ValueEncoding::Bcd, LengthEncoding::Ascii, CodePage::Cp1047,
     "1000", "00 00 00 00 10 00", "000000001000"},
    {"fixed odd BCD currency 840 padded left", 49, MakeFieldSpec("CURRENCY", 3, 0),
     ValueEncoding::Bcd, LengthEncoding::Ascii, CodePage::Cp1047, "840", "08 40", nullptr},
    {"fixed odd BCD currency 840 padded right", 49, MakeFieldSpec("CURRENCY", 3, 0),
     ValueEncoding::BcdRight, LengthEncoding::Ascii, CodePage::Cp1047, "840", "84 00", nullptr},
    {"LLLVAR BCD length of 3 digits in 2 bytes", 48, MakeFieldSpec("PRIVATE", 999, 3),
     ValueEncoding::Ascii, LengthEncoding::Bcd, CodePage::Cp1047, "ABC", "00 03 41 42 43", nullptr},
    {"LLLVAR binary length in 2 bytes big-endian", 48, MakeFieldSpec("PRIVATE", 999, 3),
     ValueEncoding::Ascii, LengthEncoding::Binary, CodePage::Cp1047, "ABC", "00 03 41 42 43",
     nullptr},
    {"terminal id in EBCDIC 1047 (IFE_CHAR)", 41, MakeFieldSpec("TERMINAL_ID", 8, 0),
     ValueEncoding::Ebcdic, LengthEncoding::Ascii, CodePage::Cp1047, "TERM0001",
     "E3 C5 D9 D4 F0 F0 F0 F1", nullptr},
    {"fixed EBCDIC text blank-padded with 40", 41, MakeFieldSpec("TERMINAL_ID", 8, 0),
     ValueEncoding::Ebcdic, LengthEncoding::Ascii, CodePage::Cp037, "T1", "E3 F1 40 40 40 40 40 40",
     "T1      "},
    {"[ in code page 1047, with an EBCDIC length", 43, MakeFieldSpec("NAME", 40, 2),
     ValueEncoding::Ebcdic, LengthEncoding::Ebcdic, CodePage::Cp1047, "[", "F0 F1 AD", nullptr},
    {"[ in code page 037", 43, MakeFieldSpec("NAME", 40, 2), ValueEncoding::Ebcdic,
     LengthEncoding::Ebcdic, CodePage::Cp037, "[", "F0 F1 BA", nullptr},
    {"[ in code page 500", 43, MakeFieldSpec("NAME", 40, 2), ValueEncoding::Ebcdic,
     LengthEncoding::Ebcdic, CodePage::Cp500, "[", "F0 F1 4A", nullptr},
    {"e acute (UTF-8 C3 A9) in code page 037", 43, MakeFieldSpec("NAME", 40, 2),
     ValueEncoding::Ebcdic, LengthEncoding::Ebcdic, CodePage::Cp037, "Caf\xC3\xA9",
     "F0 F4 C3 81 86 51", nullptr},
    {"a Latin-1 byte that is no UTF-8 is taken as its character", 43, MakeFieldSpec("NAME", 40, 2),
     ValueEncoding::Ebcdic, LengthEncoding::Ebcdic, CodePage::Cp037, "Caf\xE9", "F0 F4 C3 81 86 51",
     "Caf\xC3\xA9"},
    {"PIN block as fixed BINARY, 8 bytes (IFB_BINARY)", 52, MakeFieldSpec("PIN", 8, 0),
     ValueEncoding::Binary, LengthEncoding::Ascii, CodePage::Cp1047, "0123456789abcdef",
     "01 23 45 67 89 AB CD EF", "0123456789ABCDEF"},
    {"chip data as LLLVAR BINARY with a binary length (IFB_LLLBINARY)", 55,
     MakeFieldSpec("ICC", 255, 3), ValueEncoding::Binary, LengthEncoding::Binary, CodePage::Cp1047,
     "9F02060000000010 00", "00 09 9F 02 06 00 00 00 00 10 00", nullptr},
};

TEST(FieldEncoding, KnownBytesBothWays) {
    for (const FieldVector& v : FIELD_VECTORS) {
        SCOPED_TRACE(v.source);
        Codec codec;
        codec.Spec(v.n) = v.spec;
        SetFieldEncodings(codec.link, v.n, v.value, v.length);
        codec.link.CODE_PAGE = static_cast<uint8_t>(v.page);
        std::string valueForm = v.valueForm;
        // A blank inside a hexadecimal vector only groups it for the reader.
        if (v.value == ValueEncoding::Binary) {
            std::erase(valueForm, ' ');
        }
        const std::string expected = "0800" + BitmapOf(v.n) + FromHex(v.wire);
        EXPECT_EQ(ToHex(codec.Assemble(Message("0800", v.n, valueForm))), ToHex(expected));

        MessageFields fields = EmptyFields();
        const Taken taken = codec.Take(expected, fields);
        ASSERT_EQ(taken.outcome, TakeOutcome::Whole) << LastErrorMessage();
        EXPECT_EQ(taken.bytes, static_cast<int32_t>(expected.size()));
        EXPECT_EQ(SlotText(fields.slots[v.n]), v.received != nullptr ? v.received : valueForm);
    }
}

TEST(FieldEncoding, AnAsciiValueStaysInTheReceivedBytes) {
    Codec codec;
    codec.Spec(48) = MakeFieldSpec("PRIVATE", 999, 3);
    codec.Spec(52) = MakeFieldSpec("PIN", 8, 0);
    SetFieldEncodings(codec.link, 48, ValueEncoding::Ascii, LengthEncoding::Binary);
    SetFieldEncodings(codec.link, 52, ValueEncoding::Binary);
    std::string bitmap(8, '\0');
    bitmap[5] = 0x01;  // element 48
    bitmap[6] = 0x10;  // element 52
    const std::string bytes = "0800" + bitmap + FromHex("00 03") + "ABC" + std::string(8, 'x');
    MessageFields fields = EmptyFields();
    ASSERT_EQ(codec.Take(bytes, fields).outcome, TakeOutcome::Whole);
    const auto* held = reinterpret_cast<const unsigned char*>(codec.held.data());
    EXPECT_EQ(fields.slots[48].data, held + 14);
    EXPECT_EQ(fields.slots[0].data, held);
    EXPECT_EQ(fields.slots[52].data, codec.area.data());
    EXPECT_EQ(SlotText(fields.slots[52]), "7878787878787878");
}

struct HeadVector {
    const char* source;
    MtiEncoding mti;
    BitmapEncoding bitmap;
    int n;  // the one element: 11 (fixed BCD 6) or 70 (fixed BCD 3, secondary bitmap)
    const char* wire;
};

const HeadVector HEAD_VECTORS[] = {
    {"MTI 0800 in EBCDIC", MtiEncoding::Ebcdic, BitmapEncoding::Binary, 11,
     "F0 F8 F0 F0 00 20 00 00 00 00 00 00 00 00 01"},
    {"MTI 0800 in BCD", MtiEncoding::Bcd, BitmapEncoding::Binary, 11,
     "08 00 00 20 00 00 00 00 00 00 00 00 01"},
    {"hexadecimal bitmap in ASCII (IFA_BITMAP)", MtiEncoding::Ascii, BitmapEncoding::Hex, 11,
     "30 38 30 30 30 30 32 30 30 30 30 30 30 30 30 30 30 30 30 30 00 00 01"},
    {"hexadecimal bitmap in EBCDIC", MtiEncoding::Ebcdic, BitmapEncoding::EbcdicHex, 11,
     "F0 F8 F0 F0 F0 F0 F2 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 00 00 01"},
    {"secondary bitmap in hexadecimal: bit 1 and bit 70 (04 in its first byte)", MtiEncoding::Ascii,
     BitmapEncoding::Hex, 70,
     "30 38 30 30 38 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 "
     "30 34 30 30 30 30 30 30 30 30 30 30 30 30 30 30 00 01"},
    {"secondary bitmap in EBCDIC hexadecimal with C-F letters", MtiEncoding::Bcd,
     BitmapEncoding::EbcdicHex, 70,
     "08 00 F8 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 "
     "F0 F4 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 F0 00 01"},
};

TEST(FieldEncoding, IdentifierAndBitmapsBothWays) {
    for (const HeadVector& v : HEAD_VECTORS) {
        SCOPED_TRACE(v.source);
        Codec codec;
        codec.Spec(11) = MakeFieldSpec("STAN", 6, 0);
        codec.Spec(70) = MakeFieldSpec("NETWORK_CODE", 3, 0);
        SetFieldEncodings(codec.link, 11, ValueEncoding::Bcd);
        SetFieldEncodings(codec.link, 70, ValueEncoding::Bcd);
        codec.link.MTI_ENCODING = static_cast<uint8_t>(v.mti);
        codec.link.BITMAP_ENCODING = static_cast<uint8_t>(v.bitmap);
        const std::string value = v.n == 11 ? "000001" : "001";
        EXPECT_EQ(ToHex(codec.Assemble(Message("0800", v.n, value))), v.wire);

        MessageFields fields = EmptyFields();
        const std::string bytes = FromHex(v.wire);
        ASSERT_EQ(codec.Take(bytes, fields).bytes, static_cast<int32_t>(bytes.size()))
            << LastErrorMessage();
        EXPECT_EQ(SlotText(fields.slots[0]), "0800");
        EXPECT_EQ(SlotText(fields.slots[v.n]), value);
        if (v.n == 70) {
            EXPECT_EQ(ToHex(SlotText(fields.slots[1])), "04 00 00 00 00 00 00 00");
        }
        // Every shorter part needs more bytes.
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            ASSERT_EQ(codec.Take(bytes.substr(0, cut), fields).outcome, TakeOutcome::NeedMore)
                << cut;
        }
    }
}

TEST(FieldEncoding, LowerCaseHexadecimalBitmapsAreTaken) {
    Codec codec;
    for (int n : {11, 61, 63, 125, 126}) {
        codec.Spec(n) = MakeFieldSpec("X", n == 11 ? 6 : 1, 0);
    }
    codec.link.BITMAP_ENCODING = static_cast<uint8_t>(BitmapEncoding::Hex);
    MessageFields fields = EmptyFields();
    const Taken taken = codec.Take(
        "0800"
        "802000000000000a"
        "000000000000000c"
        "000001"
        "abcd",
        fields);
    ASSERT_EQ(taken.outcome, TakeOutcome::Whole) << LastErrorMessage();
    EXPECT_EQ(SlotText(fields.slots[61]) + SlotText(fields.slots[126]), "ad");
}

}  // namespace
