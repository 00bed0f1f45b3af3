#include "vkstp/config_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config_text.h"
#include "diag/error_log.h"
#include "diag/error_state.h"
#include "pinned_clock.h"
#include "scoped_env.h"
#include "temp_root.h"
#include "vkstp/config_view.h"

namespace fs = std::filesystem;

namespace {

struct Notice {
    int line;
    std::string text;
};

void Collect(void* context, int line, const char* text) {
    static_cast<std::vector<Notice>*>(context)->push_back({line, text});
}

class ConfigReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearError();
        ResetErrorFilePrefix();
    }

    // Loads text as ../data/velk.cfg; keeps standard output and notices.
    int Load(const std::string& text) {
        root_.WriteConfig(text);
        return LoadPath(std::string(CONFIG_FILE_PATH));
    }
    int LoadPath(const std::string& path) {
        notices_.clear();
        ConfigNotices sink{Collect, &notices_, false};
        ::testing::internal::CaptureStdout();
        int result = LoadConfigurationFrom(path.c_str(), &sink);
        output_ = ::testing::internal::GetCapturedStdout();
        return result;
    }
    std::string Log() const { return ReadFile(root_.log() / "EVT0912126.log"); }
    const ConfigHeader& Header() const { return *configView.header; }
    bool Noticed(int line, const std::string& words) const {
        for (const Notice& n : notices_) {
            if (n.line == line && n.text.find(words) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    TempRoot root_;
    ScopedEnv prefix_{"ERROR_FILE_PFX", std::nullopt};
    PinnedClock clock_;
    std::string output_;
    std::vector<Notice> notices_;
};

TEST_F(ConfigReaderTest, TheExampleFileLoadsToItsDocumentedOffsets) {
    ASSERT_EQ(LoadPath(VELK_TEST_DATA "/config/example.cfg"), 0);
    EXPECT_EQ(output_,
              "Processing SOL List ...Done\n"
              "Processing DC Server List ...Done\n"
              "Processing Miscellaneous Data ...Done\n"
              "Processing Network Parameters ...Done\n"
              "Processing Controller List ...Done\n");
    const ConfigHeader& h = Header();
    EXPECT_EQ(h.solCount, 1);
    EXPECT_EQ(h.solOffset, 52);
    EXPECT_EQ(h.serverCount, 1);
    EXPECT_EQ(h.serverOffset, 64);
    EXPECT_EQ(h.dcCount, 1);
    EXPECT_EQ(h.dcOffset, 88);
    EXPECT_EQ(h.miscOffset, 92);
    EXPECT_EQ(h.nwMiscCount, 1);
    EXPECT_EQ(h.nwMiscOffset, 112);
    EXPECT_EQ(h.controllerCount, 1);
    EXPECT_EQ(h.controllerOffset, 156);
    EXPECT_EQ(h.linkOffset, 0);
    EXPECT_EQ(h.linkCount, 0);

    const unsigned char* image = LoadedConfigImage();
    EXPECT_EQ(std::memcmp(image, &h, sizeof h), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image + 52), 12), std::string("00000001\0"
                                                                                      "01\0",
                                                                                      12));
    const DcServerRecord& server = configView.serverTable[0];
    EXPECT_STREQ(server.IP_ADDRESS, "192.0.2.10");
    EXPECT_EQ(server.PORT, 7001);
    EXPECT_EQ(image + 84, reinterpret_cast<const unsigned char*>(&server.PORT));
    EXPECT_STREQ(configView.dcTable[0].DC_ID, "01");
    EXPECT_EQ(configView.dcTable[0].status, 'N');
    EXPECT_EQ(configView.misc->READ_TIMEOUT, 10);
    EXPECT_EQ(configView.misc->TRACE_FLAG, 'N');
    EXPECT_EQ(configView.nwMiscTable[0].SWITCH_PORT, 7200);
    EXPECT_STREQ(configView.nwMiscTable[0].CONTROLLER_ID, "C01");

    const ControllerParams& c01 = configView.controllerTable[0];
    EXPECT_STREQ(c01.CONTROLLER_ID, "C01");
    EXPECT_STREQ(c01.fields[1].FIELD_NAME, "Primary Account Number");
    EXPECT_EQ(c01.fields[1].MAX_LEN, 19);
    EXPECT_EQ(c01.fields[1].LENGTH_BYTES, 2);
    EXPECT_EQ(c01.fields[2].MAX_LEN, 6);
    EXPECT_EQ(c01.fields[2].LENGTH_BYTES, 0);
    for (int n : {1, 4, 64, 128}) {
        EXPECT_EQ(c01.fields[n - 1].MAX_LEN, 0) << n;
    }
    EXPECT_EQ(ConfiguredReadTimeout(), 10);
    EXPECT_TRUE(notices_.empty()) << notices_[0].text;
}

