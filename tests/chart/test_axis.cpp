#include "chart_fixture.h"

#include "chart/errors.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace chart;
using chart_test::ChartFixture;

namespace {

class AxisTest : public ChartFixture {
protected:
    // Data on X from `lo` to `hi` on an axis of `pixels` pixels, labels 20 wide.
    TFastLineSeries& Setup(int pixels, double lo, double hi, int points = 2)
    {
        SetUpChart(pixels);
        FixedTextWidth(20);
        TFastLineSeries& s = AddLine();
        for (int i = 0; i < points; ++i)
            s.AddPoint(lo + (hi - lo) * i / (points - 1), 0);
        return s;
    }
};

TEST_F(AxisTest, ValueLabelsAreDrawnAtTheirTicks)
{
    // The values of the tick layout (a step of 20 here) as texts of the picture.
    Setup(500, 0, 399, 400);
    Paint();
    std::vector<std::string> expected;
    for (int v = 380; v >= 0; v -= 20)
        expected.push_back(std::to_string(v));
    EXPECT_EQ(BottomLabels(), expected);
    // One tick per label, from the right end down.
    ASSERT_EQ(chart.BottomAxis().TickPixels().size(), expected.size());
    EXPECT_EQ(chart.BottomAxis().TickPixels().front(), chart.BottomAxis().ValueToPixel(380));
    // The axis's settings reach the layout: a larger smallest step, labels down from the maximum.
    chart.BottomAxis().SetIncrement(50);
    chart.BottomAxis().SetRoundFirstLabel(false);
    Paint();
    const std::vector<std::string> labels = BottomLabels();
    ASSERT_EQ(labels.size(), 8u);
    EXPECT_EQ(labels[0], "399");
    EXPECT_EQ(labels[1], "349");
}

TEST_F(AxisTest, EqualValuesGiveOneLabelAtTheCentre)
{
    SetUpChart(500);
    chart.LeftAxis().SetVisible(true);
    TFastLineSeries& s = AddLine();
    for (int i = 0; i < 10; ++i)
        s.AddPoint(i, 7);
    Paint();
    TChartAxis& left = chart.LeftAxis();
    EXPECT_EQ(left.RangeLength(), 0);
    int labels = 0;
    for (const auto& op : canvas.Ops())
        if (op.kind == TCanvasOp::Kind::Text && op.hAlign == THorizAlign::Right) {
            ++labels;
            EXPECT_EQ(op.text, "7");
        }
    EXPECT_EQ(labels, 1);
    EXPECT_EQ(s.PointScreenY(3), left.CenterPixel());
}

TEST_F(AxisTest, TextLabelsAreThinnedToEveryFourth)
{
    SetUpChart(500);
    canvas.Measure = [](const std::string& text, const TFontSpec&) { return text == " " ? 5 : 30; };
    TFastLineSeries& s = AddLine();
    for (int i = 0; i <= 50; ++i)
        s.AddPoint(i, 0, "t" + std::to_string(i));
    Paint();
    EXPECT_EQ(chart.BottomAxis().LabelStyleInUse(), TAxisLabelStyle::talText);
    EXPECT_EQ(s.PointScreenX(1) - s.PointScreenX(0), 10);
    std::vector<std::string> expected;
    for (int i = 0; i <= 50; i += 4)
        expected.push_back("t" + std::to_string(i));
    EXPECT_EQ(BottomLabels(), expected);
}

TEST_F(AxisTest, OneDigitTextLabelsKeepABlankApart)
{
    SetUpChart(140);
    canvas.Measure = [](const std::string& text, const TFontSpec&) { return 6 * static_cast<int>(text.size()); };
    TFastLineSeries& s = AddLine();
    for (int i = 0; i <= 20; ++i)
        s.AddPoint(i, 0, std::to_string(i));
    Paint();
    std::vector<const TCanvasOp*> drawn;
    for (const auto& op : canvas.Ops())
        if (op.kind == TCanvasOp::Kind::Text && op.y0 == chart.BottomAxis().PosLabels())
            drawn.push_back(&op);
    ASSERT_GT(drawn.size(), 3u);
    for (std::size_t k = 1; k < drawn.size(); ++k) {
        int w0 = 6 * static_cast<int>(drawn[k - 1]->text.size());
        int w1 = 6 * static_cast<int>(drawn[k]->text.size());
        int gap = (drawn[k]->x0 - w1 / 2) - (drawn[k - 1]->x0 - w0 / 2 + w0);
        EXPECT_GE(gap, 6) << drawn[k - 1]->text << " and " << drawn[k]->text;
    }
}

TEST_F(AxisTest, ValueLabelsFinerThanThePictureShowMoreDecimals)
{
    // A correlation curve of a noisy record: values just around 1.
    SetUpChart(300, 400);
    chart.LeftAxis().SetVisible(true);
    TFastLineSeries& s = AddLine();
    for (int i = 0; i < 10; ++i)
        s.AddPoint(i, 0.9990 + 0.00015 * i);
    Paint();
    std::vector<std::string> labels;
    for (const auto& op : canvas.Ops())
        if (op.kind == TCanvasOp::Kind::Text && op.x0 == chart.LeftAxis().PosLabels())
            labels.push_back(op.text);
    ASSERT_GT(labels.size(), 2u);
    for (std::size_t k = 1; k < labels.size(); ++k)
        EXPECT_NE(labels[k], labels[k - 1]);
    EXPECT_NE(std::find(labels.begin(), labels.end(), "0.9995"), labels.end());
    // The room left of the axis holds the widest of them.
    EXPECT_GE(chart.LeftAxis().PosLabels() - chart.LeftAxis().PosTitle(), canvas.TextWidth("0.9995"));

    // Labels the picture shows as they are can still be wider than the
    // rounded ends: 0.999 .. 0.991 between 1 and 0.99.
    s.ClearPoints();
    s.AddPoint(0, 0.99);
    s.AddPoint(1, 1);
    chart.SetBounds(300, 200);  // a step of 0.001
    Paint();
    canvas.SetFont(chart.LeftAxis().LabelsFont().Spec());
    EXPECT_GE(chart.LeftAxis().PosLabels() - chart.LeftAxis().PosTitle(),
              canvas.TextWidth("0.999") + canvas.TextWidth(" "));
    chart.SetBounds(300, 400);

    // A step the picture can show keeps the picture as it is.
    s.ClearPoints();
    s.AddPoint(0, 0);
    s.AddPoint(1, 1.5);
    Paint();
    for (const auto& op : canvas.Ops())
        if (op.kind == TCanvasOp::Kind::Text && op.x0 == chart.LeftAxis().PosLabels()) {
            EXPECT_LE(op.text.size(), 3u) << op.text;
        }
}

TEST_F(AxisTest, ValueToPixelAndBackAtTheEnds)
{
    SetUpChart(500);
    chart.LeftAxis().SetVisible(true);
    TFastLineSeries& s = AddLine();
    s.AddPoint(-5, 10);
    s.AddPoint(45, 110);
    Paint();
    TChartAxis& bottom = chart.BottomAxis();
    TChartAxis& left = chart.LeftAxis();
    EXPECT_EQ(bottom.ValueToPixel(-5), bottom.StartPixel());
    EXPECT_EQ(bottom.ValueToPixel(45), bottom.EndPixel());
    EXPECT_EQ(left.ValueToPixel(10), left.EndPixel());
    EXPECT_EQ(left.ValueToPixel(110), left.StartPixel());
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(bottom.StartPixel()), -5);
    EXPECT_DOUBLE_EQ(left.PixelToValue(left.EndPixel()), 10);
    EXPECT_DOUBLE_EQ(left.PixelToValue(left.StartPixel()), 110);

