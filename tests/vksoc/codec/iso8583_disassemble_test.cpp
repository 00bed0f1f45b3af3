#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "layout_0200.h"
#include "temp_root.h"
#include "vksoc/codec/iso8583.h"

namespace {

std::vector<unsigned char> Message0200() {
    return Bytes(ReadFile(std::string(VELK_TEST_DATA) + "/iso8583_0200.bin"));
}

// A layout with one element of each kind and elements around the bitmap
// boundary: 2 LL, 3 fixed 6, 5 LLL, 6 L, 64 fixed 2, 65 fixed 1, 100 LL.
FieldSpecTable SmallLayout() {
    FieldSpecTable specs{};
    specs[2 - 1] = MakeFieldSpec("TWO", 19, 2);
    specs[3 - 1] = MakeFieldSpec("THREE", 6, 0);
    specs[5 - 1] = MakeFieldSpec("FIVE", 999, 3);
    specs[6 - 1] = MakeFieldSpec("SIX", 9, 1);
    specs[64 - 1] = MakeFieldSpec("SIXTY_FOUR", 2, 0);
    specs[65 - 1] = MakeFieldSpec("SIXTY_FIVE", 1, 0);
    specs[100 - 1] = MakeFieldSpec("HUNDRED", 99, 2);
    return specs;
}

// "0200", then the bitmap bytes given in hex, then the data.
std::vector<unsigned char> Message(const std::string& bitmapHex, const std::string& data) {
    std::string bytes = "0200";
    for (size_t i = 0; i + 1 < bitmapHex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(bitmapHex.substr(i, 2), nullptr, 16));
    }
    return Bytes(bytes + data);
}

const std::string PRIMARY_ONLY_2 = "4000000000000000";
const std::string PRIMARY_ONLY_3 = "2000000000000000";

struct Outcome {
    int result;
    int complete;
};

Outcome Disassemble(const std::vector<unsigned char>& bytes, const FieldSpecTable& specs,
                    MessageFields& fields) {
    int complete = -7;
    const int result = Disassemble8583(bytes.data(), static_cast<int>(bytes.size()), specs.data(),
                                       &fields, &complete);
    return {result, complete};
}

TEST(Disassemble8583, TakesThe0200MessageWithItsSecondaryBitmap) {
    const std::vector<unsigned char> bytes = Message0200();
    ASSERT_EQ(bytes.size(), 105u);
    MessageFields fields = EmptyFields();
    const Outcome outcome = Disassemble(bytes, MakeLayout0200(), fields);
    ASSERT_EQ(outcome.result, 105) << GetErrorText();
    EXPECT_EQ(outcome.complete, 1);
    EXPECT_EQ(SlotText(fields.slots[0]), "0200");
    EXPECT_EQ(fields.slots[0].data, bytes.data());
    EXPECT_EQ(fields.slots[1].data, bytes.data() + 12);
    EXPECT_EQ(fields.slots[1].length, 8);
    int present = 0;
    for (int n = 2; n <= 128; ++n) {
        present += fields.slots[n].length > 0 ? 1 : 0;
    }
    EXPECT_EQ(present, 8);
    for (const Element0200& e : ELEMENTS_0200) {
        EXPECT_EQ(SlotText(fields.slots[e.n]), e.value) << "element " << e.n;
    }
    EXPECT_TRUE(SlotsLieWithin(fields, bytes.data(), outcome.result));
}

TEST(Disassemble8583, EveryShorterPartOfAMessageNeedsMoreBytes) {
    const std::vector<unsigned char> whole = Message0200();
    for (size_t count = 0; count < whole.size(); ++count) {
        // An exact-size copy: reading past the part is caught by the sanitizers.
        const std::vector<unsigned char> part(whole.begin(),
                                              whole.begin() + static_cast<std::ptrdiff_t>(count));
        MessageFields fields = EmptyFields();
        const Outcome outcome = Disassemble(part, MakeLayout0200(), fields);
        EXPECT_EQ(outcome.result, static_cast<int>(count)) << count << " bytes";
        EXPECT_EQ(outcome.complete, 0) << count << " bytes";
    }
}

