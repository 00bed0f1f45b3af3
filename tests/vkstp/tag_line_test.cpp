#include "vkstp/tag_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SplitTagLine, FindsTheTagBetweenTheFirstBracketsAndKeepsTheValueAsWritten) {
    struct Case {
        const char* line;
        const char* tag;
        const char* value;
    };
    const Case cases[] = {
        {"<sol_id>12345678\n", "SOL_ID", "12345678"},
        {"    <FIELD_NO>2\n", "FIELD_NO", "2"},
        {"<FIELD_NAME> Primary  Account \n", "FIELD_NAME", " Primary  Account "},
        {"</Sol_List>\n", "/SOL_LIST", ""},
        {"<a b>v\n", "A B", "v"},
        {"<SOL_ID>x</SOL_ID>\n", "SOL_ID", "x</SOL_ID>"},
        {"<Dc_Id>a1\n", "DC_ID", "a1"},
        {"<ÿx>v", "\xC3\xBFX", "v"},  // only a to z change case
        {"<TRACE_FLAG>N", "TRACE_FLAG", "N"},
        // No tag: comments, blank lines, empty brackets, brackets out of order.
        {"# a comment\n", "", ""},
        {"\n", "", ""},
        {"<>value\n", "", "value"},
        {"only < open\n", "", ""},
        {"only > close\n", "", ""},
        {"a>b<c\n", "", ""},
    };
    for (const Case& c : cases) {
        char tag[256];
        char value[256];
        SplitTagLine(c.line, tag, value);
        EXPECT_STREQ(tag, c.tag) << c.line;
        EXPECT_STREQ(value, c.value) << c.line;
    }
}

}  // namespace
