#include "diag/card_mask.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Masked(int n, const std::string& value) {
    std::string out(value.size(), '?');
    MaskCardField(n, reinterpret_cast<const unsigned char*>(value.data()),
                  static_cast<int>(value.size()), reinterpret_cast<unsigned char*>(out.data()));
    return out;
}

TEST(MaskCardField, KeepsTheFirstSixAndLastFourDigitsOfTheCardNumber) {
    struct Case {
        int n;
        std::string value;
        std::string shown;
    } const cases[] = {
        {2, "4761739001010119", "476173******0119"},
        {2, "4761739001010119000", "476173*********9000"},
        {2, "47617390010", "476173*0010"},
        {2, "4761739001", "4761739001"},  // nothing between the kept digits
        // Track 2: the number, the separator, then everything hidden.
        {35, "4761739001010119=25122011758928889", "476173******0119=*****************"},
        {35, ";4761739001010119=2512?", ";476173******0119=*****"},
        {35, "4761739001010119D2512", "476173******0119D****"},
        // Track 1: format code, number, separator, name and the rest hidden.
        {45, "B4761739001010119^CARDHOLDER/A^2512201", "B476173******0119^********************"},
        {35, "4761739001010119", "476173******0119"},  // no separator
        // Other elements are never touched.
        {3, "011000", "011000"},
        {4, "000000010000", "000000010000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Masked(c.n, c.value), c.shown) << c.n << " " << c.value;
    }
}

}  // namespace
