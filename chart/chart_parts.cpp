// The chart's small parts: lines of text, title and foot, back wall.

#include "chart/chart_parts.h"

#include "chart/errors.h"

namespace chart {

void TChartStrings::Clear()
{
    lines_.clear();
    Notify();
}

void TChartStrings::Add(const std::string& line)
{
    lines_.push_back(line);
    Notify();
}

void TChartStrings::SetText(std::vector<std::string> lines)
{
    lines_ = std::move(lines);
    Notify();
}

const std::string& TChartStrings::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return lines_[static_cast<std::size_t>(index)];
}

TChartTitle::TChartTitle(TColor fontColor, std::function<void()> onChange)
    : font_(fontColor), onChange_(std::move(onChange))
{
    text_.SetOnChange(onChange_);
    font_.SetOnChange(onChange_);
    frame_.SetOnChange(onChange_);
}

void TChartTitle::SetVisible(bool v)
{
    visible_ = v;
    onChange_();
}

void TChartTitle::SetAlignment(TTitleAlignment v)
{
    alignment_ = v;
    onChange_();
}

void TChartTitle::SetBrush(TColor color, TBrushStyle style)
{
    brushColor_ = color;
    brushStyle_ = style;
    onChange_();
}

void TChartTitle::SetAdjustFrame(bool v)
{
    adjustFrame_ = v;
    onChange_();
}

TChartWall::TChartWall(std::function<void()> onChange) : onChange_(std::move(onChange))
{
    pen_.SetOnChange(onChange_);
}

void TChartWall::SetBrush(TColor color, TBrushStyle style)
{
    brushColor_ = color;
    brushStyle_ = style;
    onChange_();
}

}  // namespace chart