TEST_F(ConfigReaderTest, ValuesAreConvertedByTheirKind) {
    ASSERT_EQ(
        Load("<SOL_LIST>\n<SOL>\n<sol_id>123456789\n<DC_ID>1\n</SOL>\n</SOL_LIST>\n"
             "<DC_SERVER_LIST>\n<SERVER>\n<PORT>70000\n</SERVER>\n</DC_SERVER_LIST>\n"
             "<MISCELLANEOUS>\n<READ_TIMEOUT>  12abc\n<HOST_TIMEOUT>abc\n<TRACE_FLAG>Yes\n"
             "</MISCELLANEOUS>\n" +
             ControllerListText(ControllerText("C1", FieldText(2, std::string(70, 'n'), 19, 2)))),
        0);
    EXPECT_STREQ(configView.solTable[0].SOL_ID, "12345678");
    EXPECT_STREQ(configView.solTable[0].DC_ID, "1");
    EXPECT_EQ(configView.serverTable[0].PORT, 4464);
    EXPECT_EQ(configView.misc->READ_TIMEOUT, 12);
    EXPECT_EQ(configView.misc->HOST_TIMEOUT, 0);
    EXPECT_EQ(configView.misc->TRACE_FLAG, 'Y');
    EXPECT_EQ(std::string(configView.controllerTable[0].fields[1].FIELD_NAME),
              std::string(63, 'n'));
}

TEST_F(ConfigReaderTest, AnEmptyOrCommentOnlyFileLoadsWithEverythingZero) {
    for (const char* text : {"", "# nothing here\n\nplain text\n"}) {
        ASSERT_EQ(Load(text), 0);
        EXPECT_EQ(output_, "");
        ConfigHeader zero{};
        EXPECT_EQ(std::memcmp(&Header(), &zero, sizeof zero), 0);
        EXPECT_EQ(configView.misc, nullptr);
        EXPECT_EQ(ConfiguredReadTimeout(), DEFAULT_READ_TIMEOUT);
    }
}

TEST_F(ConfigReaderTest, AMissingFileFailsWithOneRecordAndNoProgress) {
    EXPECT_EQ(LoadPath("../data/none.cfg"), -1);
    EXPECT_EQ(output_, "");
    std::string log = Log();
    EXPECT_NE(log.find("Error: (0,0) **\n[vkstp,"), std::string::npos);
    EXPECT_NE(log.find("] velk.cfg could not be opened for reading\n\n"), std::string::npos);
    EXPECT_EQ(log.find("\n####"), std::string::npos) << "exactly one record";
    EXPECT_EQ(configView.header, nullptr);
}

TEST_F(ConfigReaderTest, ADirectoryIsNoConfiguration) {
    fs::create_directories(root_.data() / "folder.cfg");
    EXPECT_EQ(LoadPath("../data/folder.cfg"), -1);
    EXPECT_EQ(output_, "");
    EXPECT_NE(Log().find("] velk.cfg could not be opened for reading\n[vkstp,"), std::string::npos);
    EXPECT_NE(Log().find("] velk.cfg is not a regular file\n"), std::string::npos);
    EXPECT_EQ(configView.header, nullptr);
}

TEST_F(ConfigReaderTest, ALineOrAFileBeyondItsBoundIsRefused) {
    const std::string section = "<MISCELLANEOUS>\n<READ_TIMEOUT>7\n</MISCELLANEOUS>\n";
    struct Case {
        std::string text;
        int result;
        std::string record;  // empty: loads
    } const cases[] = {
        {section + "# " + std::string(65534, 'x') + "\n", 0, ""},
        {section + "# " + std::string(65535, 'x') + "\n", -1,
         "] velk.cfg line 4 is longer than 65536 characters\n"},
        {section + std::string(1 << 20, '\n'), -1, "] velk.cfg is larger than 1048576 bytes\n"},
    };
    for (const Case& c : cases) {
        fs::remove_all(root_.log());
        fs::create_directories(root_.log());
        EXPECT_EQ(Load(c.text), c.result) << c.record;
        if (c.result == 0) {
            EXPECT_EQ(ConfiguredReadTimeout(), 7);
        } else {
            EXPECT_NE(Log().find(c.record), std::string::npos) << Log();
            EXPECT_EQ(configView.header, nullptr);
        }
    }
}

