// A chip data box (FIELD_FORMAT TLV) on the Qt desk: it shows hexadecimal,
// takes twice MAX_LEN digits, and its tooltip lists the decoded data objects,
// also after the person types.

#include <QTest>
#include <cstring>

#include "config_text.h"
#include "desk_fixture.h"
#include "ui/responder_state.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

namespace {

class ChipDataTip : public DeskFixture {
  protected:
    void SetUp() override {
        DeskFixture::SetUp();
        root_.WriteConfig(
            "<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>C01\n"
            "<FIELD_SPEC_LIST>\n" +
            FieldText(39, "Response Code", 2, 0) +
            "<FIELD>\n<FIELD_NO>55\n<FIELD_NAME>ICC Data\n<MAX_LEN>255\n<LENGTH_BYTES>3\n"
            "<FIELD_FORMAT>TLV\n</FIELD>\n"
            "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n");
        ::testing::internal::CaptureStdout();
        ASSERT_EQ(LoadConfiguration(), 0);
        ::testing::internal::GetCapturedStdout();
        responderState.fieldSpecs = FindControllerExact("C01");
    }
};

TEST_F(ChipDataTip, TheBoxShowsHexadecimalAndItsTooltipTheObjects) {
    Put(55, std::string("\x9F\x27\x01\x80\x9F\x36\x02\x00\x42", 9));
    auto dialog = Open();
    ui::LimitedLineEdit* box = Box(*dialog, 1055);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("9F2701809F36020042"));
    EXPECT_EQ(box->toolTip(),
              QStringLiteral("55.9F27 Cryptogram Information Data: 80\n"
                             "55.9F36 Application Transaction Counter (ATC): 0042"));
    box->setFocus();
    box->end(false);
    QTest::keyClicks(box, "9102");
    EXPECT_EQ(box->toolTip(),
              QStringLiteral("55.9F27 Cryptogram Information Data: 80\n"
                             "55.9F36 Application Transaction Counter (ATC): 0042\n"
                             "55 malformed at byte 10: length past the field's end\n"
                             "55 raw from byte 9: 9102"));
    QTest::keyClicks(box, "ABCD");
    EXPECT_EQ(box->toolTip().right(38), QStringLiteral("55.91 Issuer Authentication Data: ABCD"));
    EXPECT_EQ(Box(*dialog, 1039)->toolTip(), QString());
}

}  // namespace
