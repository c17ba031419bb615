// Mouse handling of the chart: clicks, the zoom rectangle, panning, the wheel,
// with the shared mouse settings and the zoom and pan records.

#include "chart/chart.h"

#include <algorithm>
#include <cstdlib>

namespace chart {

bool TShiftState::Includes(const TShiftState& required) const
{
    return (!required.Shift || Shift) && (!required.Ctrl || Ctrl) && (!required.Alt || Alt) &&
           (!required.Left || Left) && (!required.Right || Right) && (!required.Middle || Middle);
}

TChartMouseSettings& MouseSettings()
{
    static TChartMouseSettings settings;
    return settings;
}

void TZoomPanningRecord::Check()
{
    if (X0 > X1)
        std::swap(X0, X1);
    if (Y0 > Y1)
        std::swap(Y0, Y1);
}

void TChart::RepaintNow()
{
    if (host_)
        host_->RepaintChartNow();
    else
        Invalidate();
}

TChartAxis* TChart::AxisHit(int x, int y)
{
    for (int i = 0; i < 4; ++i) {
        TChartAxis& axis = *axes_[static_cast<std::size_t>(i)];
        if (!axis.IsShown())
            continue;
        int lo = std::min(axis.StartPixel(), axis.EndPixel());
        int hi = std::max(axis.StartPixel(), axis.EndPixel());
        int along = axis.Horizontal() ? x : y;
        int across = axis.Horizontal() ? y : x;
        if (along < lo || along > hi)
            continue;
        // The axis line with its outer ticks.
        int reach =
            (axis.Axis().Visible() ? axis.Axis().Width() : 0) + (axis.Ticks().Visible() ? axis.TickLength() : 0);
        int outward = axis.Kind() == TAxisKind::Bottom || axis.Kind() == TAxisKind::Right ? 1 : -1;
        int a = axis.PosAxis() - outward;
        int b = axis.PosAxis() + outward * reach;
        if (across >= std::min(a, b) && across <= std::max(a, b))
            return &axis;
    }
    return nullptr;
}

void TChart::StartDrag(TMouseButton button, TShiftState shift, int x, int y)
{
    const TChartMouseSettings& settings = MouseSettings();
    if (AllowZoom_ && button == settings.ZoomMouseButton && shift.Includes(settings.ZoomShiftState)) {
        zoom_.Activate(x, y);
        // Drawn in not-XOR mode: drawing it again erases it.
        if (TCanvas* canvas = Canvas())
            DrawZoomRectangle(*canvas);
    }
    if (AllowPanning_ != TPanningMode::pmNone && button == settings.PanMouseButton &&
        shift.Includes(settings.PanShiftState))
        pan_.Activate(x, y);
}

void TChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(*this, button, shift, x, y);
    if (zoom_.Active || pan_.Active)
        return;

    // A handler keeps the drag from starting unless it clears the flag.
    auto dragUnlessCancelled = [&](auto&& callHandler) {
        cancelMouse_ = true;
        callHandler();
        if (!cancelMouse_)
            StartDrag(button, shift, x, y);
    };

    for (auto it = series_.rbegin(); it != series_.rend(); ++it) {
        TChartSeries& s = **it;
        if (!s.Active())
            continue;
        int index = s.Clicked(x, y);
        if (index == -1)
            continue;
        if (OnClickSeries)
            dragUnlessCancelled([&] { OnClickSeries(*this, s, index, button, shift, x, y); });
        else
            StartDrag(button, shift, x, y);
        cancelMouse_ = false;
        return;
    }
    if (TChartAxis* axis = AxisHit(x, y)) {
        if (OnClickAxis)
            dragUnlessCancelled([&] { OnClickAxis(*this, *axis, button, shift, x, y); });
        else
            StartDrag(button, shift, x, y);
        cancelMouse_ = false;
        return;
    }
    bool onTitle = titleRect_.Contains(x, y) || footRect_.Contains(x, y);
    if (!onTitle && plotRect_.Contains(x, y) && ActiveSeriesExists()) {
        if (OnClickBackground)
            dragUnlessCancelled([&] { OnClickBackground(*this, button, shift, x, y); });
        else
            StartDrag(button, shift, x, y);
        cancelMouse_ = false;
        return;
    }
    // Title, foot or nothing: a click, never a drag.
    if (OnClickBackground)
        OnClickBackground(*this, button, shift, x, y);
    cancelMouse_ = false;
}

bool TChart::PanAxes(bool horizontal, int from, int to)
{
    if (from == to)
        return false;
    TPanningMode mode = AllowPanning_;
    bool allowed = horizontal ? (mode == TPanningMode::pmHorizontal || mode == TPanningMode::pmBoth)
                              : (mode == TPanningMode::pmVertical || mode == TPanningMode::pmBoth);
    if (!allowed)
        return false;
    bool moved = false;
    for (int i = 0; i < 4; ++i) {
        TChartAxis& axis = *axes_[static_cast<std::size_t>(i)];
        if (axis.Horizontal() != horizontal)
            continue;
        double newMin = 0, newMax = 0;
        axis.PannedRange(from, to, newMin, newMax);
        bool allow = true;
        if (OnAllowScroll)
            OnAllowScroll(axis, newMin, newMax, allow);
        if (allow) {
            axis.SetRange(newMin, newMax);
            moved = true;
        }
    }
    return moved;
}

