#include "chart_fixture.h"

#include <cmath>

using namespace chart;
using chart_test::ChartFixture;

namespace {

class PaintTest : public ChartFixture {
protected:
    void SetUp() override { SetUpChart(500); }
};

struct CapturingClipboard : TClipboardTarget {
    int pictures = 0;
    std::vector<TCanvasOp> ops;
    int width = 0, height = 0;
    void SetPicture(TBitmap& picture) override
    {
        ++pictures;
        width = picture.Width();
        height = picture.Height();
        ops = static_cast<TRecordingBitmap&>(picture).Recording().Ops();
    }
};

TEST_F(PaintTest, TitleReservesItsLinesPlusFivePixels)
{
    AddLine().AddPoint(0, 0);
    chart.Title().Text().SetText({""});
    Paint();
    EXPECT_EQ(chart.PlotRect().Top, 13 + 5);
    // An empty line draws nothing.
    EXPECT_TRUE(canvas.Texts().size() >= 1);
    for (const auto& t : canvas.Texts())
        EXPECT_FALSE(t.empty());

    chart.Title().Text().SetText({"Период 10", "Частота 100"});
    Paint();
    EXPECT_EQ(chart.PlotRect().Top, 2 * 13 + 5);
    std::vector<std::string> texts = canvas.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Период 10");
    EXPECT_EQ(texts[1], "Частота 100");
    // Centred in the title box, one font height apart.
    const auto& ops = canvas.Ops();
    auto first =
        std::find_if(ops.begin(), ops.end(), [](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::Text; });
    ASSERT_NE(first, ops.end());
    EXPECT_EQ(first->x0, 250 - 9 * 6 / 2);
    EXPECT_EQ(first->y0, 0);
    EXPECT_EQ((first + 1)->y0, 13);
    EXPECT_EQ(first->font.Color, clBlue);

    chart.Title().Text().Clear();
    Paint();
    EXPECT_EQ(chart.PlotRect().Top, 0);
}

TEST_F(PaintTest, FlatSignalDrawsAtMostOneLinePerPixel)
{
    TFastLineSeries& s = AddLine();
    for (int i = 0; i < 10000; ++i)
        s.AddPoint(i, 5);
    Paint();
    EXPECT_EQ(s.FirstShownIndex(), 0);
    EXPECT_EQ(s.LastShownIndex(), 9999);
    int lines = ClippedLineOps();
    EXPECT_LE(lines, 501);
    EXPECT_GE(lines, 499);
}

TEST_F(PaintTest, PaintOrderAndCanvasState)
{
    chart.LeftAxis().SetVisible(true);
    chart.SetColor(0x123456);
    TFastLineSeries& s = AddLine();
    s.SetSeriesColor(clRed);
    s.AddPoint(0, 0);
    s.AddPoint(10, 10);
    std::vector<std::string> events;
    chart.OnBeforeDrawAxes = [&](TChart&) { events.push_back("axes:" + std::to_string(canvas.Ops().size())); };
    chart.OnBeforeDrawSeries = [&](TChart&) { events.push_back("series"); };
    s.BeforeDrawValues = [&](TChartSeries&) { events.push_back("before"); };
    s.AfterDrawValues = [&](TChartSeries&) { events.push_back("after"); };
    chart.OnAfterDraw = [&](TChart&) { events.push_back("done"); };
    Paint();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[1], "series");
    EXPECT_EQ(events[4], "done");

