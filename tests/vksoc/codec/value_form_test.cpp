#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_codec_support.h"
#include "vksoc/codec/code_page.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/value_form.h"

namespace {

const unsigned char* Data(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

struct Refusal {
    const char* why;
    ValueEncoding value;
    LengthEncoding length;
    FieldSpec spec;
    std::string valueForm;
    ValueFormRefusal refusal;
    const char* text;
};

TEST(ValueForm, RefusalsNameTheirReason) {
    const Refusal cases[] = {
        {"a letter among BCD digits", ValueEncoding::Bcd, LengthEncoding::Bcd,
         MakeFieldSpec("PAN", 19, 2), "37828A", ValueFormRefusal::NotDigit,
         "non-digit 'A' in a BCD value"},
        {"a blank in a fixed BCD value", ValueEncoding::BcdF, LengthEncoding::Ascii,
         MakeFieldSpec("AMOUNT", 12, 0), "10 00", ValueFormRefusal::NotDigit,
         "non-digit ' ' in a BCD value"},
        {"an odd number of hexadecimal digits", ValueEncoding::Binary, LengthEncoding::Binary,
         MakeFieldSpec("ICC", 255, 3), "9F0", ValueFormRefusal::OddHexCount,
         "odd number of hexadecimal digits (3) in a BINARY value"},
        {"a character that is no hexadecimal digit", ValueEncoding::Binary, LengthEncoding::Binary,
         MakeFieldSpec("ICC", 255, 3), "9G", ValueFormRefusal::NotHex,
         "non-hexadecimal character 'G' in a BINARY value"},
        {"the euro sign has no place in code page 037", ValueEncoding::Ebcdic,
         LengthEncoding::Ebcdic, MakeFieldSpec("NAME", 40, 2), "5 \xE2\x82\xAC",
         ValueFormRefusal::NotInCodePage, "character U+20AC has no place in code page 037"},
        {"a BCD value longer than MAX_LEN", ValueEncoding::Bcd, LengthEncoding::Bcd,
         MakeFieldSpec("PAN", 19, 2), std::string(20, '4'), ValueFormRefusal::AboveMaxLen,
         "length 20 above MAX_LEN 19 digits"},
        {"a fixed EBCDIC value longer than MAX_LEN", ValueEncoding::Ebcdic, LengthEncoding::Ascii,
         MakeFieldSpec("TERMINAL_ID", 8, 0), "TERMINAL1", ValueFormRefusal::AboveMaxLen,
         "length 9 above MAX_LEN 8 characters"},
        {"a binary length byte holds 255 at most", ValueEncoding::Binary, LengthEncoding::Binary,
         MakeFieldSpec("DATA", 300, 2), std::string(2 * 256, '0'), ValueFormRefusal::AbovePrefix,
         "length 256 above what a BINARY length prefix carries (255)"},
        {"a 2-digit BCD prefix holds 99 at most", ValueEncoding::Bcd, LengthEncoding::Bcd,
         MakeFieldSpec("DATA", 150, 2), std::string(100, '1'), ValueFormRefusal::AbovePrefix,
         "length 100 above what a BCD length prefix carries (99)"},
        {"an EBCDIC prefix of 2 digits holds 99 at most", ValueEncoding::Ascii,
         LengthEncoding::Ebcdic, MakeFieldSpec("DATA", 150, 2), std::string(100, 'a'),
         ValueFormRefusal::AbovePrefix,
         "length 100 above what a EBCDIC length prefix carries (99)"},
        {"a fixed BINARY value must give all its bytes", ValueEncoding::Binary,
         LengthEncoding::Ascii, MakeFieldSpec("PIN", 8, 0), "01234567",
         ValueFormRefusal::FixedIncomplete, "4 of the 8 bytes of a fixed BINARY value"},
        {"a fixed BINARY value cut short by a NUL", ValueEncoding::Binary, LengthEncoding::Ascii,
         MakeFieldSpec("PIN", 8, 0),
         std::string("0123\0"
                     "456789ABCDEF",
                     17),
         ValueFormRefusal::FixedIncomplete, "2 of the 8 bytes of a fixed BINARY value"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.why);
        LinkRecord link = PlainLinkRecord();
        link.CODE_PAGE = static_cast<uint8_t>(CodePage::Cp037);
        SetFieldEncodings(link, 48, c.value, c.length);
        const auto length = static_cast<int32_t>(c.valueForm.size());
        const ValueFormResult checked =
            CheckValueForm(&link, 48, c.spec, Data(c.valueForm), length);
        EXPECT_EQ(checked.refusal, c.refusal);
        char text[128];
        EXPECT_STREQ(DescribeValueFormRefusal(checked, &link, 48, c.spec, text, sizeof text),
                     c.text);

        // The codec refuses the message with the same reason, naming the field;
        // a variable value above MAX_LEN it sends, as a received one is answered.
        const bool sent = c.refusal == ValueFormRefusal::AboveMaxLen && c.spec.LENGTH_BYTES > 0;
        FieldSpecTable specs{};
        specs[48 - 1] = c.spec;
        MessageFields fields = EmptyFields();
        const std::string mti = "0200";
        SetSlot(fields, 0, mti);
        fields.slots[48] = {Data(c.valueForm), length};
        std::vector<unsigned char> out(MESSAGE_BUFFER_SIZE);
        const int assembled =
            Assemble8583(out.data(), MAX_MESSAGE_LENGTH, specs.data(), &link, &fields);
        if (sent) {
            EXPECT_GT(assembled, 0) << LastErrorMessage();
            continue;
        }
        EXPECT_EQ(assembled, -1);
        EXPECT_EQ(LastErrorMessage(), std::string("Assemble8583: Field: 48 ") + c.text + "\n");
    }
}

TEST(ValueForm, ConversionsIntoTooSmallABufferAreRefusedWithoutWritingPastIt) {
    LinkRecord link = PlainLinkRecord();
    SetFieldEncodings(link, 2, ValueEncoding::Binary, LengthEncoding::Binary);
    const FieldSpec spec = MakeFieldSpec("DATA", 99, 2);
    const std::string wire = "\x01\x02\x03";
    std::vector<unsigned char> out(8, 0xAA);
    const ValueFormResult small = WireToValueForm(&link, 2, Data(wire), 3, out.data(), 5);
    EXPECT_EQ(small.refusal, ValueFormRefusal::NoRoom);
    EXPECT_EQ(small.detail, 6u);
    EXPECT_EQ(out[5], 0xAA);
    const ValueFormResult fits = WireToValueForm(&link, 2, Data(wire), 3, out.data(), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data()), 6), "010203");
    EXPECT_EQ(fits.length, 6);
    EXPECT_EQ(ValueFormToWire(&link, 2, spec, Data("0102"), 4, out.data(), 1).refusal,
              ValueFormRefusal::NoRoom);
}

