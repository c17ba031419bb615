#pragma once
// A chart axis: its range (set or taken from the data), the mapping between
// values and pixels (linear or logarithmic), the room it takes beside the
// plotting rectangle, the label step and label texts, and the drawing of its
// line, ticks, grid, labels and title.

#include "chart/canvas.h"
#include "chart/pen.h"
#include "chart/property.h"
#include "chart/tick_layout.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace chart {

class TChart;
class TChartSeries;

enum class TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };
enum class TAxisKind { Bottom, Top, Left, Right, Depth };

class TChartAxisTitle {
public:
    explicit TChartAxisTitle(int angle) : angle_(angle) {}
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    int Angle() const { return angle_; }
    void SetAngle(int angle);
    TChartFont& Font() { return font_; }
    const TChartFont& Font() const { return font_; }
    void SetOnChange(std::function<void()> f);

private:
    void Notify()
    {
        if (onChange_)
            onChange_();
    }
    std::string caption_;
    int angle_;
    TChartFont font_;
    std::function<void()> onChange_;
};

// Value to pixel of one axis as laid out for a paint: t = (value - minimum)
// * LengthPixels / range, in that order (a precomputed pixels-per-value factor
// rounds differently and moves half-pixel cases by one), rounded half to even, counted from the start or
// the end pixel. A zero range, an undefined value and |t| beyond 32 bits give
// the centre pixel. On a logarithmic axis value, minimum and range are
// logarithms (log10(value) * LogScale, LogScale = 1 / log10(base)); values
// <= 0 have no place there (Drawable is false, Map gives the centre).
// Copied into drawing loops so that they read no axis state.
struct TPixelMap {
    double Minimum = 0;
    double Length = 0;  // LengthPixels
    double Range = 0;
    int Start = 0;
    int End = 0;
    int Centre = 0;
    bool FromEnd = false;
    bool Flat = true;
    bool Log = false;
    double LogScale = 1;

    bool Drawable(double value) const { return !Log || value > 0; }

    int Map(double value) const
    {
        if (Flat)
            return Centre;
        if (Log) {
            if (!(value > 0))
                return Centre;
            value = std::log10(value) * LogScale;
        }
        double t = (value - Minimum) * Length / Range;
        // NaN fails the comparison and lands at the centre like an overflow.
        if (!(std::fabs(t) < 2147483647.0))
            return Centre;
        auto r = static_cast<std::int64_t>(RoundToEven(t));
        std::int64_t p = FromEnd ? std::int64_t{End} - r : std::int64_t{Start} + r;
        if (p > 2147483647)
            return 2147483647;
        if (p < -2147483647 - 1)
            return -2147483647 - 1;
        return static_cast<int>(p);
    }

    // Round half to even for |t| < 2^51 without a library call: the sum with
    // 1.5 * 2^52 keeps no fraction bits and is rounded to even on the way.
    // (Needs IEEE arithmetic as compiled by default, not -ffast-math.)
    static double RoundToEven(double t)
    {
        constexpr double kShift = 6755399441055744.0;
        double shifted = t + kShift;
        return shifted - kShift;
    }
};

// The values of the series on an axis, found by the chart before each layout.
struct TAxisExtremes {
    // The lowest and highest values (0, 0 without data).
    double Lowest = 0;
    double Highest = 0;
    // The lowest and highest finite values above zero (0, 0 without any);
    // found for a logarithmic axis only.
    double LowestPositive = 0;
    double HighestPositive = 0;
};

class TCustomChartAxis {
public:
    TCustomChartAxis(TChart& chart, TAxisKind kind);
    TCustomChartAxis(const TCustomChartAxis&) = delete;
    TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

