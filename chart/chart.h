#pragma once
// The chart: its series, five axes, title and foot, margins and back wall,
// the buffered paint with its events, pictures for the clipboard, and the
// mouse zoom and scroll.

#include "chart/axis.h"
#include "chart/bar_series.h"
#include "chart/canvas.h"
#include "chart/chart_parts.h"
#include "chart/pen.h"
#include "chart/point_series.h"
#include "chart/property.h"
#include "chart/series.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace chart {

// The control that shows a chart on screen.
class TChartHost {
public:
    virtual ~TChartHost() = default;
    // Schedules one paint (any number of requests before it give one paint).
    virtual void InvalidateChart() = 0;
    // Paints now, before returning.
    virtual void RepaintChartNow() = 0;
    // A canvas drawing straight onto the visible control (the zoom frame), or null.
    virtual TCanvas* LiveCanvas() = 0;
};

enum class TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Modifier keys and mouse buttons held during a mouse event.
struct TShiftState {
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    bool Left = false;
    bool Right = false;
    bool Middle = false;
    // Whether every key of `required` is held.
    bool Includes(const TShiftState& required) const;
};

// Zoom and pan settings shared by every chart of the program.
struct TChartMouseSettings {
    TMouseButton ZoomMouseButton = TMouseButton::mbLeft;
    TMouseButton PanMouseButton = TMouseButton::mbRight;
    TShiftState ZoomShiftState;
    TShiftState PanShiftState;
    double AnimatedZoomFactor = 3.0;
};
TChartMouseSettings& MouseSettings();

struct TZoomPanningRecord {
    bool Active = false;
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    void Activate(int x, int y)
    {
        X0 = X1 = x;
        Y0 = Y1 = y;
        Active = true;
    }
    void Check();
};

// A filled area behind the series: a polygon with its corners in values of
// the bottom and left axes.
struct TChartRegion {
    std::vector<std::pair<double, double>> Corners;  // (x, y)
    TColor Color = clSilver;
};

class TChart {
public:
    TChart();
    ~TChart();
    TChart(const TChart&) = delete;
    TChart& operator=(const TChart&) = delete;

    // Series: the chart owns them and keeps them in drawing order.
    template <class T>
    T& AddSeries(std::unique_ptr<T> series)
    {
        T& ref = *series;
        Adopt(std::move(series));
        return ref;
    }
    std::unique_ptr<TChartSeries> RemoveSeries(TChartSeries& series);
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    TChartSeries& Series(int index) const;

    TChartAxis& BottomAxis() { return *axes_[0]; }
    TChartAxis& TopAxis() { return *axes_[1]; }
    TChartAxis& LeftAxis() { return *axes_[2]; }
    TChartAxis& RightAxis() { return *axes_[3]; }
    TChartAxis& DepthAxis() { return *axes_[4]; }
    // Bottom, top, left, right and depth, in that order.
    TChartAxis& Axis(int index) { return *axes_.at(static_cast<std::size_t>(index)); }
    TChartTitle& Title() { return title_; }
    TChartTitle& Foot() { return foot_; }
    TChartWall& BackWall() { return backWall_; }
    TChartLegend& Legend() { return legend_; }
    // Regions, drawn in the order added over the back wall and under the grid.
    void AddRegion(TChartRegion region);

