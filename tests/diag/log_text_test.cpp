#include "diag/log_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Safe(const std::string& bytes, size_t outSize = 256) {
    char out[256];
    return LogSafeText(bytes.data(), bytes.size(), out, outSize);
}

TEST(LogSafeText, PrintableTextStaysAndEveryOtherByteIsShownInHex) {
    struct Case {
        std::string bytes;
        std::string shown;
    } const cases[] = {
        {"0200 ABC~", "0200 ABC~"},
        {"a\nb", "a\\x0ab"},
        {"\x1b[2J", "\\x1b[2J"},
        {std::string("\0\x7f\x80\xff", 4), "\\x00\\x7f\\x80\\xff"},
        // The backslash itself, so that "\x0a" typed by the peer is told
        // apart from a line feed.
        {"\\x0a", "\\x5cx0a"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Safe(c.bytes), c.shown);
    }
}

TEST(LogSafeText, IsCutBeforeAFormThatNoLongerFitsAndStaysTerminated) {
    EXPECT_EQ(Safe("ab\ncd", 6), "ab");
    EXPECT_EQ(Safe("ab\ncd", 7), "ab\\x0a");
    EXPECT_EQ(Safe("abc", 1), "");
}

}  // namespace