    const auto& ops = canvas.Ops();
    // Background first, in the chart's colour, over the whole bounds.
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops[0].kind, TCanvasOp::Kind::FillRect);
    EXPECT_EQ(ops[0].brushColor, 0x123456u);
    EXPECT_EQ(ops[0].x1, 500);
    // Then the back wall around the plotting rectangle.
    TRect plot = chart.PlotRect();
    auto wall =
        std::find_if(ops.begin(), ops.end(), [](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::Rectangle; });
    ASSERT_NE(wall, ops.end());
    EXPECT_EQ(wall->x0, plot.Left);
    EXPECT_EQ(wall->x1, plot.Right + 1);
    EXPECT_EQ(wall->y1, plot.Bottom + 1);
    EXPECT_EQ(wall->brushStyle, TBrushStyle::bsClear);
    // Grid (axes) before the line; the line clipped to the plotting rectangle.
    auto clip =
        std::find_if(ops.begin(), ops.end(), [](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::Clip; });
    ASSERT_NE(clip, ops.end());
    EXPECT_EQ(clip->x0, plot.Left);
    EXPECT_EQ(clip->x1, plot.Right);  // the plotting rectangle itself, not the frame beyond it
    EXPECT_EQ(clip->y1, plot.Bottom);
    auto dotted =
        std::find_if(ops.begin(), ops.end(), [](const TCanvasOp& op) { return op.pen.Style == TPenStyle::psDot; });
    EXPECT_LT(dotted - ops.begin(), clip - ops.begin());
    auto line = std::find_if(clip, ops.end(), [](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::LineTo; });
    ASSERT_NE(line, ops.end());
    EXPECT_EQ(line->pen.Color, clRed);
    EXPECT_EQ(line->brushStyle, TBrushStyle::bsClear);
    // The canvas is reset at the end.
    EXPECT_EQ(canvas.Pen(), TPenSpec{});
    EXPECT_EQ(canvas.Font().Size, 10);
}

TEST_F(PaintTest, LineStartsWithMoveToAtTheFirstPoint)
{
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 1);
    s.AddPoint(5, 2);
    s.AddPoint(10, 3);
    Paint();
    auto clip = std::find_if(canvas.Ops().begin(), canvas.Ops().end(),
                             [](const TCanvasOp& op) { return op.kind == TCanvasOp::Kind::Clip; });
    ASSERT_NE(clip, canvas.Ops().end());
    EXPECT_EQ((clip + 1)->kind, TCanvasOp::Kind::MoveTo);
    EXPECT_EQ((clip + 1)->x0, s.PointScreenX(0));
    EXPECT_EQ(ClippedLineOps(), 2);
    EXPECT_EQ(s.LastPenX(), s.PointScreenX(2));
}

TEST_F(PaintTest, WidePenOfThePeriodMarker)
{
    TFastLineSeries& s = AddLine();
    s.LinePen().SetWidth(4);
    s.SetSeriesColor(clGreen);
    s.AddPoint(10, 0);
    s.AddPoint(20, 1);
    Paint();
    int wide = 0;
    for (const auto& op : canvas.Ops())
        if (op.clip && op.kind == TCanvasOp::Kind::LineTo) {
            ++wide;
            EXPECT_EQ(op.pen.Width, 4);
            EXPECT_EQ(op.pen.Color, clGreen);
        }
    EXPECT_EQ(wide, 1);
    s.LinePen().SetVisible(false);
    Paint();
    for (const auto& op : canvas.Ops()) {
        if (op.clip && op.kind == TCanvasOp::Kind::LineTo) {
            EXPECT_EQ(op.pen.Style, TPenStyle::psClear);
        }
    }
}

TEST_F(PaintTest, HitTestOnPointSegmentAndBeside)
{
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 5);
    s.AddPoint(10, 5);
    s.AddPoint(20, 5);
    Paint();
    int y = s.PointScreenY(0);
    EXPECT_EQ(s.Clicked(s.PointScreenX(1), y), 1);
    EXPECT_EQ(s.Clicked(s.PointScreenX(0), y), 0);
    int mid = (s.PointScreenX(1) + s.PointScreenX(2)) / 2;
    EXPECT_EQ(s.Clicked(mid, y), 1);
    EXPECT_EQ(s.Clicked(mid, y + 1), -1);
    EXPECT_EQ(s.Clicked(mid, y - 1), -1);
    // Beyond the ends of the line.
    EXPECT_EQ(s.Clicked(s.PointScreenX(2) + 1, y), -1);
}

