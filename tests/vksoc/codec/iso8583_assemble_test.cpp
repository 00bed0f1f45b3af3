#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "layout_0200.h"
#include "temp_root.h"
#include "vksoc/codec/iso8583.h"

namespace {

// 2 LL, 3 fixed 6, 5 LLL, 64 fixed 2, 65 fixed 1, 100 LL.
FieldSpecTable SmallLayout() {
    FieldSpecTable specs{};
    specs[2 - 1] = MakeFieldSpec("TWO", 19, 2);
    specs[3 - 1] = MakeFieldSpec("THREE", 6, 0);
    specs[5 - 1] = MakeFieldSpec("FIVE", 999, 3);
    specs[64 - 1] = MakeFieldSpec("SIXTY_FOUR", 2, 0);
    specs[65 - 1] = MakeFieldSpec("SIXTY_FIVE", 1, 0);
    specs[100 - 1] = MakeFieldSpec("HUNDRED", 99, 2);
    return specs;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (char byte : bytes) {
        auto c = static_cast<unsigned char>(byte);
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// Assembles into a large area; returns the bytes or "<-1>".
std::string Assemble(const MessageFields& fields, const FieldSpecTable& specs, int room = 4096) {
    std::vector<unsigned char> out(8192, 0xAA);
    const int length = Assemble8583(out.data(), room, specs.data(), &fields);
    if (length < 0) {
        return "<-1>";
    }
    return std::string(out.begin(), out.begin() + length);
}

// The slots of the 0200 message as the dialog would hand them over.
MessageFields Fields0200() {
    MessageFields fields = EmptyFields();
    fields.slots[0] = {reinterpret_cast<const unsigned char*>("0200"), 4};
    for (const Element0200& e : ELEMENTS_0200) {
        fields.slots[e.n] = {reinterpret_cast<const unsigned char*>(e.value),
                             static_cast<int32_t>(std::char_traits<char>::length(e.value))};
    }
    return fields;
}

TEST(Assemble8583, Builds0200ByteForByte) {
    const std::string expected = ReadFile(std::string(VELK_TEST_DATA) + "/iso8583_0200.bin");
    EXPECT_EQ(Hex(Assemble(Fields0200(), MakeLayout0200())), Hex(expected));
}

TEST(Assemble8583, BitmapsFollowFromThePresentSlots) {
    struct Case {
        const char* why;
        std::vector<std::pair<int, std::string>> slots;  // besides slot 0 "0800"
        std::string expectedHex;
    } const cases[] = {
        {"only the identifier: 12 bytes",
         {},
         "30383030"
         "0000000000000000"},
        {"element 64 the highest: primary bitmap only",
         {{64, "xy"}},
         "30383030"
         "0000000000000001"
         "7879"},
        {"element 65 forces the secondary bitmap",
         {{65, "z"}},
         "30383030"
         "8000000000000000"
         "8000000000000000"
         "7A"},
        {"slot 1 is never read",
         {{1, "ignored!"}, {3, "ABCDEF"}},
         "30383030"
         "2000000000000000"
         "414243444546"},
        {"fixed element padded with blanks",
         {{3, "AB"}},
         "30383030"
         "2000000000000000"
         "414220202020"},
        {"fixed element cut to MAX_LEN",
         {{3, "ABCDEFGH"}},
         "30383030"
         "2000000000000000"
         "414243444546"},
        {"fixed element cut at a NUL byte",
         {{3, std::string("AB\0CD", 5)}},
         "30383030"
         "2000000000000000"
         "414220202020"},
        {"variable element with its length digits",
         {{2, "abcdefg"}},
         "30383030"
         "4000000000000000"
         "3037"
         "61626364656667"},
        {"variable element not cut to MAX_LEN",
         {{2, std::string(25, 'q')}},
         "30383030"
         "4000000000000000"
         "3235" +
             Hex(std::string(25, 'q'))},
        {"three length digits",
         {{5, "hi"}},
         "30383030"
         "0800000000000000"
         "303032"
         "6869"},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        const std::string mti = "0800";
        SetSlot(fields, 0, mti);
        for (const auto& [n, text] : c.slots) {
            SetSlot(fields, n, text);
        }
        EXPECT_EQ(Hex(Assemble(fields, SmallLayout())), c.expectedHex) << c.why;
    }
}

TEST(Assemble8583, SlotsWithLengthZeroOrLessAreAbsent) {
    MessageFields fields = EmptyFields();
    const std::string mti = "0800";
    SetSlot(fields, 0, mti);
    fields.slots[2] = {reinterpret_cast<const unsigned char*>("zz"), -3};
    fields.slots[4] = {reinterpret_cast<const unsigned char*>("zz"), 0};  // undefined element
    fields.slots[99] = {nullptr, 0};
    EXPECT_EQ(Hex(Assemble(fields, SmallLayout())),
              "30383030"
              "0000000000000000");
}

TEST(Assemble8583, IdentifierLongerThanFourBytesSendsItsFirstFour) {
    MessageFields fields = EmptyFields();
    const std::string mti = "0210XYZ";
    SetSlot(fields, 0, mti);
    EXPECT_EQ(Assemble(fields, SmallLayout()), std::string("0210") + std::string(8, '\0'));
}

TEST(Assemble8583, RefusalsAreFormatErrors) {
    FieldSpecTable hostile = SmallLayout();
    hostile[3 - 1] = MakeFieldSpec("NEGATIVE_MAX_LEN", -6, 0);
    hostile[5 - 1] = MakeFieldSpec("FOUR_LENGTH_BYTES", 10, 4);
    hostile[64 - 1] = MakeFieldSpec("HUGE_FIXED", INT32_MAX, 0);
    hostile[100 - 1] = MakeFieldSpec("LONG_WITH_ONE_DIGIT", 999, 1);
    const std::string big(1000, 'v');
    struct Case {
        const char* why;
        std::string mti;
        std::vector<std::pair<int, std::string>> slots;
        const FieldSpecTable* specs;
        int room;
        const char* message;
    };
    const FieldSpecTable small = SmallLayout();
    const Case cases[] = {
        {"an element the layout does not define",
         "0200",
         {{2, "ab"}, {4, "x"}},
         &small,
         4096,
         "Assemble8583: Field: 4 unknown"},
        {"negative MAX_LEN counts as undefined",
         "0200",
         {{3, "x"}},
         &hostile,
         4096,
         "Assemble8583: Field: 3 unknown"},
        {"LENGTH_BYTES 4 counts as undefined",
         "0200",
         {{5, "x"}},
         &hostile,
         4096,
         "Assemble8583: Field: 5 unknown"},
        {"an identifier of 3 bytes",
         "020",
         {{3, "x"}},
         &small,
         4096,
         "Assemble8583: Message Id shorter than 4 bytes\n"},
        {"no identifier",
         "",
         {{3, "x"}},
         &small,
         4096,
         "Assemble8583: Message Id shorter than 4 bytes\n"},
        {"a length of 3 digits for 2 length digits",
         "0200",
         {{2, big.substr(0, 100)}},
         &small,
         4096,
         "Assemble8583: Field: 2 length 100 does not fit 2 digits\n"},
        {"a length of 4 digits for 3 length digits",
         "0200",
         {{5, big}},
         &small,
         4096,
         "Assemble8583: Field: 5 length 1000 does not fit 3 digits\n"},
        {"MAX_LEN with more digits than LENGTH_BYTES",
         "0200",
         {{100, big.substr(0, 10)}},
         &hostile,
         4096,
         "Assemble8583: Field: 100 length 10 does not fit 1 digits\n"},
        {"no room for the primary bitmap",
         "0200",
         {},
         &small,
         11,
         "Assemble8583: Message longer than 11\n"},
        {"no room for the secondary bitmap",
         "0200",
         {{65, "z"}},
         &small,
         19,
         "Assemble8583: Message longer than 19\n"},
        {"no room for a fixed element",
         "0200",
         {{3, "ABC"}},
         &small,
         17,
         "Assemble8583: Message longer than 17\n"},
        {"no room for a variable element",
         "0200",
         {{2, "abc"}},
         &small,
         16,
         "Assemble8583: Message longer than 16\n"},
        {"a fixed element of MAX_LEN at the 32-bit limit",
         "0200",
         {{64, "x"}},
         &hostile,
         4096,
         "Assemble8583: Message longer than 4096\n"},
        {"a fixed element at the limit with the room at the limit",
         "0200",
         {{2, "ab"}, {64, "x"}},
         &hostile,
         INT32_MAX,
         "Assemble8583: Message longer than 2147483647\n"},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        SetSlot(fields, 0, c.mti);
        for (const auto& [n, text] : c.slots) {
            SetSlot(fields, n, text);
        }
        ClearError();
        std::vector<unsigned char> out(4096 + 64, 0xAA);
        // A room beyond the area is only given where the check must come first.
        EXPECT_EQ(Assemble8583(out.data(), c.room, c.specs->data(), &fields), -1) << c.why;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT) << c.why;
        EXPECT_EQ(GetErrorSubCode(), 0) << c.why;
        EXPECT_EQ(LastErrorMessage(), c.message) << c.why;
    }
}

TEST(Assemble8583, NeverWritesPastItsRoom) {
    const MessageFields fields = Fields0200();
    const FieldSpecTable specs = MakeLayout0200();
    for (int room = 0; room <= 110; ++room) {
        std::vector<unsigned char> out(128, 0xAA);
        const int length = Assemble8583(out.data(), room, specs.data(), &fields);
        EXPECT_EQ(length, room >= 105 ? 105 : -1) << "room " << room;
        for (size_t i = static_cast<size_t>(room); i < out.size(); ++i) {
            ASSERT_EQ(out[i], 0xAA) << "room " << room << ", byte " << i;
        }
    }
}

TEST(Assemble8583, ReassemblingAReceivedMessageGivesItsBytes) {
    const std::vector<unsigned char> received =
        Bytes(ReadFile(std::string(VELK_TEST_DATA) + "/iso8583_0200.bin"));
    const FieldSpecTable specs = MakeLayout0200();
    MessageFields fields = EmptyFields();
    int complete = 0;
    ASSERT_EQ(Disassemble8583(received.data(), static_cast<int>(received.size()), specs.data(),
                              &fields, &complete),
              105);
    EXPECT_EQ(Assemble(fields, specs), std::string(received.begin(), received.end()));
}

TEST(Assemble8583, ElementReceivedWithPrefixZeroIsSentWithItsBitClear) {
    // Element 2 with prefix 00 and element 3: the bit of 2 was set on receipt.
    const std::string received = std::string("0200") + '\x60' + std::string(7, '\0') + "00ABCDEF";
    const std::vector<unsigned char> bytes = Bytes(received);
    const FieldSpecTable specs = SmallLayout();
    MessageFields fields = EmptyFields();
    int complete = 0;
    ASSERT_EQ(Disassemble8583(bytes.data(), static_cast<int>(bytes.size()), specs.data(), &fields,
                              &complete),
              20);
    EXPECT_EQ(Hex(Assemble(fields, specs)),
              "30323030"
              "2000000000000000"
              "414243444546");
}

}  // namespace
