#include <gtest/gtest.h>

#include <cmath>

#include "helpers/sampled_record.h"
#include "analysis/flicker.h"
#include "chart/arrow_series.h"
#include "chart/recording_canvas.h"
#include "protocol/core/point_charts.h"

namespace {

using protocol::Ieee1789Chart;

// Whether (x, y) lies inside the polygon (crossings of a ray to the right).
bool Inside(const std::vector<std::pair<double, double>>& polygon, double x, double y)
{
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const auto [xi, yi] = polygon[i];
        const auto [xj, yj] = polygon[j];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

TEST(PointCharts, RegionsHoldThePointsOfTheirClass)
{
    // A grid over the chart, off the limits' own lines.
    for (double lf = 0.013; lf < std::log10(3000); lf += 0.031)
        for (double lp = -0.987; lp < 2; lp += 0.029) {
            const double f = std::pow(10.0, lf);
            const double pf = std::pow(10.0, lp);
            const auto expected = analysis::ClassifyIeee1789(f, pf);
            const auto shaded = Inside(Ieee1789Chart::NoEffectRegion(), f, pf)  ? analysis::Ieee1789Class::NoEffect
                                : Inside(Ieee1789Chart::LowRiskRegion(), f, pf) ? analysis::Ieee1789Class::LowRisk
                                                                                : analysis::Ieee1789Class::Risk;
            ASSERT_EQ(shaded, expected) << f << " Hz, " << pf << " %";
        }
}

protocol::ProtocolRow Row(int number, double depth)
{
    protocol::ProtocolRow row;
    row.number = number;
    row.readable = true;
    row.record = SampledRecord(400, 1.0f, [depth](int i) { return i % 40 < 20 ? 1000 + depth : 1000 - depth; });
    row.metrics = analysis::ComputeFlickerMetrics(row.record);
    return row;
}

TEST(PointCharts, Ieee1789ChartNumbersThePointsAndAClickFindsTheRow)
{
    // 100 Hz at 2 % and 30 %, and constant light.
    const std::vector<protocol::ProtocolRow> rows{Row(1, 20), Row(2, 300), Row(3, 0)};
    chart::TChart chart;
    chart.SetBounds(400, 300);
    chart.SetBufferedDisplay(false);
    protocol::SetUpPointChart(chart);
    Ieee1789Chart ieee(chart);
    ieee.Show(rows, 1);
    chart::TRecordingCanvas canvas;
    chart.DrawTo(canvas, chart::TRect{0, 0, 400, 300});

    std::vector<std::string> numbers;
    std::vector<int> radii;
    for (const auto& op : canvas.Ops()) {
        if (op.kind == chart::TCanvasOp::Kind::Ellipse)
            radii.push_back((op.x1 - op.x0 - 1) / 2);
        if (op.kind == chart::TCanvasOp::Kind::Text && !radii.empty())
            numbers.push_back(op.text);
    }
    EXPECT_EQ(radii, (std::vector<int>{4, 7}));
    EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(canvas.Count(chart::TCanvasOp::Kind::Polygon), 2);
    EXPECT_EQ(chart.Title().Text()[1], "точка 2: риск");

    int clickedRow = -1;
    chart.OnClickSeries = [&](chart::TChart&, chart::TChartSeries& s, int index, chart::TMouseButton,
                              chart::TShiftState, int, int) { clickedRow = ieee.RowOfPoint(s, index); };
    const auto& dots = chart.Series(0);
    chart.MouseDown(chart::TMouseButton::mbLeft, {}, dots.PointScreenX(0) + 1, dots.PointScreenY(0));
    EXPECT_EQ(clickedRow, 0);

    ieee.Show(rows, 2);
    EXPECT_EQ(chart.Title().Text()[1], "у точки 3 нет преобладающей частоты");
    EXPECT_EQ(chart.Series(1).PointCount(), 0);
}

TEST(PointCharts, TheLabelsOfAFortyPointSurveyCoverNoLabelAndNoDot)
{
    // Forty points at 100 Hz, runs of near-equal depths (PF 2 to 5 %, ten each), as a survey's rooms
    // give; the three deepest on one spot; one at PF 100 %.
    std::vector<protocol::ProtocolRow> rows;
    for (int n = 1; n <= 40; ++n)
        rows.push_back(Row(n, n >= 38 ? 300 : 20 + 10 * ((n - 1) / 10) + 2 * (n % 3)));
    rows[0].metrics.percentFlicker = 100;
    chart::TChart chart;
    chart.SetBounds(640, 420);
    chart.SetBufferedDisplay(false);
    protocol::SetUpPointChart(chart);
    Ieee1789Chart ieee(chart);
    ieee.Show(rows, 4);
    chart::TRecordingCanvas canvas;
    chart.DrawTo(canvas, chart::TRect{0, 0, 640, 420});

    std::vector<chart::TRect> dots;
    std::vector<chart::TRect> labels;
    std::vector<std::string> texts;
    for (const auto& op : canvas.Ops()) {
        if (op.kind == chart::TCanvasOp::Kind::Ellipse) {
            dots.push_back({op.x0, op.y0, op.x1, op.y1});
            EXPECT_FALSE(op.clip);  // the dot at PF 100 % is drawn whole
        }
        if (op.kind == chart::TCanvasOp::Kind::Text && !dots.empty()) {
            canvas.SetFont(op.font);
            labels.push_back({op.x0, op.y0, op.x0 + canvas.TextWidth(op.text), op.y0 + canvas.FontHeight()});
            texts.push_back(op.text);
        }
    }
    ASSERT_EQ(dots.size(), 40u);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "38, 39, 40"), texts.end());
    auto overlap = [](const chart::TRect& a, const chart::TRect& b) {
        return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
    };
    for (std::size_t i = 0; i < labels.size(); ++i) {
        for (std::size_t j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE(overlap(labels[i], labels[j])) << texts[i] << " / " << texts[j];
        for (const auto& dot : dots)
            EXPECT_FALSE(overlap(labels[i], dot)) << texts[i];
    }
}

TEST(PointCharts, TheComparisonChartDrawsAnArrowFromBeforeToAfterForEachMatchedPointWithAnF)
{
    auto at = [](protocol::ProtocolRow row, const char* place) {
        row.place = place;
        return row;
    };
    // Rows of the comparison: 1 "а" 2 % -> 30 %, 2 "б" constant light after, 3 "в" 30 % -> 30 %,
    // 4 "г" only after, 5 "д" only before.
    protocol::Comparison c =
        protocol::Compare({at(Row(1, 20), "а"), at(Row(2, 20), "б"), at(Row(3, 300), "в"), at(Row(4, 20), "д")},
                          {at(Row(1, 300), "а"), at(Row(2, 0), "б"), at(Row(3, 300), "в"), at(Row(4, 20), "г")});
    chart::TChart chart;
    chart.SetBounds(400, 300);
    chart.SetBufferedDisplay(false);
    protocol::SetUpPointChart(chart);
    protocol::Ieee1789ComparisonChart ieee(chart);
    ieee.Show(c);
    chart::TRecordingCanvas canvas;
    chart.DrawTo(canvas, chart::TRect{0, 0, 400, 300});

    const auto& arrows = dynamic_cast<const chart::TArrowSeries&>(chart.Series(0));
    ASSERT_EQ(arrows.PointCount(), 2);
    EXPECT_EQ(arrows.PointLabel(0), "1");
    EXPECT_EQ(arrows.PointLabel(1), "3");
    // Each head's tip on its "после" point of the logarithmic axes; no change is a dot.
    std::vector<chart::TPoint> tips;
    std::vector<std::string> labels;  // drawn after the arrows
    for (const auto& op : canvas.Ops()) {
        if (op.kind == chart::TCanvasOp::Kind::Polygon && op.points.size() == 3)
            tips.push_back(op.points[0]);
        if (op.kind == chart::TCanvasOp::Kind::Text && !tips.empty())
            labels.push_back(op.text);
    }
    const auto& after = *c.After(c.points[0]);
    const chart::TPoint end{chart.BottomAxis().ValueToPixel(*after.metrics.frequency),
                            chart.LeftAxis().ValueToPixel(after.metrics.percentFlicker)};
    EXPECT_EQ(tips, (std::vector<chart::TPoint>{end}));
    EXPECT_EQ(canvas.Count(chart::TCanvasOp::Kind::Ellipse), 1);
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, (std::vector<std::string>{"1", "3"}));

    // The selected row's arrow on a series of its own, its classes in the title; a row without one says so.
    ieee.Show(c, 2);
    EXPECT_EQ(chart.Series(1).PointLabel(0), "3");
    EXPECT_EQ(ieee.RowOfArrow(chart.Series(1), 0), 2);
    EXPECT_EQ(ieee.RowOfArrow(chart.Series(0), 0), 0);
    EXPECT_EQ(chart.Title().Text()[1], "строка 3: риск → риск");
    ieee.Show(c, 1);
    EXPECT_EQ(chart.Series(1).PointCount(), 0);
    EXPECT_EQ(chart.Title().Text()[1], "у строки 2 нет стрелки: нужна частота в обоих обследованиях");
}

}  // namespace