TEST_F(ConfigReaderTest, TablesLieInFileOrderAndARepeatedSectionReplacesItsTable) {
    std::string sols =
        "<SOL_LIST>\n<SOL>\n<SOL_ID>A\n</SOL>\n<SOL>\n<SOL_ID>B\n</SOL>\n</SOL_LIST>\n";
    std::string again = "<SOL_LIST>\n<SOL>\n<SOL_ID>C\n</SOL>\n</SOL_LIST>\n";
    ASSERT_EQ(
        Load(ControllerListText(ControllerText("C01", FieldText(3, "F", 6, 0))) + sols + again), 0);
    EXPECT_EQ(Header().controllerOffset, 52);
    EXPECT_EQ(Header().solCount, 1);
    EXPECT_EQ(Header().solOffset, 52 + 9220 + 2 * 12);
    EXPECT_STREQ(configView.solTable[0].SOL_ID, "C");
    EXPECT_TRUE(Noticed(22, "occurs again"));
}

TEST_F(ConfigReaderTest, DcIdsAreTheDistinctServerDcIdsInOrderOfFirstAppearance) {
    ASSERT_EQ(Load("<DC_SERVER_LIST>\n"
                   "<SERVER>\n<DC_ID>01\n</SERVER>\n<SERVER>\n<DC_ID>02\n</SERVER>\n"
                   "<SERVER>\n<DC_ID>01\n</SERVER>\n</DC_SERVER_LIST>\n"),
              0);
    EXPECT_EQ(Header().serverCount, 3);
    EXPECT_EQ(Header().dcCount, 2);
    EXPECT_EQ(Header().dcOffset, 52 + 3 * 24);
    EXPECT_STREQ(configView.dcTable[0].DC_ID, "01");
    EXPECT_STREQ(configView.dcTable[1].DC_ID, "02");
    EXPECT_EQ(configView.dcTable[1].status, 'N');
}

TEST_F(ConfigReaderTest, AFieldNumberOutsideTheRangeIsLoggedAndTheControllerStillCounts) {
    for (int bad : {0, 129}) {
        ResetErrorFilePrefix();
        fs::remove(root_.log() / "EVT0912126.log");
        ASSERT_EQ(Load(ControllerListText(ControllerText("C01", FieldText(2, "F", 19, 2) +
                                                                    FieldText(bad, "F", 5, 0) +
                                                                    FieldText(4, "F", 12, 0)))),
                  0);
        EXPECT_NE(Log().find("] Invalid Field: " + std::to_string(bad) + " Ctrl: C01\n"),
                  std::string::npos);
        EXPECT_EQ(Header().controllerCount, 1);
        const ControllerParams& c = configView.controllerTable[0];
        EXPECT_EQ(c.fields[1].MAX_LEN, 19);
        EXPECT_EQ(c.fields[3].MAX_LEN, 0) << "the rest of the list is passed over";
        EXPECT_EQ(output_, "Processing Controller List ...Done\n");
    }
}

TEST_F(ConfigReaderTest, AKeyBeforeAnyFieldNumberIsLogged) {
    ASSERT_EQ(Load(ControllerListText("<CONTROLLER_PARAMS>\n<CONTROLLER_ID>C01\n<FIELD_SPEC_LIST>\n"
                                      "<FIELD>\n<MAX_LEN>5\n<FIELD_NO>2\n</FIELD>\n"
                                      "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n")),
              0);
    EXPECT_NE(Log().find("Error: (0,0) **\n[vkstp,"), std::string::npos);
    EXPECT_NE(Log().find("] FieldNo unknown. Ctrl: C01\n"), std::string::npos);
    EXPECT_EQ(Header().controllerCount, 1);
    EXPECT_EQ(configView.controllerTable[0].fields[1].MAX_LEN, 0);
}

