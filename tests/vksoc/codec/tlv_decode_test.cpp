#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tlv_vectors.h"
#include "vksoc/codec/tlv.h"
#include "vksoc/codec/tlv_path.h"

namespace {

// "9F02=000000012345" for a primitive, "77{" for a constructed object,
// "pad=0000" for padding; children are indented by their depth.
std::vector<std::string> Listing(const TlvTable& table) {
    std::vector<std::string> lines;
    for (int i = 0; i < table.count; ++i) {
        const TlvObject& o = table.objects[i];
        std::string line(static_cast<size_t>(2 * o.depth), ' ');
        if (o.tagBytes == 0) {
            line += "pad=" + HexText(o.value, o.length);
        } else {
            char tag[2 * TLV_MAX_TAG_BYTES + 1];
            FormatTlvTag(o.tag, o.tagBytes, tag);
            line += tag;
            if (TlvIsConstructed(o)) {
                line += '{';
            } else {
                line += '=';
                line += HexText(o.value, o.length);
            }
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(DecodeTlv, KnownFieldsDecodeWholeInReceivedOrder) {
    struct Case {
        const char* name;
        std::vector<std::string> objects;
    } const cases[] = {
        {"amount_and_sequence", {"9F02=000000012345", "5F34=02"}},
        {"select_response_and_77",
         {"6F{", "  84=315041592E5359532E4444463031", "  A5{", "    88=02", "    5F2D=656E", "77{",
          "  9F27=00", "  9F36=0060", "  9F26=C2C12B098F3DA6E3",
          "  9F10=0111258013423A02CFEC00000002011400FF", "90="}},
        {"issuer_response",
         {"91=11223344556677883030", "8A=3030", "71{", "  9F18=00000001",
          "  86=84240000081122334455667788"}},
        {"long_form_81", {"9F10=06010A03A0A802", "9F27=80"}},
        {"long_form_82", {"70{", "  8F=05", "  90=" + LongValueHex(253)}},
        {"padding", {"pad=0000", "9F27=80", "pad=00", "9F36=0042", "pad=000000"}},
        {"empty_constructed_and_proprietary", {"72{", "DF01=0102", "DF8101=FF"}},
    };
    for (const Case& c : cases) {
        const TlvVector* vector = nullptr;
        for (const TlvVector& v : WHOLE_VECTORS) {
            if (std::string(v.name) == c.name) {
                vector = &v;
            }
        }
        ASSERT_NE(vector, nullptr) << c.name;
        const std::vector<unsigned char> bytes = HexBytes(VectorHex(*vector));
        TlvTable table;
        ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table))
            << c.name << ": " << TlvFaultText(table.finding.fault) << " at " << table.finding.at;
        EXPECT_EQ(Listing(table), c.objects) << c.name << " (" << vector->source << ")";
    }
}

TEST(DecodeTlv, KeepsWhereEachObjectBeganAndHowItsLengthWasWritten) {
    const std::vector<unsigned char> bytes = HexBytes(LongFormVector82());
    TlvTable table;
    ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table));
    ASSERT_EQ(table.count, 3);
    const TlvObject& record = table.objects[0];
    EXPECT_EQ(record.tag, 0x70u);
    EXPECT_EQ(record.length, 259);
    EXPECT_EQ(record.lengthBytes, 3);
    EXPECT_EQ(record.parent, -1);
    const TlvObject& certificate = table.objects[2];
    EXPECT_EQ(certificate.offset, 7);
    EXPECT_EQ(certificate.value, bytes.data() + 10);
    EXPECT_EQ(certificate.lengthBytes, 2);
    EXPECT_EQ(certificate.parent, 0);
    EXPECT_EQ(certificate.depth, 1);
}

TEST(DecodeTlv, TheArqcOfTwentyObjectsKeepsThemAll) {
    const std::vector<unsigned char> bytes = HexBytes(ARQC_20);
    TlvTable table;
    ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table));
    ASSERT_EQ(table.count, 20);
    EXPECT_EQ(table.objects[0].tag, 0x5F2Au);
    EXPECT_EQ(table.objects[6].tag, 0x9F02u);
    EXPECT_EQ(HexText(table.objects[6].value, table.objects[6].length), "000000012345");
    EXPECT_EQ(table.objects[19].tag, 0x9F41u);
}

// n nested constructed objects E1 around one primitive 9C 01 00.
std::string Nested(int n) {
    std::string hex = "9C0100";
    for (int i = 0; i < n; ++i) {
        const int length = static_cast<int>(hex.size() / 2);
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "E1%02X", length);
        hex.insert(0, prefix);
    }
    return hex;
}

