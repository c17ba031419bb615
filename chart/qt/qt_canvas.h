#pragma once
// The chart canvas on a QImage, drawn with QPainter; or on any paint device
// through a painter that is already drawing on it (a PDF page, a printer),
// which keeps the drawing vector.

#include "chart/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPolygon>
#include <QPainter>
#include <QRect>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace chart::qt {

// Draws on an image owned elsewhere. The painter is opened on first use and
// closed by End(), which must be called before the image is read.
class QtCanvas : public TCanvas {
public:
    explicit QtCanvas(QImage& image);
    // Draws through `painter`, which must stay active while the canvas is
    // used. The painter's state is saved at the first drawing and restored by
    // End(); its transformation places and scales the chart.
    explicit QtCanvas(QPainter& painter);
    ~QtCanvas() override;
    QtCanvas(const QtCanvas&) = delete;
    QtCanvas& operator=(const QtCanvas&) = delete;

    void End();
    // Keeps the area drawn on, for a canvas on a visible surface.
    void SetTrackTouched(bool track) { trackTouched_ = track; }
    // The area drawn on since the last call.
    QRect TakeTouched();
    QImage& Image() { return *image_; }  // an image canvas only

    void SetPen(const TPenSpec& pen) override;
    void SetBrush(TColor color, TBrushStyle style) override;
    void SetFont(const TFontSpec& font) override;
    void SetTextBackground(bool transparent, TColor color) override;
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

    // The installed font that stands in for a font name of the chart's settings.
    static QString SubstituteFamily(const std::string& name);
    static QFont MakeFont(const TFontSpec& spec);

private:
    QPainter& P();
    // Consecutive LineTo calls are drawn as one polyline, which QPainter
    // draws much faster than the same lines one by one.
    void Flush();
    void ApplyPen();
    void ApplyBrush();
    void ApplyFont();
    void ApplyBackground();
    void ApplyClip();
    void Touch(const QRect& r);

    bool Active() const { return external_ ? externalStarted_ : painter_.isActive(); }
    // Composition modes other than source-over are for the raster images only.
    void SetComposition(QPainter& p, QPainter::CompositionMode mode);

    QImage* image_ = nullptr;
    QPainter painter_;
    QPainter* external_ = nullptr;
    bool externalStarted_ = false;
    TPenSpec pen_;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = TBrushStyle::bsSolid;
    // A font with its metrics and the widths of the texts measured in it;
    // labels and titles repeat from paint to paint.
    struct FontEntry {
        explicit FontEntry(const TFontSpec& spec) : font(MakeFont(spec)), metrics(font) {}
        QFont font;
        QFontMetrics metrics;
        std::unordered_map<std::string, int> widths;
    };
    FontEntry& Font();

    TFontSpec fontSpec_;
    std::unordered_map<std::string, std::unique_ptr<FontEntry>> fonts_;
    FontEntry* font_ = nullptr;
    bool transparentText_ = true;
    TColor textBack_ = clWhite;
    QPoint pos_;
    QPolygon pending_;
    std::optional<QRect> clip_;
    QRect touched_;
    bool trackTouched_ = false;
};

class QtBitmap : public TBitmap {
public:
    QtBitmap(int width, int height);
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    TCanvas& Canvas() override { return canvas_; }
    // The picture, with all drawing finished.
    const QImage& Image()
    {
        canvas_.End();
        return image_;
    }

private:
    QImage image_;
    QtCanvas canvas_;
};

QColor ToQColor(TColor color);

}  // namespace chart::qt