TEST_F(ConfigReaderTest, ASpecTheCodecCannotUseIsRefusedForThatFieldAlone) {
    ASSERT_EQ(Load(ControllerListText(
                  ControllerText("C01", FieldText(2, "F", 19, 4) + FieldText(3, "F", -6, 0) +
                                            FieldText(4, "F", 12, -1) + FieldText(5, "F", 12, 0)))),
              0);
    const ControllerParams& c = configView.controllerTable[0];
    for (int n : {2, 3, 4}) {
        EXPECT_EQ(c.fields[n - 1].MAX_LEN, 0) << n;
        EXPECT_EQ(c.fields[n - 1].LENGTH_BYTES, 0) << n;
        EXPECT_STREQ(c.fields[n - 1].FIELD_NAME, "") << n;
    }
    EXPECT_EQ(c.fields[4].MAX_LEN, 12);
    std::string log = Log();
    EXPECT_NE(log.find("] Invalid LENGTH_BYTES: 4 Field: 2 Ctrl: C01\n"), std::string::npos);
    EXPECT_NE(log.find("] Invalid MAX_LEN: -6 Field: 3 Ctrl: C01\n"), std::string::npos);
    EXPECT_NE(log.find("] Invalid LENGTH_BYTES: -1 Field: 4 Ctrl: C01\n"), std::string::npos);
}

TEST_F(ConfigReaderTest, KeysMayComeInAnyOrderAndALaterFieldNumberWins) {
    ASSERT_EQ(Load(ControllerListText(
                  "<CONTROLLER_PARAMS>\n<FIELD_SPEC_LIST>\n<FIELD_NO>7\n<MAX_LEN>10\n"
                  "<FIELD_NO>7\n<LENGTH_BYTES>2\n</FIELD_SPEC_LIST>\n<CONTROLLER_ID>C9\n"
                  "</CONTROLLER_PARAMS>\n")),
              0);
    const ControllerParams& c = configView.controllerTable[0];
    EXPECT_STREQ(c.CONTROLLER_ID, "C9");
    EXPECT_EQ(c.fields[6].MAX_LEN, 10);
    EXPECT_EQ(c.fields[6].LENGTH_BYTES, 2);
}

TEST_F(ConfigReaderTest, ASectionWithoutClosingTagReadsToTheEndAndCountsClosedRecords) {
    ASSERT_EQ(Load("<SOL_LIST>\n<SOL>\n<SOL_ID>A\n</SOL>\n<SOL>\n<SOL_ID>B\n"), 0);
    EXPECT_EQ(Header().solCount, 1);
    EXPECT_EQ(output_, "Processing SOL List ...Done\n");
    EXPECT_TRUE(Noticed(6, "has no closing tag"));
    EXPECT_TRUE(Noticed(6, "not closed and is not counted"));
}

TEST_F(ConfigReaderTest, ARecordNeverTakesValuesFromBytesAnEarlierTableLeft) {
    // The first controller is never closed, so its bytes stay in the image
    // unreferenced, under the SOL table that follows; the second list's
    // record lies over them and lacks its opening tag.
    ASSERT_EQ(Load("<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>OLD\n"
                   "<FIELD_SPEC_LIST>\n" +
                   FieldText(70, "F", 999, 3) + "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS_LIST>\n" +
                   "<SOL_LIST>\n<SOL>\n<SOL_ID>ABCDEFGH\n</SOL>\n</SOL_LIST>\n" +
                   "<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_ID>NEW\n</CONTROLLER_PARAMS>\n"
                   "</CONTROLLER_PARAMS_LIST>\n"),
              0);
    ASSERT_EQ(Header().controllerCount, 1);
    const ControllerParams& c = configView.controllerTable[0];
    EXPECT_STREQ(c.CONTROLLER_ID, "NEW");
    static const FieldSpec kUndefined[MAX_FIELD_NO] = {};
    EXPECT_EQ(std::memcmp(c.fields, kUndefined, sizeof kUndefined), 0);
}