    bottom.SetInverted(true);
    Paint();
    EXPECT_EQ(bottom.ValueToPixel(-5), bottom.EndPixel());
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(bottom.EndPixel()), -5);
}

TEST_F(AxisTest, HalfPixelCasesRoundTheExactProduct)
{
    // 15 points on a 115-pixel axis: point 7 lies at 7 × 115 / 14 = 57.5
    // pixels, which rounds to the even 58 (a pixels-per-value factor gives 57.4999...).
    TFastLineSeries& s = Setup(115, 0, 14, 15);
    Paint();
    ASSERT_EQ(chart.BottomAxis().LengthPixels(), 115);
    EXPECT_EQ(s.PointScreenX(7) - chart.BottomAxis().StartPixel(), 58);
}

TEST_F(AxisTest, NonFiniteAndHugeValuesMapToTheCentre)
{
    SetUpChart(500);
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 0);
    s.AddPoint(10, 1);
    Paint();
    TChartAxis& bottom = chart.BottomAxis();
    EXPECT_EQ(bottom.ValueToPixel(std::nan("")), bottom.CenterPixel());
    EXPECT_EQ(bottom.ValueToPixel(std::numeric_limits<double>::infinity()), bottom.CenterPixel());
    EXPECT_EQ(bottom.ValueToPixel(1e300), bottom.CenterPixel());
    EXPECT_EQ(bottom.ValueToPixel(-1e300), bottom.CenterPixel());
    EXPECT_EQ(bottom.ValueToPixel(4e7), 2000000000);
}

