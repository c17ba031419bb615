// The label layout of an axis: steps and values from the range, the length and the label size.

#include "chart/number_picture.h"
#include "chart/tick_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace chart;

namespace {

TEST(TickLayout, NextLabelStepRunsOneTwoFive)
{
    const double cases[][2] = {{1, 2}, {2, 5}, {3, 5}, {5, 10}, {20, 50}, {500, 1000}, {0.05, 0.1}, {0.1, 0.2}, {0, 0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(NextLabelStep(c[0]), c[1]) << c[0];
    // No successor for steps that cannot grow.
    EXPECT_TRUE(std::isinf(NextLabelStep(std::numeric_limits<double>::infinity())));
}

// Every label `size` pixels wide (a linear axis measures only its ends).
struct LinearCase {
    const char* name;
    double minimum, maximum;
    int pixels;
    double increment;
    bool roundFirst;
    double step;
    double first, last;  // the first and last value labelled
    std::size_t count;
};

TEST(TickLayout, LinearStepsAndValues)
{
    const LinearCase cases[] = {
        {"400 points on 500 pixels", 0, 399, 500, 0, true, 20, 380, 0, 20},
        {"a small range climbs from the smallest step", 0, 0.5, 110, 0, true, 0.1, 0.5, 0, 6},
        {"an increment below the fitting step", 0, 100, 220, 3, true, 10, 100, 0, 11},
        {"an increment above it", 0, 100, 220, 25, true, 25, 100, 0, 5},
        {"labels at multiples of the step", 0, 1234, 440, 0, true, 100, 1200, 0, 13},
        {"labels down from the maximum", 0, 1234, 440, 0, false, 100, 1234, 34, 13},
        {"a negative maximum down to the minimum", -10, -3.5, 220, 0, true, 1, -4, -10, 7},
    };
    for (const LinearCase& c : cases) {
        TTickRequest request;
        request.Minimum = c.minimum;
        request.Maximum = c.maximum;
        request.LengthPixels = c.pixels;
        request.Increment = c.increment;
        request.RoundFirstLabel = c.roundFirst;
        request.LabelSize = [](double) { return 20; };
        const TTickLayout layout = LayoutTicks(request);
        EXPECT_DOUBLE_EQ(layout.Step, c.step) << c.name;
        ASSERT_EQ(layout.Values.size(), c.count) << c.name;
        EXPECT_NEAR(layout.Values.front(), c.first, 1e-12) << c.name;
        EXPECT_NEAR(layout.Values.back(), c.last, 1e-12) << c.name;
        for (std::size_t k = 1; k < layout.Values.size(); ++k)
            EXPECT_NEAR(layout.Values[k - 1] - layout.Values[k], c.step, 1e-9 * c.step) << c.name;
    }
}

TEST(TickLayout, StepBelowTheResolutionOfTheValuesEnds)
{
    // Near 1.1e18 neighbouring values lie 128 apart: a label step of 50 does
    // not move them, and the labels stop instead of repeating.
    TTickRequest request;
    request.Maximum = 1.1000000000000001e18;
    request.Minimum = request.Maximum - 512;
    request.LengthPixels = 220;
    request.LabelSize = [](double) { return 20; };
    const TTickLayout layout = LayoutTicks(request);
    EXPECT_EQ(layout.Step, 50);
    EXPECT_LE(layout.Values.size(), 11u);
}

struct LogCase {
    double minimum, maximum;
    int pixels;
    std::vector<std::string> labels;
};

TEST(TickLayout, LogarithmicValues)
{
    // Six pixels a character of the label ("2000" is 24 wide).
    const LogCase cases[] = {
        // Powers of ten with two and five between where they fit.
        {1, 3000, 400, {"2000", "1000", "500", "200", "100", "50", "20", "10", "5", "2", "1"}},
        {1, 3000, 100, {"1000", "100", "10", "1"}},
        {1, 3000, 40, {"100", "1"}},
        {0.01, 0.1, 300, {"0.1", "0.05", "0.02", "0.01"}},
        // Zoomed in inside one decade: its ends, rounded inward.
        {2.1, 4.9, 400, {"4", "3"}},
        {3.31, 3.97, 400, {"3.9", "3.4"}},
        {60, 90, 400, {"90", "60"}},
    };
    for (const LogCase& c : cases) {
        TTickRequest request;
        request.Minimum = c.minimum;
        request.Maximum = c.maximum;
        request.LengthPixels = c.pixels;
        request.Logarithmic = true;
        request.LabelSize = [](double v) { return 6 * static_cast<int>(FormatNumberPicture(v, "0.###").size()); };
        std::vector<std::string> labels;
        for (double v : LayoutTicks(request).Values)
            labels.push_back(FormatNumberPicture(v, "0.###"));
        EXPECT_EQ(labels, c.labels) << c.minimum << " .. " << c.maximum << " on " << c.pixels;
    }
}

}  // namespace