void TChart::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(*this, shift, x, y);
    if (zoom_.Active && !(x == zoom_.X1 && y == zoom_.Y1)) {
        TCanvas* canvas = Canvas();
        if (canvas)
            DrawZoomRectangle(*canvas);
        zoom_.X1 = x;
        zoom_.Y1 = y;
        if (canvas)
            DrawZoomRectangle(*canvas);
    }
    if (pan_.Active) {
        if (!plotRect_.Contains(x, y)) {
            pan_.Active = false;
        } else if (!(x == pan_.X1 && y == pan_.Y1)) {
            if (scalesRestored_) {
                SaveScales();
                scalesRestored_ = false;
            }
            // Changes made while panning repaint once, below.
            bool h, v;
            {
                bool saved = autoRepaint_;
                autoRepaint_ = false;
                h = PanAxes(true, pan_.X1, x);
                v = PanAxes(false, pan_.Y1, y);
                autoRepaint_ = saved;
            }
            pan_.X1 = x;
            pan_.Y1 = y;
            if (h || v) {
                if (OnScroll)
                    OnScroll(*this);
                Invalidate();
            }
        }
    }
}

void TChart::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(*this, button, shift, x, y);
    if (zoom_.Active && button == MouseSettings().ZoomMouseButton) {
        zoom_.Active = false;
        if (TCanvas* canvas = Canvas()) {
            DrawZoomRectangle(*canvas);
            canvas->SetPen(TPenSpec{});
        }
        zoom_.X1 = x;
        zoom_.Y1 = y;
        if (std::abs(x - zoom_.X0) > 16 && std::abs(y - zoom_.Y0) > 16) {
            if (x > zoom_.X0 && y > zoom_.Y0)
                ZoomToRect();
            else
                ResetZoom();
            Invalidate();
        }
    }
    pan_.Active = false;
}

void TChart::SaveScales()
{
    for (std::size_t i = 0; i < saved_.size(); ++i) {
        const TChartAxis& axis = *axes_[i];
        saved_[i] = SavedScale{axis.Automatic(), axis.AutomaticMinimum(), axis.AutomaticMaximum(), axis.Minimum(),
                               axis.Maximum()};
    }
}

void TChart::RestoreScales()
{
    for (std::size_t i = 0; i < saved_.size(); ++i) {
        TChartAxis& axis = *axes_[i];
        const SavedScale& s = saved_[i];
        // The range first: SetRange clears the automatic flags restored after it.
        if (!s.Automatic)
            axis.SetRange(s.Minimum, s.Maximum);
        axis.automatic_ = s.Automatic;
        axis.automaticMinimum_ = s.AutomaticMinimum;
        axis.automaticMaximum_ = s.AutomaticMaximum;
    }
}

void TChart::ZoomToRect()
{
    zoom_.Check();
    double newMin[4];
    double newMax[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const TChartAxis& axis = *axes_[i];
        if (axis.Horizontal()) {
            newMin[i] = axis.PixelToValue(zoom_.X0);
            newMax[i] = axis.PixelToValue(zoom_.X1);
        } else {
            newMin[i] = axis.PixelToValue(zoom_.Y1);
            newMax[i] = axis.PixelToValue(zoom_.Y0);
        }
    }
    if (scalesRestored_) {
        SaveScales();
        scalesRestored_ = false;
    }
    if (AnimatedZoom_) {
        double factor = MouseSettings().AnimatedZoomFactor;
        for (int step = 1; step < AnimatedZoomSteps_; ++step) {
            for (std::size_t i = 0; i < 4; ++i) {
                TChartAxis& axis = *axes_[i];
                axis.SetRange(axis.Minimum() + (newMin[i] - axis.Minimum()) / factor,
                              axis.Maximum() - (axis.Maximum() - newMax[i]) / factor);
            }
            RepaintNow();
        }
    }
    for (std::size_t i = 0; i < 4; ++i)
        axes_[i]->SetRange(newMin[i], newMax[i]);
    zoomed_ = true;
    if (OnZoom)
        OnZoom(*this);
}

void TChart::ResetZoom()
{
    if (!scalesRestored_)
        RestoreScales();
    scalesRestored_ = true;
    if (OnUndoZoom)
        OnUndoZoom(*this);
    Invalidate();
    zoomed_ = false;
}

void TChart::MouseWheel(bool down)
{
    for (int i = 0; i < 4; ++i) {
        TChartAxis& axis = *axes_[static_cast<std::size_t>(i)];
        if (axis.Horizontal())
            continue;
        if (axis.IsLogarithmic()) {
            double newMin = 0, newMax = 0;
            axis.ScrolledRange(down ? 0.03 : -0.03, newMin, newMax);
            MoveAxisTo(axis, newMin, newMax);
            continue;
        }
        double delta = (axis.Maximum() - axis.Minimum()) * 3 * 0.01;
        ScrollAxis(axis, down ? delta : -delta, false);
    }
}

void TChart::MoveAxisTo(TChartAxis& axis, double minimum, double maximum)
{
    axis.automatic_ = axis.automaticMinimum_ = axis.automaticMaximum_ = false;
    axis.minimum_ = minimum;
    axis.maximum_ = maximum;
    axis.UpdateRange();
    dirty_ = true;
    RepaintNow();
}

void TChart::ScrollAxis(TChartAxis& axis, double delta, bool checkLimits)
{
    bool apply = true;
    if (checkLimits) {
        const TAxisExtremes extremes = SeriesExtremes(axis);
        const double lowest = extremes.Lowest;
        const double highest = extremes.Highest;
        if (delta > 0)
            apply = highest > axis.Maximum();
        else if (delta < 0)
            apply = lowest < axis.Minimum();
        else
            apply = false;
    }
    if (apply)
        MoveAxisTo(axis, axis.Minimum() + delta, axis.Maximum() + delta);
}

void TChart::DblClick()
{
    if (OnDblClick)
        OnDblClick(*this);
}

}  // namespace chart
