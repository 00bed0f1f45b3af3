#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(std::string text) {
    std::vector<std::string> tokens;
    char* cursor = text.data();
    while (char* token = NextToken(cursor)) {
        tokens.push_back(token);
    }
    return tokens;
}

TEST(NextToken, BlanksAndTabsInAnyMixtureSeparateTokens) {
    struct Case {
        std::string text;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"", {}},
        {" \t \t", {}},
        {"C01 7001", {"C01", "7001"}},
        {"\t C01\t\t 7001  extra", {"C01", "7001", "extra"}},
        {"ZTR\t12ab", {"ZTR", "12ab"}},
        {"C01\n7001", {"C01\n7001"}},  // only blanks and tabs separate
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Tokens(c.text), c.tokens) << '"' << c.text << '"';
    }
}

TEST(NextToken, CutsTheTokenInTheTextItself) {
    char text[] = "C01 7001";
    char* cursor = text;
    char* first = NextToken(cursor);
    EXPECT_EQ(first, text);
    EXPECT_EQ(text[3], '\0');
    EXPECT_STREQ(NextToken(cursor), "7001");
    EXPECT_EQ(NextToken(cursor), nullptr);
}

}  // namespace
