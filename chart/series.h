#pragma once
// Series: the points a chart shows, with their colours and labels, and the
// fast line that draws them as one polyline.

#include "chart/canvas.h"
#include "chart/pen.h"
#include "chart/property.h"
#include "chart/value_list.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace chart {

class TChart;
class TCustomChartAxis;

enum class THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis, aCustomHorizAxis };
enum class TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis, aCustomVertAxis };

// Point marks. Stored only: marks are never drawn by this engine.
struct TSeriesMarks {
    bool Visible = true;
    int ArrowLength = 8;
};

class TChartSeries {
public:
    TChartSeries();
    virtual ~TChartSeries();
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    TChartValueList& XValues() { return xValues_; }
    const TChartValueList& XValues() const { return xValues_; }
    TChartValueList& YValues() { return yValues_; }
    const TChartValueList& YValues() const { return yValues_; }
    TChartValueLists& ValueLists() { return valueLists_; }

    TColor SeriesColor() const { return seriesColor_; }
    virtual void SetSeriesColor(TColor color);

    TChart* ParentChart() const { return chart_; }
    // Moves the series from its chart to `chart` (which then owns it).
    void SetParentChart(TChart* chart);

    int AddPoint(double x, double y, const std::string& label = {}, TColor color = clDefaultPoint);
    void ClearPoints();
    void DeletePoint(int index);
    int PointCount() const { return xValues_.Count(); }
    double XValue(int index) const { return xValues_.ValueAt(index); }
    double YValue(int index) const { return yValues_.ValueAt(index); }
    std::string PointLabel(int index) const;
    int LabelCount() const { return static_cast<int>(labels_.size()); }
    TColor PointColor(int index) const;
    int PointScreenX(int index) const;
    int PointScreenY(int index) const;

    // The horizontal and vertical axes the series draws on (none without a chart).
    TCustomChartAxis* GetHorizAxis() const;
    TCustomChartAxis* GetVertAxis() const;
    // Whether the series' values feed that axis (the "both" settings use two axes).
    bool AssociatedToAxis(const TCustomChartAxis& axis) const;

    int FirstShownIndex() const { return firstShown_; }
    int LastShownIndex() const { return lastShown_; }
    // Sets the indexes of the points inside the horizontal axis range.
    void ComputeShownRange();

    // Draws the shown range on the canvas (the chart has clipped it).
    virtual void DrawAllValues(TCanvas& canvas) = 0;
    // Index of the point or segment at (x, y), or -1.
    virtual int Clicked(int x, int y) const = 0;

    std::function<bool(TChartSeries&)> OnBeforeAdd;
    std::function<void(TChartSeries&, int)> OnAfterAdd;
    std::function<void(TChartSeries&)> OnClearValues;
    std::function<void(TChartSeries&)> BeforeDrawValues;
    std::function<void(TChartSeries&)> AfterDrawValues;

    TSeriesMarks Marks;

    CHART_PROPERTY(bool, ColorEachPoint, false)
    CHART_PROPERTY(bool, Active, true)
    CHART_PROPERTY(bool, ShowInLegend, true)
    CHART_PROPERTY(std::string, ValueFormat, "#,##0.###")
    CHART_PROPERTY(std::string, PercentFormat, "##0.## %")
    CHART_PROPERTY(THorizAxis, HorizAxis, THorizAxis::aBottomAxis)
    CHART_PROPERTY(TVertAxis, VertAxis, TVertAxis::aLeftAxis)
    CHART_PROPERTY(bool, ClipToAxisRange, true)
    CHART_PROPERTY(bool, ExtendToEdge, false)

public:
    // Asks the chart to repaint (when there is one and the series is active).
    void Repaint();

protected:
    // Tells of a new point at `index`; the base fires OnAfterAdd and repaints.
    virtual void PointAdded(int index);
    void Changed();

private:
    friend class TChart;
    friend class TChartValueList;
    void SwapPoints(int a, int b);

    TChart* chart_ = nullptr;
    TChartValueLists valueLists_;
    TChartValueList xValues_;
    TChartValueList yValues_;
    std::vector<TColor> colors_;
    std::vector<std::optional<std::string>> labels_;
    TColor seriesColor_ = clDefaultPoint;
    int firstShown_ = -1;
    int lastShown_ = -1;
};

class TFastLineSeries : public TChartSeries {
public:
    TFastLineSeries();

    TChartPen& LinePen() { return linePen_; }
    const TChartPen& LinePen() const { return linePen_; }
    // Copies the pen; the series colour follows the pen's.
    void SetLinePen(const TChartPen& pen) { linePen_.Assign(pen); }
    void SetSeriesColor(TColor color) override;

    bool AutoRepaint() const { return autoRepaint_; }
    void SetAutoRepaint(bool v) { autoRepaint_ = v; }
    int LastPenX() const { return lastPenX_; }
    int LastPenY() const { return lastPenY_; }

    void DrawAllValues(TCanvas& canvas) override;
    int Clicked(int x, int y) const override;

protected:
    void PointAdded(int index) override;

private:
    TChartPen linePen_;
    bool autoRepaint_ = true;
    int lastPenX_ = 0;
    int lastPenY_ = 0;
};

}  // namespace chart
