#include "vksoc/codec/hex_value.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HexToBytes, ReadsEitherCaseAndRefusesWhatIsNotWholeBytes) {
    struct Case {
        std::string text;
        int32_t expected;  // bytes, or -1
        std::string bytes;
    } const cases[] = {
        {"", 0, ""},
        {"9F02", 2, "\x9F\x02"},
        {"9f0a", 2, "\x9F\x0A"},
        {"00FF", 2, std::string("\x00\xFF", 2)},
        {"9F0", -1, ""},  // half a byte
        {"9G", -1, ""},
        {"9F 02", -1, ""},
    };
    for (const Case& c : cases) {
        unsigned char out[8] = {};
        const int32_t n = HexToBytes(c.text.data(), static_cast<int32_t>(c.text.size()), out);
        EXPECT_EQ(n, c.expected) << c.text;
        if (n > 0) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(n)), c.bytes);
        }
    }
}

TEST(BytesToHex, WritesTwoUpperCaseDigitsAByte) {
    const unsigned char bytes[] = {0x00, 0x9F, 0x0A, 0xFF};
    char out[8];
    ASSERT_EQ(BytesToHex(bytes, 4, out), 8);
    EXPECT_EQ(std::string(out, 8), "009F0AFF");
    EXPECT_EQ(BytesToHex(bytes, 0, out), 0);
}

}  // namespace
