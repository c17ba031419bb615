#pragma once
// The drawing surface the chart engine paints on.
//
// The engine never talks to a windowing toolkit directly: everything it draws
// goes through TCanvas, which offers just what a 2-D chart needs (pens,
// brushes, fonts with metrics, lines, rectangles, aligned and rotated text,
// clipping, off-screen bitmaps and block copies). A toolkit adapter and a
// recording canvas for tests implement it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace chart {

// Colours are stored blue-green-red: 0x00BBGGRR.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGreen = 0x008000;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
// "No colour of its own": a point with it takes the series colour.
constexpr TColor clDefaultPoint = 0x20000000;
// "Use the default of the object": e.g. a grid pen drawn grey.
constexpr TColor clDefault = 0x20000040;

constexpr int RedOf(TColor c)
{
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(TColor c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(TColor c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}
constexpr TColor RGBColor(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

enum class TPenStyle { psSolid, psDot, psDash, psClear };
enum class TPenMode { pmCopy, pmNotXor };
enum class TBrushStyle { bsSolid, bsClear };

struct TPenSpec {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
    TPenMode Mode = TPenMode::pmCopy;
    // A one-pixel dotted pen drawn as alternating pixels rather than the
    // toolkit's own dash pattern.
    bool SmallDots = false;
    bool operator==(const TPenSpec&) const = default;
};

struct TFontSpec {
    std::string Name = "Arial";
    int Size = 8;  // points
    TColor Color = clBlack;
    bool Bold = false;
    bool Italic = false;
    bool operator==(const TFontSpec&) const = default;
};

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

// Right and bottom are exclusive, as for a window's client rectangle.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    bool operator==(const TRect&) const = default;
};

enum class THorizAlign { Left, Center, Right };
enum class TVertAlign { Top, Bottom };

class TCanvas;

// An off-screen picture with a canvas of its own.
class TBitmap {
public:
    virtual ~TBitmap() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual TCanvas& Canvas() = 0;
};

class TCanvas {
public:
    virtual ~TCanvas() = default;

    virtual void SetPen(const TPenSpec& pen) = 0;
    virtual void SetBrush(TColor color, TBrushStyle style) = 0;
    virtual void SetFont(const TFontSpec& font) = 0;
    // Whether text cells are filled with `color` behind the glyphs.
    virtual void SetTextBackground(bool transparent, TColor color) = 0;

    virtual void MoveTo(int x, int y) = 0;
    // Draws from the current position to (x, y), which becomes the current position.
    virtual void LineTo(int x, int y) = 0;
    virtual void Line(int x0, int y0, int x1, int y1) = 0;
    virtual void HorizLine(int x0, int x1, int y) { Line(x0, y, x1, y); }
    virtual void VertLine(int x, int y0, int y1) { Line(x, y0, x, y1); }
    // Outline with the pen (left..right-1, top..bottom-1), interior with the brush unless clear.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    // Fills with the brush colour, whatever the brush style.
    virtual void FillRect(const TRect& rect) = 0;
    // A closed polygon: interior with the brush unless clear, outline with the pen.
    virtual void Polygon(const std::vector<TPoint>& points) = 0;
    // The ellipse inside the box (left..right-1, top..bottom-1), brush and pen as a rectangle.
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;

    virtual void TextOut(int x, int y, const std::string& text, THorizAlign h, TVertAlign v) = 0;
    // Text turned counter-clockwise by `angle` degrees about (x, y), which is
    // the top-left corner of the text in its own turned frame.
    virtual void RotatedTextOut(int x, int y, const std::string& text, int angle) = 0;
    virtual int TextWidth(const std::string& text) = 0;
    virtual int FontHeight() = 0;

    virtual void ClipRectangle(const TRect& rect) = 0;
    virtual void UnClipRectangle() = 0;

    virtual std::unique_ptr<TBitmap> CreateBitmap(int width, int height) = 0;
    // Copies a bitmap made by this canvas' CreateBitmap with its top-left at (x, y).
    virtual void Draw(int x, int y, TBitmap& bitmap) = 0;
};

// Where a chart puts its picture for other programs.
class TClipboardTarget {
public:
    virtual ~TClipboardTarget() = default;
    virtual void SetPicture(TBitmap& picture) = 0;
};

}  // namespace chart