TEST_F(PaintTest, HitTestOnASlantedSegment)
{
    TFastLineSeries& s = AddLine();
    chart.LeftAxis().SetVisible(true);
    s.AddPoint(0, 0);
    s.AddPoint(10, 10);
    Paint();
    int x0 = s.PointScreenX(0), y0 = s.PointScreenY(0);
    int x1 = s.PointScreenX(1), y1 = s.PointScreenY(1);
    int mx = (x0 + x1) / 2;
    int my = y0 + static_cast<int>(std::lround(static_cast<double>(mx - x0) * (y1 - y0) / (x1 - x0)));
    EXPECT_EQ(s.Clicked(mx, my), 0);
    EXPECT_EQ(s.Clicked(mx, my - 40), -1);
    TFastLineSeries& empty = AddLine();
    Paint();
    EXPECT_EQ(empty.Clicked(mx, my), -1);
}

TEST_F(PaintTest, BufferedPaintCopiesTheBufferWhenNothingChanged)
{
    chart.SetBufferedDisplay(true);
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 0);
    s.AddPoint(1, 1);
    int afterDraw = 0;
    chart.OnAfterDraw = [&](TChart&) { ++afterDraw; };
    chart.Paint(canvas);
    EXPECT_FALSE(chart.BufferDirty());
    EXPECT_EQ(afterDraw, 1);
    // Everything went into the buffer; the control got one block copy.
    ASSERT_EQ(canvas.Ops().size(), 1u);
    EXPECT_EQ(canvas.Ops()[0].kind, TCanvasOp::Kind::Blit);

    canvas.Clear();
    chart.Paint(canvas);
    EXPECT_EQ(afterDraw, 1);
    ASSERT_EQ(canvas.Ops().size(), 1u);
    EXPECT_EQ(canvas.Ops()[0].kind, TCanvasOp::Kind::Blit);

    s.AddPoint(2, 2);
    EXPECT_TRUE(chart.BufferDirty());
    canvas.Clear();
    chart.Paint(canvas);
    EXPECT_EQ(afterDraw, 2);
    // A change made by a paint event asks for the next paint only when this one is over.
    int invalidationsInPaint = -1;
    chart.OnAfterDraw = [&](TChart& c) {
        host.invalidations = 0;
        c.LeftAxis().Title().SetCaption("x");
        invalidationsInPaint = host.invalidations;
    };
    s.AddPoint(3, 3);
    chart.Paint(canvas);
    EXPECT_EQ(invalidationsInPaint, 0);
    EXPECT_EQ(host.invalidations, 1);
    EXPECT_TRUE(chart.BufferDirty());
}

TEST_F(PaintTest, CopyImageToClipboardPaintsAWhitePicture)
{
    CapturingClipboard clipboard;
    chart.SetClipboardTarget(&clipboard);
    chart.SetBufferedDisplay(true);
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 0);
    s.AddPoint(1, 1);
    chart.SetColor(clWhite);
    chart.CopyImageToClipboard();
    EXPECT_EQ(clipboard.pictures, 1);
    EXPECT_EQ(clipboard.width, 500);
    EXPECT_EQ(clipboard.height, 300);
    ASSERT_FALSE(clipboard.ops.empty());
    EXPECT_EQ(clipboard.ops[0].kind, TCanvasOp::Kind::FillRect);
    EXPECT_EQ(clipboard.ops[0].brushColor, clWhite);
    EXPECT_TRUE(chart.BufferedDisplay());

    auto picture = chart.RenderToBitmap(0x00FF00, TRect{0, 0, 100, 50});
    ASSERT_NE(picture, nullptr);
    auto& rec = static_cast<TRecordingBitmap&>(*picture).Recording();
    ASSERT_FALSE(rec.Ops().empty());
    EXPECT_EQ(rec.Ops()[0].brushColor, 0x00FF00u);
    EXPECT_EQ(picture->Width(), 100);
}

TEST_F(PaintTest, IncrementalAddDrawsOnTheLiveCanvas)
{
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 0);
    s.AddPoint(10, 10);
    Paint();
    s.SetAutoRepaint(false);
    host.live.Clear();
    host.invalidations = 0;
    s.AddPoint(5, 3);
    EXPECT_EQ(host.invalidations, 0);
    EXPECT_EQ(host.live.Count(TCanvasOp::Kind::MoveTo), 1);
    EXPECT_EQ(host.live.Count(TCanvasOp::Kind::LineTo), 1);
}

}  // namespace