    TAxisKind Kind() const { return kind_; }
    bool Horizontal() const { return kind_ == TAxisKind::Bottom || kind_ == TAxisKind::Top; }
    bool OtherSide() const { return kind_ == TAxisKind::Top || kind_ == TAxisKind::Right; }
    TChart& ParentChart() const { return chart_; }

    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool v);
    bool AutomaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool v);
    bool AutomaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool v);
    double Minimum() const { return minimum_; }
    // AxisException when above Maximum().
    void SetMinimum(double v);
    double Maximum() const { return maximum_; }
    // AxisException when below Minimum().
    void SetMaximum(double v);
    // Fixes both ends (no longer automatic), ordering them and keeping a span of at least 1e-10.
    void SetRange(double minimum, double maximum);

    TChartAxisTitle& Title() { return title_; }
    const TChartAxisTitle& Title() const { return title_; }
    TChartFont& LabelsFont() { return labelsFont_; }
    TChartPen& Ticks() { return ticks_; }
    TChartPen& MinorTicks() { return minorTicks_; }
    TChartPen& TicksInner() { return ticksInner_; }
    TChartPen& Grid() { return grid_; }
    TChartPen& MinorGrid() { return minorGrid_; }
    TChartPen& Axis() { return axisPen_; }

    // Mapping between values and pixels, valid after the chart's layout.
    int ValueToPixel(double value) const { return map_.Map(value); }
    const TPixelMap& PixelMap() const { return map_; }
    double PixelToValue(int pixel) const;
    // Whether Logarithmic takes effect (it needs a base above 1).
    bool IsLogarithmic() const { return Logarithmic_ && LogarithmicBase_ > 1; }
    // The range the mapping uses: the set one, on a logarithmic axis with
    // ends that are not positive replaced.
    double EffectiveMinimum() const { return iMinimum_; }
    double EffectiveMaximum() const { return iMaximum_; }
    // The range after the data moved from pixel `from` to `to` (panning):
    // shifted on a linear axis, multiplied on a logarithmic one.
    void PannedRange(int from, int to, double& minimum, double& maximum) const;
    // The range moved by `fraction` of its length (of its logarithm on a logarithmic axis).
    void ScrolledRange(double fraction, double& minimum, double& maximum) const;

    // The room the axis takes from `rect` (its own side), the axis ends from the final rectangle.
    void CalcRoom(TCanvas& canvas, TRect& rect);
    void SetPixelsFrom(const TRect& plotRect);
    // Takes the automatic ends from the extremes of the series on this axis.
    void AdjustMaxMin(const TAxisExtremes& extremes);
    // Whether an active series uses this axis (any series when none is active).
    bool IsUsed() const;
    bool IsShown() const;
    void Draw(TCanvas& canvas);

    // The label text of a value: AxisValuesFormat, the chart's OnGetAxisLabel and line breaks.
    std::string LabelValue(double value, bool askOwner = true) const;
    TAxisLabelStyle LabelStyleInUse() const;

    int StartPixel() const { return startPixel_; }
    int EndPixel() const { return endPixel_; }
    int LengthPixels() const { return lengthPixels_; }
    int CenterPixel() const { return centerPixel_; }
    int PosAxis() const { return posAxis_; }
    int PosLabels() const { return posLabels_; }
    int PosTitle() const { return posTitle_; }
    double RangeLength() const { return iRange_; }
    bool IsDateTime() const;
    // Tick pixels of the last draw, in the order the labels were drawn.
    const std::vector<int>& TickPixels() const { return ticksList_; }

    CHART_PROPERTY(double, Increment, 0.0)
    CHART_PROPERTY(bool, Inverted, false)
    CHART_PROPERTY(bool, Logarithmic, false)
    CHART_PROPERTY(int, LogarithmicBase, 10)
    CHART_PROPERTY(bool, Labels, true)
    CHART_PROPERTY(int, LabelsAngle, 0)
    CHART_PROPERTY(int, LabelsSeparation, 10)
    CHART_PROPERTY(int, LabelsSize, 0)
    CHART_PROPERTY(bool, LabelsOnAxis, true)
    CHART_PROPERTY(bool, LabelsMultiLine, false)
    CHART_PROPERTY(TAxisLabelStyle, LabelStyle, TAxisLabelStyle::talAuto)
    CHART_PROPERTY(std::string, AxisValuesFormat, "#,##0.###")
    CHART_PROPERTY(std::string, DateTimeFormat, "")
    CHART_PROPERTY(bool, ExactDateTime, true)
    CHART_PROPERTY(bool, RoundFirstLabel, true)
    CHART_PROPERTY(int, TickLength, 4)
    CHART_PROPERTY(int, MinorTickLength, 2)
    CHART_PROPERTY(int, TickInnerLength, 0)
    CHART_PROPERTY(int, MinorTickCount, 3)
    CHART_PROPERTY(bool, TickOnLabelsOnly, true)
    CHART_PROPERTY(bool, GridCentered, false)
    CHART_PROPERTY(int, TitleSize, 0)
    CHART_PROPERTY(double, StartPosition, 0.0)
    CHART_PROPERTY(double, EndPosition, 100.0)
    CHART_PROPERTY(double, PositionPercent, 0.0)
    CHART_PROPERTY(bool, Visible, true)