TEST_F(ConfigReaderTest, CrlfLineEndsReadLikeLineFeeds) {
    std::string text = ReadFile(VELK_TEST_DATA "/config/example.cfg");
    std::string crlf;
    for (char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    ASSERT_EQ(Load(crlf), 0);
    EXPECT_EQ(Header().controllerOffset, 156);
    EXPECT_STREQ(configView.solTable[0].DC_ID, "01");
    EXPECT_STREQ(configView.controllerTable[0].fields[1].FIELD_NAME, "Primary Account Number");
}

std::string Controllers(int count) {
    std::string controllers;
    for (int i = 0; i < count; ++i) {
        std::string id = std::to_string(i);
        controllers += ControllerText(id, FieldText(2, "F", 19, 2));
    }
    return controllers;
}

TEST_F(ConfigReaderTest, ElevenControllersDoNotFitAndStopTheLoad) {
    EXPECT_EQ(Load(ControllerListText(Controllers(11))), -1);
    EXPECT_NE(Log().find("] vkstp: Configuration larger than 98304 bytes at line "),
              std::string::npos);
    EXPECT_EQ(configView.header, nullptr);
    // Ten fit, with 6,052 bytes to spare.
    EXPECT_EQ(Load(ControllerListText(Controllers(10))), 0);
    EXPECT_EQ(Header().controllerCount, 10);
}

TEST_F(ConfigReaderTest, HostileFilesNeverCrashOrWritePastTheImage) {
    std::string binary;
    for (int i = 0; i < 20000; ++i) {
        binary += static_cast<char>((i * 131 + 7) % 256);
    }
    std::string longLine = "<SOL_LIST>\n<SOL>\n<SOL_ID>" + std::string(10000, 'x') + "\n</SOL>\n";
    std::string nuls = std::string("<SOL_LIST>\n<SOL>\n<SOL_ID>AB\0CD\n</SOL>\n</SOL_LIST>\n", 45);
    std::string manyMisc;
    for (int i = 0; i < 6000; ++i) {
        manyMisc += "<MISCELLANEOUS>\n</MISCELLANEOUS>\n";
    }
    for (const std::string& text : {binary, longLine, nuls}) {
        EXPECT_EQ(Load(text), 0);
    }
    EXPECT_STREQ(configView.solTable[0].SOL_ID, "AB");
    EXPECT_TRUE(Noticed(3, "NUL byte"));
    EXPECT_EQ(Load(manyMisc), -1);
}

TEST_F(ConfigReaderTest, NoticesNameTheLinesPassedOver) {
    ASSERT_EQ(Load("<BOGUS>\n"        // 1
                   "<SOL_LIST>\n"     // 2
                   "<SOL_ID>early\n"  // 3: before its record opens
                   "<SOL>\n"          // 4
                   "<COLOUR>blue\n"   // 5
                   "</SOL>\n"         // 6
                   "</SOL_LIST>\n" +  // 7
                   ControllerListText(ControllerText("C01",
                                                     "<FIELD>\n<FIELD_NO>2\n<MAX_LEN>150\n"
                                                     "<LENGTH_BYTES>2\n</FIELD>\n"))),
              0);
    EXPECT_TRUE(Noticed(1, "unknown tag <BOGUS> outside any section"));
    EXPECT_TRUE(Noticed(3, "<SOL_ID> outside a record"));
    EXPECT_TRUE(Noticed(5, "unknown tag <COLOUR> in <SOL_LIST>"));
    EXPECT_TRUE(Noticed(14, "MAX_LEN 150 needs more than 2 length digits"));
    EXPECT_EQ(notices_.size(), 4u);
}

TEST_F(ConfigReaderTest, LookupsFollowStartUpAndOpenPortRules) {
    ASSERT_EQ(Load(ControllerListText(ControllerText("C1", FieldText(2, "F", 1, 0)) +
                                      ControllerText("C12", "") +
                                      ControllerText("ABC", FieldText(3, "F", 1, 0)))),
              0);
    FieldSpec* c1 = configView.controllerTable[0].fields;
    FieldSpec* c12 = configView.controllerTable[1].fields;
    FieldSpec* abc = configView.controllerTable[2].fields;
    EXPECT_EQ(FindControllerExact("C1"), c1);
    EXPECT_EQ(FindControllerExact("C12"), c12);
    EXPECT_EQ(FindControllerExact("C"), nullptr);
    EXPECT_EQ(FindControllerExact("abc"), nullptr);
    EXPECT_EQ(FindControllerExact("ABCD"), nullptr);
    EXPECT_EQ(FindControllerBounded("ABCD"), abc);
    EXPECT_EQ(FindControllerBounded("C1"), c1);
    EXPECT_EQ(FindControllerBounded("C13"), nullptr);
    EXPECT_EQ(FindControllerBounded("ZTR"), nullptr);
}

}  // namespace
