// The message dialog of a controller whose fields are not all ASCII: each box
// shows and takes its field's value form.

#include "ui/dialog_fixture.h"

namespace {

class ValueFormDialog : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        UseEncodedController();
    }
};

TEST_F(ValueFormDialog, ABinaryBoxTakesTwoHexDigitsAByteAndOnlyThem) {
    Init();
    struct Row {
        int n;
        int limit;
        bool hexDigits;
    };
    // BCD counts digits, EBCDIC characters: their value forms are as long as
    // MAX_LEN says. Only the BINARY box doubles and limits what is typed.
    for (Row row : {Row{0, 4, false}, Row{2, 19, false}, Row{3, 6, false}, Row{39, 2, false},
                    Row{41, 8, false}, Row{43, 40, false}, Row{52, 16, true}}) {
        const FakeDialogHost::Control* box = host_.Find(1000 + row.n);
        ASSERT_NE(box, nullptr) << row.n;
        EXPECT_EQ(box->limit, row.limit) << row.n;
        EXPECT_EQ(box->hexDigits, row.hexDigits) << row.n;
    }
}

TEST_F(ValueFormDialog, BoxesShowTheValueFormsAndReadBackTakesThemAsTheyAre) {
    Put(0, "0200");
    Put(2, "4761739001010119");
    Put(3, "011000");
    Put(39, "00");
    Put(43, "CAF\xC3\x89 BERN");  // EBCDIC text comes up as UTF-8
    Put(52, "0123456789ABCDEF");
    Init();
    EXPECT_EQ(Box(2), "4761739001010119");
    EXPECT_EQ(Box(52), "0123456789ABCDEF");
    Type(4, "000000001234");
    Type(52, "fedcba9876543210");  // lower case is taken too
    // The port is -1: the send fails after the values were taken.
    EXPECT_EQ(Press(ui::IDOK), 0);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Could not Send Response"});
    EXPECT_EQ(Slot(3), "011000");
    EXPECT_EQ(Slot(4), "000000001234");
    EXPECT_EQ(Slot(43), "CAF\xC3\x89 BERN");
    EXPECT_EQ(Slot(52), "fedcba9876543210");
}

TEST_F(ValueFormDialog, AReceivedVariableValueAboveMaxLenIsAnsweredAsItCame) {
    const std::string pan(25, '4');  // a binary length byte carries more than MAX_LEN 19
    Put(0, "0200");
    Put(2, pan);
    Init();
    EXPECT_EQ(Press(ui::IDOK), 0);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Could not Send Response"});
    EXPECT_EQ(Slot(2), pan);
}

// A value form the field cannot take is refused before anything is sent or
// saved: the box names the field and the reason, the dialog stays open.
TEST_F(ValueFormDialog, AValueItsFieldCannotTakeIsRefusedNamingTheFieldAndTheReason) {
    struct Case {
        int n;
        const char* typed;
        const char* box;
    } const cases[] = {
        {3, "01A000", "Field 3 Processing Code: non-digit 'A' in a BCD value"},
        {3, "0110001", "Field 3 Processing Code: length 7 above MAX_LEN 6 digits"},
        {52, "0123456789ABCDE",
         "Field 52 PIN Data: odd number of hexadecimal digits (15) in a BINARY value"},
        {52, "0123456789ABCDEG",
         "Field 52 PIN Data: non-hexadecimal character 'G' in a BINARY value"},
        {52, "01234567", "Field 52 PIN Data: 4 of the 8 bytes of a fixed BINARY value"},
        {39, "\xE2\x82\xAC",
         "Field 39 Response Code: character U+20AC has no place in code page 1047"},
    };
    for (const Case& c : cases) {
        for (int command : {ui::IDOK, ui::SAVE_BUTTON_ID}) {
            host_ = FakeDialogHost{};
            Put(0, "0200");
            Init();
            Type(c.n, c.typed);
            EXPECT_EQ(Press(command), 1);
            EXPECT_EQ(host_.boxes, std::vector<std::string>{c.box}) << c.typed;
            EXPECT_FALSE(host_.ended);
            EXPECT_TRUE(host_.chooserForSave.empty()) << "no file is chosen for a refused value";
            EXPECT_EQ(responderState.message.slots[0].length, 0) << "the message stays cleared";
        }
    }
    EXPECT_NE(Log().find("Field 52 PIN Data: odd number of hexadecimal digits (15)"),
              std::string::npos)
        << Log();
}

}  // namespace
