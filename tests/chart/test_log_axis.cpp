// Logarithmic axes, bars, points and filled regions.

#include "chart_fixture.h"

#include <algorithm>
#include <cmath>

using namespace chart;
using chart_test::ChartFixture;

namespace {

class LogAxisTest : public ChartFixture {
protected:
    // A bottom axis of `pixels` pixels from x = 0, logarithmic in `base`.
    TChartAxis& LogBottom(int pixels, int base = 10)
    {
        SetUpChart(pixels);
        TChartAxis& axis = chart.BottomAxis();
        axis.SetLogarithmic(true);
        axis.SetLogarithmicBase(base);
        axis.SetAxisValuesFormat("0.###");
        return axis;
    }
    std::vector<int> Ticks() { return chart.BottomAxis().TickPixels(); }
};

TEST_F(LogAxisTest, ValuesLandWhereTheirLogarithmPutsThem)
{
    struct Case {
        int base;
        double value;
        int pixel;
    };
    // 1 .. 1000 on 300 pixels: 100 pixels a decade; 1 .. 8 in base 2: 100 pixels a doubling.
    const Case cases[] = {{10, 1, 0},    {10, 10, 100},  {10, 100, 200}, {10, 1000, 300}, {10, 3, 48},
                          {10, 50, 170}, {10, 0.5, -30}, {2, 2, 100},    {2, 4, 200},     {2, 3, 158}};
    for (const Case& c : cases) {
        TChartAxis& axis = LogBottom(300, c.base);
        AddLine().AddPoint(1, 0);
        axis.SetRange(1, c.base == 10 ? 1000 : 8);
        Paint();
        EXPECT_EQ(axis.ValueToPixel(c.value), c.pixel) << c.base << " " << c.value;
        if (c.pixel % 100 == 0) {
            EXPECT_NEAR(axis.PixelToValue(c.pixel), c.value, 1e-9 * c.value);
        }
        chart.RemoveSeries(chart.Series(0));
    }
}

TEST_F(LogAxisTest, LabelsWithTheirTicksAndGridLines)
{
    // The values of the tick layout as texts; six pixels a character.
    TChartAxis& axis = LogBottom(400);
    AddLine().AddPoint(1, 0);
    axis.SetRange(1, 3000);
    Paint();
    const std::vector<std::string> labels = {"2000", "1000", "500", "200", "100", "50", "20", "10", "5", "2", "1"};
    EXPECT_EQ(BottomLabels(), labels);
    // A tick and a grid line at every label.
    ASSERT_EQ(Ticks().size(), labels.size());
    EXPECT_EQ(Ticks().back(), 0);
    int grid = 0;
    for (const auto& op : canvas.Ops())
        if (op.kind == TCanvasOp::Kind::Line && op.pen.Style == TPenStyle::psDot && op.x0 == op.x1)
            ++grid;
    EXPECT_EQ(grid, static_cast<int>(labels.size()));
}

TEST_F(LogAxisTest, AutomaticLimitsAreDecadesAndValuesBelowZeroAreNotDrawn)
{
    TChartAxis& axis = LogBottom(300);
    TFastLineSeries& line = AddLine();
    for (double x : {-5.0, 0.0, 3.0, 20.0, 250.0})
        line.AddPoint(x, x);
    Paint();
    EXPECT_EQ(axis.Minimum(), 1);
    EXPECT_EQ(axis.Maximum(), 1000);
    // The line starts at the first positive point: no segment from 0 or below.
    std::vector<int> xs;
    for (const auto& op : canvas.Ops())
        if (op.clip && (op.kind == TCanvasOp::Kind::MoveTo || op.kind == TCanvasOp::Kind::LineTo))
            xs.push_back(op.kind == TCanvasOp::Kind::MoveTo ? op.x0 : op.x1);
    EXPECT_EQ(xs, (std::vector<int>{axis.ValueToPixel(3), axis.ValueToPixel(20), axis.ValueToPixel(250)}));
}

TEST_F(LogAxisTest, ZoomPanAndWheelKeepRatios)
{
    TChartAxis& axis = LogBottom(300);
    chart.LeftAxis().SetVisible(true);
    chart.LeftAxis().SetLogarithmic(true);
    TFastLineSeries& line = AddLine();
    line.AddPoint(1, 1);
    line.AddPoint(1000, 100);
    Paint();
    const int left = chart.PlotRect().Left;
    auto at = [&](double value) { return axis.ValueToPixel(value); };
    // Zoom in on 10 .. 100 and back out.
    const int top = chart.PlotRect().Top + 10;
    chart.MouseDown(TMouseButton::mbLeft, {}, at(10), top);
    chart.MouseMove({}, at(100), top + 100);
    chart.MouseUp(TMouseButton::mbLeft, {}, at(100), top + 100);
    Paint();
    EXPECT_NEAR(axis.Minimum(), 10, 0.5);
    EXPECT_NEAR(axis.Maximum(), 100, 5);
    EXPECT_NEAR(axis.PixelToValue((axis.StartPixel() + axis.EndPixel()) / 2),
                std::sqrt(axis.Minimum() * axis.Maximum()), 0.5);
    chart.MouseDown(TMouseButton::mbLeft, {}, left + 200, top + 100);
    chart.MouseUp(TMouseButton::mbLeft, {}, left + 20, top);
    Paint();
    EXPECT_TRUE(axis.Automatic());
    EXPECT_EQ(axis.Minimum(), 1);
    EXPECT_EQ(axis.Maximum(), 1000);

    // A right drag divides both ends by the ratio of the values under its ends.
    const int third = (axis.EndPixel() - axis.StartPixel()) / 3;
    const double ratio = axis.PixelToValue(left + 10 + third) / axis.PixelToValue(left + 10);
    chart.MouseDown(TMouseButton::mbRight, {}, left + 10, top);
    chart.MouseMove({}, left + 10 + third, top);
    chart.MouseUp(TMouseButton::mbRight, {}, left + 10 + third, top);
    EXPECT_NEAR(ratio, 10, 0.5);
    EXPECT_NEAR(axis.Minimum(), 1 / ratio, 1e-9);
    EXPECT_NEAR(axis.Maximum(), 1000 / ratio, 1e-6);

    // The wheel moves a logarithmic vertical axis by 3 % of its decades.
    TChartAxis& vertical = chart.LeftAxis();
    Paint();
    const double decades = std::log10(vertical.Maximum() / vertical.Minimum());
    const double before = vertical.Minimum();
    chart.MouseWheel(true);
    EXPECT_NEAR(std::log10(vertical.Minimum() / before), 0.03 * decades, 1e-9);
    EXPECT_NEAR(std::log10(vertical.Maximum() / vertical.Minimum()), decades, 1e-9);
}

TEST_F(ChartFixture, BarsRiseFromTheAxisInTheirColours)
{
    SetUpChart(300);
    chart.LeftAxis().SetVisible(true);
    auto& bars = chart.AddSeries(std::make_unique<TBarSeries>());
    bars.AddPoint(1, 10);
    bars.AddPoint(2, 20, "", clBlue);
    bars.AddPoint(3, 0);
    chart.LeftAxis().SetRange(0, 20);
    chart.BottomAxis().SetRange(0, 4);
    Paint();
    std::vector<TCanvasOp> drawn;
    for (const auto& op : canvas.Ops())
        if (op.clip && op.kind == TCanvasOp::Kind::Rectangle)
            drawn.push_back(op);
    ASSERT_EQ(drawn.size(), 3u);
    const int base = chart.LeftAxis().ValueToPixel(0);
    const int spacing = bars.PointScreenX(1) - bars.PointScreenX(0);
    for (int i = 0; i < 3; ++i) {
        const TCanvasOp& op = drawn[static_cast<std::size_t>(i)];
        EXPECT_EQ(op.x1 - op.x0, spacing * 7 / 10);
        EXPECT_EQ(op.y0, bars.PointScreenY(i));
        EXPECT_EQ(op.y1, base + 1);
        EXPECT_EQ(op.pen.Style, TPenStyle::psClear);
    }
    EXPECT_EQ(drawn[1].brushColor, clBlue);
    EXPECT_EQ(drawn[0].brushColor, clRed);
    EXPECT_EQ(bars.Clicked(bars.PointScreenX(1), base - 3), 1);
    EXPECT_EQ(bars.Clicked(bars.PointScreenX(1) + spacing / 2, base - 3), -1);
}

TEST_F(ChartFixture, RegionsLieOverTheWallAndUnderTheGridAndPointsCarryLabels)
{
    SetUpChart(300);
    chart.LeftAxis().SetVisible(true);
    auto& points = chart.AddSeries(std::make_unique<TPointSeries>());
    points.AddPoint(5, 5, "1");
    points.AddPoint(2, 8, "2");  // kept in the order added
    chart.BottomAxis().SetRange(0, 10);
    chart.LeftAxis().SetRange(0, 10);
    chart.AddRegion(TChartRegion{{{0, 0}, {10, 0}, {0, 10}}, clSilver});
    Paint();
    const auto& ops = canvas.Ops();
    auto index = [&](auto pred) { return std::find_if(ops.begin(), ops.end(), pred) - ops.begin(); };
    const auto polygon = index([](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::Polygon; });
    const auto wall = index([](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::Rectangle; });
    const auto grid =
        index([](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::Line && op.pen.Style == TPenStyle::psDot; });
    ASSERT_LT(polygon, static_cast<long>(ops.size()));
    EXPECT_LT(wall, polygon);
    EXPECT_LT(polygon, grid);
    const TCanvasOp& region = ops[static_cast<std::size_t>(polygon)];
    EXPECT_EQ(region.brushColor, clSilver);
    const TChartAxis& b = chart.BottomAxis();
    const TChartAxis& l = chart.LeftAxis();
    EXPECT_EQ(region.points, (std::vector<TPoint>{{b.ValueToPixel(0), l.ValueToPixel(0)},
                                                  {b.ValueToPixel(10), l.ValueToPixel(0)},
                                                  {b.ValueToPixel(0), l.ValueToPixel(10)}}));

    // Each point a circle with its label beside it; a click on one finds it.
    std::vector<std::string> labels;
    int circles = 0;
    for (const auto& op : ops) {
        circles += op.kind == TCanvasOp::Kind::Ellipse ? 1 : 0;
        if (op.kind == TCanvasOp::Kind::Text && op.clip)
            labels.push_back(op.text);
    }
    EXPECT_EQ(circles, 2);
    EXPECT_EQ(labels, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(points.Clicked(points.PointScreenX(1) + 2, points.PointScreenY(1) - 2), 1);
    EXPECT_EQ(points.Clicked(points.PointScreenX(1) + 8, points.PointScreenY(1)), -1);
}

}  // namespace
