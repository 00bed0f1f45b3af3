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

}  // namespace
