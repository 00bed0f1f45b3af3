// velkctl make, show and send speak value forms: BCD as digits, EBCDIC as
// text, BINARY as hexadecimal, with \xHH for a byte that is not printable;
// the data file holds the wire.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "config_text.h"
#include "encoded_controller.h"
#include "run_command.h"
#include "temp_root.h"

namespace {

using ::testing::HasSubstr;

// The bytes of a literal, NULs included.
template <size_t N>
std::string Wire(const char (&bytes)[N]) {
    return std::string(bytes, N - 1);
}

class VelkctlValueForms : public ::testing::Test {
  protected:
    void SetUp() override { root_.WriteConfig(ControllerListText(EncodedControllerText())); }

    TempRoot root_;
};

TEST_F(VelkctlValueForms, MakeWritesTheWireAndShowPrintsTheValueFormsBack) {
    CommandResult made = RunVelkctl(
        "make E01 v.dat 0=0200 2=378282246310005 3=000000 4=000000001234 39=00 "
        "'43=CAF\\xc9 A\\x01B' 52=0123456789abcdef");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string bytes = ReadFile("v.dat");
    // 15 digits padded with F after a binary length byte, the text in code
    // page 1047 (a Latin-1 byte taken as its character), the PIN block as its
    // bytes.
    EXPECT_THAT(bytes, HasSubstr(Wire("\x0F\x37\x82\x82\x24\x63\x10\x00\x5F")));
    EXPECT_THAT(bytes, HasSubstr(Wire("\xF0\xF0\x08\xC3\xC1\xC6\x71\x40\xC1\x01\xC2")));
    EXPECT_THAT(bytes, HasSubstr(Wire("\x01\x23\x45\x67\x89\xAB\xCD\xEF")));

    CommandResult shown = RunVelkctl("show E01 v.dat");
    ASSERT_EQ(shown.exitCode, 0) << shown.output;
    for (const char* line :
         {"2 Primary Account Number: 378282246310005\n", "3 Processing Code: 000000\n",
          "39 Response Code: 00\n", "43 Card Acceptor: CAF\\xc3\\x89 A\\x01B\n",
          "52 PIN Data: 0123456789ABCDEF\n"}) {
        EXPECT_THAT(shown.output, HasSubstr(line));
    }

    // Each "N NAME: VALUE" line given back to make as N=VALUE.
    std::string again = "make E01 w.dat";
    std::istringstream lines(shown.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        again += " '" + line.substr(0, line.find(' ')) + "=" + line.substr(colon + 2) + "'";
    }
    ASSERT_EQ(RunVelkctl(again).exitCode, 0) << again;
    EXPECT_EQ(ReadFile("w.dat"), bytes);
}

TEST_F(VelkctlValueForms, AValueFormItsFieldCannotTakeIsRefusedNamingTheField) {
    struct Case {
        const char* field;
        const char* reason;
    } const cases[] = {
        {"3=01A000", "Field: 3 non-digit 'A' in a BCD value"},
        {"52=0123", "Field: 52 2 of the 8 bytes of a fixed BINARY value"},
        {"43=\\xe2\\x82\\xac", "Field: 43 character U+20AC has no place in code page 1047"},
    };
    for (const Case& c : cases) {
        CommandResult run = RunVelkctl(std::string("make E01 x.dat 0=0200 '") + c.field + "'");
        EXPECT_EQ(run.exitCode, 1) << c.field;
        EXPECT_THAT(run.output, HasSubstr(c.reason)) << c.field;
    }
}

}  // namespace