std::string Repeated(const std::string& hex, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += hex;
    }
    return all;
}

TEST(DecodeTlv, MalformedFieldsKeepWhatDecodedAndSayWhereTheyBreak) {
    struct Case {
        const char* why;
        std::string hex;
        TlvFault fault;
        int32_t at;
        int32_t rawFrom;
        int count;  // objects decoded before the fault
    } const cases[] = {
        {"a value longer than the field", "9F02 06 000000", TlvFault::LengthPastEnd, 2, 0, 0},
        {"the length 12 for 6 bytes, as pytlv's README builds 9F02", "9F02 0C 000000001337",
         TlvFault::LengthPastEnd, 2, 0, 0},
        {"the second object's value past the end", "5F34 01 02 9F02 06 0000",
         TlvFault::LengthPastEnd, 6, 4, 1},
        {"a multi-byte tag cut by the field's end", "9F", TlvFault::TagCutShort, 1, 0, 0},
        {"a tag cut after a whole object", "5F34 01 02 9F", TlvFault::TagCutShort, 5, 4, 1},
        {"a 3-byte tag cut short", "DF81", TlvFault::TagCutShort, 2, 0, 0},
        {"a tag of five bytes", "DF 81 81 81 01 01 00", TlvFault::TagTooLong, 4, 0, 0},
        {"a tag without a length", "9F02", TlvFault::LengthMissing, 2, 0, 0},
        {"a long-form length cut short", "9F02 82 00", TlvFault::LengthMissing, 4, 0, 0},
        {"81 without its byte", "9F27 01 80 9F10 81", TlvFault::LengthMissing, 7, 4, 1},
        {"a long-form length of 5 bytes", "9F02 84 00000006 000000012345", TlvFault::LengthTooLong,
         2, 0, 0},
        {"the reserved length FF", "9F02 FF", TlvFault::LengthTooLong, 2, 0, 0},
        {"the indefinite length", "9F02 80 000000012345 0000", TlvFault::IndefiniteLength, 2, 0, 0},
        {"a constructed object longer than the field", "70 10 9F27 01 80", TlvFault::LengthPastEnd,
         1, 0, 0},
        {"a child's value past its parent's end", "70 05 9F02 06 000000012345",
         TlvFault::ChildrenOverrun, 4, 2, 1},
        {"a child's tag cut by its parent's end", "70 01 9F 02 01 00", TlvFault::ChildrenOverrun, 3,
         2, 1},
        {"the second child overruns", "77 06 9F27 01 80 9F36 02 0042", TlvFault::ChildrenOverrun, 8,
         6, 2},
        {"a grandchild overruns its parent, not the field", "70 07 A5 03 88 02 01 5F2D 00 9F",
         TlvFault::ChildrenOverrun, 5, 4, 2},
        {"constructed objects nested 9 deep", Nested(9), TlvFault::TooDeep, 16, 16, 8},
        {"129 objects", Repeated("9C0100", 129), TlvFault::TooManyObjects, 384, 384, 128},
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> bytes = HexBytes(c.hex);
        ASSERT_FALSE(bytes.empty()) << c.why;
        // An exact copy: any read past the field is caught by the sanitizers.
        const std::vector<unsigned char> field(bytes);
        TlvTable table;
        EXPECT_FALSE(DecodeTlv(field.data(), static_cast<int32_t>(field.size()), &table)) << c.why;
        EXPECT_EQ(table.finding.fault, c.fault)
            << c.why << ": " << TlvFaultText(table.finding.fault);
        EXPECT_EQ(table.finding.at, c.at) << c.why;
        EXPECT_EQ(table.finding.rawFrom, c.rawFrom) << c.why;
        EXPECT_EQ(table.count, c.count) << c.why;
    }
}

TEST(DecodeTlv, EightNestedObjectsAreWithinTheLimit) {
    const std::vector<unsigned char> bytes = HexBytes(Nested(8));
    TlvTable table;
    ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table));
    EXPECT_EQ(table.count, 9);
    EXPECT_EQ(table.objects[8].depth, 8);
}

TEST(DecodeTlv, AnEmptyFieldHasNoObjectsAndNoFinding) {
    TlvTable table;
    table.count = 5;
    EXPECT_TRUE(DecodeTlv(nullptr, 0, &table));
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.finding.fault, TlvFault::None);
}

}  // namespace
