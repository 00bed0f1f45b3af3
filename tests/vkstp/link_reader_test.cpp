#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "config_text.h"
#include "diag/error_log.h"
#include "diag/error_state.h"
#include "pinned_clock.h"
#include "scoped_env.h"
#include "temp_root.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"
#include "vkstp/link_record.h"

namespace {

void Collect(void* context, int /*line*/, const char* text) {
    static_cast<std::vector<std::string>*>(context)->push_back(text);
}

// A controller record with the given lines between CONTROLLER_ID and the
// field-spec list, and the given field records.
std::string LinkedController(const std::string& id, const std::string& tags,
                             const std::string& fields) {
    return "<CONTROLLER_PARAMS>\n<CONTROLLER_ID>" + id + "\n" + tags + "<FIELD_SPEC_LIST>\n" +
           fields + "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n";
}

std::string TypedField(int n, int maxLen, int lengthBytes, const std::string& tags) {
    std::string text = FieldText(n, "F", maxLen, lengthBytes);
    text.insert(text.rfind("</FIELD>"), tags);
    return text;
}

class LinkReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearError();
        ResetErrorFilePrefix();
    }
    int Load(const std::string& controllers) {
        root_.WriteConfig(ControllerListText(controllers));
        notices_.clear();
        ConfigNotices sink{Collect, &notices_, true};
        return LoadConfigurationFrom(CONFIG_FILE_PATH, &sink);
    }
    std::string Log() const { return ReadFile(root_.log() / "EVT0912126.log"); }
    bool Noticed(const std::string& words) const {
        for (const std::string& n : notices_) {
            if (n.find(words) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    TempRoot root_;
    ScopedEnv prefix_{"ERROR_FILE_PFX", std::nullopt};
    PinnedClock clock_;
    std::vector<std::string> notices_;
};

TEST_F(LinkReaderTest, EveryTagLandsInTheControllersRecordAndOthersHaveNone) {
    const std::string tags =
        "<FRAMING>bin2\n<FRAMING_COUNTS_ITSELF>Y\n<TPDU>6000010000\n<TRAILER>03\n"
        "<KEEPALIVE>ECHO\n<MTI_ENCODING>BCD\n<BITMAP_ENCODING>EBCDIC_HEX\n<CODE_PAGE>037\n"
        "<MESSAGE_RULE_LIST>\n<MESSAGE_RULE>\n<MTI>0200\n<MANDATORY>2 3 4 11\n"
        "<OPTIONAL>35, 52\n</MESSAGE_RULE>\n<MESSAGE_RULE>\n<MTI>0800\n<MANDATORY>70\n"
        "</MESSAGE_RULE>\n</MESSAGE_RULE_LIST>\n";
    const std::string fields =
        TypedField(2, 19, 2, "<ENCODING>BCD_F\n<LENGTH_ENCODING>BINARY\n<FIELD_TYPE>n\n") +
        TypedField(55, 255, 3, "<ENCODING>BINARY\n<FIELD_FORMAT>TLV\n") + FieldText(3, "P", 6, 0);
    ASSERT_EQ(Load(ControllerText("C01", FieldText(3, "P", 6, 0)) +
                   LinkedController("V01", tags, fields)),
              0)
        << Log();

    EXPECT_EQ(FindLinkExact("C01"), nullptr);
    const LinkRecord* link = FindLinkExact("V01");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link, FindLinkBounded("V01X"));
    EXPECT_EQ(configView.header->linkCount, 1);
    EXPECT_EQ(configView.header->linkOffset,
              configView.header->controllerOffset + 2 * static_cast<int>(sizeof(ControllerParams)));
    EXPECT_TRUE(ConfigLinksValid(configView.image));

    EXPECT_EQ(LinkFraming(*link), FramingTag::Bin2);
    EXPECT_EQ(link->FRAMING_COUNTS_ITSELF, 1);
    ASSERT_EQ(link->tpduLength, TPDU_LENGTH);
    EXPECT_EQ(std::memcmp(link->TPDU, "\x60\x00\x01\x00\x00", 5), 0);
    ASSERT_EQ(link->trailerLength, 1);
    EXPECT_EQ(link->TRAILER[0], 0x03);
    EXPECT_EQ(static_cast<KeepAliveTag>(link->KEEPALIVE), KeepAliveTag::Echo);
    EXPECT_EQ(static_cast<MtiEncoding>(link->MTI_ENCODING), MtiEncoding::Bcd);
    EXPECT_EQ(static_cast<BitmapEncoding>(link->BITMAP_ENCODING), BitmapEncoding::EbcdicHex);
    EXPECT_EQ(static_cast<CodePage>(link->CODE_PAGE), CodePage::Cp037);

    EXPECT_EQ(FieldEncoding(LinkFieldOf(*link, 2)), ValueEncoding::BcdF);
    EXPECT_EQ(FieldLengthEncoding(LinkFieldOf(*link, 2)), LengthEncoding::Binary);
    EXPECT_EQ(FieldTypeOf(LinkFieldOf(*link, 2)), FieldType::N);
    EXPECT_EQ(FieldFormatOf(LinkFieldOf(*link, 55)), FieldFormat::Tlv);
    EXPECT_EQ(FieldEncoding(LinkFieldOf(*link, 3)), ValueEncoding::Ascii);
    EXPECT_EQ(FieldTypeOf(LinkFieldOf(*link, 3)), FieldType::Absent);

    ASSERT_EQ(link->ruleCount, 2);
    const MessageRule& rule = link->rules[0];
    EXPECT_EQ(std::string(rule.MTI, 4), "0200");
    EXPECT_TRUE(FieldSetHas(rule.mandatory, 11));
    EXPECT_FALSE(FieldSetHas(rule.mandatory, 35));
    EXPECT_TRUE(FieldSetHas(rule.optional, 52));
    EXPECT_EQ(rule.hasOptional, 1);
    EXPECT_EQ(link->rules[1].hasOptional, 0);
    EXPECT_TRUE(FieldSetHas(link->rules[1].mandatory, 70));
}

TEST_F(LinkReaderTest, AValueTheReaderDoesNotKnowStopsTheLoadNamingIt) {
    struct Case {
        std::string tags;
        std::string field;
        std::string logged;
    };
    const std::vector<Case> cases = {
        {"<FRAMING>BIN3\n", "", "<FRAMING>BIN3 is not one of: NONE ASCII1"},
        {"<FRAMING_COUNTS_ITSELF>yes\n", "", "FRAMING_COUNTS_ITSELF of X01 is refused"},
        {"<TPDU>60000100\n", "", "a TPDU is 10 hexadecimal digits"},
        {"<TPDU>60000100G0\n", "", "a TPDU is 10 hexadecimal digits"},
        {"<TRAILER>0\n", "", "a trailer is 1 to 8 bytes"},
        {"<TRAILER>000102030405060708\n", "", "a trailer is 1 to 8 bytes"},
        {"<KEEPALIVE>ANSWER\n", "", "<KEEPALIVE>ANSWER is not one of: IGNORE ECHO"},
        {"<CODE_PAGE>1140\n", "", "<CODE_PAGE>1140 is not one of: 1047 037 500"},
        {"", "<ENCODING>PACKED\n", "ENCODING of field 2 of X01 is refused"},
        {"", "<FIELD_TYPE>N\n", "the type is one of: n a an ans"},
        {"", "<FIELD_FORMAT>XML\n", "FIELD_FORMAT of field 2 of X01 is refused"},
        {"<MESSAGE_RULE_LIST>\n<MESSAGE_RULE>\n<MTI>200\n</MESSAGE_RULE>\n</MESSAGE_RULE_LIST>\n",
         "", "an MTI is 4 digits"},
        {"<MESSAGE_RULE_LIST>\n<MESSAGE_RULE>\n<MTI>0200\n<MANDATORY>1 2\n</MESSAGE_RULE>\n"
         "</MESSAGE_RULE_LIST>\n",
         "", "field numbers 2 to 128"},
        {"<MESSAGE_RULE_LIST>\n<MESSAGE_RULE>\n<MANDATORY>2\n</MESSAGE_RULE>\n"
         "</MESSAGE_RULE_LIST>\n",
         "", "a message rule needs its <MTI>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tags + c.field);
        ClearError();
        EXPECT_EQ(Load(LinkedController("X01", c.tags, TypedField(2, 19, 2, c.field))), -1);
        EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
        EXPECT_TRUE(Noticed("the configuration is not loaded"));
        std::filesystem::remove(root_.log() / "EVT0912126.log");
    }
}

TEST_F(LinkReaderTest, LinkRecordsThatDoNotFitBehindTheTablesAreRefusedSayingSo) {
    // Ten controllers fill the image; their link records cannot follow.
    std::string controllers;
    for (int i = 0; i < 10; ++i) {
        std::string id = "C";
        id += std::to_string(10 + i);
        controllers += LinkedController(id, "<FRAMING>BIN2\n", "");
    }
    EXPECT_EQ(Load(controllers), -1);
    EXPECT_NE(Log().find("the link records of 10 controllers (11840 bytes) do not fit"),
              std::string::npos)
        << Log();
}

TEST_F(LinkReaderTest, OnlyTheFirstControllerOfAnIdentifierKeepsItsLink) {
    ASSERT_EQ(
        Load(LinkedController("C01", "", "") + LinkedController("C01", "<FRAMING>BIN2\n", "")), 0);
    EXPECT_EQ(FindLinkExact("C01"), nullptr);
    EXPECT_TRUE(Noticed("controller C01 is given again: its link tags are passed over"));
}

TEST(LinkImageTest, AnImageFromElsewhereIsCheckedForItsLinkTable) {
    std::vector<unsigned char> image(CONFIG_IMAGE_SIZE, 0);
    auto* header = reinterpret_cast<ConfigHeader*>(image.data());
    header->linkOffset = 52;
    header->linkCount = 1;
    EXPECT_TRUE(ConfigHeaderFits(*header, CONFIG_IMAGE_SIZE));
    EXPECT_TRUE(ConfigLinksValid(image.data()));
    image[52 + offsetof(LinkRecord, FRAMING)] = FRAMING_TAG_LAST + 1;
    EXPECT_FALSE(ConfigLinksValid(image.data()));
    image[52 + offsetof(LinkRecord, FRAMING)] = 0;
    image[52 + offsetof(LinkRecord, fields) + 4 * 54] = 6;  // field 55's ENCODING
    EXPECT_FALSE(ConfigLinksValid(image.data()));

    header->linkCount = CONFIG_IMAGE_SIZE / static_cast<int>(sizeof(LinkRecord));
    EXPECT_FALSE(ConfigHeaderFits(*header, CONFIG_IMAGE_SIZE));
    header->linkOffset = 54;
    header->linkCount = 1;
    EXPECT_FALSE(ConfigHeaderAligned(*header));
}

}  // namespace
