// The integer and float text parsers behind the parameters.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "framework/client/numbertext.h"

namespace {

// Parses from an exact-size heap copy so that ASan sees any read past the text.
bool parseInt(std::string_view text, int& out) {
    std::unique_ptr<char[]> copy(new char[text.size()]);
    if (!text.empty()) std::memcpy(copy.get(), text.data(), text.size());
    return fw::parseIntegerText(std::string_view(copy.get(), text.size()), out);
}

bool parseFloat(std::string_view text, double& out) {
    std::unique_ptr<char[]> copy(new char[text.size()]);
    if (!text.empty()) std::memcpy(copy.get(), text.data(), text.size());
    return fw::parseFloatText(std::string_view(copy.get(), text.size()), out);
}

int intOf(std::string_view text) {
    int v = -12345;
    EXPECT_TRUE(parseInt(text, v)) << text;
    return v;
}

double floatOf(std::string_view text) {
    double v = -12345.0;
    EXPECT_TRUE(parseFloat(text, v)) << text;
    return v;
}

TEST(IntegerText, ReadsDecimalAndHexOfEitherCase) {
    EXPECT_EQ(intOf("42"), 42);
    EXPECT_EQ(intOf("0x10"), 16);
    EXPECT_EQ(intOf("0XfF"), 255);
    EXPECT_EQ(intOf("-0x1a"), -26);
    EXPECT_EQ(intOf("+7"), 7);
    EXPECT_EQ(intOf("010"), 10);  // not octal
}

TEST(IntegerText, SkipsLeadingWhitespaceButNotVerticalTab) {
    EXPECT_EQ(intOf(" \t\n\f\r-3"), -3);
    EXPECT_EQ(intOf("\v5"), 0);
}

TEST(IntegerText, StopsAtTheFirstOtherCharacterAndReadsNothingAsZero) {
    EXPECT_EQ(intOf("12abc"), 12);
    EXPECT_EQ(intOf("abc"), 0);
    EXPECT_EQ(intOf(""), 0);
    EXPECT_EQ(intOf("-"), 0);
    EXPECT_EQ(intOf("0x"), 0);
    EXPECT_EQ(intOf("3.9"), 3);
    EXPECT_EQ(intOf(std::string_view("5\0" "7", 3)), 5);
}

TEST(IntegerText, SaturatesToTheIntRange) {
    EXPECT_EQ(intOf("2147483647"), std::numeric_limits<int>::max());
    EXPECT_EQ(intOf("2147483648"), std::numeric_limits<int>::max());
    EXPECT_EQ(intOf("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(intOf("-99999999999999999999999"), std::numeric_limits<int>::min());
    EXPECT_EQ(intOf("0xFFFFFFFFFFFFFFFFFFFF"), std::numeric_limits<int>::max());
    EXPECT_EQ(intOf(std::string(127, '9')), std::numeric_limits<int>::max());
}

TEST(IntegerText, RefusesMoreThan127BytesAndLeavesTheOutputAlone) {
    int v = 77;
    EXPECT_FALSE(parseInt(std::string(128, '1'), v));
    EXPECT_FALSE(parseInt(std::string(4096, ' '), v));
    EXPECT_EQ(v, 77);
    EXPECT_TRUE(parseInt(std::string(126, ' ') + "8", v));
    EXPECT_EQ(v, 8);
}

TEST(FloatText, ReadsDecimalFractionsAndExponents) {
    EXPECT_EQ(floatOf("1e3"), 1000.0);
    EXPECT_EQ(floatOf(".5"), 0.5);
    EXPECT_EQ(floatOf("2.5e-1"), 0.25);
    EXPECT_EQ(floatOf("1E+2"), 100.0);
    EXPECT_EQ(floatOf("-12.75"), -12.75);
    EXPECT_EQ(floatOf("0.1"), 0.1);
    EXPECT_EQ(floatOf("3."), 3.0);
    EXPECT_EQ(floatOf("  +6.25"), 6.25);
}

TEST(FloatText, ReadsHexFloatsWithBinaryExponents) {
    EXPECT_EQ(floatOf("0x1p4"), 16.0);
    EXPECT_EQ(floatOf("0x1.8p1"), 3.0);
    EXPECT_EQ(floatOf("0X.8"), 0.5);
    EXPECT_EQ(floatOf("0xAp-1"), 5.0);
    EXPECT_EQ(floatOf("-0x10"), -16.0);
    EXPECT_EQ(floatOf("0x1P+3"), 8.0);
}

TEST(FloatText, ExponentWithoutDigitsIsNotPartOfTheNumber) {
    EXPECT_EQ(floatOf("1e"), 1.0);
    EXPECT_EQ(floatOf("2e+"), 2.0);
    EXPECT_EQ(floatOf("0x3p"), 3.0);
    EXPECT_EQ(floatOf("7ms"), 7.0);
}

TEST(FloatText, TextWithoutANumberReadsAsZero) {
    EXPECT_EQ(floatOf("abc"), 0.0);
    EXPECT_EQ(floatOf(""), 0.0);
    EXPECT_EQ(floatOf("."), 0.0);
    EXPECT_EQ(floatOf("e5"), 0.0);
    EXPECT_EQ(floatOf("nan"), 0.0);
    EXPECT_EQ(floatOf("\v1"), 0.0);
}

TEST(FloatText, ExtremeExponentsGiveInfinityOrZeroWithoutHanging) {
    EXPECT_EQ(floatOf("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(floatOf("-1e99999999999999999999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(floatOf("1e-400"), 0.0);
    EXPECT_EQ(floatOf("0x1p-99999999999"), 0.0);
    EXPECT_NEAR(floatOf("1e308") / 1e308, 1.0, 1e-14);  // powers by squaring round a little
    // Zero times an overflowed power is still zero, never NaN.
    EXPECT_EQ(floatOf("0e309"), 0.0);
    EXPECT_EQ(floatOf("0x0p1024"), 0.0);
    EXPECT_TRUE(std::signbit(floatOf("-0e99999")));
}

TEST(FloatText, AcceptsExactly127BytesAndRefusesLongerTexts) {
    const std::string zeros = "0." + std::string(124, '0') + "5";  // 127 bytes
    ASSERT_EQ(zeros.size(), 127u);
    EXPECT_NEAR(floatOf(zeros), 5e-125, 1e-138);
    EXPECT_GT(floatOf(std::string(127, '9')), 9.9e126);
    double v = 3.0;
    EXPECT_FALSE(parseFloat(std::string(128, '1'), v));
    EXPECT_FALSE(parseFloat(std::string(10000, '5'), v));
    EXPECT_EQ(v, 3.0);
}

}  // namespace
