#include "vkstp/config_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(StoreText, KeepsTheFirstWidthCharactersAndFillsWithNuls) {
    struct Case {
        int width;
        const char* value;
        std::string stored;  // all width + 1 bytes
    };
    const Case cases[] = {
        {8, "123456789", std::string("12345678\0", 9)},
        {2, "1", std::string("1\0\0", 3)},
        {2, "", std::string("\0\0\0", 3)},
        {3, " C01 ", std::string(" C0\0", 4)},
    };
    for (const Case& c : cases) {
        char field[16];
        std::fill(std::begin(field), std::end(field), '#');
        StoreText(field, c.width, c.value);
        EXPECT_EQ(std::string(field, static_cast<size_t>(c.width + 1)), c.stored) << c.value;
        EXPECT_EQ(field[c.width + 1], '#') << "wrote past the field for " << c.value;
    }
}

TEST(ConvertNumber, TakesLeadingDigitsAfterBlanksAndASign) {
    struct Case {
        const char* value;
        int32_t number;
    };
    const Case cases[] = {
        {"19", 19},
        {"  12abc", 12},
        {"abc", 0},
        {"", 0},
        {"-5", -5},
        {"+7", 7},
        {"\t 42", 42},
        {"- 3", 0},
        {"0019", 19},
        {"1x5", 1},
        {"2147483647", INT32_MAX},
        {"99999999999999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertNumber(c.value), c.number) << '"' << c.value << '"';
    }
}

TEST(ConvertNumber16, KeepsTheLowSixteenBits) {
    EXPECT_EQ(ConvertNumber16("7001"), 7001);
    EXPECT_EQ(ConvertNumber16("70000"), 4464);
    EXPECT_EQ(ConvertNumber16("65536"), 0);
    EXPECT_EQ(ConvertNumber16("-1"), 65535);
}

TEST(ConvertCharacter, TakesTheFirstCharacterOrNul) {
    EXPECT_EQ(ConvertCharacter("Yes"), 'Y');
    EXPECT_EQ(ConvertCharacter(" N"), ' ');
    EXPECT_EQ(ConvertCharacter(""), '\0');
}

}  // namespace
