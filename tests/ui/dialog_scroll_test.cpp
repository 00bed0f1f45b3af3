#include "ui/dialog_scroll.h"

#include <gtest/gtest.h>

namespace {

// A view of 328 pixels over the range 0 .. 1710 (the 57 ZTR rows); boxes are
// 20 pixels high, given by their top in the unscrolled contents.
TEST(DialogScroll, TheViewMovesOnlyAsFarAsTheFocusedControlNeeds) {
    struct Case {
        const char* what;
        int position;
        int top;
        int bottom;
        int expected;
    };
    const Case cases[] = {
        {"in view", 0, 310, 328, 0},
        {"one pixel below the view", 0, 310, 330, 2},
        {"far below", 0, 1000, 1020, 692},
        {"above the view", 900, 700, 720, 700},
        {"partly above", 900, 890, 910, 890},
        {"beyond the end of the range", 0, 2200, 2220, 1710},
        {"taller than the view shows its top", 0, 400, 800, 400},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ui::PositionShowing(c.position, 0, 1710, c.top, c.bottom, 328), c.expected)
            << c.what;
    }
}

TEST(DialogScroll, AWheelNotchIsThreeLinesAndPartsOfANotchAddUp) {
    struct Turn {
        int delta;
        int lines;
    };
    // Toward the person is negative: lines down.
    const Turn turns[] = {{-120, -3}, {240, 6}, {60, 0}, {60, 3}, {-40, 0}, {-40, 0}, {-40, -3}};
    int rest = 0;
    for (const Turn& turn : turns) {
        EXPECT_EQ(ui::WheelLines(rest, turn.delta), turn.lines) << turn.delta;
    }
    EXPECT_EQ(rest, 0);
}

}  // namespace
