#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vksoc/codec/ztr.h"

namespace {

std::string HashText(const std::string& input) {
    char key[12];
    std::memset(key, '#', sizeof(key));
    ComputeHashKey(input.c_str(), key);
    return key;
}

TEST(ComputeHashKey, FollowsTheSumOfWeightedBytes) {
    struct Case {
        const char* why;
        std::string input;
        std::string text;  // the whole "%08d" text after the reversal; the key is its first 8
    } const cases[] = {
        {"empty input", "", "00000000"},
        {"position 0 never contributes", "a", "00000000"},
        {"worked example abc", "abc", "81000054"},
        {"a space is skipped but its position counts", "a bc", "03000087"},
        {"a command alone", "BINQ", "62000028"},
        {"bytes above 0x7F count as negative", "\xff\xff", "20000-79"},
        {"a negative product keeps its sign inside the reversal", "x\x01", "20000-61"},
        {"a product of ten digits", std::string(5000, 'z'), "9975715408"},
        {"the sum wraps around in 32 bits", std::string(100000, 'A'), "78621-47632"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HashText(c.input), c.text) << c.why;
    }
}

}  // namespace
