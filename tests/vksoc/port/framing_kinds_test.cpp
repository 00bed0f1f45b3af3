// Every framing's length header on its own: known bytes both ways, and the
// lengths each cannot carry.

#include <gtest/gtest.h>

#include <string>

#include "vksoc/port/framing.h"
#include "vksoc/port/framing_words.h"

namespace {

Framing Of(FramingKind kind, int headerLength, bool countsItself = false, int tpdu = 0,
           int trailer = 0) {
    Framing framing = NO_FRAMING;
    framing.kind = kind;
    framing.headerLength = headerLength;
    framing.countsItself = countsItself ? 1 : 0;
    framing.tpduLength = tpdu;
    framing.trailerLength = trailer;
    framing.keepAlive = KeepAlive::Ignore;
    return framing;
}

std::string Bytes(const unsigned char* data, int count) {
    return std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(count));
}

// The header of the 39-byte 0800 (fields 7, 11 and 70) on each link, each
// from the published description of a peer that speaks it.
struct Vector {
    const char* what;
    Framing framing;
    std::string header;
};

const Vector kVectors[] = {
    // jPOS PostChannel, moov-io network.Binary2Bytes
    {"BIN2", Of(FramingKind::Bin2, 2), std::string("\x00\x27", 2)},
    // jPOS AmexChannel: the length counts its own two bytes
    {"BIN2 counting itself", Of(FramingKind::Bin2, 2, true), std::string("\x00\x29", 2)},
    // jPOS NACChannel: the length counts the 5-byte TPDU behind it
    {"BIN2 with TPDU", Of(FramingKind::Bin2, 2, false, 5), std::string("\x00\x2C", 2)},
    // the little-endian variant Wireshark's ISO 8583 dissector defaults to
    {"BIN2LE", Of(FramingKind::Bin2Le, 2), std::string("\x27\x00", 2)},
    // jPOS RawChannel
    {"BIN4", Of(FramingKind::Bin4, 4), std::string("\x00\x00\x00\x27", 4)},
    // moov-io network.BCD2Bytes, jPOS BCDChannel
    {"BCD2", Of(FramingKind::Bcd2, 2), std::string("\x00\x39", 2)},
    // jPOS HEXChannel
    {"HEX4", Of(FramingKind::Hex4, 4), "0027"},
    // moov-io network.VMLH: the length, then two reserved bytes
    {"VMLH", Of(FramingKind::Vmlh, 4), std::string("\x00\x27\x00\x00", 4)},
    // jPOS ASCIIChannel, moov-io network.ASCII4Bytes
    {"ASCII4", DecimalFraming(4), "0039"},
    // an ETX trailer counted in the length
    {"BIN2 with trailer", Of(FramingKind::Bin2, 2, false, 0, 1), std::string("\x00\x28", 2)},
};

TEST(FramingKinds, EachHeaderOfTheKnownMessageIsWrittenAndReadBack) {
    for (const Vector& v : kVectors) {
        unsigned char out[MAX_FRAME_HEADER] = {};
        ASSERT_TRUE(WriteFrameHeader(v.framing, out, 39)) << v.what;
        EXPECT_EQ(Bytes(out, v.framing.headerLength), v.header) << v.what;
        const FrameHeader read =
            ParseFrameHeader(v.framing, reinterpret_cast<const unsigned char*>(v.header.data()),
                             static_cast<int>(v.header.size()), 4096);
        EXPECT_EQ(read.outcome, HeaderOutcome::Length) << v.what;
        EXPECT_EQ(read.length, 39 + v.framing.tpduLength + v.framing.trailerLength) << v.what;
        const FrameHeader part =
            ParseFrameHeader(v.framing, reinterpret_cast<const unsigned char*>(v.header.data()),
                             static_cast<int>(v.header.size()) - 1, 4096);
        EXPECT_EQ(part.outcome, HeaderOutcome::NeedMore) << v.what;
    }
}

TEST(FramingKinds, ALengthTheHeaderCannotCarryIsNeverWrittenWrapped) {
    struct Case {
        const char* what;
        Framing framing;
        int body;
        bool fits;
    } const cases[] = {
        {"BCD2 9999", Of(FramingKind::Bcd2, 2), 9999, true},
        {"BCD2 10,000", Of(FramingKind::Bcd2, 2), 10000, false},
        {"BCD2 counting itself 9998", Of(FramingKind::Bcd2, 2, true), 9998 - 2, true},
        {"BCD2 counting itself 9998 + 2", Of(FramingKind::Bcd2, 2, true), 9998, false},
        {"BIN2 65,535", Of(FramingKind::Bin2, 2), 65535, true},
        {"BIN2 65,536", Of(FramingKind::Bin2, 2), 65536, false},
        {"BIN2 65,531 and a TPDU", Of(FramingKind::Bin2, 2, false, 5), 65531, false},
        {"BIN2LE 65,536", Of(FramingKind::Bin2Le, 2), 65536, false},
        {"VMLH 65,536", Of(FramingKind::Vmlh, 4), 65536, false},
        {"HEX4 65,536", Of(FramingKind::Hex4, 4), 65536, false},
        {"BIN4 65,536", Of(FramingKind::Bin4, 4), 65536, true},
        {"ASCII2 100", DecimalFraming(2), 100, false},
    };
    for (const Case& c : cases) {
        unsigned char out[MAX_FRAME_HEADER + 1] = "*********";
        EXPECT_EQ(WriteFrameHeader(c.framing, out, c.body), c.fits) << c.what;
        if (!c.fits) {
            EXPECT_EQ(Bytes(out, 9), "*********") << c.what << ": nothing written";
        }
    }
}

