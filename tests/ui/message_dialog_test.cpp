#include <gtest/gtest.h>

#include <string>

#include "dialog_fixture.h"
#include "ui/field_text_area.h"

namespace {

using Dialog = DialogFixture;

TEST_F(Dialog, AnIso8583ControllerGetsAMessageIdRowAndOneRowPerDefinedField) {
    Put(0, "0200");
    Put(3, "000000");
    EXPECT_EQ(Init(), 0);

    auto labels = host_.OfClass("STATIC");
    auto edits = host_.OfClass("EDIT");
    ASSERT_EQ(edits.size(), 6u);
    const int ids[] = {1000, 1002, 1003, 1004, 1039, 1070};
    const int limits[] = {4, 19, 6, 12, 2, 3};
    const char* names[] = {"Message Id", "Primary Account Number", "Processing Code",
                           "Amount",     "Response Code",          "Network Code"};
    for (size_t r = 0; r < edits.size(); ++r) {
        int y = 10 + 30 * static_cast<int>(r);
        EXPECT_EQ(labels[r]->text, names[r]);
        EXPECT_EQ(labels[r]->id, 5);
        EXPECT_EQ(labels[r]->style, ui::WS_CHILD | ui::WS_VISIBLE);
        EXPECT_EQ(
            (std::vector<int>{labels[r]->x, labels[r]->y, labels[r]->width, labels[r]->height}),
            (std::vector<int>{10, y, 220, 20}));
        EXPECT_EQ(edits[r]->id, ids[r]);
        EXPECT_EQ(edits[r]->limit, limits[r]);
        EXPECT_EQ((std::vector<int>{edits[r]->x, edits[r]->y, edits[r]->width, edits[r]->height}),
                  (std::vector<int>{235, y, 350, 20}));
        EXPECT_EQ(edits[r]->style, ui::WS_CHILD | ui::WS_VISIBLE | ui::WS_BORDER | ui::WS_TABSTOP |
                                       ui::ES_AUTOHSCROLL);
    }
    EXPECT_EQ(Box(0), "0200");
    EXPECT_EQ(Box(3), "000000");
    EXPECT_EQ(Box(2), "") << "an absent field shows an empty box";

    auto buttons = host_.OfClass("BUTTON");
    ASSERT_EQ(buttons.size(), 4u);
    const char* texts[] = {"Respond", "&Read", "&Save", "&Cancel"};
    const int buttonIds[] = {1, 200, 201, 2};
    for (size_t b = 0; b < 4; ++b) {
        EXPECT_EQ(buttons[b]->text, texts[b]);
        EXPECT_EQ(buttons[b]->id, buttonIds[b]);
        EXPECT_EQ(buttons[b]->x, 10 + 100 * static_cast<int>(b));
        EXPECT_EQ(buttons[b]->y, 190);
        EXPECT_EQ(buttons[b]->width, 100);
        EXPECT_EQ(buttons[b]->height, 30);
    }
    EXPECT_EQ(host_.focus, 200) << "the focus starts on Read";
    EXPECT_EQ(host_.scrollPosition, 0);
    EXPECT_EQ(host_.scrollMaximum, 180);
}

TEST_F(Dialog, TheZtrFormatGetsItsFiftySevenNamedRows) {
    UseZtr();
    Init();
    auto edits = host_.OfClass("EDIT");
    ASSERT_EQ(edits.size(), 57u);
    EXPECT_EQ(host_.OfClass("STATIC")[0]->text, "MESSAGE_LENGTH");
    EXPECT_EQ(edits[0]->id, 1001);
    EXPECT_EQ(edits[0]->limit, 5);
    EXPECT_EQ(edits[56]->id, 1057);
    EXPECT_EQ(edits[56]->limit, 1920);
    EXPECT_EQ(host_.OfClass("BUTTON")[0]->y, 1720);
    EXPECT_EQ(host_.scrollMaximum, 1710);
}

TEST_F(Dialog, AReceivedValueIsShownUpToItsFirstNulAndWholeBeyondItsLimit) {
    Put(0, std::string("02\0"
                       "0",
                       4));
    Put(39, "0000");  // longer than the limit of 2
    Init();
    EXPECT_EQ(Box(0), "02");
    EXPECT_EQ(Box(39), "0000");
    EXPECT_EQ(host_.Find(1039)->limit, 2);
}

TEST_F(Dialog, ReadBackPacksTheTextsBackToBackIntoTheTextArea) {
    Put(0, "0200");
    Put(3, "123456");
    Put(4, "000000001000");
    Init();
    Type(0, "0210");
    Type(3, "000000");
    Type(4, "");
    Type(39, "00");
    ASSERT_EQ(ui::CollectFields(host_, responderState.message), 1);
    const char* area = fieldTextArea.iso8583;
    EXPECT_EQ(std::string(area, 12), "021000000000");
    const MessageFields& m = responderState.message;
    EXPECT_EQ(m.slots[0].data, reinterpret_cast<const unsigned char*>(area));
    EXPECT_EQ(m.slots[0].length, 4);
    EXPECT_EQ(m.slots[3].data, reinterpret_cast<const unsigned char*>(area + 4));
    EXPECT_EQ(m.slots[3].length, 6);
    EXPECT_EQ(m.slots[39].data, reinterpret_cast<const unsigned char*>(area + 10));
    EXPECT_EQ(m.slots[39].length, 2);
    for (int n = 0; n < 129; ++n) {
        if (n != 0 && n != 3 && n != 39) {
            EXPECT_EQ(m.slots[n].length, 0) << n;
        }
    }
}

TEST_F(Dialog, ZtrReadBackTakesEveryNamedBoxAndRequiresNone) {
    UseZtr();
    Init();
    host_.Find(1004)->text = "ECHO";
    host_.Find(1057)->text = "T";
    ASSERT_EQ(ui::CollectFields(host_, responderState.message), 1);
    EXPECT_EQ(Slot(4), "ECHO");
    EXPECT_EQ(Slot(57), "T");
    EXPECT_EQ(std::string(fieldTextArea.ztr, 5), "ECHOT");
    EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(Dialog, TextsThatOverflowTheAreaAreCutAndTheRestReadsAsAbsent) {
    UseZtr();
    Init();
    host_.Find(1034)->text = std::string(948, 'a');
    host_.Find(1057)->text = std::string(1920, 'b');
    host_.Find(1052)->text = std::string(140, 'c');
    for (int p : {1022, 1025, 1037, 1053, 1054, 1055}) {
        host_.Find(p)->text = std::string(200, 'd');
    }
    ASSERT_EQ(ui::CollectFields(host_, responderState.message), 1);
    int total = 0;
    for (const FieldSlot& slot : responderState.message.slots) {
        total += slot.length;
    }
    EXPECT_EQ(total, 4095);
    EXPECT_EQ(responderState.message.slots[57].length, 4095 - 948 - 140 - 6 * 200);
}

TEST_F(Dialog, AnEmptyMessageIdStopsRespondAndSendsNothing) {
    Put(0, "0200");
    Put(3, "000000");
    Init();
    Type(0, "");
    EXPECT_EQ(Press(ui::IDOK), 1);
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Message Id is mandatory"});
    EXPECT_EQ(host_.boxIcons[0], ui::MB_NOICON);
    EXPECT_FALSE(host_.ended);
    for (const FieldSlot& slot : responderState.message.slots) {
        EXPECT_EQ(slot.length, 0);
    }
}

TEST_F(Dialog, CancelEndsWithOneAndOtherCommandsAreIgnored) {
    Init();
    EXPECT_EQ(Press(999), 0);
    EXPECT_FALSE(host_.ended);
    EXPECT_EQ(Press(ui::IDCANCEL), 1);
    EXPECT_TRUE(host_.ended);
    EXPECT_EQ(host_.endResult, 1);
    EXPECT_EQ(ui::MsgDlgProc(host_, 0x0010 /* close */, 0, 0, &exchange_), 0);
}

TEST_F(Dialog, ScrollingFollowsTheLineAndPageRules) {
    UseZtr();  // range 0 .. 1710
    Init();
    struct Step {
        unsigned code;
        unsigned thumb;
        int position;  // afterwards
        int move;      // contents moved down by (0: nothing happened)
    };
    const Step steps[] = {
        {ui::SB_LINEUP, 0, 0, 0},       // at the top: nothing
        {ui::SB_LINEDOWN, 0, 30, -30},  // three lines down: up by 90 in all
        {ui::SB_LINEDOWN, 0, 60, -30},
        {ui::SB_LINEDOWN, 0, 90, -30},
        {ui::SB_PAGEUP, 0, 0, 90},  // a page up near the start stops at 0
        {ui::SB_THUMBPOSITION, 1600, 1600, -1600},
        {ui::SB_PAGEDOWN, 0, 1710, -110},  // near the end it stops at the maximum
        {ui::SB_PAGEDOWN, 0, 1710, 0},     // at the end: nothing
        {ui::SB_LINEDOWN, 0, 1710, 0},
        {ui::SB_PAGEUP, 0, 1470, 240},
        {ui::SB_THUMBTRACK, 5, 1470, 0},  // dragging alone moves nothing
        {ui::SB_TOP, 0, 1470, 0},
        {ui::SB_ENDSCROLL, 0, 1470, 0},
    };
    for (const Step& s : steps) {
        host_.moves.clear();
        Scroll(s.code, s.thumb);
        EXPECT_EQ(host_.scrollPosition, s.position) << "request " << s.code;
        if (s.move == 0) {
            EXPECT_TRUE(host_.moves.empty() || host_.moves[0] == 0) << "request " << s.code;
        } else {
            EXPECT_EQ(host_.moves, std::vector<int>{s.move}) << "request " << s.code;
        }
    }
}

}  // namespace