TEST(Disassemble8583, IncompleteMessagesNeedMoreBytes) {
    const FieldSpecTable small = SmallLayout();
    FieldSpecTable huge = SmallLayout();
    huge[3 - 1] = MakeFieldSpec("HUGE", INT32_MAX, 0);
    struct Case {
        const char* why;
        std::vector<unsigned char> bytes;
        const FieldSpecTable* specs;
    } const cases[] = {
        {"no bytes", {}, &small},
        {"11 bytes", Message("00000000000000", ""), &small},
        {"19 bytes with bit 1 set", Message("800000000000000000000000000000", ""), &small},
        {"half a length prefix", Message(PRIMARY_ONLY_2, "1"), &small},
        {"a value short of its prefix", Message(PRIMARY_ONLY_2, "05abcd"), &small},
        {"a fixed element short", Message(PRIMARY_ONLY_3, "abcde"), &small},
        {"prefix 999 with a few bytes", Message("0800000000000000", "999abc"), &small},
        {"MAX_LEN at the 32-bit limit", Message(PRIMARY_ONLY_3, "abcdefgh"), &huge},
        {"MAX_LEN at the limit after another element", Message("6000000000000000", "01xABCDEF"),
         &huge},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        const Outcome outcome = Disassemble(c.bytes, *c.specs, fields);
        EXPECT_EQ(outcome.result, static_cast<int>(c.bytes.size())) << c.why;
        EXPECT_EQ(outcome.complete, 0) << c.why;
    }
}

TEST(Disassemble8583, WholeMessagesFillTheirSlots) {
    const FieldSpecTable small = SmallLayout();
    struct Slot {
        int n;
        std::string text;
    };
    struct Case {
        const char* why;
        std::vector<unsigned char> bytes;
        int consumed;
        std::vector<Slot> slots;  // every present slot above 1
        bool secondary;
    } const cases[] = {
        {"bit 1 and an empty secondary bitmap",
         Message("80000000000000000000000000000000", ""),
         20,
         {},
         true},
        {"only element 2, read from offset 12",
         Message(PRIMARY_ONLY_2, "07abcdefg"),
         21,
         {{2, "abcdefg"}},
         false},
        {"only element 64, no secondary bitmap",
         Message("0000000000000001", "xy"),
         14,
         {{64, "xy"}},
         false},
        {"element 65 in the secondary bitmap",
         Message("80000000000000008000000000000000", "z"),
         21,
         {{65, "z"}},
         true},
        {"prefix 00 leaves the slot absent",
         Message("6000000000000000", "00ABCDEF"),
         20,
         {{3, "ABCDEF"}},
         false},
        {"prefix 1x5 gives one byte, the cursor moves 3 + 1",
         Message("0800000000000000", "1x5Q"),
         16,
         {{5, "Q"}},
         false},
        {"white space and a sign before the digits",
         Message("4800000000000000", " 3abc+02de"),
         22,
         {{2, "abc"}, {5, "de"}},
         false},
        {"bytes after the message are left alone",
         Message(PRIMARY_ONLY_3, "ABCDEF0200"),
         18,
         {{3, "ABCDEF"}},
         false},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        for (FieldSlot& slot : fields.slots) {
            slot = {c.bytes.data(), 99};  // stale slots from an earlier message
        }
        const Outcome outcome = Disassemble(c.bytes, small, fields);
        ASSERT_EQ(outcome.result, c.consumed) << c.why << ": " << GetErrorText();
        EXPECT_EQ(outcome.complete, 1) << c.why;
        EXPECT_EQ(SlotText(fields.slots[0]), "0200") << c.why;
        EXPECT_EQ(fields.slots[1].length, c.secondary ? 8 : 0) << c.why;
        std::vector<std::string> expected(129), actual(129);
        for (const Slot& s : c.slots) {
            expected[static_cast<size_t>(s.n)] = s.text;
        }
        for (int n = 2; n <= 128; ++n) {
            actual[static_cast<size_t>(n)] = SlotText(fields.slots[n]);
        }
        EXPECT_EQ(actual, expected) << c.why;
        EXPECT_TRUE(SlotsLieWithin(fields, c.bytes.data(), outcome.result)) << c.why;
    }
}