TEST(ValueForm, LimitsRoomAndCapacityFollowTheEncodings) {
    LinkRecord link = PlainLinkRecord();
    SetFieldEncodings(link, 2, ValueEncoding::Bcd, LengthEncoding::Bcd);
    SetFieldEncodings(link, 43, ValueEncoding::Ebcdic, LengthEncoding::Ebcdic);
    SetFieldEncodings(link, 52, ValueEncoding::Binary);
    SetFieldEncodings(link, 55, ValueEncoding::Binary, LengthEncoding::Binary);
    const FieldSpec ll19 = MakeFieldSpec("PAN", 19, 2);
    const FieldSpec lll255 = MakeFieldSpec("ICC", 255, 3);
    const FieldSpec fixed8 = MakeFieldSpec("PIN", 8, 0);
    EXPECT_EQ(ValueFormLimit(&link, 2, ll19), 19);
    EXPECT_EQ(ValueFormRoom(&link, 2, ll19), 19);
    EXPECT_EQ(ValueFormLimit(&link, 43, ll19), 19);
    EXPECT_EQ(ValueFormRoom(&link, 43, ll19), 38);
    EXPECT_EQ(ValueFormLimit(&link, 52, fixed8), 16);
    EXPECT_EQ(ValueFormRoom(&link, 52, fixed8), 16);
    EXPECT_EQ(LengthPrefixCapacityOf(&link, 2, ll19), 99);
    EXPECT_EQ(LengthPrefixCapacityOf(&link, 2, lll255), 9999);
    EXPECT_EQ(LengthPrefixCapacityOf(&link, 43, lll255), 999);
    EXPECT_EQ(LengthPrefixCapacityOf(&link, 55, ll19), 255);
    EXPECT_EQ(LengthPrefixCapacityOf(&link, 55, lll255), 65535);
    EXPECT_EQ(LengthPrefixCapacityOf(&link, 52, fixed8), 0);
    EXPECT_EQ(ValueFormLimit(nullptr, 52, fixed8), 8);
    EXPECT_TRUE(ValueFormIsWireForm(nullptr, 52));
    EXPECT_FALSE(ValueFormIsWireForm(&link, 52));
}