    // Size of the control (the chart's bounds are 0, 0, width, height).
    void SetBounds(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    TRect ChartBounds() const { return bounds_; }
    TRect PlotRect() const { return plotRect_; }
    // The boxes of the point labels drawn so far in this drawing, so that the
    // labels of one series keep clear of another's.
    std::vector<TRect>& PlacedLabels() { return placedLabels_; }

    void SetHost(TChartHost* host) { host_ = host; }
    TChartHost* Host() const { return host_; }
    void SetClipboardTarget(TClipboardTarget* target) { clipboard_ = target; }

    // Marks the buffer out of date and asks the host to paint (when auto-repaint is on).
    void Invalidate();
    bool BufferDirty() const { return dirty_; }
    // The control's paint: copies the buffer when nothing changed, else draws.
    void Paint(TCanvas& controlCanvas);
    void DrawTo(TCanvas& canvas, const TRect& rect);
    std::unique_ptr<TBitmap> RenderToBitmap(TColor background, const TRect& rect);
    void CopyImageToClipboard();

    // The canvas the chart draws on outside a paint: the live control when there is one.
    TCanvas* Canvas() const;

    // Mouse and wheel, with positions in pixels of the control.
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void MouseMove(TShiftState shift, int x, int y);
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void MouseWheel(bool down);
    void DblClick();
    void ZoomToRect();
    void ResetZoom();
    void ScrollAxis(TChartAxis& axis, double delta, bool checkLimits);
    TZoomPanningRecord& ZoomRect() { return zoom_; }
    TZoomPanningRecord& PanRect() { return pan_; }
    bool Zoomed() const { return zoomed_; }
    bool ScalesRestored() const { return scalesRestored_; }
    bool CancelMouse() const { return cancelMouse_; }
    void SetCancelMouse(bool v) { cancelMouse_ = v; }
    void DrawZoomRectangle(TCanvas& canvas);

    // Paint events.
    std::function<void(TChart&)> OnAfterDraw;
    std::function<void(TChart&)> OnBeforeDrawAxes;
    std::function<void(TChart&)> OnBeforeDrawSeries;
    std::function<void(TChartAxis&, TChartSeries*, int, std::string&)> OnGetAxisLabel;
    // Mouse events of the control, told before the chart's own handling.
    std::function<void(TChart&, TMouseButton, TShiftState, int, int)> OnMouseDown;
    std::function<void(TChart&, TShiftState, int, int)> OnMouseMove;
    std::function<void(TChart&, TMouseButton, TShiftState, int, int)> OnMouseUp;
    std::function<void(TChart&)> OnDblClick;
    // Clicks; a handler clears the cancel-mouse flag to let a drag start anyway.
    std::function<void(TChart&, TChartSeries&, int, TMouseButton, TShiftState, int, int)> OnClickSeries;
    std::function<void(TChart&, TChartAxis&, TMouseButton, TShiftState, int, int)> OnClickAxis;
    std::function<void(TChart&, TMouseButton, TShiftState, int, int)> OnClickBackground;
    std::function<void(TChart&)> OnZoom;
    std::function<void(TChart&)> OnUndoZoom;
    std::function<void(TChart&)> OnScroll;
    std::function<void(TChartAxis&, double&, double&, bool&)> OnAllowScroll;

    CHART_PROPERTY(TColor, Color, 0xF0F0F0)
    CHART_PROPERTY(int, MarginLeft, 3)
    CHART_PROPERTY(int, MarginTop, 4)
    CHART_PROPERTY(int, MarginRight, 3)
    CHART_PROPERTY(int, MarginBottom, 4)
    CHART_PROPERTY(TBevelCut, BevelOuter, TBevelCut::bvRaised)
    CHART_PROPERTY(int, BevelWidth, 1)
    CHART_PROPERTY(bool, View3D, true)
    CHART_PROPERTY(bool, View3DWalls, true)
    CHART_PROPERTY(bool, ClipPoints, true)
    CHART_PROPERTY(bool, AxisVisible, true)
    CHART_PROPERTY(bool, BufferedDisplay, true)
    CHART_PROPERTY(bool, AllowZoom, true)
    CHART_PROPERTY(TPanningMode, AllowPanning, TPanningMode::pmBoth)
    CHART_PROPERTY(bool, AnimatedZoom, false)
    CHART_PROPERTY(int, AnimatedZoomSteps, 8)

public:
    // The panel-level switch: while off, changes do not ask for a paint.
    bool AutoRepaint() const { return autoRepaint_; }
    void SetAutoRepaint(bool v) { autoRepaint_ = v; }

private:
    friend class TChartSeries;
    void Changed() { Invalidate(); }
    void Adopt(std::unique_ptr<TChartSeries> series);
    void DrawToTarget(TCanvas& canvas, const TRect& rect);
    void InternalDraw(TCanvas& canvas);
    void DrawTitleFoot(TCanvas& canvas, TChartTitle& title, bool isFoot, const TRect& box);
    void DrawRegions(TCanvas& canvas);
    void ResetCanvas(TCanvas& canvas);
    bool ActiveSeriesExists() const;
    // The extremes of the series on `axis` (of the active ones when any is active).
    TAxisExtremes SeriesExtremes(const TChartAxis& axis) const;
    void SaveScales();
    void RestoreScales();
    bool PanAxes(bool horizontal, int from, int to);
    // Sets both ends without the setters' checks and repaints at once (scrolling).
    void MoveAxisTo(TChartAxis& axis, double minimum, double maximum);
    TChartAxis* AxisHit(int x, int y);
    void StartDrag(TMouseButton button, TShiftState shift, int x, int y);
    void RepaintNow();

    struct SavedScale {
        bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
        double Minimum = 0, Maximum = 0;
    };

    std::vector<std::unique_ptr<TChartSeries>> series_;
    std::vector<TRect> placedLabels_;
    std::array<std::unique_ptr<TChartAxis>, 5> axes_;
    TChartTitle title_;
    TChartTitle foot_;
    TChartWall backWall_;
    TChartLegend legend_;
    std::vector<TChartRegion> regions_;
    TChartHost* host_ = nullptr;
    TClipboardTarget* clipboard_ = nullptr;
    bool autoRepaint_ = false;
    bool dirty_ = true;
    bool painting_ = false;
    bool changedWhilePainting_ = false;
    int width_ = 0;
    int height_ = 0;
    TRect bounds_;
    TRect plotRect_;
    // Where the title and foot lines were drawn at the last paint (for the mouse).
    TRect titleRect_;
    TRect footRect_;
    std::unique_ptr<TBitmap> buffer_;
    TCanvas* paintCanvas_ = nullptr;

    TZoomPanningRecord zoom_;
    TZoomPanningRecord pan_;
    std::array<SavedScale, 4> saved_;
    bool scalesRestored_ = true;
    bool zoomed_ = false;
    bool cancelMouse_ = false;
};

}  // namespace chart
