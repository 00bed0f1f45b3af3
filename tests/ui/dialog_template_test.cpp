#include "ui/dialog_template.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DialogTemplate, HoldsTheFrameInFortySixBytes) {
    unsigned char block[ui::TEMPLATE_BLOCK_SIZE];
    ASSERT_EQ(ui::FillDialogTemplate(block), 46);
    const unsigned char expected[46] = {
        0x00, 0x00, 0xEF, 0x00,  // style: caption, system menu, sizable, min/max, v-scroll
        0x00, 0x00, 0x00, 0x00,  // extended style
        0x00, 0x00,              // no control items
        0x00, 0x00, 0x00, 0x00,  // x, y
        0x1A, 0x01, 0xA4, 0x00,  // 282 x 164 dialog units
        0x00, 0x00,              // no menu
        0x00, 0x00,              // the dialog manager's class
        'V',  0,    'E',  0,    'L', 0, 'K', 0, ' ', 0, 'T', 0,
        'e',  0,    's',  0,    't', 0, 'e', 0, 'r', 0, 0,   0,
    };
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 46),
              std::string(reinterpret_cast<const char*>(expected), 46));
    for (int i = 46; i < ui::TEMPLATE_BLOCK_SIZE; ++i) {
        EXPECT_EQ(block[i], 0) << i;
    }
}

TEST(DialogTemplate, CopyToWideSignExtendsAndCountsTheTerminator) {
    uint16_t wide[16];
    EXPECT_EQ(ui::CopyToWide(wide, "VELK Tester"), 12);
    EXPECT_EQ(ui::CopyToWide(wide, "\xE9"), 2);
    EXPECT_EQ(wide[0], 0xFFE9);
    EXPECT_EQ(wide[1], 0);
    EXPECT_EQ(ui::CopyToWide(wide, ""), 1);
}

TEST(DialogTemplate, RoundUpTo4) {
    const int cases[][2] = {{0, 0}, {1, 4}, {3, 4}, {4, 4}, {46, 48}, {47, 48}, {48, 48}};
    for (const auto& c : cases) {
        EXPECT_EQ(ui::RoundUpTo4(c[0]), c[1]) << c[0];
    }
}

}  // namespace