TEST_F(AxisTest, PaintingNonFiniteDataEnds)
{
    SetUpChart(500);
    chart.LeftAxis().SetVisible(true);
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, std::nan(""));
    s.AddPoint(1, std::numeric_limits<double>::infinity());
    s.AddPoint(2, -1e308);
    s.AddPoint(3, 1e308);
    int painted = 0;
    chart.OnAfterDraw = [&](TChart&) { ++painted; };
    Paint();
    // The finite X range is labelled; the line, with no vertical range to
    // map to, runs along the centre row.
    EXPECT_EQ(painted, 1);
    EXPECT_EQ(BottomLabels(), (std::vector<std::string>{"3", "2", "1", "0"}));
    EXPECT_EQ(ClippedLineOps(), 3);
    for (const auto& op : canvas.Ops())
        if (op.clip && op.kind == TCanvasOp::Kind::LineTo) {
            EXPECT_EQ(op.y1, chart.LeftAxis().CenterPixel());
        }
    TFastLineSeries& t = AddLine();
    t.AddPoint(std::numeric_limits<double>::infinity(), 1);
    Paint();
    // An infinite X range: the paint still finishes.
    EXPECT_EQ(painted, 2);
}

TEST_F(AxisTest, RangeSettersCheckTheirLimits)
{
    SetUpChart(500);
    TChartAxis& axis = chart.BottomAxis();
    axis.SetRange(10, 20);
    EXPECT_FALSE(axis.Automatic());
    try {
        axis.SetMinimum(30);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Axis Minimum Value must be <= Maximum");
    }
    EXPECT_EQ(axis.Minimum(), 10);
    try {
        axis.SetMaximum(5);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "Axis Maximum Value must be >= Minimum");
    }
    EXPECT_EQ(axis.Maximum(), 20);
    axis.SetRange(8, 3);
    EXPECT_EQ(axis.Minimum(), 3);
    EXPECT_EQ(axis.Maximum(), 8);
    axis.SetRange(1, 1);
    EXPECT_DOUBLE_EQ(axis.Maximum(), 1 + 1e-10);
}

TEST_F(AxisTest, AutomaticFlagsFollowEachOther)
{
    SetUpChart(500);
    TChartAxis& axis = chart.BottomAxis();
    axis.SetAutomaticMinimum(false);
    EXPECT_FALSE(axis.Automatic());
    EXPECT_TRUE(axis.AutomaticMaximum());
    axis.SetAutomaticMinimum(true);
    EXPECT_TRUE(axis.Automatic());
    axis.SetAutomatic(false);
    EXPECT_FALSE(axis.AutomaticMinimum());
    EXPECT_FALSE(axis.AutomaticMaximum());
}

