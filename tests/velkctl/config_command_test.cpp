#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

#include "config_text.h"
#include "run_command.h"
#include "scoped_env.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

TEST(VelkctlConfig, SummarisesTheExampleAndWritesItsImage) {
    TempRoot root;
    fs::copy_file(VELK_TEST_DATA "/config/example.cfg", root.data() / "velk.cfg");
    CommandResult run = RunVelkctl("config --image image.bin");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.rfind("Processing SOL List ...Done\n"
                               "Processing DC Server List ...Done\n"
                               "Processing Miscellaneous Data ...Done\n"
                               "Processing Network Parameters ...Done\n"
                               "Processing Controller List ...Done\n",
                               0),
              0u)
        << run.output;
    for (const char* expected : {"SOL list: 1", "00000001  01", "192.0.2.10", "DC ids: 01 (N)",
                                 "READ_TIMEOUT    10 s", "C01: 2 fields defined",
                                 "Primary Account Number", "2 (LL)", "0 (fixed)", "No warnings."}) {
        EXPECT_NE(run.output.find(expected), std::string::npos) << expected;
    }
    std::string image = ReadFile("image.bin");
    ASSERT_EQ(image.size(), 98304u);
    auto at = [&](size_t offset) {
        int32_t value;
        std::memcpy(&value, image.data() + offset, 4);
        return value;
    };
    EXPECT_EQ(at(4), 52);    // SOL
    EXPECT_EQ(at(12), 64);   // servers
    EXPECT_EQ(at(48), 88);   // DC ids
    EXPECT_EQ(at(24), 92);   // misc
    EXPECT_EQ(at(32), 112);  // network
    EXPECT_EQ(at(40), 156);  // controllers
    EXPECT_EQ(image.substr(156, 4), std::string("C01\0", 4));
}

