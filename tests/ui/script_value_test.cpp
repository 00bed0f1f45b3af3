#include "ui/script/script_value.h"

#include <gtest/gtest.h>

#include "fake_value_source.h"

#include <ctime>
#include <map>
#include <string>

namespace {

class Boxes : public FakeValueSource {
  public:
    Boxes() {
        texts = {{11, "000123"},
                 {37, "RRN"},
                 {2, "4000000000000002"},
                 {55, "9F360200429F2701807703910100"}};
        sequence = 42;
    }
};

std::string Expand(const std::string& written, Boxes& boxes, size_t room = 512) {
    ui::ScriptValue value;
    std::string why;
    EXPECT_TRUE(ui::ParseScriptValue(written, value, why)) << written << ": " << why;
    std::string out(room, '\xff');
    size_t length = ui::ExpandScriptValue(value, boxes, out.data(), room);
    out.resize(out.find('\0'));
    if (length < room) {
        EXPECT_EQ(length, out.size()) << written;
    }
    return out;
}

TEST(ScriptValue, LiveValuesAreReplacedWhenTheLineRuns) {
    Boxes boxes;
    struct Case {
        const char* written;
        const char* expanded;
    } const cases[] = {
        {"plain text", "plain text"},
        {"${11}", "000123"},
        {"6${11:2:4}99", "6012399"},
        {"${2:12:10}", "0002"},  // cut at the end
        {"${2:16:3}", ""},       // starts at the end
        {"${99}", ""},           // no such box
        {"${seq:6}", "000042"},
        {"${seq:1}", "2"},  // the last digits
        {"$$${37}$", "$RRN$"},
        {"cost $5", "cost $5"},  // a lone "$" is itself
        {"req-${seq:3}.dat", "req-042.dat"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Expand(c.written, boxes), c.expanded) << c.written;
    }
}

TEST(ScriptValue, RandomDigitsAndTimesHaveTheirShape) {
    Boxes boxes;
    std::string first = Expand("${rand:18}", boxes);
    ASSERT_EQ(first.size(), 18u);
    EXPECT_EQ(first.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_NE(Expand("${rand:18}", boxes), first) << "fresh digits every time";
    EXPECT_EQ(Expand("${rand:6}", boxes).size(), 6u);

    std::time_t before = std::time(nullptr);
    std::string stamp = Expand("${utc:%Y-%m-%d %H:%M:%S}", boxes);
    std::tm parsed{};
    ASSERT_EQ(std::sscanf(stamp.c_str(), "%d-%d-%d %d:%d:%d", &parsed.tm_year, &parsed.tm_mon,
                          &parsed.tm_mday, &parsed.tm_hour, &parsed.tm_min, &parsed.tm_sec),
              6)
        << stamp;
    char expected[32];
    std::strftime(expected, sizeof expected, "%Y-%m-%d %H:%M", std::gmtime(&before));
    EXPECT_EQ(stamp.substr(0, 16), expected) << "UTC now (a minute may turn meanwhile, rarely)";
    EXPECT_EQ(Expand("${now:%m%d%H%M%S}", boxes).size(), 10u);
}

TEST(ScriptValue, AValueLongerThanTheRoomIsCutAndItsLengthReported) {
    Boxes boxes;
    ui::ScriptValue value;
    std::string why;
    ASSERT_TRUE(ui::ParseScriptValue("ab${11}cd", value, why));
    char out[5];
    EXPECT_EQ(ui::ExpandScriptValue(value, boxes, out, sizeof out), 10u);
    EXPECT_STREQ(out, "ab00");
}

}  // namespace

namespace {

TEST(ScriptValue, AChipDataObjectReadsAsItsValueInHexadecimal) {
    Boxes boxes;
    EXPECT_EQ(Expand("ATC ${55.9F36}", boxes), "ATC 0042");
    EXPECT_EQ(Expand("${55.9F36:2:2}", boxes), "42");
    EXPECT_EQ(Expand("${55.77.91}", boxes), "00");
    EXPECT_EQ(Expand("[${55.9F26}]", boxes), "[]");  // absent
    EXPECT_EQ(Expand("[${11.9F26}]", boxes), "[]");  // not chip data
    ui::ScriptValue value;
    std::string why;
    EXPECT_FALSE(ui::ParseScriptValue("${55.9F}", value, why));
    EXPECT_FALSE(ui::ParseScriptValue("${0.9F27}", value, why));
}

}  // namespace
