#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/number_format.h"

namespace {

using analysis::FormatFixed;
using analysis::FormatInt;

TEST(FormatFixed, BehavesLikePrintfWithTheGivenSeparator)
{
    analysis::NumberFormat point{".", ","};
    analysis::NumberFormat comma{",", " "};
    EXPECT_EQ(FormatFixed(0.5, 4, point, 8), "  0.5000");
    EXPECT_EQ(FormatFixed(0.5, 4, comma, 8), "  0,5000");
    EXPECT_EQ(FormatFixed(123456.5, 4, point, 8), "123456.5000");
    EXPECT_EQ(FormatFixed(2.5, 0, point), "2");  // halves to even, as printf does
    EXPECT_EQ(FormatFixed(3.5, 0, point), "4");
    EXPECT_EQ(FormatFixed(-1.25, 1, point), "-1.2");
    EXPECT_EQ(FormatFixed(0.1f, 5, comma), "0,10000");
    EXPECT_EQ(FormatFixed(100.0, 0, point), "100");
}

TEST(FormatFixed, MultiByteSeparatorPadsByCharacters)
{
    analysis::NumberFormat arabic{"٫", ""};
    EXPECT_EQ(FormatFixed(1.5, 1, arabic, 5), "  1٫5");
}

TEST(FormatFixed, NonFiniteValuesPrintAsWords)
{
    analysis::NumberFormat point;
    EXPECT_EQ(FormatFixed(std::nan(""), 3, point), "NAN");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 3, point, 5), "  INF");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 3, point), "-INF");
    EXPECT_FALSE(FormatFixed(1e308, 4, point).empty());
}

TEST(FormatInt, PadsToWidth)
{
    EXPECT_EQ(FormatInt(7, 3), "  7");
    EXPECT_EQ(FormatInt(1234, 3), "1234");
    EXPECT_EQ(FormatInt(-5), "-5");
}

}  // namespace
