#include "vksoc/codec/length_prefix.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

const unsigned char* Text(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(LengthPrefix, ParsesLikeTheNumberConversionWithinItsWidth) {
    struct Case {
        std::string text;  // exactly the bytes the prefix may read
        int32_t expected;
    } const cases[] = {
        {"07", 7},
        {"000", 0},
        {"1x5", 1},    // stops at the first non-digit
        {" 7", 7},     // leading white space
        {"\t\n9", 9},  // any white space
        {"+12", 12},
        {"-05", -5},  // negative: the caller refuses it
        {"x12", 0},   // no digits
        {"- 1", 0},   // white space after the sign ends the text
        {"", 0},      // width 0
        {std::string("4\0"
                     "9",
                     3),
         4},  // a NUL ends the text early
        {"99999", 99999},
        {"99999999999", INT32_MAX},  // held at the limit, no overflow
        {"-99999999999", INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseLengthPrefix(Text(c.text), static_cast<int>(c.text.size())), c.expected)
            << "text \"" << c.text << "\"";
    }
}

TEST(LengthPrefix, ReadsNoMoreThanItsWidth) {
    // The digit after the width must not count.
    EXPECT_EQ(ParseLengthPrefix(Text("123"), 2), 12);
}

TEST(LengthPrefix, FitsOnlyWhatItsDigitsCanHold) {
    struct Case {
        int32_t value;
        int width;
        bool fits;
        const char* text;  // when it fits
    } const cases[] = {
        {7, 2, true, "07"},
        {99, 2, true, "99"},
        {100, 2, false, ""},
        {0, 1, true, "0"},
        {9, 1, true, "9"},
        {10, 1, false, ""},
        {999, 3, true, "999"},
        {1000, 3, false, ""},
        {-1, 3, false, ""},
        {79, 5, true, "00079"},
        {99999, 5, true, "99999"},
        {100000, 5, false, ""},
        {INT32_MAX, 12, true, "002147483647"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LengthFitsDigits(c.value, c.width), c.fits) << c.value << " in " << c.width;
        if (c.fits) {
            unsigned char out[16] = {};
            FormatLengthPrefix(out, c.width, c.value);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), c.text);
        }
    }
}

}  // namespace