TEST(ValueForm, EveryByteOfEveryCodePageComesBackThroughItsText) {
    for (CodePage page : {CodePage::Cp1047, CodePage::Cp037, CodePage::Cp500}) {
        SCOPED_TRACE(CodePageNumber(page));
        LinkRecord link = PlainLinkRecord();
        link.CODE_PAGE = static_cast<uint8_t>(page);
        SetFieldEncodings(link, 43, ValueEncoding::Ebcdic, LengthEncoding::Bcd);
        const FieldSpec spec = MakeFieldSpec("ALL", 256, 3);
        std::string wire;
        for (int b = 0; b < 256; ++b) {
            wire += static_cast<char>(b);
        }
        std::vector<unsigned char> text(512);
        const ValueFormResult shown = WireToValueForm(&link, 43, Data(wire), 256, text.data(), 512);
        ASSERT_EQ(shown.refusal, ValueFormRefusal::None);
        std::vector<unsigned char> back(256);
        const ValueFormResult sent =
            ValueFormToWire(&link, 43, spec, text.data(), shown.length, back.data(), 256);
        ASSERT_EQ(sent.refusal, ValueFormRefusal::None);
        EXPECT_EQ(sent.units, 256);
        EXPECT_EQ(std::string(back.begin(), back.end()), wire);
    }
}

struct ReceivedRefusal {
    const char* why;
    const char* wire;  // after the 0800 and its bitmap naming element 2 alone
    ValueEncoding value;
    LengthEncoding length;
    const char* error;
};

TEST(ValueForm, ReceivedBytesTheEncodingCannotHoldAreFormatErrors) {
    const ReceivedRefusal cases[] = {
        {"a nibble A among the digits", "04 12 3A", ValueEncoding::Bcd, LengthEncoding::Bcd,
         "Disassemble8583: Field 2: non-BCD nibble A received\n"},
        {"a left pad nibble that is not 0", "03 51 23", ValueEncoding::Bcd, LengthEncoding::Bcd,
         "Disassemble8583: Field 2: pad nibble 5 received where 0 belongs\n"},
        {"a right pad that is not F", "03 12 30", ValueEncoding::BcdF, LengthEncoding::Bcd,
         "Disassemble8583: Field 2: pad nibble 0 received where F belongs\n"},
        {"a BCD length prefix that is no number", "1A 12", ValueEncoding::Bcd, LengthEncoding::Bcd,
         "Disassemble8583: Invalid length prefix of field 2\n"},
        {"an EBCDIC length prefix that is no number", "F0 40 12", ValueEncoding::Bcd,
         LengthEncoding::Ebcdic, "Disassemble8583: Invalid length prefix of field 2\n"},
    };
    for (const ReceivedRefusal& c : cases) {
        SCOPED_TRACE(c.why);
        LinkRecord link = PlainLinkRecord();
        SetFieldEncodings(link, 2, c.value, c.length);
        FieldSpecTable specs{};
        specs[2 - 1] = MakeFieldSpec("PAN", 19, 2);
        const std::string bytes = "0800" + FromHex("40 00 00 00 00 00 00 00") + FromHex(c.wire);
        std::vector<unsigned char> area(DECODE_AREA_SIZE);
        MessageFields fields = EmptyFields();
        const Taken taken = Take8583(Data(bytes), static_cast<int>(bytes.size()), specs.data(),
                                     &link, {area.data(), DECODE_AREA_SIZE}, &fields);
        EXPECT_EQ(taken.outcome, TakeOutcome::Malformed);
        EXPECT_EQ(LastErrorMessage(), c.error);
    }
}

TEST(ValueForm, IdentifiersAndBitmapsTheEncodingCannotHoldAreFormatErrors) {
    LinkRecord link = PlainLinkRecord();
    FieldSpecTable specs{};
    std::vector<unsigned char> area(DECODE_AREA_SIZE);
    MessageFields fields = EmptyFields();
    link.BITMAP_ENCODING = static_cast<uint8_t>(BitmapEncoding::Hex);
    const std::string hex = "08000000000000000G00";
    EXPECT_EQ(Take8583(Data(hex), 20, specs.data(), &link, {area.data(), DECODE_AREA_SIZE}, &fields)
                  .outcome,
              TakeOutcome::Malformed);
    EXPECT_EQ(LastErrorMessage(), "Disassemble8583: Invalid primary bitmap\n");

    link.BITMAP_ENCODING = static_cast<uint8_t>(BitmapEncoding::Binary);
    link.MTI_ENCODING = static_cast<uint8_t>(MtiEncoding::Bcd);
    const std::string bcd = FromHex("08 0C 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Take8583(Data(bcd), 10, specs.data(), &link, {area.data(), DECODE_AREA_SIZE}, &fields)
                  .outcome,
              TakeOutcome::Malformed);
    EXPECT_EQ(LastErrorMessage(), "Disassemble8583: Message Id: non-BCD nibble C received\n");

    const std::string mti = "08X0";
    SetSlot(fields, 0, mti);
    std::vector<unsigned char> out(64);
    EXPECT_EQ(Assemble8583(out.data(), 64, specs.data(), &link, &fields), -1);
    EXPECT_EQ(LastErrorMessage(), "Assemble8583: Message Id non-digit 'X' in a BCD value\n");
}

}  // namespace
