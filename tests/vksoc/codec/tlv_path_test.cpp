#include "vksoc/codec/tlv_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tlv_vectors.h"

namespace {

TEST(ParseTlvPath, TakesWholeTagsJoinedByDots) {
    struct Case {
        const char* text;
        std::vector<uint32_t> tags;
    } const cases[] = {
        {"9F02", {0x9F02}},
        {"9f27", {0x9F27}},
        {"91", {0x91}},
        {"77.9F27", {0x77, 0x9F27}},
        {"DF8101", {0xDF8101}},
        {"70.A5.5F2D", {0x70, 0xA5, 0x5F2D}},
        {"BF0C.61.4F", {0xBF0C, 0x61, 0x4F}},
    };
    for (const Case& c : cases) {
        TlvPath path{};
        ASSERT_TRUE(ParseTlvPath(c.text, &path)) << c.text;
        ASSERT_EQ(path.count, static_cast<int>(c.tags.size())) << c.text;
        for (int k = 0; k < path.count; ++k) {
            EXPECT_EQ(path.tags[k], c.tags[static_cast<size_t>(k)]) << c.text;
        }
    }
}

TEST(ParseTlvPath, RefusesWhatIsNotAPath) {
    const char* const bad[] = {
        "",                               // nothing
        "9F",                             // a tag whose next byte is missing
        "9F0",                            // half a byte
        "9F02 ",                          // a blank
        "ZZ",                             // not hexadecimal
        "00",                             // padding, not a tag
        "029F",                           // 02 is a whole tag: 9F is left over
        "9F82",                           // the last byte of a tag has its top bit clear
        "5F2001",                         // three bytes where the tag ends after two
        "DF81818101",                     // five bytes
        "9F02.01",                        // 9F02 is primitive: it has no children
        "77.",                            // an empty tag
        ".9F27",                          // an empty tag
        "77..9F27",                       // an empty tag
        "E1.E1.E1.E1.E1.E1.E1.E1.E1.9C",  // ten tags
    };
    for (const char* text : bad) {
        TlvPath path{};
        EXPECT_FALSE(ParseTlvPath(text, &path)) << '"' << text << '"';
    }
}

TEST(FindTlvObject, FindsABareTagAtAnyDepthAndAPathThroughItsParents) {
    const std::vector<unsigned char> bytes =
        HexBytes("9F36 02 0001 77 0B 9F27 01 80 9F36 02 0042 91 00 71 04 86 02 0102 86 01 03");
    TlvTable table;
    ASSERT_TRUE(DecodeTlv(bytes.data(), static_cast<int32_t>(bytes.size()), &table));
    struct Case {
        const char* path;
        int index;
    } const cases[] = {
        {"9F36", 0},     // the first in received order
        {"9F27", 2},     // only inside 77
        {"77.9F36", 3},  // the child, not the top-level one
        {"77.91", 4},   {"71.86", 6},  {"86", 6},
        {"71", 5},      {"77.86", -1},  // 86 is not a child of 77
        {"72.86", -1},  {"9F02", -1},
    };
    for (const Case& c : cases) {
        TlvPath path{};
        ASSERT_TRUE(ParseTlvPath(c.path, &path)) << c.path;
        EXPECT_EQ(FindTlvObject(table, path), c.index) << c.path;
    }
}

}  // namespace
