// The framing interface on its own: what a record's header says, and the
// header written for a body, for every framing there is.

#include <gtest/gtest.h>

#include <string>

#include "vksoc/port/framing.h"

namespace {

FrameHeader Parse(const Framing& framing, const std::string& header, int maxBody = 4096) {
    return ParseFrameHeader(framing, reinterpret_cast<const unsigned char*>(header.data()),
                            static_cast<int>(header.size()), maxBody);
}

TEST(Framing, HeaderLengthOutsideOneToFourDigitsMeansNoFraming) {
    for (int digits : {-2, 0, 5, 99}) {
        const Framing framing = DecimalFraming(digits);
        EXPECT_EQ(framing.kind, FramingKind::None) << digits;
        EXPECT_EQ(framing.headerLength, 0) << digits;
    }
    for (int digits = 1; digits <= MAX_HEADER_LENGTH; ++digits) {
        const Framing framing = DecimalFraming(digits);
        EXPECT_EQ(framing.kind, FramingKind::Decimal);
        EXPECT_EQ(framing.headerLength, digits);
    }
}

TEST(Framing, ADecimalHeaderIsReadOnceWholeAndNamesOneToMaxBodyBytes) {
    struct Case {
        int digits;
        std::string header;
        int maxBody;
        HeaderOutcome outcome;
        int length;
    } const cases[] = {
        {4, "", 4096, HeaderOutcome::NeedMore, 0},
        {4, "012", 4096, HeaderOutcome::NeedMore, 0},
        {4, "0123", 4096, HeaderOutcome::Length, 123},
        {4, "4096", 4096, HeaderOutcome::Length, 4096},
        {4, "4097", 4096, HeaderOutcome::Malformed, 4097},
        {4, "0000", 4096, HeaderOutcome::Malformed, 0},
        {4, "-001", 4096, HeaderOutcome::Malformed, -1},
        {4, "GET ", 4096, HeaderOutcome::Malformed, 0},
        {4, "1x5 ", 4096, HeaderOutcome::Length, 1},  // read as atoi reads it
        {2, "99", 50, HeaderOutcome::Malformed, 99},
        {1, "7", 4096, HeaderOutcome::Length, 7},
    };
    for (const Case& c : cases) {
        const FrameHeader header = Parse(DecimalFraming(c.digits), c.header, c.maxBody);
        EXPECT_EQ(header.outcome, c.outcome) << c.digits << " '" << c.header << "'";
        if (c.outcome != HeaderOutcome::NeedMore) {
            EXPECT_EQ(header.length, c.length) << c.digits << " '" << c.header << "'";
        }
    }
}

TEST(Framing, TheHeaderWrittenIsTheBodyLengthZeroPaddedOrNothingWhenItCannotBe) {
    unsigned char out[MAX_FRAME_HEADER + 1] = "****";
    ASSERT_TRUE(WriteFrameHeader(DecimalFraming(4), out, 37));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "0037");

    unsigned char untouched[MAX_FRAME_HEADER + 1] = "****";
    EXPECT_FALSE(WriteFrameHeader(DecimalFraming(2), untouched, 100)) << "cut, it would be 00";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(untouched), 4), "****");

    EXPECT_TRUE(WriteFrameHeader(NO_FRAMING, untouched, 4096));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(untouched), 4), "****") << "no header, no bytes";
}

}  // namespace
