#pragma once
// Pens and fonts of chart elements. Each tells its owner when it changes so
// that the chart can repaint.

#include "chart/canvas.h"

#include <functional>
#include <string>
#include <utility>

namespace chart {

class TChartPen {
public:
    explicit TChartPen(TColor color = clBlack, int width = 1, TPenStyle style = TPenStyle::psSolid, bool visible = true)
        : color_(color), width_(width), style_(style), visible_(visible)
    {
    }
    TChartPen(const TChartPen&) = delete;
    TChartPen& operator=(const TChartPen&) = delete;

    TColor Color() const { return color_; }
    void SetColor(TColor v) { Set(color_, v); }
    int Width() const { return width_; }
    void SetWidth(int v) { Set(width_, v); }
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle v) { Set(style_, v); }
    bool Visible() const { return visible_; }
    void SetVisible(bool v) { Set(visible_, v); }
    bool SmallDots() const { return smallDots_; }
    void SetSmallDots(bool v) { Set(smallDots_, v); }

    // Takes over colour, width, style, visibility and dots of another pen.
    void Assign(const TChartPen& other)
    {
        color_ = other.color_;
        width_ = other.width_;
        style_ = other.style_;
        visible_ = other.visible_;
        smallDots_ = other.smallDots_;
        Notify();
    }

    // The canvas pen: an invisible pen draws nothing; clDefault takes `defaultColor`.
    TPenSpec Spec(TColor defaultColor = clBlack) const
    {
        TPenSpec spec;
        spec.Color = color_ == clDefault ? defaultColor : color_;
        spec.Width = width_;
        spec.Style = visible_ ? style_ : TPenStyle::psClear;
        spec.SmallDots = smallDots_ && width_ == 1 && style_ == TPenStyle::psDot;
        return spec;
    }

    void SetOnChange(std::function<void()> f) { onChange_ = std::move(f); }

private:
    template <class T>
    void Set(T& field, const T& v)
    {
        if (field == v)
            return;
        field = v;
        Notify();
    }
    void Notify()
    {
        if (onChange_)
            onChange_();
    }

    TColor color_;
    int width_;
    TPenStyle style_;
    bool visible_;
    bool smallDots_ = false;
    std::function<void()> onChange_;
};

class TChartFont {
public:
    explicit TChartFont(TColor color = clBlack, int size = 8, std::string name = "Arial")
    {
        spec_.Color = color;
        spec_.Size = size;
        spec_.Name = std::move(name);
    }
    TChartFont(const TChartFont&) = delete;
    TChartFont& operator=(const TChartFont&) = delete;

    const std::string& Name() const { return spec_.Name; }
    void SetName(const std::string& v) { Set(spec_.Name, v); }
    int Size() const { return spec_.Size; }
    void SetSize(int v) { Set(spec_.Size, v); }
    TColor Color() const { return spec_.Color; }
    void SetColor(TColor v) { Set(spec_.Color, v); }
    bool Bold() const { return spec_.Bold; }
    void SetBold(bool v) { Set(spec_.Bold, v); }
    bool Italic() const { return spec_.Italic; }
    void SetItalic(bool v) { Set(spec_.Italic, v); }

    const TFontSpec& Spec() const { return spec_; }
    void SetOnChange(std::function<void()> f) { onChange_ = std::move(f); }

private:
    template <class T>
    void Set(T& field, const T& v)
    {
        if (field == v)
            return;
        field = v;
        if (onChange_)
            onChange_();
    }

    TFontSpec spec_;
    std::function<void()> onChange_;
};

}  // namespace chart
