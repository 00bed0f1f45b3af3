#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

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
