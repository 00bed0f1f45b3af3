#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec_test_support.h"
#include "temp_root.h"
#include "vksoc/codec/ztr.h"
#include "ztr_test_messages.h"

using namespace std::string_literals;

namespace {

struct Outcome {
    int result;
    int complete;
};

// Disassembles from an exact-size copy, so that any read past the given
// bytes is caught by the sanitizers. The copy is gone afterwards: only the
// outcome and the error state may be looked at.
Outcome Disassemble(const std::string& text, MessageFields& fields, int count = -1) {
    const std::vector<unsigned char> bytes = Bytes(text);
    int complete = -7;
    const int result = DisassembleZTR(
        bytes.data(), count < 0 ? static_cast<int>(bytes.size()) : count, &fields, &complete);
    return {result, complete};
}

std::vector<std::string> Fields(int count) {
    std::vector<std::string> fields;
    for (int i = 0; i < count; ++i) {
        fields.push_back("f"s + std::to_string(i + 4));
    }
    return fields;
}

TEST(DisassembleZTR, TakesATypicalRequest) {
    const std::vector<unsigned char> bytes =
        Bytes(ReadFile(std::string(VELK_TEST_DATA) + "/ztr_request.bin"));
    MessageFields fields = EmptyFields();
    int complete = 0;
    const int count = static_cast<int>(bytes.size());
    ASSERT_EQ(DisassembleZTR(bytes.data(), count, &fields, &complete), count) << GetErrorText();
    EXPECT_EQ(complete, 1);
    EXPECT_EQ(fields.slots[0].length, 0);
    EXPECT_EQ(SlotText(fields.slots[1]), "00198");
    EXPECT_EQ(SlotText(fields.slots[2]), "43861059");
    EXPECT_EQ(SlotText(fields.slots[3]), "B1.0");
    EXPECT_EQ(SlotText(fields.slots[4]), "BINQ");
    EXPECT_EQ(SlotText(fields.slots[7]), "C01");
    EXPECT_EQ(SlotText(fields.slots[14]), "1234567890123456789");
    EXPECT_EQ(fields.slots[17].length, 0);
    EXPECT_EQ(fields.slots[17].data, nullptr);
    EXPECT_EQ(SlotText(fields.slots[41]), "ATM00042");
    EXPECT_EQ(fields.slots[42].length, 0);
    EXPECT_TRUE(SlotsLieWithin(fields, bytes.data(), count));
}

TEST(DisassembleZTR, IncompleteMessagesNeedMoreBytes) {
    const std::string hundred = Framed("\x1c"s + std::string(99, 'x'));  // 105 bytes
    struct Case {
        const char* why;
        std::string bytes;
        int count;
    } const cases[] = {
        {"nothing", "", 0},
        {"four length digits", "0010", 4},
        {"length 00100 with 104 bytes", hundred.substr(0, 104), 104},
        {"the length and its separator", "00100\x1c", 6},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        const Outcome outcome = Disassemble(c.bytes, fields);
        EXPECT_EQ(outcome.result, c.count) << c.why;
        EXPECT_EQ(outcome.complete, 0) << c.why;
    }
    // Every shorter part of the typical request needs more bytes.
    const std::string request = ReadFile(std::string(VELK_TEST_DATA) + "/ztr_request.bin");
    for (size_t count = 0; count < request.size(); ++count) {
        MessageFields fields = EmptyFields();
        const Outcome outcome = Disassemble(request.substr(0, count), fields);
        EXPECT_EQ(outcome.result, static_cast<int>(count));
        EXPECT_EQ(outcome.complete, 0);
    }
}

TEST(DisassembleZTR, WholeMessagesFillTheirSlots) {
    struct Case {
        const char* why;
        std::string bytes;
        int trailing;  // bytes after the message, left for the next one
        std::vector<std::pair<int, std::string>> slots;  // present slots from 4 on
    } const cases[] = {
        {"length 00100 with exactly 105 bytes",
         ZtrMessage({std::string(85, 'x')}),
         0,
         {{4, std::string(85, 'x')}}},
        {"two separators in a row leave the slot between absent",
         ZtrMessage({"CMD1", "", "20261209"}),
         0,
         {{4, "CMD1"}, {6, "20261209"}}},
        {"a separator right before the end adds no field",
         ZtrMessage({"CMD1", ""}),
         0,
         {{4, "CMD1"}}},
        {"a version longer than 4 bytes that begins with B1.0",
         ZtrMessage({"CMD1"}, "B1.0-extra"),
         0,
         {{4, "CMD1"}}},
        {"exactly 63 fields after the length", ZtrMessage(Fields(61)), 0, {}},
        {"bytes after the message are left alone",
         ZtrMessage({"CMD1"}) + "00075\x1c",
         6,
         {{4, "CMD1"}}},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        const unsigned char sentinel[] = "untouched";
        for (FieldSlot& slot : fields.slots) {
            slot = {sentinel, 9};  // stale slots of an earlier message
        }
        const std::vector<unsigned char> bytes = Bytes(c.bytes);
        int complete = 0;
        const int expected = static_cast<int>(bytes.size()) - c.trailing;
        ASSERT_EQ(DisassembleZTR(bytes.data(), static_cast<int>(bytes.size()), &fields, &complete),
                  expected)
            << c.why << ": " << GetErrorText();
        EXPECT_EQ(complete, 1) << c.why;
        EXPECT_EQ(fields.slots[0].length, 0) << c.why;
        EXPECT_EQ(fields.slots[1].data, bytes.data()) << c.why;
        EXPECT_EQ(fields.slots[1].length, 5) << c.why;
        EXPECT_EQ(fields.slots[2].length, 8) << c.why;
        EXPECT_EQ(SlotText(fields.slots[3]).substr(0, 4), "B1.0") << c.why;
        if (c.slots.empty()) {
            for (int n = 4; n <= 64; ++n) {
                EXPECT_EQ(SlotText(fields.slots[n]), "f"s + std::to_string(n)) << c.why;
            }
        } else {
            std::vector<std::string> want(65), got(65);
            for (const auto& [n, text] : c.slots) {
                want[static_cast<size_t>(n)] = text;
            }
            for (int n = 4; n <= 64; ++n) {
                got[static_cast<size_t>(n)] = SlotText(fields.slots[n]);
            }
            EXPECT_EQ(got, want) << c.why;
        }
        for (int n = 65; n <= 128; ++n) {
            EXPECT_EQ(fields.slots[n].data, sentinel) << c.why << ": slot " << n;
        }
        EXPECT_TRUE(SlotsLieWithin(fields, bytes.data(), expected, ZTR_MAX_FIELDS)) << c.why;
    }
}

TEST(DisassembleZTR, LengthFieldKeepsItsFiveBytesWhenItsDigitsEndEarly) {
    // Found by fuzzing: "0015" and a separator count 15; the first field
    // still starts at offset 5, and slot 1 holds the five bytes as received.
    const std::vector<unsigned char> bytes = Bytes(
        "0015\x1c\x1c"
        "00000000\x1c"
        "B1.0&");
    MessageFields fields = EmptyFields();
    int complete = 0;
    ASSERT_EQ(DisassembleZTR(bytes.data(), 20, &fields, &complete), 20) << GetErrorText();
    EXPECT_EQ(SlotText(fields.slots[1]), "0015\x1c");
    EXPECT_EQ(SlotText(fields.slots[2]), "00000000");
    EXPECT_EQ(SlotText(fields.slots[3]), "B1.0&");
}

TEST(DisassembleZTR, TwoMessagesBackToBackAreTakenOneAtATime) {
    const std::string first = ZtrMessage({"CMD1"});
    const std::string second = ZtrMessage({"CMD2", "CUSTOMER"});
    const std::vector<unsigned char> bytes = Bytes(first + second);
    MessageFields fields = EmptyFields();
    int complete = 0;
    const int firstLength = static_cast<int>(first.size());
    ASSERT_EQ(DisassembleZTR(bytes.data(), static_cast<int>(bytes.size()), &fields, &complete),
              firstLength);
    EXPECT_EQ(SlotText(fields.slots[4]), "CMD1");
    const int rest = static_cast<int>(second.size());
    ASSERT_EQ(DisassembleZTR(bytes.data() + firstLength, rest, &fields, &complete), rest);
    EXPECT_EQ(SlotText(fields.slots[5]), "CUSTOMER");
    // The first message and the beginning of the next.
    ASSERT_EQ(DisassembleZTR(bytes.data(), firstLength + 7, &fields, &complete), firstLength);
    EXPECT_EQ(DisassembleZTR(bytes.data() + firstLength, 7, &fields, &complete), 7);
    EXPECT_EQ(complete, 0);
}

TEST(DisassembleZTR, MalformedMessagesAreFormatErrorsInTheOrderOfChecking) {
    const std::string goodKey = KeyOf({"CMD1"});
    struct Case {
        const char* why;
        std::string bytes;
        std::string message;
    } const cases[] = {
        // "%4.4s" pads a received version shorter than 4 characters on the left.
        {"length 00000", "00000\x1c", "DisassembleZTR: Invalid Msg Len fld: 00000\n"},
        {"five spaces", "     \x1c", "DisassembleZTR: Invalid Msg Len fld:      \n"},
        {"letters", "ABCDE", "DisassembleZTR: Invalid Msg Len fld: ABCDE\n"},
        {"a negative length", "-0010xxxxxxxxxx", "DisassembleZTR: Invalid Msg Len fld: -0010\n"},
        {"a NUL in the length ends its text",
         std::string("0\0"
                     "12\x1c",
                     5) +
             "xxxxxxxxxxxx",
         "DisassembleZTR: Invalid Msg Len fld: 0\n"},
        {"no separator after the length", Framed("X"s + goodKey),
         "DisassembleZTR: No delimiter follows length\n"},
        {"65 fields", ZtrMessage(Fields(62)), "DisassembleZTR: Message has more than 64 fields\n"},
        {"63 fields and a trailing separator", Framed(ZtrBody(Fields(61)) + "\x1c"),
         "DisassembleZTR: Message has more than 64 fields\n"},
        {"too many fields is found before a bad key",
         Framed("\x1c"
                "BADKEY!!"s +
                std::string(70, '\x1c')),
         "DisassembleZTR: Message has more than 64 fields\n"},
        {"a lone separator: no hash key", Framed("\x1c"),
         "DisassembleZTR: Invalid Length of Hash Key[0]\n"},
        {"a hash key of 7 bytes",
         Framed("\x1c"
                "1234567\x1c"
                "B1.0"),
         "DisassembleZTR: Invalid Length of Hash Key[7]\n"},
        {"a hash key of 9 bytes",
         Framed("\x1c"
                "123456789\x1c"
                "B1.0"),
         "DisassembleZTR: Invalid Length of Hash Key[9]\n"},
        {"a wrong hash key",
         Framed("\x1c"
                "12345678\x1c"
                "B1.0\x1c"
                "CMD1"),
         "DisassembleZTR: Hash Key Expected "s + goodKey + " Rcvd 12345678\n"},
        {"a key for other field bytes",
         Framed("\x1c"s + goodKey +
                "\x1c"
                "B1.0\x1c"
                "CMD2"),
         "DisassembleZTR: Hash Key Expected "s + KeyOf({"CMD2"}) + " Rcvd "s + goodKey + "\n"},
        {"a bad key is found before a bad version",
         Framed("\x1c"
                "12345678\x1c"
                "B1.1\x1c"
                "CMD1"),
         "DisassembleZTR: Hash Key Expected "s + goodKey + " Rcvd 12345678\n"},
        {"control bytes in the length are shown, not written", "\x1b[2J\n\x1c",
         "DisassembleZTR: Invalid Msg Len fld: \\x1b[2J\\x0a\n"},
        {"a line feed in the hash key cannot start a forged line",
         Framed("\x1c"
                "1234\n678\x1c"
                "B1.0\x1c"
                "CMD1"),
         "DisassembleZTR: Hash Key Expected "s + goodKey + " Rcvd 1234\\x0a678\n"},
        {"version B1.1", ZtrMessage({"CMD1"}, "B1.1"),
         "DisassembleZTR: Versn Expected: B1.0 Rcvd: B1.1\n"},
        {"no version", ZtrMessage({"CMD1"}, ""),
         "DisassembleZTR: Versn Expected: B1.0 Rcvd:     \n"},
        {"no version field at all", Framed("\x1c"s + KeyOf({})),
         "DisassembleZTR: Versn Expected: B1.0 Rcvd:     \n"},
        {"a version of 3 bytes ending the message",
         Framed("\x1c"s + KeyOf({}) +
                "\x1c"
                "B1."),
         "DisassembleZTR: Versn Expected: B1.0 Rcvd:  B1.\n"},
        {"a version with a NUL",
         ZtrMessage({"CMD1"}, std::string("B1\0"
                                          "0",
                                          4)),
         "DisassembleZTR: Versn Expected: B1.0 Rcvd:   B1\n"},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        ClearError();
        const Outcome outcome = Disassemble(c.bytes, fields);
        EXPECT_EQ(outcome.result, -1) << c.why;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT) << c.why;
        EXPECT_EQ(GetErrorSubCode(), 0) << c.why;
        EXPECT_EQ(LastErrorMessage(), c.message) << c.why;
    }
}

}  // namespace
