#include "chart/recording_canvas.h"

#include <algorithm>

namespace chart {

TCanvasOp TRecordingCanvas::Make(Kind kind) const
{
    TCanvasOp op;
    op.kind = kind;
    op.pen = pen_;
    op.brushColor = brushColor_;
    op.brushStyle = brushStyle_;
    op.font = font_;
    op.clip = clip_;
    return op;
}

void TRecordingCanvas::MoveTo(int x, int y)
{
    TCanvasOp op = Make(Kind::MoveTo);
    op.x0 = x;
    op.y0 = y;
    ops_.push_back(op);
    pos_ = {x, y};
}

void TRecordingCanvas::LineTo(int x, int y)
{
    TCanvasOp op = Make(Kind::LineTo);
    op.x0 = pos_.X;
    op.y0 = pos_.Y;
    op.x1 = x;
    op.y1 = y;
    ops_.push_back(op);
    pos_ = {x, y};
}

void TRecordingCanvas::Line(int x0, int y0, int x1, int y1)
{
    TCanvasOp op = Make(Kind::Line);
    op.x0 = x0;
    op.y0 = y0;
    op.x1 = x1;
    op.y1 = y1;
    ops_.push_back(op);
    pos_ = {x1, y1};
}

void TRecordingCanvas::Box(Kind kind, int left, int top, int right, int bottom)
{
    TCanvasOp op = Make(kind);
    op.x0 = left;
    op.y0 = top;
    op.x1 = right;
    op.y1 = bottom;
    ops_.push_back(op);
}

void TRecordingCanvas::Rectangle(int left, int top, int right, int bottom)
{
    Box(Kind::Rectangle, left, top, right, bottom);
}

void TRecordingCanvas::FillRect(const TRect& rect)
{
    Box(Kind::FillRect, rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void TRecordingCanvas::Polygon(const std::vector<TPoint>& points)
{
    TCanvasOp op = Make(Kind::Polygon);
    op.points = points;
    ops_.push_back(op);
}

void TRecordingCanvas::Ellipse(int left, int top, int right, int bottom)
{
    Box(Kind::Ellipse, left, top, right, bottom);
}

void TRecordingCanvas::TextOut(int x, int y, const std::string& text, THorizAlign h, TVertAlign v)
{
    TCanvasOp op = Make(Kind::Text);
    op.x0 = x;
    op.y0 = y;
    op.text = text;
    op.hAlign = h;
    op.vAlign = v;
    ops_.push_back(op);
}

void TRecordingCanvas::RotatedTextOut(int x, int y, const std::string& text, int angle)
{
    TCanvasOp op = Make(Kind::RotatedText);
    op.x0 = x;
    op.y0 = y;
    op.text = text;
    op.angle = angle;
    ops_.push_back(op);
}

int TRecordingCanvas::TextWidth(const std::string& text)
{
    if (Measure)
        return Measure(text, font_);
    int chars = static_cast<int>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    return chars * CharWidth * font_.Size / 8;
}

int TRecordingCanvas::FontHeight()
{
    return LineHeight * font_.Size / 8;
}

void TRecordingCanvas::ClipRectangle(const TRect& rect)
{
    clip_ = rect;
    TCanvasOp op = Make(Kind::Clip);
    op.x0 = rect.Left;
    op.y0 = rect.Top;
    op.x1 = rect.Right;
    op.y1 = rect.Bottom;
    ops_.push_back(op);
}

void TRecordingCanvas::UnClipRectangle()
{
    clip_.reset();
    ops_.push_back(Make(Kind::UnClip));
}

std::unique_ptr<TBitmap> TRecordingCanvas::CreateBitmap(int width, int height)
{
    auto bitmap = std::make_unique<TRecordingBitmap>(width, height);
    bitmap->Recording().CharWidth = CharWidth;
    bitmap->Recording().LineHeight = LineHeight;
    bitmap->Recording().Measure = Measure;
    return bitmap;
}

void TRecordingCanvas::Draw(int x, int y, TBitmap& bitmap)
{
    TCanvasOp op = Make(Kind::Blit);
    op.x0 = x;
    op.y0 = y;
    op.x1 = x + bitmap.Width();
    op.y1 = y + bitmap.Height();
    ops_.push_back(op);
}

int TRecordingCanvas::Count(Kind kind) const
{
    return static_cast<int>(
        std::count_if(ops_.begin(), ops_.end(), [&](const TCanvasOp& op) { return op.kind == kind; }));
}

std::vector<std::string> TRecordingCanvas::Texts() const
{
    std::vector<std::string> texts;
    for (const TCanvasOp& op : ops_)
        if (op.kind == Kind::Text)
            texts.push_back(op.text);
    return texts;
}

}  // namespace chart