TEST(FramingKinds, HeadersThatNameNoMessageAreMalformedWithTheirReason) {
    struct Case {
        const char* what;
        Framing framing;
        std::string header;
        HeaderOutcome outcome;
        HeaderFault fault;
    } const cases[] = {
        {"BCD2 nibble A", Of(FramingKind::Bcd2, 2), std::string("\x00\x3A", 2),
         HeaderOutcome::Malformed, HeaderFault::NotBcd},
        {"BCD2 nibble F high", Of(FramingKind::Bcd2, 2), std::string("\xF0\x01", 2),
         HeaderOutcome::Malformed, HeaderFault::NotBcd},
        {"HEX4 G", Of(FramingKind::Hex4, 4), "00G7", HeaderOutcome::Malformed, HeaderFault::NotHex},
        {"HEX4 lower case", Of(FramingKind::Hex4, 4), "002a", HeaderOutcome::Length,
         HeaderFault::None},
        {"BIN2 4,097", Of(FramingKind::Bin2, 2), std::string("\x10\x01", 2),
         HeaderOutcome::Malformed, HeaderFault::Length},
        {"BIN4 beyond 32 bits signed", Of(FramingKind::Bin4, 4), std::string("\xFF\xFF\xFF\xFF", 4),
         HeaderOutcome::Malformed, HeaderFault::Length},
        {"BIN2 TPDU only", Of(FramingKind::Bin2, 2, false, 5), std::string("\x00\x05", 2),
         HeaderOutcome::Malformed, HeaderFault::Length},
        {"BIN2 shorter than the TPDU", Of(FramingKind::Bin2, 2, false, 5),
         std::string("\x00\x03", 2), HeaderOutcome::Malformed, HeaderFault::ShorterThanFrame},
        {"BIN2 counting itself, 1", Of(FramingKind::Bin2, 2, true), std::string("\x00\x01", 2),
         HeaderOutcome::Malformed, HeaderFault::ShorterThanSelf},
        {"BIN2 counting itself, keep-alive", Of(FramingKind::Bin2, 2, true),
         std::string("\x00\x02", 2), HeaderOutcome::KeepAlive, HeaderFault::None},
        {"VMLH keep-alive", Of(FramingKind::Vmlh, 4), std::string(4, '\0'),
         HeaderOutcome::KeepAlive, HeaderFault::None},
        {"VMLH reserved bytes are read past", Of(FramingKind::Vmlh, 4),
         std::string("\x00\x27\x12\x34", 4), HeaderOutcome::Length, HeaderFault::None},
    };
    for (const Case& c : cases) {
        const FrameHeader read =
            ParseFrameHeader(c.framing, reinterpret_cast<const unsigned char*>(c.header.data()),
                             static_cast<int>(c.header.size()), 4096);
        EXPECT_EQ(read.outcome, c.outcome) << c.what;
        EXPECT_EQ(read.fault, c.fault) << c.what;
    }
}

TEST(FramingKinds, AKeepAliveIsTheHeaderOfNothing) {
    struct Case {
        Framing framing;
        std::string bytes;
    } const cases[] = {
        {Of(FramingKind::Bin2, 2), std::string(2, '\0')},
        {Of(FramingKind::Bin2, 2, true), std::string("\x00\x02", 2)},
        {Of(FramingKind::Vmlh, 4), std::string(4, '\0')},
        {Of(FramingKind::Hex4, 4), "0000"},
        {Of(FramingKind::Bcd2, 2, false, 5), std::string(2, '\0')},
    };
    for (const Case& c : cases) {
        unsigned char out[MAX_LENGTH_HEADER] = {0xAA, 0xAA, 0xAA, 0xAA};
        WriteKeepAliveHeader(c.framing, out);
        EXPECT_EQ(Bytes(out, c.framing.headerLength), c.bytes) << FramingKindName(c.framing);
    }
    // Without keep-alives (the HEADER_LENGTH rule) a length of 0 stays refused.
    const FrameHeader plain = ParseFrameHeader(
        DecimalFraming(4), reinterpret_cast<const unsigned char*>("0000"), 4, 4096);
    EXPECT_EQ(plain.outcome, HeaderOutcome::Malformed);
    EXPECT_EQ(plain.length, 0);
}

TEST(FramingKinds, AFramingIsToldInWords) {
    Framing framing = Of(FramingKind::Bin2, 2, true, 5, 1);
    const unsigned char tpdu[] = {0x60, 0x00, 0x01, 0x00, 0x02};
    std::copy(tpdu, tpdu + 5, framing.tpdu);
    framing.trailer[0] = 0x03;
    framing.keepAlive = KeepAlive::Echo;
    char words[256];
    DescribeFraming(framing, words, sizeof words);
    EXPECT_STREQ(words,
                 "2-byte binary length, big-endian (BIN2), counting itself; TPDU 6000010002, "
                 "answered with its addresses swapped; trailer 03; keep-alives (length 0) echoed");
    DescribeFraming(DecimalFraming(4), words, sizeof words);
    EXPECT_STREQ(words, "4 ASCII decimal digits of length (ASCII4)");
    DescribeFraming(NO_FRAMING, words, 12);
    EXPECT_STREQ(words, "no length h") << "cut to fit";
}

}  // namespace
