#pragma once
// A canvas that records what is drawn instead of drawing it, for tests.
// Text is measured with fixed per-character metrics (UTF-8 aware) unless a
// test supplies its own measure.

#include "chart/canvas.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace chart {

struct TCanvasOp {
    enum class Kind {
        MoveTo,
        LineTo,
        Line,
        Rectangle,
        FillRect,
        Polygon,
        Ellipse,
        Text,
        RotatedText,
        Clip,
        UnClip,
        Blit
    };
    Kind kind = Kind::MoveTo;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::string text;
    std::vector<TPoint> points;  // a polygon's corners
    THorizAlign hAlign = THorizAlign::Left;
    TVertAlign vAlign = TVertAlign::Top;
    int angle = 0;
    // State at the time of the operation.
    TPenSpec pen;
    TColor brushColor = clWhite;
    TBrushStyle brushStyle = TBrushStyle::bsSolid;
    TFontSpec font;
    std::optional<TRect> clip;
};

class TRecordingCanvas : public TCanvas {
public:
    using Kind = TCanvasOp::Kind;

    void SetPen(const TPenSpec& pen) override { pen_ = pen; }
    void SetBrush(TColor color, TBrushStyle style) override
    {
        brushColor_ = color;
        brushStyle_ = style;
    }
    void SetFont(const TFontSpec& font) override { font_ = font; }
    void SetTextBackground(bool transparent, TColor color) override
    {
        transparentText_ = transparent;
        textBack_ = color;
    }
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Line(int x0, int y0, int x1, int y1) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void FillRect(const TRect& rect) override;
    void Polygon(const std::vector<TPoint>& points) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void TextOut(int x, int y, const std::string& text, THorizAlign h, TVertAlign v) override;
    void RotatedTextOut(int x, int y, const std::string& text, int angle) override;
    int TextWidth(const std::string& text) override;
    int FontHeight() override;
    void ClipRectangle(const TRect& rect) override;
    void UnClipRectangle() override;
    std::unique_ptr<TBitmap> CreateBitmap(int width, int height) override;
    void Draw(int x, int y, TBitmap& bitmap) override;

    // Metrics: width per character and line height, for an 8-point font
    // (scaled by size); or a measure of the test's own.
    int CharWidth = 6;
    int LineHeight = 13;
    std::function<int(const std::string&, const TFontSpec&)> Measure;

    const std::vector<TCanvasOp>& Ops() const { return ops_; }
    void Clear() { ops_.clear(); }
    int Count(Kind kind) const;
    // Texts drawn upright, in drawing order.
    std::vector<std::string> Texts() const;
    const TPenSpec& Pen() const { return pen_; }
    const TFontSpec& Font() const { return font_; }
    TPoint PenPos() const { return pos_; }
    bool TransparentText() const { return transparentText_; }

private:
    TCanvasOp Make(Kind kind) const;
    void Box(Kind kind, int left, int top, int right, int bottom);

    std::vector<TCanvasOp> ops_;
    TPenSpec pen_;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = TBrushStyle::bsSolid;
    TFontSpec font_;
    bool transparentText_ = false;
    TColor textBack_ = clWhite;
    TPoint pos_;
    std::optional<TRect> clip_;
};

class TRecordingBitmap : public TBitmap {
public:
    TRecordingBitmap(int width, int height) : width_(width), height_(height) {}
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    TCanvas& Canvas() override { return canvas_; }
    TRecordingCanvas& Recording() { return canvas_; }

private:
    int width_;
    int height_;
    TRecordingCanvas canvas_;
};

}  // namespace chart
