#include "vksoc/codec/tlv_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tlv_vectors.h"

namespace {

// A field decoded, edited and encoded again, as the script's set and clear do.
class Field {
  public:
    explicit Field(const std::string& hex) : bytes_(HexBytes(hex)) {
        values_.reserve(16);  // the table points into the values: they must not move
        whole_ = DecodeTlv(bytes_.data(), static_cast<int32_t>(bytes_.size()), &table_);
    }
    TlvEdit Set(const char* pathText, const std::string& valueHex) {
        values_.push_back(HexBytes(valueHex));
        const std::vector<unsigned char>& value = values_.back();
        return SetTlvObject(&table_, Path(pathText), value.data(),
                            static_cast<int32_t>(value.size()));
    }
    TlvEdit Clear(const char* pathText) { return RemoveTlvObject(&table_, Path(pathText)); }
    // The field's bytes now, in hexadecimal; "" when they do not encode.
    std::string Hex() const {
        unsigned char out[1024];
        const int32_t length = EncodeTlv(table_, out, sizeof out);
        return length < 0 ? "" : HexText(out, length);
    }
    bool whole() const { return whole_; }
    const TlvTable& table() const { return table_; }

    static TlvPath Path(const char* text) {
        TlvPath path{};
        EXPECT_TRUE(ParseTlvPath(text, &path)) << text;
        return path;
    }

  private:
    std::vector<unsigned char> bytes_;
    std::vector<std::vector<unsigned char>> values_;
    TlvTable table_;
    bool whole_;
};

std::string Squeeze(std::string hex) {
    std::string out;
    for (char c : hex) {
        if (c != ' ') {
            out += c;
        }
    }
    return out;
}

TEST(SetTlvObject, ReplacesInPlaceOrAppendsKeepingTheOrderOfTheOthers) {
    const char* const request = "9F27 01 80 9F02 06 000000012345 9F36 02 0042";
    struct Case {
        const char* path;
        const char* value;
        const char* after;
    } const cases[] = {
        {"9F27", "40", "9F27 01 40 9F02 06 000000012345 9F36 02 0042"},
        {"9F02", "000000000001", "9F27 01 80 9F02 06 000000000001 9F36 02 0042"},
        {"9F36", "", "9F27 01 80 9F02 06 000000012345 9F36 00"},
        {"91", "11223344556677883030",
         "9F27 01 80 9F02 06 000000012345 9F36 02 0042 "
         "91 0A 11223344556677883030"},
        {"8A", "3030", "9F27 01 80 9F02 06 000000012345 9F36 02 0042 8A 02 3030"},
        {"71", "9F18 04 00000001 86 02 0102",
         "9F27 01 80 9F02 06 000000012345 9F36 02 0042 71 0B 9F180400000001 86020102"},
        {"72.86", "0102", "9F27 01 80 9F02 06 000000012345 9F36 02 0042 72 04 86 02 0102"},
    };
    for (const Case& c : cases) {
        Field field(request);
        ASSERT_EQ(field.Set(c.path, Squeeze(c.value)), TlvEdit::Done) << c.path;
        EXPECT_EQ(field.Hex(), Squeeze(c.after)) << "set " << c.path;
    }
}

TEST(SetTlvObject, AddressesObjectsInsideAConstructedOneAndKeepsItsSiblingsWhole) {
    const char* const response = "77 09 9F27 01 80 9F36 02 0042 71 04 86 02 0102 9F10 01 AA";
    Field field(response);
    ASSERT_TRUE(field.whole());
    ASSERT_EQ(field.Set("9F27", "00"), TlvEdit::Done);  // a bare tag finds it inside 77
    ASSERT_EQ(field.Set("77.9F26", "1122334455667788"), TlvEdit::Done);
    ASSERT_EQ(field.Set("71.86", "0A0B"), TlvEdit::Done);
    EXPECT_EQ(field.Hex(), Squeeze("77 14 9F27 01 00 9F36 02 0042 9F26 08 1122334455667788 "
                                   "71 04 86 02 0A0B 9F10 01 AA"));

    // Replacing a constructed object replaces its children; those after it
    // keep their parents.
    ASSERT_EQ(field.Set("77", "9F27 01 40"), TlvEdit::Done);
    EXPECT_EQ(field.Hex(), Squeeze("77 04 9F27 01 40 71 04 86 02 0A0B 9F10 01 AA"));
    EXPECT_EQ(FindTlvObject(field.table(), Field::Path("71.86")), 3);
    EXPECT_EQ(field.table().objects[3].parent, 2);
}

TEST(RemoveTlvObject, RemovesOneObjectWithItsChildrenAndKeepsTheRestInOrder) {
    const char* const response = "91 02 1122 71 07 9F18 04 00000001 8A 02 3030 72 00";
    struct Case {
        const char* path;
        TlvEdit outcome;
        const char* after;
    } const cases[] = {
        {"71", TlvEdit::Done, "91 02 1122 8A 02 3030 72 00"},
        {"71.9F18", TlvEdit::Done, "91 02 1122 71 00 8A 02 3030 72 00"},
        {"91", TlvEdit::Done, "71 07 9F18 04 00000001 8A 02 3030 72 00"},
        {"72", TlvEdit::Done, "91 02 1122 71 07 9F18 04 00000001 8A 02 3030"},
        {"9F27", TlvEdit::Absent, "91 02 1122 71 07 9F18 04 00000001 8A 02 3030 72 00"},
    };
    for (const Case& c : cases) {
        Field field(response);
        EXPECT_EQ(field.Clear(c.path), c.outcome) << c.path;
        EXPECT_EQ(field.Hex(), Squeeze(c.after)) << "clear " << c.path;
    }
}

// n nested constructed objects E1 around nothing.
std::string Nested(int n) {
    std::string hex = "";
    for (int i = 0; i < n; ++i) {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "E1%02X", static_cast<int>(hex.size() / 2));
        hex.insert(0, prefix);
    }
    return hex;
}

TEST(SetTlvObject, RefusesWhatItCannotDoAndLeavesTheTableAsItWas) {
    std::string many;
    for (int i = 0; i < TLV_MAX_OBJECTS; ++i) {
        many += "9C0100";
    }
    struct Case {
        const char* why;
        std::string field;
        const char* path;
        const char* value;
        TlvEdit outcome;
    } const cases[] = {
        {"a malformed field", "9F27 01 80 9F02 06 00", "91", "00", TlvEdit::Malformed},
        {"a constructed value that is not BER-TLV", "9F27 01 80", "71", "9F18 04 00",
         TlvEdit::BadValue},
        {"a table already full", many, "91", "00", TlvEdit::Full},
        {"a replaced constructed object whose children would not fit", many.substr(6) + "7100",
         "71", "860100860100", TlvEdit::Full},
        {"nesting past the limit", Nested(8), "E1.E1.E1.E1.E1.E1.E1.E1.E1", "", TlvEdit::Full},
    };
    for (const Case& c : cases) {
        Field field(c.field);
        const std::string before = field.Hex();
        const int count = field.table().count;
        EXPECT_EQ(field.Set(c.path, Squeeze(c.value)), c.outcome) << c.why;
        EXPECT_EQ(field.table().count, count) << c.why;
        EXPECT_EQ(field.Hex(), before) << c.why;
    }
}

TEST(RemoveTlvObject, RefusesAMalformedField) {
    Field field("9F27 01 80 9F02 06 00");
    EXPECT_EQ(field.Clear("9F27"), TlvEdit::Malformed);
    EXPECT_EQ(field.table().count, 1);
}

}  // namespace
