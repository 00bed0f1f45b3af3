#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "temp_root.h"
#include "vksoc/codec/ztr.h"
#include "ztr_test_messages.h"

using namespace std::string_literals;

namespace {

// Assembles into a large area; returns the bytes or "<-1>".
std::string Assemble(const MessageFields& fields, int room = 8192) {
    std::vector<unsigned char> out(8192, 0xAA);
    const int length = AssembleZTR(out.data(), room, &fields);
    if (length < 0) {
        return "<-1>";
    }
    return std::string(out.begin(), out.begin() + length);
}

TEST(AssembleZTR, AMessageWithoutFieldsHasEightyBytes) {
    const MessageFields fields = EmptyFields();
    const std::string message = Assemble(fields);
    EXPECT_EQ(message,
              "00075\x1c"
              "00000000\x1c"
              "B1.0"s +
                  std::string(61, '\x1c'));
}

TEST(AssembleZTR, CommandAloneGivesEightyFourBytes) {
    MessageFields fields = EmptyFields();
    const std::string command = "BINQ";
    SetSlot(fields, 4, command);
    const std::string message = Assemble(fields);
    ASSERT_EQ(message.size(), 84u);
    EXPECT_EQ(message,
              "00079\x1c"
              "62000028\x1c"
              "B1.0\x1c"
              "BINQ"s +
                  std::string(60, '\x1c'));
    EXPECT_EQ(std::count(message.begin(), message.end(), '\x1c'), 63);
}

TEST(AssembleZTR, LengthKeyAndVersionAreAlwaysComputed) {
    MessageFields fields = EmptyFields();
    const std::string stale[] = {"slot0", "99999", "BADKEY!!", "B9.9"};
    for (int n = 0; n < 4; ++n) {
        SetSlot(fields, n, stale[n]);
    }
    const std::string command = "BINQ";
    SetSlot(fields, 4, command);
    EXPECT_EQ(Assemble(fields), Framed(ZtrBody({"BINQ"}) + std::string(60, '\x1c')));
}

TEST(AssembleZTR, HashKeyCoversOnlyItsFieldsUpToANulByte) {
    // Fields 9, 12 and 13 are not part of the key; a NUL inside field 5
    // ends the key's input there, as the text of the input would end.
    MessageFields fields = EmptyFields();
    const std::string f4 = "PAYQ", f5 = "CU\0ST"s, f6 = "20261209223000", f9 = "Q", f12 = "01";
    SetSlot(fields, 4, f4);
    SetSlot(fields, 5, f5);
    SetSlot(fields, 6, f6);
    SetSlot(fields, 9, f9);
    SetSlot(fields, 12, f12);
    char key[12];
    ComputeHashKey("PAYQCU", key);
    EXPECT_EQ(Assemble(fields).substr(6, 8), std::string(key, 8));
}

TEST(AssembleZTR, RoundTripKeepsFieldsFourToSixtyFour) {
    const std::string request = ReadFile(std::string(VELK_TEST_DATA) + "/ztr_request.bin");
    const std::vector<unsigned char> bytes = Bytes(request);
    MessageFields received = EmptyFields();
    int complete = 0;
    ASSERT_EQ(DisassembleZTR(bytes.data(), static_cast<int>(bytes.size()), &received, &complete),
              static_cast<int>(bytes.size()));

    const std::vector<unsigned char> sent = Bytes(Assemble(received));
    // The peer's request stops after field 41; ours carries every separator.
    EXPECT_EQ(std::string(sent.begin(), sent.end()).substr(5),
              request.substr(5) + std::string(64 - 41, '\x1c'));
    MessageFields again = EmptyFields();
    ASSERT_EQ(DisassembleZTR(sent.data(), static_cast<int>(sent.size()), &again, &complete),
              static_cast<int>(sent.size()))
        << GetErrorText();
    for (int n = 4; n <= 64; ++n) {
        EXPECT_EQ(SlotText(again.slots[n]), SlotText(received.slots[n])) << "slot " << n;
    }
    EXPECT_EQ(SlotText(again.slots[2]), SlotText(received.slots[2]));
    EXPECT_EQ(SlotText(again.slots[3]), "B1.0");
}

TEST(AssembleZTR, RefusalsAreFormatErrors) {
    const std::string withSeparator =
        "AB\x1c"
        "CD";
    const std::string big(4000, 'x');
    const std::string huge(100000, 'y');
    struct Case {
        const char* why;
        std::vector<std::pair<int, const std::string*>> slots;
        int room;
        const char* message;
    } const cases[] = {
        {"a field holding the separator",
         {{7, &withSeparator}},
         8192,
         "AssembleZTR: Field 7 holds a field separator\n"},
        {"a separator in a field that is not sent in the key",
         {{64, &withSeparator}},
         8192,
         "AssembleZTR: Field 64 holds a field separator\n"},
        {"no room for the empty message", {}, 79, "AssembleZTR: Message longer than 79\n"},
        {"no room for the fields",
         {{4, &big}, {5, &big}},
         4104,
         "AssembleZTR: Message longer than 4104\n"},
        {"more than five length digits can count",
         {{4, &huge}},
         200000,
         "AssembleZTR: Message longer than 100004\n"},
    };
    for (const Case& c : cases) {
        MessageFields fields = EmptyFields();
        for (const auto& [n, text] : c.slots) {
            SetSlot(fields, n, *text);
        }
        ClearError();
        std::vector<unsigned char> out(200000, 0xAA);
        EXPECT_EQ(AssembleZTR(out.data(), c.room, &fields), -1) << c.why;
        EXPECT_EQ(GetErrorCode(), ERR_FORMAT) << c.why;
        EXPECT_EQ(GetErrorSubCode(), 0) << c.why;
        EXPECT_EQ(LastErrorMessage(), c.message) << c.why;
    }
}

TEST(AssembleZTR, NeverWritesPastItsRoom) {
    MessageFields fields = EmptyFields();
    const std::string command = "BINQ";
    SetSlot(fields, 4, command);
    for (int room = 0; room <= 90; ++room) {
        std::vector<unsigned char> out(128, 0xAA);
        EXPECT_EQ(AssembleZTR(out.data(), room, &fields), room >= 84 ? 84 : -1) << "room " << room;
        for (size_t i = static_cast<size_t>(room); i < out.size(); ++i) {
            ASSERT_EQ(out[i], 0xAA) << "room " << room << ", byte " << i;
        }
    }
}

TEST(AssembleZTR, LongestMessageOfTheDialogFits) {
    // Every named field at its dialog maximum: 80 + 3,978 bytes.
    MessageFields fields = EmptyFields();
    std::vector<std::string> values;
    values.reserve(64);
    for (const ZtrFieldDef* row = ZtrFieldTable; row->fieldNo != 0; ++row) {
        if (row->fieldNo >= 4) {
            values.emplace_back(static_cast<size_t>(row->maxLen), 'm');
            SetSlot(fields, row->fieldNo, values.back());
        }
    }
    EXPECT_EQ(Assemble(fields).size(), 4058u);
}

TEST(ZtrFieldTable, NamesFiftySevenFieldsInOrder) {
    int rows = 0;
    for (const ZtrFieldDef* row = ZtrFieldTable; row->fieldNo != 0; ++row) {
        ++rows;
        EXPECT_EQ(row->fieldNo, rows);
    }
    EXPECT_EQ(rows, 57);
    EXPECT_STREQ(ZtrFieldTable[3].name, "COMMAND");
    EXPECT_STREQ(ZtrFieldTable[52].name, "ORIGINAL_SETTTLEMENT_FEE_DET");
    EXPECT_EQ(ZtrFieldTable[33].maxLen, 948);
    EXPECT_EQ(ZtrFieldTable[56].maxLen, 1920);
}

}  // namespace