private:
    friend class TChart;  // restores saved scales and scrolls without the setters' checks
    void Changed();
    void UpdateRange();
    void UpdateMap();
    int LabelSize(TCanvas& canvas, const std::string& text) const;
    int LinesOf(const std::string& text) const;
    int WidestLine(TCanvas& canvas, const std::string& text) const;
    void DrawTitle(TCanvas& canvas);
    void DrawLabel(TCanvas& canvas, int p, const std::string& text);
    void DrawValueLabels(TCanvas& canvas, const TTickLayout& ticks);
    std::string LabelValue(double value, const std::string& picture, bool askOwner = true) const;
    // The value picture for labels `step` apart.
    std::string ValuePicture(double step) const;
    // The value labels on `lengthPixels` pixels of the current range, measured
    // in the labels' font.
    TTickLayout TickLayout(TCanvas& canvas, int lengthPixels) const;
    // The widest of the value labels drawn with the axis ends this rectangle gives.
    int DrawnLabelsWidth(TCanvas& canvas, const TRect& rect) const;
    int LengthIn(const TRect& rect) const;
    // Logarithmic axes: the log of a value in the base, and a label's text.
    double LogOf(double value) const;
    std::string LogLabelText(double value, bool askOwner) const;
    void DrawLogLabels(TCanvas& canvas, const std::vector<double>& values);
    void DrawTextLabels(TCanvas& canvas);
    void AddTick(int p);
    void DrawTickLine(TCanvas& canvas, int p, int from, int to);
    void DrawGridLine(TCanvas& canvas, int p);
    void DrawMinor(TCanvas& canvas, const TChartPen& pen, bool grid);
    bool LabelSpaceAlongAxis() const;

    TChart& chart_;
    TAxisKind kind_;
    bool automatic_ = true;
    bool automaticMinimum_ = true;
    bool automaticMaximum_ = true;
    double minimum_ = 0;
    double maximum_ = 0;
    TChartAxisTitle title_;
    TChartFont labelsFont_;
    TChartPen ticks_{clGray, 1};
    TChartPen minorTicks_{clGray, 1};
    TChartPen ticksInner_{clGray, 1};
    TChartPen grid_{clGray, 1, TPenStyle::psDot};
    TChartPen minorGrid_{clGray, 1, TPenStyle::psDot, false};
    TChartPen axisPen_{clBlack, 2};

    // Layout of the last paint.
    double iMinimum_ = 0;
    double iMaximum_ = 0;
    double iRange_ = 0;
    TPixelMap map_;
    int startPixel_ = 0;
    int endPixel_ = 0;
    int lengthPixels_ = 0;
    int centerPixel_ = 0;
    int posAxis_ = 0;
    int posLabels_ = 0;
    int posTitle_ = 0;
    std::vector<int> ticksList_;
};

using TChartAxis = TCustomChartAxis;

}  // namespace chart
