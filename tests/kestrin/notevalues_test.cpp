#include "kestrin/notevalues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string>

namespace {

// The label written from scratch: (n + 1)/16 of a whole note, reduced, with the
// whole part joined by " & ".
std::string expectedLabel(int n) {
    const int sixteenths = n + 1;
    const int whole = sixteenths / 16, rest = sixteenths % 16;
    if (rest == 0) return std::to_string(whole);
    const int g = std::gcd(rest, 16);
    const std::string fraction = std::to_string(rest / g) + "/" + std::to_string(16 / g);
    return whole == 0 ? fraction : std::to_string(whole) + " & " + fraction;
}

TEST(NoteValues, LabelsAreReducedFractionsOfAWholeNote) {
    for (int n = 0; n < kestrin::kNoteValueCount; ++n) EXPECT_EQ(kestrin::noteValueLabel(n), expectedLabel(n)) << n;
    EXPECT_STREQ(kestrin::noteValueLabel(0), "1/16");
    EXPECT_STREQ(kestrin::noteValueLabel(3), "1/4");
    EXPECT_STREQ(kestrin::noteValueLabel(15), "1");
    EXPECT_STREQ(kestrin::noteValueLabel(23), "1 & 1/2");
    EXPECT_STREQ(kestrin::noteValueLabel(31), "2");
}

TEST(NoteValues, IndicesOutsideTheTableAreLabelledWithASpace) {
    EXPECT_STREQ(kestrin::noteValueLabel(32), " ");
    EXPECT_STREQ(kestrin::noteValueLabel(-1), " ");
    EXPECT_STREQ(kestrin::noteValueLabel(1 << 30), " ");
}

TEST(NoteValues, DurationIsSixteenthsAtTheTempo) {
    EXPECT_DOUBLE_EQ(kestrin::noteValueSeconds(3, 120.0), 0.5);
    EXPECT_DOUBLE_EQ(kestrin::noteValueSeconds(0, 120.0), 0.125);
    EXPECT_DOUBLE_EQ(kestrin::noteValueSeconds(15, 120.0), 2.0);
    EXPECT_DOUBLE_EQ(kestrin::noteValueSeconds(31, 60.0), 8.0);  // the processor caps it at 4 s
    EXPECT_DOUBLE_EQ(kestrin::noteValueSeconds(7, 90.0), 8.0 * 15.0 / 90.0);
}

TEST(NoteValues, DurationOfAnInvalidIndexOrTempoIsZero) {
    EXPECT_EQ(kestrin::noteValueSeconds(32, 120.0), 0.0);
    EXPECT_EQ(kestrin::noteValueSeconds(-1, 120.0), 0.0);
    EXPECT_EQ(kestrin::noteValueSeconds(3, 0.0), 0.0);
    EXPECT_EQ(kestrin::noteValueSeconds(3, -120.0), 0.0);
    EXPECT_EQ(kestrin::noteValueSeconds(3, NAN), 0.0);
    EXPECT_EQ(kestrin::noteValueSeconds(3, INFINITY), 0.0);
}

}  // namespace
