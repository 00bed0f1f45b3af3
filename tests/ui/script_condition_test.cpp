#include "ui/script/script_condition.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each condition as written in an "on" line, against one box.
TEST(ScriptCondition, EveryFormHoldsForTheBoxesItDescribes) {
    struct Case {
        const char* condition;
        const char* box;  // null: the field has no edit box
        bool holds;
    } const cases[] = {
        {"*", "", true},
        {"*", nullptr, true},
        {"0=0200", "0200", true},
        {"0=0200", "02000", false},
        {"0=0200", nullptr, false},
        {"41=\"TERM 001\"", "TERM 001", true},
        {"41=\"say \\\"hi\\\" \\\\ *\"", "say \"hi\" \\ *",
         true},  // escapes; a quoted star is itself
        {"2=4000*", "4000123", true},
        {"2=4000*", "1234000", false},
        {"2=*0002", "4000000000000002", true},
        {"2=*0002", "0002x", false},
        {"41=*\"M 0\"*", "TERM 001", true},
        {"41=\"TE\"*", "TERM", true},
        {"2=41*11", "41*11", true},  // a star inside is itself
        {"2=41*11", "41011", false},
        {"4=", "", true},
        {"4=", "1", false},
        {"4!=", "1", true},
        {"4!=", "", false},
        {"4!=", nullptr, false},
        {"0!=0800", "0200", true},
        {"2!=4000*", "4000123", false},
        {"4<=000000100000", "000000100000", true},
        {"4<=100000", "000000100001", false},
        {"4<100000", "99999", true},
        {"4>100000", "000000100001", true},
        {"4>=0", "0", true},
        {"4>=0", "", false},      // not a number
        {"4<999", "12 ", false},  // a blank is not a digit
        {"4<999", "+12", false},
        {"4>0", "1234567890123456789", false},  // more than 18 digits
        {"4>0", "0001234567890123456789", false},
        {"4>0", "0009999999999999999999", false},  // 19 digits after the zeros
        {"4>0", "000999999999999999999", true},    // 18
    };
    for (const Case& c : cases) {
        std::string line = c.condition;
        size_t pos = 0;
        ui::ScriptCondition condition;
        std::string why;
        ASSERT_TRUE(ui::ParseCondition(line, pos, condition, why)) << c.condition << ": " << why;
        EXPECT_EQ(pos, line.size()) << c.condition;
        EXPECT_EQ(ui::ConditionHolds(condition, c.box != nullptr ? c.box : "", c.box != nullptr),
                  c.holds)
            << c.condition << " on \"" << (c.box != nullptr ? c.box : "(no box)") << "\"";
    }
}

}  // namespace

namespace {

// Conditions on one data object of a chip data box (its hexadecimal).
TEST(ScriptCondition, AnObjectConditionHoldsForTheObjectsValue) {
    // 9F02 06 000000012345, 77 { 9F27 01 80 }, 9F10 00, then a cut 9F36.
    const char* const box =
        "9F0206000000012345"
        "77049F270180"
        "9F1000"
        "9F3602";
    struct Case {
        const char* condition;
        bool holds;
    } const cases[] = {
        {"55.9F02>=000000010000", true},
        {"55.9F02<=000000010000", false},
        {"55.9F02=000000012345", true},
        {"55.9F27=80", true},  // found inside 77
        {"55.77.9F27=80", true},
        {"55.9F27!=80", false},
        {"55.77=9F270180", true},  // a constructed object's value: its children's bytes
        {"55.9F10=*", true},       // present, though empty
        {"55.9F10=", true},
        {"55.9F26=*", false},
        {"55.9F26!=*", true},
        {"55.9F26=", true},  // absent reads as empty
        {"55.9F26<1", false},
        {"55.9F36=*", false},  // after the malformed part: not found
        {"55.9f02=0000*", true},
    };
    for (const Case& c : cases) {
        std::string line = c.condition;
        size_t pos = 0;
        ui::ScriptCondition condition;
        std::string why;
        ASSERT_TRUE(ui::ParseCondition(line, pos, condition, why)) << c.condition << ": " << why;
        EXPECT_EQ(pos, line.size()) << c.condition;
        EXPECT_EQ(ui::ConditionHolds(condition, box, true), c.holds) << c.condition;
        EXPECT_FALSE(ui::ConditionHolds(condition, box, false)) << c.condition;
    }
    // A box that is not hexadecimal holds no object.
    std::string line = "55.9F27!=*";
    size_t pos = 0;
    ui::ScriptCondition condition;
    std::string why;
    ASSERT_TRUE(ui::ParseCondition(line, pos, condition, why));
    EXPECT_TRUE(ui::ConditionHolds(condition, "not hex", true));
}

TEST(ScriptCondition, RefusesAnObjectPathThatIsNotOne) {
    for (const char* text :
         {"55.=80", "55.9F=80", "55.9F02.01=1", "0.9F27=80", "55.ZZ=1", "55.9F27*"}) {
        std::string line = text;
        size_t pos = 0;
        ui::ScriptCondition condition;
        std::string why;
        EXPECT_FALSE(ui::ParseCondition(line, pos, condition, why)) << text;
    }
}

}  // namespace