TEST(Disassemble8583, TwoMessagesBackToBackAreTakenOneAtATime) {
    std::vector<unsigned char> bytes = Message0200();
    const std::vector<unsigned char> second = Message(PRIMARY_ONLY_3, "SECOND");
    bytes.insert(bytes.end(), second.begin(), second.end());
    FieldSpecTable specs = MakeLayout0200();
    MessageFields fields = EmptyFields();
    int complete = 0;
    ASSERT_EQ(Disassemble8583(bytes.data(), static_cast<int>(bytes.size()), specs.data(), &fields,
                              &complete),
              105);
    EXPECT_EQ(SlotText(fields.slots[2]), "4761739001010119");
    EXPECT_TRUE(SlotsLieWithin(fields, bytes.data(), 105));

    const int rest = static_cast<int>(bytes.size()) - 105;
    ASSERT_EQ(Disassemble8583(bytes.data() + 105, rest, specs.data(), &fields, &complete), rest);
    EXPECT_EQ(complete, 1);
    EXPECT_EQ(SlotText(fields.slots[3]), "SECOND");
    EXPECT_EQ(fields.slots[2].length, 0);

    // The first message and the beginning of the next: only the first is taken,
    // and the beginning alone needs more bytes.
    ASSERT_EQ(Disassemble8583(bytes.data(), 105 + 9, specs.data(), &fields, &complete), 105);
    EXPECT_EQ(Disassemble8583(bytes.data() + 105, 9, specs.data(), &fields, &complete), 9);
    EXPECT_EQ(complete, 0);
}

TEST(Disassemble8583, MalformedMessagesAreFormatErrors) {
    const FieldSpecTable small = SmallLayout();
    FieldSpecTable hostile = SmallLayout();
    hostile[2 - 1] = MakeFieldSpec("NEGATIVE_MAX_LEN", -5, 0);
    hostile[3 - 1] = MakeFieldSpec("SEVEN_LENGTH_BYTES", 10, 7);
    hostile[5 - 1] = MakeFieldSpec("NEGATIVE_LENGTH_BYTES", 10, -1);
    hostile[6 - 1] = MakeFieldSpec("FOUR_LENGTH_BYTES", 10, 4);
    struct Case {
        const char* why;
        std::vector<unsigned char> bytes;
        const FieldSpecTable* specs;
        const char* message;
    } const cases[] = {
        {"an element the layout does not define", Message("1000000000000000", "abc"), &small,
         "Disassemble8583: Unknown field 4\n"},
        {"an undefined element whose bytes have not arrived", Message("5000000000000000", "02ab"),
         &small, "Disassemble8583: Unknown field 4\n"},
        {"an undefined element in the secondary bitmap",
         Message("80000000000000000000000000000001", ""), &small,
         "Disassemble8583: Unknown field 128\n"},
        {"a negative length prefix", Message(PRIMARY_ONLY_2, "-5abcdef"), &small,
         "Disassemble8583: Invalid length -5 of field 2\n"},
        {"a negative three-digit prefix after an element",
         Message("2800000000000000", "ABCDEF-99xyz"), &small,
         "Disassemble8583: Invalid length -99 of field 5\n"},
        {"negative MAX_LEN counts as undefined", Message(PRIMARY_ONLY_2, "abc"), &hostile,
         "Disassemble8583: Unknown field 2\n"},
        {"LENGTH_BYTES 7 counts as undefined", Message(PRIMARY_ONLY_3, "0000001a"), &hostile,
         "Disassemble8583: Unknown field 3\n"},
        {"negative LENGTH_BYTES counts as undefined", Message("0800000000000000", "abc"), &hostile,
         "Disassemble8583: Unknown field 5\n"},
        {"LENGTH_BYTES 4 counts as undefined", Message("0400000000000000", "0001a"), &hostile,
         "Disassemble8583: Unknown field 6\n"},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        ClearError();
        const Outcome outcome = Disassemble(c.bytes, *c.specs, fields);
        EXPECT_EQ(outcome.result, -1) << c.why;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT) << c.why;
        EXPECT_EQ(GetErrorSubCode(), 0) << c.why;
        EXPECT_EQ(LastErrorMessage(), c.message) << c.why;
    }
}

}  // namespace
