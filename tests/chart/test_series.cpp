#include "chart_fixture.h"

#include "chart/errors.h"

using namespace chart;
using chart_test::ChartFixture;

namespace {

class SeriesTest : public ChartFixture {
protected:
    void SetUp() override { SetUpChart(500); }
};

TEST_F(SeriesTest, OrderedInsertionMovesYColourAndLabelWithX)
{
    TFastLineSeries& s = AddLine();
    EXPECT_EQ(s.AddPoint(1, 10, "a", clBlue), 0);
    EXPECT_EQ(s.AddPoint(3, 30, "b", clGreen), 1);
    EXPECT_EQ(s.AddPoint(2, 20, "c", clRed), 1);
    ASSERT_EQ(s.PointCount(), 3);
    EXPECT_EQ(s.XValue(0), 1);
    EXPECT_EQ(s.XValue(1), 2);
    EXPECT_EQ(s.XValue(2), 3);
    EXPECT_EQ(s.YValue(1), 20);
    EXPECT_EQ(s.YValue(2), 30);  // the point added second ends at index 2
    EXPECT_EQ(s.PointLabel(2), "b");
    EXPECT_EQ(s.PointColor(2), clGreen);
    EXPECT_EQ(s.PointLabel(1), "c");
}

TEST_F(SeriesTest, EqualXGoesAfterAllEqualValues)
{
    TFastLineSeries& s = AddLine();
    s.AddPoint(1, 0);
    s.AddPoint(2, 1);
    s.AddPoint(2, 2);
    s.AddPoint(3, 3);
    EXPECT_EQ(s.AddPoint(2, 9), 3);
    EXPECT_EQ(s.AddPoint(0, 8), 0);
    EXPECT_EQ(s.YValue(4), 9);
}

TEST_F(SeriesTest, DescendingAndUnorderedLists)
{
    TFastLineSeries& s = AddLine();
    s.XValues().SetOrder(TChartListOrder::loNone);
    EXPECT_EQ(s.AddPoint(5, 0), 0);
    EXPECT_EQ(s.AddPoint(1, 0), 1);
    EXPECT_EQ(s.AddPoint(3, 0), 2);
    EXPECT_EQ(s.XValue(1), 1);

    TFastLineSeries& d = AddLine();
    d.XValues().SetOrder(TChartListOrder::loDescending);
    d.AddPoint(5, 0);
    d.AddPoint(1, 0);
    EXPECT_EQ(d.AddPoint(3, 0), 1);
    EXPECT_EQ(d.AddPoint(9, 0), 0);
}

TEST_F(SeriesTest, MultiplierScalesReadsAndStatisticsOnly)
{
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, -1);
    s.AddPoint(1, 3);
    s.AddPoint(2, 2);
    TChartValueList& y = s.YValues();
    EXPECT_EQ(y.Lowest(), -1);
    EXPECT_EQ(y.Highest(), 3);
    EXPECT_EQ(y.Sum(), 4);
    EXPECT_EQ(y.AbsSum(), 6);
    y.SetMultiplier(2);
    EXPECT_TRUE(y.StatsDirty());
    EXPECT_EQ(y.ValueAt(1), 6);
    EXPECT_EQ(y.RawValues()[1], 3);
    EXPECT_EQ(y.Lowest(), -2);
    EXPECT_EQ(y.Highest(), 6);
    EXPECT_EQ(y.Sum(), 8);
    EXPECT_EQ(y.AbsSum(), 12);
    EXPECT_EQ(y.IndexOfValue(4), 2);
    EXPECT_EQ(y.IndexOfValue(2), -1);
}

TEST_F(SeriesTest, EmptySeriesHasZeroStatisticsAndNoShownRange)
{
    TFastLineSeries& s = AddLine();
    EXPECT_EQ(s.PointCount(), 0);
    EXPECT_EQ(s.XValues().Lowest(), 0);
    EXPECT_EQ(s.YValues().Highest(), 0);
    EXPECT_EQ(s.YValues().Sum(), 0);
    Paint();
    EXPECT_EQ(s.FirstShownIndex(), -1);
    EXPECT_EQ(s.LastShownIndex(), -1);
}