TEST_F(AxisTest, AutomaticRangeUsesActiveSeriesOnTheAxis)
{
    SetUpChart(500);
    TFastLineSeries& a = AddLine();
    TFastLineSeries& b = AddLine();
    a.AddPoint(0, 0);
    a.AddPoint(10, 0);
    b.AddPoint(-50, 0);
    b.AddPoint(100, 0);
    b.SetActive(false);
    Paint();
    EXPECT_EQ(chart.BottomAxis().Minimum(), 0);
    EXPECT_EQ(chart.BottomAxis().Maximum(), 10);
    // A fixed end stays; the automatic one follows the data.
    chart.BottomAxis().SetAutomaticMaximum(false);
    chart.BottomAxis().SetMaximum(20);
    Paint();
    EXPECT_EQ(chart.BottomAxis().Maximum(), 20);
}

TEST_F(AxisTest, AxisRoomForTitleLabelsAndTicks)
{
    SetUpChart(500, 300);
    chart.LeftAxis().SetVisible(true);
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 0);
    s.AddPoint(10, 1000);
    chart.BottomAxis().Title().SetCaption("ВРЕМЯ, мс");
    chart.LeftAxis().Title().SetCaption("ЛЮКСЫ");
    Paint();
    // Bottom: title 13, labels 13, ticks 2 + 4.
    EXPECT_EQ(chart.PlotRect().Bottom, 300 - 13 - 13 - 6);
    // Left: title 13, widest label "1,000" (5 x 6) plus a blank, ticks 6.
    EXPECT_EQ(chart.PlotRect().Left, 13 + 30 + 6 + 6);
    // The left title reads upward with its lower edge on the title coordinate.
    bool found = false;
    for (const auto& op : canvas.Ops())
        if (op.kind == TCanvasOp::Kind::RotatedText) {
            found = true;
            EXPECT_EQ(op.text, "ЛЮКСЫ");
            EXPECT_EQ(op.angle, 90);
            EXPECT_EQ(op.x0, 0);
            EXPECT_EQ(op.y0, chart.LeftAxis().CenterPixel() + 30 / 2);
        }
    EXPECT_TRUE(found);
}

TEST_F(AxisTest, GridTicksAndMinorTicksUseTheirPens)
{
    Setup(500, 0, 399, 400);
    Paint();
    int grid = 0, minor = 0;
    TRect plot = chart.PlotRect();
    for (const auto& op : canvas.Ops()) {
        if (op.kind != TCanvasOp::Kind::Line || op.clip)
            continue;
        if (op.pen.Style == TPenStyle::psDot && op.y0 == plot.Top && op.y1 == plot.Bottom)
            ++grid;
        if (op.pen.Style == TPenStyle::psSolid && op.pen.Color == clGray &&
            op.y1 - op.y0 == chart.BottomAxis().Axis().Width() + chart.BottomAxis().MinorTickLength())
            ++minor;
    }
    EXPECT_EQ(grid, 20);
    // Three between each pair of the 20 labels, none beyond the ends here.
    EXPECT_GE(minor, 19 * 3);
}

TEST_F(AxisTest, OwnerMayRewriteLabels)
{
    Setup(500, 0, 399, 400);
    chart.OnGetAxisLabel = [](TChartAxis&, TChartSeries* series, int index, std::string& text) {
        EXPECT_EQ(series, nullptr);
        EXPECT_EQ(index, -1);
        text = "<" + text + ">";
    };
    Paint();
    std::vector<std::string> labels = BottomLabels();
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.front(), "<380>");
}

}  // namespace

namespace {

TEST_F(AxisTest, WildAxisPositionsDoNotBreakTheLayout)
{
    SetUpChart(500);
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 0);
    s.AddPoint(10, 1);
    chart.BottomAxis().SetEndPosition(std::nan(""));
    chart.BottomAxis().SetStartPosition(1e300);
    Paint();
    EXPECT_EQ(chart.BottomAxis().StartPixel(), 2147483647);
    chart.BottomAxis().SetStartPosition(0);
    chart.BottomAxis().SetEndPosition(50);
    Paint();
    EXPECT_EQ(chart.BottomAxis().EndPixel(), 250);
}

}  // namespace
