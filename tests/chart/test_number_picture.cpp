#include "chart/number_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using chart::FormatNumberPicture;
using chart::TNumberSeparators;

namespace {

const TNumberSeparators kDot{".", ","};
const TNumberSeparators kRussian{",", "\xC2\xA0"};

TEST(NumberPicture, DefaultAxisPictureGroupsAndDropsTrailingZeros)
{
    EXPECT_EQ(FormatNumberPicture(0, "#,##0.###", kDot), "0");
    EXPECT_EQ(FormatNumberPicture(380, "#,##0.###", kDot), "380");
    EXPECT_EQ(FormatNumberPicture(1234.5, "#,##0.###", kDot), "1,234.5");
    EXPECT_EQ(FormatNumberPicture(1234567.891, "#,##0.###", kDot), "1,234,567.891");
    EXPECT_EQ(FormatNumberPicture(0.1, "#,##0.###", kDot), "0.1");
    EXPECT_EQ(FormatNumberPicture(2.0004, "#,##0.###", kDot), "2");
    EXPECT_EQ(FormatNumberPicture(0.0016, "#,##0.###", kDot), "0.002");
    EXPECT_EQ(FormatNumberPicture(999.9996, "#,##0.###", kDot), "1,000");
}

TEST(NumberPicture, NegativeValuesAndValuesRoundingToZero)
{
    EXPECT_EQ(FormatNumberPicture(-3.5, "#,##0.###", kDot), "-3.5");
    EXPECT_EQ(FormatNumberPicture(-1234, "#,##0.###", kDot), "-1,234");
    EXPECT_EQ(FormatNumberPicture(-0.0001, "#,##0.###", kDot), "0");
    EXPECT_EQ(FormatNumberPicture(-0.0, "#,##0.###", kDot), "0");
}

TEST(NumberPicture, RequiredDecimalsOfTheSeriesFormats)
{
    EXPECT_EQ(FormatNumberPicture(2, "#,##0.0##", kDot), "2.0");
    EXPECT_EQ(FormatNumberPicture(2.25, "#,##0.0#", kDot), "2.25");
    EXPECT_EQ(FormatNumberPicture(2.5, "##0.0# %", kDot), "2.5 %");
    EXPECT_EQ(FormatNumberPicture(12, "##0.## %", kDot), "12 %");
    EXPECT_EQ(FormatNumberPicture(7, "000", kDot), "007");
    EXPECT_EQ(FormatNumberPicture(0.5, "#.##", kDot), ".5");
}

TEST(NumberPicture, UsesTheUsersSeparators)
{
    EXPECT_EQ(FormatNumberPicture(1234567.25, "#,##0.###", kRussian), "1\xC2\xA0"
                                                                      "234\xC2\xA0"
                                                                      "567,25");
    EXPECT_EQ(FormatNumberPicture(1234.5, "0.0", kRussian), "1234,5");
}

TEST(NumberPicture, SectionsAndQuotedText)
{
    EXPECT_EQ(FormatNumberPicture(5, "0;(0);'zero'", kDot), "5");
    EXPECT_EQ(FormatNumberPicture(-5, "0;(0);'zero'", kDot), "(5)");
    EXPECT_EQ(FormatNumberPicture(0, "0;(0);'zero'", kDot), "zero");
    EXPECT_EQ(FormatNumberPicture(3, "\"x=\"0", kDot), "x=3");
    EXPECT_EQ(FormatNumberPicture(3, "0' #'", kDot), "3 #");
}

TEST(NumberPicture, NonFiniteAndHugeValuesNeverFail)
{
    EXPECT_EQ(FormatNumberPicture(std::nan(""), "#,##0.###", kDot), "NAN");
    EXPECT_EQ(FormatNumberPicture(std::numeric_limits<double>::infinity(), "#,##0.###", kDot), "INF");
    EXPECT_EQ(FormatNumberPicture(-std::numeric_limits<double>::infinity(), "#,##0.###", kDot), "-INF");
    std::string huge = FormatNumberPicture(1e300, "#,##0.###", kDot);
    EXPECT_EQ(huge.substr(0, 6), "1,000,");
    EXPECT_EQ(huge.size(), 301u + 100u);
}

TEST(NumberPicture, EngineWideSeparatorsAreSettable)
{
    chart::SetNumberSeparators(kRussian);
    EXPECT_EQ(FormatNumberPicture(0.5, "0.0"), "0,5");
    chart::SetNumberSeparators(kDot);
    EXPECT_EQ(FormatNumberPicture(0.5, "0.0"), "0.5");
}

}  // namespace