TEST(VelkctlConfig, WarnsWithLineNumbersAndStillLoads) {
    TempRoot root;
    root.WriteConfig(
        "<CONTROLLER_PARAMS_LIST>\n"
        "<CONTROLLER_PARAMS>\n"
        "<CONTROLLER_ID>C01\n"
        "<FIELD_SPEC_LIST>\n"
        "<FIELD_NO>2\n"
        "<MAX_LEN>19\n"
        "<LENGTH_BYTES>5\n"
        "<FEILD_NAME>typo\n"
        "</FIELD_SPEC_LIST>\n"
        "</CONTROLLER_PARAMS>\n"
        "<CONTROLLER_PARAMS>\n"
        "<CONTROLLER_ID>C01\n"
        "</CONTROLLER_PARAMS>\n"
        "</CONTROLLER_PARAMS_LIST>\n");
    CommandResult run = RunVelkctl("config");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("line 8: unknown tag <FEILD_NAME> in <FIELD_SPEC_LIST>"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("line 7: field 2 of C01: LENGTH_BYTES 5 is refused"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("controller C01 is configured more than once"), std::string::npos);
    EXPECT_NE(run.output.find("C01: 0 fields defined"), std::string::npos);
}

TEST(VelkctlConfig, WarnsAboutEveryValueTheReaderTakesOtherwiseThanWritten) {
    TempRoot root;
    root.WriteConfig(
        "<MISCELLANEOUS>\n"           // 1
        "  <HOST_TIMOUT>30\n"         // 2
        "  <READ_TIMEOUT>1O\n"        // 3
        "  <HOST_TIMEOUT>abc\n"       // 4
        "  <TRACE_FLAG>Yes\n"         // 5
        "</MISCELLANEOUS>\n"          // 6
        "<DC_SERVER_LIST>\n"          // 7
        "<SERVER>\n"                  // 8
        "<PORT>70000\n"               // 9
        "</SERVER>\n"                 // 10
        "</DC_SERVER_LIST>\n"         // 11
        "<CONTROLLER_PARAMS_LIST>\n"  // 12
        "<CONTROLLER_PARAMS>\n"       // 13
        "<CONTROLLER_ID>LONGID\n"     // 14
        "<FIELD_SPEC_LIST>\n"         // 15
        "<FIELD>\n"                   // 16
        "<FIELD_NO>4O\n"              // 17
        "<MAX_LEN>12\n"               // 18
        "</FIELD>\n"                  // 19
        "<FIELD>\n"                   // 20
        "<FIELD_NO>11\n"              // 21
        "<MAX_LEN>6\n"                // 22
        "</FIELD>\n"                  // 23
        "<FIELD>\n"                   // 24
        "<FIELD_NO>11\n"              // 25
        "<FIELD_NAME>STAN\n"          // 26
        "</FIELD>\n"                  // 27
        "<FIELD>\n"                   // 28
        "<FIELD_NO>12\n"              // 29
        "<MAX_LEN>0\n"                // 30
        "</FIELD>\n"                  // 31
        "<FIELD>\n"                   // 32
        "<FIELD_NO>13\n"              // 33
        "<FIELD_NAME>DATE\n"          // 34
        "</FIELD>\n"                  // 35
        "<FIELD>\n"                   // 36
        "<FIELD_NO>1\n"               // 37
        "<MAX_LEN>8\n"                // 38
        "</FIELD>\n"                  // 39
        "<FIELD>\n"                   // 40
        "<FIELD_NO>14\n"              // 41
        "<MAX_LEN>99999999999\n"      // 42
        "</FIELD>\n"                  // 43
        "<FIELD>\n"                   // 44
        "<FIELD_NO>15\n"              // 45: MAX_LEN comes with the second FIELD_NO
        "</FIELD>\n"                  // 46
        "<FIELD>\n"                   // 47
        "<FIELD_NO>15\n"              // 48
        "<MAX_LEN>2\n"                // 49
        "</FIELD>\n"                  // 50
        "</FIELD_SPEC_LIST>\n"        // 51
        "</CONTROLLER_PARAMS>\n"      // 52
        "</CONTROLLER_PARAMS_LIST>\n");
    const char* const warnings[] = {
        "line 2: unknown tag <HOST_TIMOUT> in <MISCELLANEOUS>; passed over",
        "line 3: <READ_TIMEOUT> value '1O' is not a number: its digits end at 'O'; the "
        "responder uses 1",
        "line 4: <HOST_TIMEOUT> value 'abc' is not a number; it is read as 0, so the responder "
        "uses 30 s (the default)",
        "line 5: <TRACE_FLAG> value 'Yes' is longer than 1 character; the responder uses 'Y'",
        "line 9: <PORT> value '70000' is outside 0 to 65535; the responder uses 4464",
        "line 14: <CONTROLLER_ID> value 'LONGID' is longer than 3 characters; the responder "
        "uses 'LON'",
        "line 17: <FIELD_NO> value '4O' is not a number: its digits end at 'O'; the responder "
        "uses 4",
        "line 25: field 11 of LON is given again (first at line 21)",
        "line 30: field 12 of LON has MAX_LEN 0: the field stays undefined",
        "line 33: field 13 of LON has no MAX_LEN: the field stays undefined",
        "line 37: field 1 of LON is the secondary bitmap",
        "line 42: <MAX_LEN> value '99999999999' is outside -2147483648 to 2147483647; the "
        "responder uses 2147483647",
    };
    for (const char* strict : {"", " --strict"}) {
        CommandResult run = RunVelkctl(std::string("config") + strict);
        EXPECT_EQ(run.exitCode, *strict == '\0' ? 0 : 2) << run.output;
        for (const char* warning : warnings) {
            EXPECT_NE(run.output.find(std::string("  ") + warning), std::string::npos)
                << warning << "\n"
                << run.output;
        }
        // The summary says what the responder uses, and what (N) is.
        EXPECT_NE(run.output.find("HOST_TIMEOUT    0 (below 1: the responder uses the default, "
                                  "30 s;"),
                  std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find("(in brackets: the status of each DC id"), std::string::npos);
        EXPECT_NE(run.output.find("LON: 5 fields defined"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("field 15 of LON has no MAX_LEN"), std::string::npos);
        // In line order: the fields told undefined at the end of their list too.
        EXPECT_LT(run.output.find("line 30: "), run.output.find("line 37: "));
    }
    // A configuration without warnings passes the strict check.
    // Removed first: MinGW's copy_file refuses to overwrite, whatever the options.
    fs::remove(root.data() / "velk.cfg");
    fs::copy_file(VELK_TEST_DATA "/config/example.cfg", root.data() / "velk.cfg");
    CommandResult clean = RunVelkctl("config --strict");
    EXPECT_EQ(clean.exitCode, 0) << clean.output;
    EXPECT_NE(clean.output.find("HOST_TIMEOUT    30 s ("), std::string::npos) << clean.output;
}

TEST(VelkctlConfig, WarnsAboutAPrefixOrReadTimeoutThatCannotServe) {
    struct Case {
        const char* headerLength;
        const char* readTimeout;  // the MISCELLANEOUS line, or "" for none
        const char* warning;      // null: "No warnings."
    } const cases[] = {
        {"1", "<READ_TIMEOUT>10", "HEADER_LENGTH 1 can carry no ISO 8583 message"},
        {"2", "<READ_TIMEOUT>10", "HEADER_LENGTH 2 carries ISO 8583 messages of at most 99 bytes"},
        {"4", "<READ_TIMEOUT>10", nullptr},
        {"0", "<READ_TIMEOUT>-1", "READ_TIMEOUT -1 waits without limit"},
        {"0", "<READ_TIMEOUT>0",
         "READ_TIMEOUT 0 (also what a MISCELLANEOUS section without it "
         "gives) does not wait at all"},
        {"0", "", "READ_TIMEOUT 0 (also"},
    };
    for (const Case& c : cases) {
        TempRoot root;
        root.WriteConfig(std::string("<MISCELLANEOUS>\n") + c.readTimeout +
                         "\n</MISCELLANEOUS>\n<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n"
                         "<CONTROLLER_ID>C01\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n");
        ScopedEnv env("HEADER_LENGTH", c.headerLength);
        CommandResult run = RunVelkctl("config");
        EXPECT_EQ(run.exitCode, 0) << run.output;
        std::string expected =
            c.warning != nullptr ? std::string("Warnings: 1\n  ") + c.warning : "No warnings.";
        EXPECT_NE(run.output.find(expected), std::string::npos) << run.output;
    }
}

TEST(VelkctlConfig, ShowsEachFieldsEncodingsAndWarnsAboutThoseThatCannotWork) {
    TempRoot root;
    auto field = [](int n, int maxLen, int lengthBytes, const std::string& tags) {
        const std::string text = FieldText(n, "F", maxLen, lengthBytes);
        const size_t end = text.rfind("</FIELD>");
        return text.substr(0, end) + tags + text.substr(end);
    };
    root.WriteConfig(
        "<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>V01\n"
        "<MTI_ENCODING>BCD\n<CODE_PAGE>037\n<FIELD_SPEC_LIST>\n" +
        field(2, 19, 2, "<ENCODING>BCD\n<LENGTH_ENCODING>BINARY\n") +
        field(43, 40, 0, "<ENCODING>BCD_F\n<FIELD_TYPE>ans\n") +
        field(48, 300, 2, "<ENCODING>EBCDIC\n<LENGTH_ENCODING>BCD\n") +
        field(55, 255, 3, "<ENCODING>BINARY\n<LENGTH_ENCODING>BINARY\n") +
        field(63, 200, 2, "<ENCODING>BINARY\n<LENGTH_ENCODING>BINARY\n") +
        "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n");
    CommandResult run = RunVelkctl("config");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    for (const char* expected : {
             "MTI_ENCODING BCD, BITMAP_ENCODING BINARY, CODE_PAGE 037\n",
             "LENGTH_BYTES  ENCODING   LENGTH_ENCODING\n",
             "19  2 (LL)        BCD        BINARY\n",
             "40  0 (fixed)     BCD_F      -\n",
             "255  3 (LLL)       BINARY     BINARY\n",
             "Warnings: 2\n",
             "field 43 of V01: BCD_F holds digits only, FIELD_TYPE ans has other characters",
             "field 48 of V01: MAX_LEN 300 is above the 99 a BCD length prefix of LENGTH_BYTES 2 "
             "carries",
         }) {
        EXPECT_NE(run.output.find(expected), std::string::npos) << expected << "\n" << run.output;
    }
}

TEST(Velkctl, TellsItsVersion) {
    CommandResult run = RunVelkctl("--version");
    EXPECT_EQ(run.exitCode, 0);
    // The project's version, as CMake has it.
    EXPECT_TRUE(std::regex_match(run.output, std::regex("velkctl [0-9]+(\\.[0-9]+)*\n")))
        << run.output;
}

TEST(VelkctlConfig, AMissingConfigurationExitsWithOne) {
    TempRoot root;
    CommandResult run = RunVelkctl("config");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("could not be loaded"), std::string::npos) << run.output;
    EXPECT_NE(ReadFile(root.log() / fs::directory_iterator(root.log())->path().filename())
                  .find("velk.cfg could not be opened for reading"),
              std::string::npos);
}

}  // namespace
