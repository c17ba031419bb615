// Placing the labels of numbered spots where they cover nothing drawn so far.

#include "chart/spot_labels.h"

#include "chart/axis.h"
#include "chart/chart.h"
#include "chart/point_series.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace chart {

namespace {

bool Overlap(const TRect& a, const TRect& b)
{
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

bool Inside(const TRect& inner, const TRect& outer)
{
    return inner.Left >= outer.Left && inner.Right <= outer.Right && inner.Top >= outer.Top &&
           inner.Bottom <= outer.Bottom;
}

}  // namespace

std::vector<TRect> PointBoxes(TChart& chart)
{
    std::vector<TRect> boxes;
    for (int s = 0; s < chart.SeriesCount(); ++s) {
        const auto* points = dynamic_cast<const TPointSeries*>(&chart.Series(s));
        if (!points || !points->Active())
            continue;
        const int r = points->PointerRadius();
        // Every point, not the shown range: that of a series drawn later is not yet computed.
        for (int i = 0; i < points->PointCount(); ++i) {
            if (!points->GetHorizAxis()->PixelMap().Drawable(points->XValue(i)) ||
                !points->GetVertAxis()->PixelMap().Drawable(points->YValue(i)))
                continue;
            const int x = points->PointScreenX(i);
            const int y = points->PointScreenY(i);
            boxes.push_back(TRect{x - r, y - r, x + r + 1, y + r + 1});
        }
    }
    return boxes;
}

void DrawSpotLabels(TCanvas& canvas, TChart& chart, const TFontSpec& font, int radius,
                    const std::vector<TLabelSpot>& labelled, const std::vector<TRect>& keepClear)
{
    const int r = radius;
    // The spots on one place gathered under one label.
    std::vector<TLabelSpot> spots;
    for (const TLabelSpot& spot : labelled) {
        if (spot.label.empty())
            continue;
        const auto same = std::find_if(spots.begin(), spots.end(), [&](const TLabelSpot& s) {
            return (s.x - spot.x) * (s.x - spot.x) + (s.y - spot.y) * (s.y - spot.y) <= r * r / 4;
        });
        if (same != spots.end())
            same->label += ", " + spot.label;
        else
            spots.push_back(spot);
    }
    if (spots.empty())
        return;
    canvas.SetFont(font);
    canvas.SetTextBackground(true, clWhite);
    canvas.SetBrush(clWhite, TBrushStyle::bsClear);
    const int fh = canvas.FontHeight();
    const TRect plot = chart.PlotRect();
    std::vector<TRect>& placed = chart.PlacedLabels();
    // How many labels and boxes to keep clear a box would cover; -1 when it leaves the plot.
    auto covered = [&](const TRect& box) {
        if (!Inside(box, plot))
            return -1;
        return static_cast<int>(
            std::count_if(placed.begin(), placed.end(), [&](const TRect& p) { return Overlap(box, p); }) +
            std::count_if(keepClear.begin(), keepClear.end(), [&](const TRect& d) { return Overlap(box, d); }));
    };
    std::vector<std::pair<TRect, std::string>> texts;
    for (const TLabelSpot& spot : spots) {
        const int w = canvas.TextWidth(spot.label);
        // Rings of places around the spot, ever further out: right, left, above, below, then the
        // directions between; the first free one, else the one covering least.
        std::optional<TRect> chosen;
        int chosenRing = 0;
        int least = -1;
        constexpr int kRings = 16;
        constexpr int kDirections = 16;
        for (int ring = 0; ring < kRings && least != 0; ++ring) {
            const int d = r + 2 + ring * (fh / 2 + 1);
            for (int k = 0; k < kDirections && least != 0; ++k) {
                // 0, 180, 90, 270 degrees first, then the diagonals, then between.
                static constexpr int kOrder[kDirections] = {0, 8, 4, 12, 2, 14, 6, 10, 1, 15, 7, 9, 3, 13, 5, 11};
                const double angle = kOrder[k] * 2.0 * std::numbers::pi / kDirections;
                const double cx = spot.x + d * std::cos(angle);
                const double cy = spot.y - d * std::sin(angle);
                // The box touches the ring on the side facing the spot.
                const double c = std::cos(angle);
                const double sn = std::sin(angle);
                const int left = static_cast<int>(std::lround(c > 0.3 ? cx : c < -0.3 ? cx - w : cx - w / 2.0));
                const int top = static_cast<int>(std::lround(sn > 0.3 ? cy - fh : sn < -0.3 ? cy : cy - fh / 2.0));
                const TRect box{left, top, left + w + 1, top + fh};
                const int n = covered(box);
                if (n >= 0 && (least < 0 || n < least)) {
                    least = n;
                    chosen = box;
                    chosenRing = ring;
                }
            }
        }
        if (!chosen) {
            // Nowhere inside the plot: beside the spot, kept inside.
            const int top = std::clamp(spot.y - fh / 2, plot.Top + 1, std::max(plot.Top + 1, plot.Bottom - fh));
            chosen = TRect{spot.x + r + 2, top, spot.x + r + 3 + w, top + fh};
        }
        const int ring = chosenRing + 1;
        if (ring > 1) {
            // Away from its spot: a leader line from the spot to the label's nearest point.
            const int lx = std::clamp(spot.x, chosen->Left, chosen->Right - 1);
            const int ly = std::clamp(spot.y, chosen->Top, chosen->Bottom - 1);
            const double length = std::hypot(lx - spot.x, ly - spot.y);
            if (length > r) {
                canvas.SetPen(TPenSpec{clGray, 1, TPenStyle::psSolid});
                canvas.Line(spot.x + static_cast<int>(std::lround((lx - spot.x) * r / length)),
                            spot.y + static_cast<int>(std::lround((ly - spot.y) * r / length)), lx, ly);
            }
        }
        placed.push_back(*chosen);
        texts.emplace_back(*chosen, spot.label);
    }
    // The labels over the leader lines, on white: a line never runs through a number.
    canvas.SetTextBackground(false, clWhite);
    for (const auto& [box, label] : texts)
        canvas.TextOut(box.Left, box.Top, label, THorizAlign::Left, TVertAlign::Top);
}

}  // namespace chart
