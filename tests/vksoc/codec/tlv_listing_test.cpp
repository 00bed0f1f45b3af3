#include "vksoc/codec/tlv_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tlv_vectors.h"
#include "vksoc/codec/tlv_card_mask.h"

namespace {

std::vector<std::string> Lines(int fieldNo, const std::string& hex, bool mask) {
    const std::vector<unsigned char> bytes = HexBytes(hex);
    std::vector<std::string> lines;
    ListTlvObjects(
        fieldNo, bytes.data(), static_cast<int32_t>(bytes.size()), mask,
        [](void* context, const char* line) {
            static_cast<std::vector<std::string>*>(context)->push_back(line);
        },
        &lines);
    return lines;
}

TEST(ListTlvObjects, NamesEachObjectByFieldAndPathUnderTheField) {
    EXPECT_EQ(Lines(55, "9F02 06 000000012345 5F34 01 02", false),
              (std::vector<std::string>{
                  "  55.9F02 Amount, Authorised: 000000012345",
                  "  55.5F34 Application Primary Account Number (PAN) Sequence Number: 02"}));
    EXPECT_EQ(
        Lines(55, "00 77 08 9F27 01 80 DF01 01 0A 91 00", false),
        (std::vector<std::string>{"  55 padding: 00", "  55.77 Response Message Template Format 2",
                                  "    55.77.9F27 Cryptogram Information Data: 80",
                                  "    55.77.DF01: 0A", "  55.91 Issuer Authentication Data: "}));
}

TEST(ListTlvObjects, AMalformedFieldEndsWithItsFindingAndTheRawRest) {
    EXPECT_EQ(Lines(55, "9F27 01 80 77 05 9F36 04 0042", false),
              (std::vector<std::string>{
                  "  55.9F27 Cryptogram Information Data: 80",
                  "  55.77 Response Message Template Format 2",
                  "  55 malformed at byte 8: children overrun their constructed object",
                  "  55 raw from byte 6: 9F36040042"}));
    EXPECT_EQ(
        Lines(55, "9F02 84 00000006", false),
        (std::vector<std::string>{"  55 malformed at byte 2: long-form length of 5 or more bytes",
                                  "  55 raw from byte 0: 9F028400000006"}));
}

TEST(ListTlvObjects, MasksCardDataAndHidesTheRawRestWhenAsked) {
    const std::vector<std::string> masked =
        Lines(55,
              "57 13 4761739001010010D22122011143804400000F 5A 08 4761739001010010 "
              "5F20 0A 4A4F484E20534D495448 9F1F 02 3132 9F27 01 80 9F02 09 00",
              true);
    EXPECT_EQ(masked, (std::vector<std::string>{
                          "  55.57 Track 2 Equivalent Data: 476173******0010D*********************",
                          "  55.5A Application Primary Account Number (PAN): 476173******0010",
                          "  55.5F20 Cardholder Name: ********************",
                          "  55.9F1F Track 1 Discretionary Data: ****",
                          "  55.9F27 Cryptogram Information Data: 80",
                          "  55 malformed at byte 55: length past the field's end",
                          "  55 raw from byte 53: (4 bytes not shown while card data is masked)"}));
}

TEST(MaskTlvCardBytes, HidesEveryByteWhoseDigitsTheValueFormHides) {
    const std::vector<unsigned char> field =
        HexBytes("5A 08 4761739001010010 9F27 01 80 5F20 02 2A41");
    TlvTable table;
    ASSERT_TRUE(DecodeTlv(field.data(), static_cast<int32_t>(field.size()), &table));
    std::vector<unsigned char> shown(field);
    MaskTlvCardBytes(table, field.data(), shown.data());
    // 47 61 73 stay, 90 01 01 become '*', 00 10 stay; the name's '*' becomes '.'.
    EXPECT_EQ(HexText(shown.data(), static_cast<int32_t>(shown.size())),
              "5A08476173"
              "2A2A2A"
              "0010"
              "9F270180"
              "5F2002"
              "2E2A");
}

}  // namespace

namespace {

TEST(MaskTlvFieldHex, MasksTheCardDataOfTheWholeFieldAndAMalformedRest) {
    const std::vector<unsigned char> field =
        HexBytes("9F27 01 80 5A 08 4761739001010010 9F02 05 00");
    TlvTable table;
    DecodeTlv(field.data(), static_cast<int32_t>(field.size()), &table);
    std::string hex = HexText(field.data(), static_cast<int32_t>(field.size()));
    MaskTlvFieldHex(table, field.data(), static_cast<int32_t>(field.size()), hex.data());
    EXPECT_EQ(hex,
              "9F2701805A08476173******0010"
              "********");
}

}  // namespace
