#include "chart_fixture.h"

using namespace chart;
using chart_test::ChartFixture;

namespace {

constexpr TMouseButton kLeft = TMouseButton::mbLeft;
constexpr TMouseButton kRight = TMouseButton::mbRight;
const TShiftState kNoKeys{};

// X 0 .. 1000 on a 500-pixel bottom axis (two values per pixel), Y 0 .. 1000.
class ZoomTest : public ChartFixture {
protected:
    void SetUp() override
    {
        SetUpChart(500, 300);
        series = &AddLine();
        for (int x = 0; x <= 1000; x += 5)
            series->AddPoint(x, x);
        Paint();
    }
    void LeftDrag(int x0, int y0, int x1, int y1)
    {
        chart.MouseDown(kLeft, kNoKeys, x0, y0);
        chart.MouseMove(kNoKeys, x1, y1);
        chart.MouseUp(kLeft, kNoKeys, x1, y1);
    }
    TChartAxis& Bottom() { return chart.BottomAxis(); }
    TChartAxis& Left() { return chart.LeftAxis(); }
    TFastLineSeries* series = nullptr;
};

TEST_F(ZoomTest, DragDownRightZoomsEveryAxisToTheRectangle)
{
    double x0 = Bottom().PixelToValue(100), x1 = Bottom().PixelToValue(300);
    double yTop = Left().PixelToValue(50), yBottom = Left().PixelToValue(200);
    int zooms = 0;
    chart.OnZoom = [&](TChart&) { ++zooms; };
    LeftDrag(100, 50, 300, 200);
    EXPECT_EQ(zooms, 1);
    EXPECT_TRUE(chart.Zoomed());
    EXPECT_FALSE(chart.ScalesRestored());
    EXPECT_DOUBLE_EQ(Bottom().Minimum(), x0);
    EXPECT_DOUBLE_EQ(Bottom().Maximum(), x1);
    EXPECT_DOUBLE_EQ(Left().Minimum(), yBottom);
    EXPECT_DOUBLE_EQ(Left().Maximum(), yTop);
    EXPECT_FALSE(Bottom().Automatic());
    // Unused axes are zoomed too.
    EXPECT_FALSE(chart.TopAxis().Automatic());
    EXPECT_TRUE(chart.BufferDirty());
}

TEST_F(ZoomTest, DragsInOtherDirectionsUndoTheZoom)
{
    for (auto [x0, y0, x1, y1] : {std::array{300, 200, 100, 50}, std::array{100, 200, 300, 50}}) {
        LeftDrag(100, 50, 300, 200);
        ASSERT_TRUE(chart.Zoomed());
        int undos = 0;
        chart.OnUndoZoom = [&](TChart&) { ++undos; };
        LeftDrag(x0, y0, x1, y1);
        EXPECT_EQ(undos, 1);
        EXPECT_FALSE(chart.Zoomed());
        EXPECT_TRUE(chart.ScalesRestored());
        EXPECT_TRUE(Bottom().Automatic());
        EXPECT_TRUE(Left().Automatic());
        Paint();
        EXPECT_EQ(Bottom().Minimum(), 0);
        EXPECT_EQ(Bottom().Maximum(), 1000);
    }
}

TEST_F(ZoomTest, SixteenPixelsIsNotADrag)
{
    LeftDrag(100, 50, 116, 150);
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_TRUE(Bottom().Automatic());
    LeftDrag(100, 50, 200, 66);
    EXPECT_FALSE(chart.Zoomed());
    LeftDrag(100, 50, 117, 67);
    EXPECT_TRUE(chart.Zoomed());
}

TEST_F(ZoomTest, TwoZoomsThenUndoReturnToTheFirstState)
{
    LeftDrag(100, 50, 300, 200);
    Paint();
    LeftDrag(50, 60, 400, 250);
    EXPECT_TRUE(chart.Zoomed());
    LeftDrag(400, 250, 50, 60);
    EXPECT_TRUE(Bottom().Automatic());
    EXPECT_TRUE(Left().Automatic());
    EXPECT_TRUE(chart.TopAxis().Automatic());
}

TEST_F(ZoomTest, ShownRangeFollowsTheZoom)
{
    LeftDrag(100, 50, 301, 200);  // X 200 .. 602
    Paint();
    EXPECT_EQ(series->FirstShownIndex(), 40);
    // The first point beyond the right edge (x = 605).
    EXPECT_EQ(series->LastShownIndex(), 121);
}

TEST_F(ZoomTest, FrameIsDrawnInNotXorOnTheLiveCanvasOnly)
{
    host.live.Clear();
    host.invalidations = 0;
    chart.MouseDown(kLeft, kNoKeys, 100, 50);
    ASSERT_TRUE(chart.ZoomRect().Active);
    EXPECT_EQ(host.live.Count(TCanvasOp::Kind::Rectangle), 1);
    chart.MouseMove(kNoKeys, 150, 80);
    chart.MouseMove(kNoKeys, 150, 80);  // same corner: nothing
    chart.MouseMove(kNoKeys, 200, 120);
    EXPECT_EQ(host.live.Count(TCanvasOp::Kind::Rectangle), 5);
    for (const auto& op : host.live.Ops())
        EXPECT_EQ(op.pen.Mode, TPenMode::pmNotXor);
    // The erase repeats the frame drawn before it.
    const auto& ops = host.live.Ops();
    EXPECT_EQ(ops[3].x1, 150);
    EXPECT_EQ(ops[4].x1, 200);
    EXPECT_EQ(host.invalidations, 0);
    EXPECT_EQ(host.repaints, 0);
    // A paint during the drag draws the frame as well.
    Paint();
    EXPECT_EQ(canvas.Ops().back().kind, TCanvasOp::Kind::Rectangle);
    chart.MouseUp(kLeft, kNoKeys, 200, 120);
    EXPECT_EQ(host.live.Count(TCanvasOp::Kind::Rectangle), 6);
    EXPECT_EQ(host.live.Pen().Mode, TPenMode::pmCopy);
    EXPECT_FALSE(chart.ZoomRect().Active);
}

TEST_F(ZoomTest, AnimatedZoomRepaintsSevenTimes)
{
    chart.SetAnimatedZoom(true);
    std::vector<double> minima;
    chart.OnAfterDraw = [&](TChart& c) { minima.push_back(c.BottomAxis().Minimum()); };
    LeftDrag(100, 50, 300, 200);  // X 200 .. 600
    EXPECT_EQ(host.repaints, 7);
    ASSERT_EQ(minima.size(), 7u);
    double expected = 0;
    for (double m : minima) {
        expected += (200 - expected) / 3;
        EXPECT_NEAR(m, expected, 1e-9);
    }
    EXPECT_DOUBLE_EQ(Bottom().Minimum(), 200);
    EXPECT_DOUBLE_EQ(Bottom().Maximum(), 600);
}

TEST_F(ZoomTest, RightDragPansAndUndoRestores)
{
    int scrolls = 0;
    chart.OnScroll = [&](TChart&) { ++scrolls; };
    host.invalidations = 0;
    chart.MouseDown(kRight, kNoKeys, 100, 50);
    EXPECT_TRUE(chart.PanRect().Active);
    EXPECT_FALSE(chart.ZoomRect().Active);
    chart.MouseMove(kNoKeys, 150, 50);
    EXPECT_DOUBLE_EQ(Bottom().Minimum(), -100);
    EXPECT_DOUBLE_EQ(Bottom().Maximum(), 900);
    EXPECT_TRUE(Left().Automatic());  // no vertical movement
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(host.invalidations, 1);
    chart.MouseUp(kRight, kNoKeys, 150, 50);
    EXPECT_FALSE(chart.PanRect().Active);
    // Panning saved the scales; a reverse zoom drag gives them back.
    LeftDrag(300, 200, 100, 50);
    EXPECT_TRUE(Bottom().Automatic());
}

TEST_F(ZoomTest, PanningStepByStepInBothDirections)
{
    chart.MouseDown(kRight, kNoKeys, 300, 50);
    for (int x : {290, 280, 270})
        chart.MouseMove(kNoKeys, x, 50);
    EXPECT_DOUBLE_EQ(Bottom().Minimum(), 60);
    EXPECT_DOUBLE_EQ(Bottom().Maximum(), 1060);
    for (int x : {280, 290, 300})
        chart.MouseMove(kNoKeys, x, 50);
    EXPECT_NEAR(Bottom().Minimum(), 0, 1e-9);
    EXPECT_EQ(chart.PanRect().X1, 300);
    chart.MouseMove(kNoKeys, 300, 70);  // 20 px down: the data follow the mouse
    EXPECT_GT(Left().Maximum(), 1000);
    EXPECT_GT(Left().Minimum(), 0);
}

TEST_F(ZoomTest, LeavingThePlottingRectangleEndsPanningForGood)
{
    chart.MouseDown(kRight, kNoKeys, 100, 50);
    chart.MouseMove(kNoKeys, 120, 50);
    EXPECT_DOUBLE_EQ(Bottom().Minimum(), -40);
    chart.MouseMove(kNoKeys, 120, 299);  // below the plotting rectangle
    EXPECT_FALSE(chart.PanRect().Active);
    chart.MouseMove(kNoKeys, 200, 50);
    EXPECT_DOUBLE_EQ(Bottom().Minimum(), -40);
}

TEST_F(ZoomTest, AllowScrollMayRefuseOrChangeAStep)
{
    chart.OnAllowScroll = [&](TChartAxis& axis, double& lo, double& hi, bool& allow) {
        if (axis.Horizontal()) {
            allow = false;
        } else {
            lo = -1;
            hi = 1;
        }
    };
    int scrolls = 0;
    chart.OnScroll = [&](TChart&) { ++scrolls; };
    chart.MouseDown(kRight, kNoKeys, 100, 50);
    chart.MouseMove(kNoKeys, 150, 50);
    EXPECT_TRUE(Bottom().Automatic());
    EXPECT_EQ(scrolls, 0);
    chart.MouseMove(kNoKeys, 150, 60);
    EXPECT_EQ(Left().Minimum(), -1);
    EXPECT_EQ(Left().Maximum(), 1);
    EXPECT_EQ(scrolls, 1);
}

TEST_F(ZoomTest, PanningModeAndZoomSwitches)
{
    chart.SetAllowPanning(TPanningMode::pmVertical);
    chart.MouseDown(kRight, kNoKeys, 100, 50);
    chart.MouseMove(kNoKeys, 150, 80);
    EXPECT_TRUE(Bottom().Automatic());
    EXPECT_FALSE(Left().Automatic());
    chart.MouseUp(kRight, kNoKeys, 150, 80);

    chart.SetAllowPanning(TPanningMode::pmNone);
    chart.MouseDown(kRight, kNoKeys, 100, 50);
    EXPECT_FALSE(chart.PanRect().Active);
    chart.SetAllowZoom(false);
    chart.MouseDown(kLeft, kNoKeys, 100, 50);
    EXPECT_FALSE(chart.ZoomRect().Active);
}

TEST_F(ZoomTest, EngineWideButtonsAndShiftKeys)
{
    TChartMouseSettings saved = MouseSettings();
    MouseSettings().ZoomShiftState.Ctrl = true;
    chart.MouseDown(kLeft, kNoKeys, 100, 50);
    EXPECT_FALSE(chart.ZoomRect().Active);
    TShiftState ctrl;
    ctrl.Ctrl = true;
    chart.MouseDown(kLeft, ctrl, 100, 50);
    EXPECT_TRUE(chart.ZoomRect().Active);
    chart.MouseUp(kLeft, ctrl, 100, 50);
    MouseSettings() = saved;
    MouseSettings().ZoomMouseButton = TMouseButton::mbMiddle;
    chart.MouseDown(kLeft, kNoKeys, 100, 50);
    EXPECT_FALSE(chart.ZoomRect().Active);
    chart.MouseDown(TMouseButton::mbMiddle, kNoKeys, 100, 50);
    EXPECT_TRUE(chart.ZoomRect().Active);
    MouseSettings() = saved;
}

TEST_F(ZoomTest, ClickHandlersKeepTheDragUnlessTheyClearTheFlag)
{
    int background = 0;
    chart.OnClickBackground = [&](TChart&, TMouseButton, TShiftState, int, int) { ++background; };
    chart.MouseDown(kLeft, kNoKeys, 400, 250);
    EXPECT_EQ(background, 1);
    EXPECT_FALSE(chart.ZoomRect().Active);
    EXPECT_FALSE(chart.CancelMouse());

    chart.OnClickBackground = [&](TChart& c, TMouseButton, TShiftState, int, int) { c.SetCancelMouse(false); };
    chart.MouseDown(kLeft, kNoKeys, 400, 250);
    EXPECT_TRUE(chart.ZoomRect().Active);
    chart.MouseUp(kLeft, kNoKeys, 400, 250);

    int clickedIndex = -2;
    chart.OnClickSeries = [&](TChart&, TChartSeries&, int index, TMouseButton, TShiftState, int, int) {
        clickedIndex = index;
    };
    chart.MouseDown(kLeft, kNoKeys, series->PointScreenX(10), series->PointScreenY(10));
    EXPECT_EQ(clickedIndex, 10);
    EXPECT_FALSE(chart.ZoomRect().Active);
}

TEST_F(ZoomTest, WheelScrollsTheVerticalAxesByThreePercent)
{
    chart.MouseWheel(true);
    EXPECT_DOUBLE_EQ(Left().Minimum(), 30);
    EXPECT_DOUBLE_EQ(Left().Maximum(), 1030);
    EXPECT_FALSE(Left().Automatic());
    EXPECT_TRUE(Bottom().Automatic());
    // Each vertical axis scrolls and repaints at once.
    EXPECT_FALSE(chart.RightAxis().Automatic());
    EXPECT_EQ(host.repaints, 2);
    chart.MouseWheel(false);
    EXPECT_NEAR(Left().Minimum(), 0, 1e-9);
    // Wheel scrolling saves nothing: an undo has nothing to restore.
    EXPECT_TRUE(chart.ScalesRestored());
}

TEST_F(ZoomTest, ScrollAxisLimitCheck)
{
    Left().SetRange(30, 1030);
    chart.ScrollAxis(Left(), 10, true);  // data top 1000 is not above 1030
    EXPECT_EQ(Left().Minimum(), 30);
    chart.ScrollAxis(Left(), -10, true);  // data bottom 0 is below 30
    EXPECT_EQ(Left().Minimum(), 20);
    chart.ScrollAxis(Left(), 0, true);
    EXPECT_EQ(Left().Minimum(), 20);
    chart.ScrollAxis(Left(), 50, false);
    EXPECT_EQ(Left().Minimum(), 70);
}

}  // namespace
