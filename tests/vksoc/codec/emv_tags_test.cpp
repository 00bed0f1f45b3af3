#include "vksoc/codec/emv_tags.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EmvTagName, NamesTheCommonElementsOfChipData) {
    struct Case {
        uint32_t tag;
        const char* name;
    } const cases[] = {
        {0x4F, "Application Identifier (AID) - card"},
        {0x50, "Application Label"},
        {0x57, "Track 2 Equivalent Data"},
        {0x5A, "Application Primary Account Number (PAN)"},
        {0x5F20, "Cardholder Name"},
        {0x5F24, "Application Expiration Date"},
        {0x5F2A, "Transaction Currency Code"},
        {0x5F34, "Application Primary Account Number (PAN) Sequence Number"},
        {0x70, "READ RECORD Response Message Template"},
        {0x71, "Issuer Script Template 1"},
        {0x72, "Issuer Script Template 2"},
        {0x77, "Response Message Template Format 2"},
        {0x80, "Response Message Template Format 1"},
        {0x82, "Application Interchange Profile"},
        {0x84, "Dedicated File (DF) Name"},
        {0x8A, "Authorisation Response Code"},
        {0x91, "Issuer Authentication Data"},
        {0x95, "Terminal Verification Results"},
        {0x9A, "Transaction Date"},
        {0x9B, "Transaction Status Information"},
        {0x9C, "Transaction Type"},
        {0x9F02, "Amount, Authorised"},
        {0x9F03, "Amount, Other"},
        {0x9F06, "Application Identifier (AID) - terminal"},
        {0x9F07, "Application Usage Control"},
        {0x9F09, "Application Version Number - terminal"},
        {0x9F10, "Issuer Application Data"},
        {0x9F1A, "Terminal Country Code"},
        {0x9F1E, "Interface Device (IFD) Serial Number"},
        {0x9F26, "Application Cryptogram"},
        {0x9F27, "Cryptogram Information Data"},
        {0x9F33, "Terminal Capabilities"},
        {0x9F34, "Cardholder Verification Method (CVM) Results"},
        {0x9F35, "Terminal Type"},
        {0x9F36, "Application Transaction Counter (ATC)"},
        {0x9F37, "Unpredictable Number"},
        {0x9F41, "Transaction Sequence Counter"},
        {0x9F53, "Transaction Category Code"},
        {0x9F6E, "Form Factor Indicator"},
        {0xBF0C, "File Control Information (FCI) Issuer Discretionary Data"},
    };
    for (const Case& c : cases) {
        const char* name = EmvTagName(c.tag);
        ASSERT_NE(name, nullptr) << std::hex << c.tag;
        EXPECT_STREQ(name, c.name) << std::hex << c.tag;
    }
}

TEST(EmvTagName, LeavesProprietaryAndUnknownTagsUnnamed) {
    for (uint32_t tag : {0xDF01u, 0xDF8101u, 0x9F7Fu, 0x01u, 0u, 0xFFFFFFFFu}) {
        EXPECT_EQ(EmvTagName(tag), nullptr) << std::hex << tag;
    }
}

TEST(IsEmvCardDataTag, CoversTheAccountNumberTrackDataAndTheName) {
    for (uint32_t tag : {0x56u, 0x57u, 0x5Au, 0x5F20u, 0x9F1Fu, 0x9F20u, 0x9F6Bu}) {
        EXPECT_TRUE(IsEmvCardDataTag(tag)) << std::hex << tag;
    }
    for (uint32_t tag : {0x5F34u, 0x5F24u, 0x9F02u, 0x4Fu}) {
        EXPECT_FALSE(IsEmvCardDataTag(tag)) << std::hex << tag;
    }
}

}  // namespace
