#pragma once
// The chart's small parts: the title and foot with their lines of text, the
// back wall, and the legend and bevel settings it stores.

#include "chart/canvas.h"
#include "chart/pen.h"

#include <functional>
#include <string>
#include <vector>

namespace chart {

// Text lines that tell their owner of every change.
class TChartStrings {
public:
    void Clear();
    void Add(const std::string& line);
    void SetText(std::vector<std::string> lines);
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const;
    const std::vector<std::string>& Lines() const { return lines_; }
    void SetOnChange(std::function<void()> f) { onChange_ = std::move(f); }

private:
    void Notify()
    {
        if (onChange_)
            onChange_();
    }
    std::vector<std::string> lines_;
    std::function<void()> onChange_;
};

enum class TTitleAlignment { taLeftJustify, taCenter, taRightJustify };

// The title above the plotting rectangle, or the foot below it.
class TChartTitle {
public:
    TChartTitle(TColor fontColor, std::function<void()> onChange);
    TChartStrings& Text() { return text_; }
    const TChartStrings& Text() const { return text_; }
    TChartFont& Font() { return font_; }
    TChartPen& Frame() { return frame_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    TTitleAlignment Alignment() const { return alignment_; }
    void SetAlignment(TTitleAlignment v);
    TColor BrushColor() const { return brushColor_; }
    TBrushStyle BrushStyle() const { return brushStyle_; }
    void SetBrush(TColor color, TBrushStyle style);
    bool AdjustFrame() const { return adjustFrame_; }
    void SetAdjustFrame(bool v);

private:
    TChartStrings text_;
    TChartFont font_;
    TChartPen frame_{clBlack, 1, TPenStyle::psSolid, false};
    bool visible_ = true;
    TTitleAlignment alignment_ = TTitleAlignment::taCenter;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = TBrushStyle::bsClear;
    bool adjustFrame_ = true;
    std::function<void()> onChange_;
};

// The frame around the plotting rectangle.
class TChartWall {
public:
    explicit TChartWall(std::function<void()> onChange);
    TChartPen& Pen() { return pen_; }
    TColor BrushColor() const { return brushColor_; }
    TBrushStyle BrushStyle() const { return brushStyle_; }
    void SetBrush(TColor color, TBrushStyle style);

private:
    TChartPen pen_;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = TBrushStyle::bsClear;
    std::function<void()> onChange_;
};

enum class TLegendAlignment { laLeft, laRight, laTop, laBottom };

// Stored only: legends are not drawn by this engine.
struct TChartLegend {
    bool Visible = true;
    TLegendAlignment Alignment = TLegendAlignment::laRight;
};

// Stored only: bevels are not drawn by this engine.
enum class TBevelCut { bvNone, bvLowered, bvRaised };

}  // namespace chart