TEST_F(SeriesTest, BadIndexesRaiseTheListError)
{
    TFastLineSeries& s = AddLine();
    s.AddPoint(0, 0);
    try {
        s.XValues().ValueAt(5);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (5)");
    }
    EXPECT_THROW(s.YValues().SetValueAt(-1, 0), EListError);
    EXPECT_THROW(s.DeletePoint(1), EListError);
    EXPECT_EQ(s.PointCount(), 1);
    s.ClearPoints();
    EXPECT_THROW(s.XValues().LastValue(), EListError);
    EXPECT_EQ(s.PointLabel(7), "");
}

TEST_F(SeriesTest, BeforeAddMayRefuseAndAfterAddIsTold)
{
    TFastLineSeries& s = AddLine();
    std::vector<int> added;
    s.OnAfterAdd = [&](TChartSeries&, int i) { added.push_back(i); };
    s.OnBeforeAdd = [](TChartSeries& series) { return series.PointCount() < 2; };
    EXPECT_EQ(s.AddPoint(0, 0), 0);
    EXPECT_EQ(s.AddPoint(1, 0), 1);
    EXPECT_EQ(s.AddPoint(2, 0), -1);
    EXPECT_EQ(s.PointCount(), 2);
    EXPECT_EQ(added, (std::vector<int>{0, 1}));
}

TEST_F(SeriesTest, EmptyLabelIsAbsentAndColoursFallBackToTheSeries)
{
    TFastLineSeries& s = AddLine();
    s.SetSeriesColor(clRed);
    EXPECT_EQ(s.LinePen().Color(), clRed);
    s.AddPoint(0, 0, "");
    s.AddPoint(1, 0, "t", clDefaultPoint);
    EXPECT_EQ(s.PointLabel(0), "");
    EXPECT_EQ(s.PointColor(1), clRed);
    EXPECT_EQ(s.PointColor(9), clRed);
    s.SetColorEachPoint(true);
    EXPECT_NE(s.PointColor(1), clRed);
    s.LinePen().SetColor(clGreen);
    EXPECT_EQ(s.SeriesColor(), clGreen);
    // An empty first label is no label: the axis shows values.
    EXPECT_EQ(chart.BottomAxis().LabelStyleInUse(), TAxisLabelStyle::talValue);
}

TEST_F(SeriesTest, ClearingAndDeletingKeepListsInStep)
{
    TFastLineSeries& s = AddLine();
    int cleared = 0;
    s.OnClearValues = [&](TChartSeries&) { ++cleared; };
    for (int i = 0; i < 5; ++i)
        s.AddPoint(i, i * 10, "p" + std::to_string(i));
    s.DeletePoint(1);
    EXPECT_EQ(s.PointCount(), 4);
    EXPECT_EQ(s.YValues().Count(), 4);
    EXPECT_EQ(s.PointLabel(1), "p2");
    EXPECT_EQ(s.YValues().Highest(), 40);
    s.ClearPoints();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(s.PointCount(), 0);
    EXPECT_EQ(s.YValues().Count(), 0);
    EXPECT_EQ(s.LabelCount(), 0);
}

TEST_F(SeriesTest, SortByOrderSwapsWholePoints)
{
    TFastLineSeries& s = AddLine();
    s.XValues().SetOrder(TChartListOrder::loNone);
    const double xs[] = {5, 3, 9, 1, 7, 3, 0};
    for (double x : xs)
        s.AddPoint(x, x * 100, std::to_string(static_cast<int>(x)));
    s.XValues().SetOrder(TChartListOrder::loAscending);
    s.XValues().SortByOrder();
    for (int i = 0; i < s.PointCount(); ++i) {
        if (i > 0) {
            EXPECT_LE(s.XValue(i - 1), s.XValue(i));
        }
        EXPECT_EQ(s.YValue(i), s.XValue(i) * 100);
        EXPECT_EQ(s.PointLabel(i), std::to_string(static_cast<int>(s.XValue(i))));
    }
    s.XValues().SetOrder(TChartListOrder::loDescending);
    s.XValues().SortByOrder();
    EXPECT_EQ(s.XValue(0), 9);
    EXPECT_EQ(s.XValue(6), 0);
    s.XValues().NumberSequentially();
    EXPECT_EQ(s.XValue(6), 6);
}

