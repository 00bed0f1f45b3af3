#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec_test_support.h"
#include "temp_root.h"
#include "tlv_vectors.h"
#include "vksoc/codec/tlv.h"

namespace {

TEST(EncodeTlv, EveryWholeVectorEncodesToItsOwnBytes) {
    for (const TlvVector& v : WHOLE_VECTORS) {
        const std::vector<unsigned char> bytes = HexBytes(VectorHex(v));
        TlvTable table;
        ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table)) << v.name;
        std::vector<unsigned char> out(bytes.size());
        EXPECT_EQ(EncodeTlv(table, out.data(), static_cast<int32_t>(out.size())),
                  static_cast<int32_t>(bytes.size()))
            << v.name << ": " << GetErrorText();
        EXPECT_EQ(out, bytes) << v.name << " (" << v.source << ")";
    }
}

TEST(EncodeTlv, ALengthTakesALongerFormOnlyWhenItsValueOutgrowsTheOldOne) {
    // 9F10 received in the short form, given 200 bytes: 81 C8. 9F27 received
    // as 81 01 keeps that form for its new single byte.
    const std::vector<unsigned char> bytes = HexBytes("9F10 01 AA 9F27 81 01 80");
    TlvTable table;
    ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table));
    const std::vector<unsigned char> big(200, 0x11);
    const unsigned char cid = 0x40;
    table.objects[0].value = big.data();
    table.objects[0].length = 200;
    table.objects[1].value = &cid;
    unsigned char out[256];
    ASSERT_EQ(EncodeTlv(table, out, sizeof out), 2 + 2 + 200 + 2 + 2 + 1);
    EXPECT_EQ(HexText(out, 5), "9F1081C811");
    EXPECT_EQ(HexText(out + 204, 5), "9F27810140");
}

TEST(EncodeTlv, AConstructedObjectsLengthIsThatOfItsChildrenAsTheyNowStand) {
    const std::vector<unsigned char> bytes = HexBytes("77 09 9F27 01 80 9F36 02 0042");
    TlvTable table;
    ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table));
    const std::vector<unsigned char> grown(0x79, 0x22);  // 77's content becomes 0x80 bytes
    table.objects[2].value = grown.data();
    table.objects[2].length = static_cast<int32_t>(grown.size());
    unsigned char out[256];
    const int32_t length = EncodeTlv(table, out, sizeof out);
    ASSERT_EQ(length, 3 + 0x80);
    EXPECT_EQ(HexText(out, 3), "778180");
    EXPECT_EQ(HexText(out + 3, 4), "9F270180");
    EXPECT_EQ(HexText(out + 7, 3), "9F3679");
}

TEST(EncodeTlv, RefusesAMalformedTableAndObjectsThatDoNotFit) {
    struct Case {
        const char* why;
        const char* hex;
        int32_t room;
        const char* message;
    } const cases[] = {
        {"a finding", "9F27 01 80 9F02 06 00", 64,
         "EncodeTlv: the field is malformed at byte 6: length past the field's end\n"},
        {"one byte short", "9F27 01 80 9F36 02 0042", 8,
         "EncodeTlv: the objects do not fit (9 bytes, room for 8)\n"},
        {"no room at all", "9F27 01 80", 0,
         "EncodeTlv: the objects do not fit (4 bytes, room for 0)\n"},
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> bytes = HexBytes(c.hex);
        TlvTable table;
        DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table);
        std::vector<unsigned char> out(64, 0xEE);
        ClearError();
        EXPECT_EQ(EncodeTlv(table, out.data(), c.room), -1) << c.why;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT) << c.why;
        EXPECT_EQ(LastErrorMessage(), c.message) << c.why;
        for (size_t i = static_cast<size_t>(c.room); i < out.size(); ++i) {
            ASSERT_EQ(out[i], 0xEE) << c.why << ": wrote past the room at " << i;
        }
    }
}

}  // namespace

namespace {

// The fuzz target starts from these vectors: its seeds must stay the same bytes.
TEST(TlvVectors, TheFuzzSeedsAreTheWholeVectors) {
    for (const TlvVector& v : WHOLE_VECTORS) {
        const std::string seed = ReadFile(std::string(VELK_TEST_DATA) + "/fuzz/tlv/" + v.name);
        EXPECT_EQ(Bytes(seed), HexBytes(VectorHex(v))) << v.name;
    }
}

}  // namespace