TEST_F(SeriesTest, ChangesOnlyAskForOnePaint)
{
    TFastLineSeries& s = AddLine();
    Paint();
    host.invalidations = 0;
    for (int i = 0; i < 100; ++i)
        s.AddPoint(i, i);
    EXPECT_TRUE(chart.BufferDirty());
    EXPECT_GT(host.invalidations, 0);
    EXPECT_EQ(host.repaints, 0);
    // The shown range still describes the last paint.
    EXPECT_EQ(s.FirstShownIndex(), -1);
    Paint();
    EXPECT_EQ(s.FirstShownIndex(), 0);
    EXPECT_EQ(s.LastShownIndex(), 99);
}

TEST_F(SeriesTest, ShownRangeOfAFastLineReachesOnePointBeyondTheRightEdge)
{
    TFastLineSeries& fast = AddLine();
    TFastLineSeries& plain = AddLine();
    plain.SetExtendToEdge(false);
    for (int i = 0; i < 400; ++i) {
        fast.AddPoint(i, i % 7);
        plain.AddPoint(i, i % 7);
    }
    chart.BottomAxis().SetRange(99.5, 200.5);
    Paint();
    EXPECT_EQ(fast.FirstShownIndex(), 100);
    EXPECT_EQ(fast.LastShownIndex(), 201);
    EXPECT_EQ(plain.FirstShownIndex(), 100);
    EXPECT_EQ(plain.LastShownIndex(), 200);
    // The line enters from point 99, left of the clip.
    const TCanvasOp* first = nullptr;
    for (const auto& op : canvas.Ops())
        if (op.clip && op.kind == TCanvasOp::Kind::Line) {
            first = &op;
            break;
        }
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->x0, fast.PointScreenX(99));
    EXPECT_LT(first->x0, chart.PlotRect().Left);
}

TEST_F(SeriesTest, ShownRangeBetweenTwoPointsAndOutsideTheData)
{
    TFastLineSeries& plain = AddLine();
    plain.SetExtendToEdge(false);
    plain.AddPoint(0, 0);
    plain.AddPoint(10, 1);
    chart.BottomAxis().SetRange(2, 8);
    Paint();
    // No point inside: the range ends one before its start.
    EXPECT_EQ(plain.FirstShownIndex(), 1);
    EXPECT_EQ(plain.LastShownIndex(), 0);

    plain.SetClipToAxisRange(false);
    Paint();
    EXPECT_EQ(plain.FirstShownIndex(), 0);
    EXPECT_EQ(plain.LastShownIndex(), 1);
}

TEST_F(SeriesTest, SeriesRightOfTheAxisDrawsNothingAndAfterDrawStillFires)
{
    TFastLineSeries& s = AddLine();
    for (int i = 0; i < 10; ++i)
        s.AddPoint(1000 + i, i);
    chart.BottomAxis().SetRange(0, 100);
    int afterDraw = 0;
    int first = 0;
    chart.OnAfterDraw = [&](TChart&) {
        ++afterDraw;
        first = s.FirstShownIndex();
    };
    Paint();
    EXPECT_EQ(afterDraw, 1);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(ClippedLineOps(), 0);
    EXPECT_EQ(canvas.Count(TCanvasOp::Kind::Clip), 0);
}

TEST_F(SeriesTest, MovingASeriesToAnotherChart)
{
    TFastLineSeries& s = AddLine();
    TChart other;
    s.SetParentChart(&other);
    EXPECT_EQ(chart.SeriesCount(), 0);
    ASSERT_EQ(other.SeriesCount(), 1);
    EXPECT_EQ(&other.Series(0), &s);
    EXPECT_EQ(s.ParentChart(), &other);
    EXPECT_EQ(s.GetHorizAxis(), &other.BottomAxis());
}

}  // namespace
