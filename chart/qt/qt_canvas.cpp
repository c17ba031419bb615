#include "chart/qt/qt_canvas.h"

#include "chart/qt/vector_state.h"

#include <QPen>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace chart::qt {

QColor ToQColor(TColor color)
{
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

namespace {

// Orders a box's corners; false when it holds no pixel.
bool OrderBox(int& left, int& top, int& right, int& bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    return right - left >= 1 && bottom - top >= 1;
}

}  // namespace

QtCanvas::QtCanvas(QImage& image) : image_(&image) {}

QtCanvas::QtCanvas(QPainter& painter) : external_(&painter) {}

void QtCanvas::SetComposition(QPainter& p, QPainter::CompositionMode mode)
{
    if (!external_)
        p.setCompositionMode(mode);
}

QtCanvas::~QtCanvas()
{
    End();
}

void QtCanvas::Flush()
{
    if (pending_.size() >= 2)
        P().drawPolyline(pending_);
    pending_.clear();
}

void QtCanvas::End()
{
    VectorStateGuard vectorState;
    Flush();
    if (external_) {
        if (externalStarted_)
            external_->restore();
        externalStarted_ = false;
    } else if (painter_.isActive()) {
        painter_.end();
    }
}

QRect QtCanvas::TakeTouched()
{
    QRect r = image_ ? touched_.intersected(image_->rect()) : touched_;
    touched_ = QRect();
    return r;
}

void QtCanvas::Touch(const QRect& r)
{
    if (!trackTouched_)
        return;
    int grow = std::max(1, pen_.Width);
    touched_ = touched_.united(r.normalized().adjusted(-grow, -grow, grow, grow));
}

QPainter& QtCanvas::P()
{
    if (external_) {
        if (!externalStarted_) {
            external_->save();
            externalStarted_ = true;
            ApplyPen();
            ApplyBrush();
            ApplyFont();
            ApplyBackground();
            ApplyClip();
        }
        return *external_;
    }
    if (!painter_.isActive()) {
        painter_.begin(image_);
        ApplyPen();
        ApplyBrush();
        ApplyFont();
        ApplyBackground();
        ApplyClip();
    }
    return painter_;
}

QString QtCanvas::SubstituteFamily(const std::string& name)
{
    // Metric-compatible stand-ins, so that texts fit the room measured for them.
    if (name == "Arial" || name == "MS Sans Serif" || name == "Tahoma" || name == "Helvetica")
        return QStringLiteral("Liberation Sans");
    if (name == "Times New Roman")
        return QStringLiteral("Liberation Serif");
    if (name == "Courier New")
        return QStringLiteral("Liberation Mono");
    return QString::fromStdString(name);
}

QFont QtCanvas::MakeFont(const TFontSpec& spec)
{
    QFont font(SubstituteFamily(spec.Name));
    // Points at the 96 dpi the layout was made for.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(spec.Size * 96.0 / 72.0))));
    font.setBold(spec.Bold);
    font.setItalic(spec.Italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void QtCanvas::ApplyPen()
{
    if (!Active())
        return;
    QPainter& painter = external_ ? *external_ : painter_;
    if (pen_.Style == TPenStyle::psClear) {
        painter.setPen(Qt::NoPen);
    } else {
        QPen pen(ToQColor(pen_.Color));
        pen.setWidth(std::max(1, pen_.Width));
        // One-pixel lines as the raster engine's fast cosmetic lines.
        pen.setCosmetic(pen_.Width <= 1 && !external_);
        pen.setCapStyle(pen_.Width > 1 ? Qt::RoundCap : Qt::FlatCap);
        pen.setJoinStyle(Qt::RoundJoin);
        if (pen_.Style == TPenStyle::psDot)
            pen.setDashPattern(pen_.SmallDots || pen_.Width == 1 ? QVector<qreal>{1, 1} : QVector<qreal>{1, 2});
        else if (pen_.Style == TPenStyle::psDash)
            pen.setDashPattern(QVector<qreal>{6, 2});
        painter.setPen(pen);
    }
    SetComposition(painter, pen_.Mode == TPenMode::pmNotXor ? QPainter::RasterOp_NotSourceXorDestination
                                                            : QPainter::CompositionMode_SourceOver);
}

void QtCanvas::ApplyBrush()
{
    if (!Active())
        return;
    QPainter& painter = external_ ? *external_ : painter_;
    if (brushStyle_ == TBrushStyle::bsClear)
        painter.setBrush(Qt::NoBrush);
    else
        painter.setBrush(ToQColor(brushColor_));
}

void QtCanvas::ApplyFont()
{
    if (Active())
        (external_ ? *external_ : painter_).setFont(Font().font);
}

QtCanvas::FontEntry& QtCanvas::Font()
{
    if (!font_) {
        std::string key = fontSpec_.Name + '\x1f' + std::to_string(fontSpec_.Size) + (fontSpec_.Bold ? "b" : "") +
                          (fontSpec_.Italic ? "i" : "");
        auto& entry = fonts_[key];
        if (!entry)
            entry = std::make_unique<FontEntry>(fontSpec_);
        font_ = entry.get();
    }
    return *font_;
}

void QtCanvas::ApplyBackground()
{
    if (!Active())
        return;
    QPainter& painter = external_ ? *external_ : painter_;
    painter.setBackgroundMode(transparentText_ ? Qt::TransparentMode : Qt::OpaqueMode);
    painter.setBackground(ToQColor(textBack_));
}

void QtCanvas::ApplyClip()
{
    if (!Active())
        return;
    QPainter& painter = external_ ? *external_ : painter_;
    if (clip_)
        painter.setClipRect(*clip_);
    else
        painter.setClipping(false);
}

void QtCanvas::SetPen(const TPenSpec& pen)
{
    VectorStateGuard vectorState;
    if (pen == pen_ && Active())
        return;
    Flush();
    pen_ = pen;
    ApplyPen();
}

void QtCanvas::SetBrush(TColor color, TBrushStyle style)
{
    VectorStateGuard vectorState;
    Flush();
    brushColor_ = color;
    brushStyle_ = style;
    ApplyBrush();
}

void QtCanvas::SetFont(const TFontSpec& font)
{
    VectorStateGuard vectorState;
    if (font == fontSpec_)
        return;
    bool sameFace = font.Name == fontSpec_.Name && font.Size == fontSpec_.Size && font.Bold == fontSpec_.Bold &&
                    font.Italic == fontSpec_.Italic;
    fontSpec_ = font;
    if (!sameFace) {
        font_ = nullptr;
        ApplyFont();
    }
}

void QtCanvas::SetTextBackground(bool transparent, TColor color)
{
    VectorStateGuard vectorState;
    Flush();
    transparentText_ = transparent;
    textBack_ = color;
    ApplyBackground();
}

void QtCanvas::MoveTo(int x, int y)
{
    VectorStateGuard vectorState;
    Flush();
    pos_ = QPoint(x, y);
}

void QtCanvas::LineTo(int x, int y)
{
    QPoint to(x, y);
    Touch(QRect(pos_, to));
    if (pen_.Mode == TPenMode::pmNotXor) {
        // Joints of a polyline are drawn once; in not-XOR mode that differs from single lines.
        P().drawLine(pos_, to);
    } else {
        if (pending_.isEmpty())
            pending_ << pos_;
        pending_ << to;
    }
    pos_ = to;
}

void QtCanvas::Line(int x0, int y0, int x1, int y1)
{
    VectorStateGuard vectorState;
    Flush();
    P().drawLine(x0, y0, x1, y1);
    Touch(QRect(QPoint(x0, y0), QPoint(x1, y1)));
    pos_ = QPoint(x1, y1);
}

void QtCanvas::Rectangle(int left, int top, int right, int bottom)
{
    VectorStateGuard vectorState;
    Flush();
    if (!OrderBox(left, top, right, bottom))
        return;
    QPainter& p = P();
    if (brushStyle_ == TBrushStyle::bsSolid)
        p.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(brushColor_));
    if (pen_.Style != TPenStyle::psClear) {
        p.save();
        p.setBrush(Qt::NoBrush);
        p.drawRect(left, top, right - left - 1, bottom - top - 1);
        p.restore();
    }
    Touch(QRect(left, top, right - left, bottom - top));
}

void QtCanvas::FillRect(const TRect& rect)
{
    VectorStateGuard vectorState;
    Flush();
    QRect r(rect.Left, rect.Top, rect.Width(), rect.Height());
    QPainter& p = P();
    QPainter::CompositionMode mode = p.compositionMode();
    SetComposition(p, QPainter::CompositionMode_Source);
    p.fillRect(r, ToQColor(brushColor_));
    SetComposition(p, mode);
    Touch(r);
}

void QtCanvas::Polygon(const std::vector<TPoint>& points)
{
    VectorStateGuard vectorState;
    Flush();
    if (points.size() < 3)
        return;
    QPolygon polygon;
    polygon.reserve(static_cast<int>(points.size()));
    for (const TPoint& pt : points)
        polygon << QPoint(pt.X, pt.Y);
    QPainter& p = P();
    p.drawPolygon(polygon);
    Touch(polygon.boundingRect());
}

void QtCanvas::Ellipse(int left, int top, int right, int bottom)
{
    VectorStateGuard vectorState;
    Flush();
    if (!OrderBox(left, top, right, bottom))
        return;
    QPainter& p = P();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.drawEllipse(QRectF(left, top, right - left - 1, bottom - top - 1));
    p.restore();
    Touch(QRect(left, top, right - left, bottom - top));
}

void QtCanvas::TextOut(int x, int y, const std::string& text, THorizAlign h, TVertAlign v)
{
    VectorStateGuard vectorState;
    Flush();
    int w = TextWidth(text);
    QString s = QString::fromStdString(text);
    const QFontMetrics& fm = Font().metrics;
    if (h == THorizAlign::Right)
        x -= w;
    else if (h == THorizAlign::Center)
        x -= w / 2;
    int top = v == TVertAlign::Top ? y : y - fm.height();
    QPainter& p = P();
    QPen pen = p.pen();
    QPainter::CompositionMode mode = p.compositionMode();
    SetComposition(p, QPainter::CompositionMode_SourceOver);
    if (!transparentText_)
        p.fillRect(QRect(x, top, w, fm.height()), ToQColor(textBack_));
    p.setPen(ToQColor(fontSpec_.Color));
    p.drawText(x, top + fm.ascent(), s);
    p.setPen(pen);
    SetComposition(p, mode);
    Touch(QRect(x, top, w, fm.height()));
}

void QtCanvas::RotatedTextOut(int x, int y, const std::string& text, int angle)
{
    VectorStateGuard vectorState;
    Flush();
    QString s = QString::fromStdString(text);
    const QFontMetrics& fm = Font().metrics;
    QPainter& p = P();
    p.save();
    SetComposition(p, QPainter::CompositionMode_SourceOver);
    p.setPen(ToQColor(fontSpec_.Color));
    p.translate(x, y);
    p.rotate(-angle);
    if (!transparentText_)
        p.fillRect(QRect(0, 0, fm.horizontalAdvance(s), fm.height()), ToQColor(textBack_));
    p.drawText(0, fm.ascent(), s);
    p.restore();
    int w = fm.horizontalAdvance(s);
    int extent = std::max(w, fm.height());
    Touch(QRect(x - extent, y - extent, 2 * extent, 2 * extent));
}

int QtCanvas::TextWidth(const std::string& text)
{
    VectorStateGuard vectorState;
    FontEntry& f = Font();
    auto it = f.widths.find(text);
    if (it != f.widths.end())
        return it->second;
    if (f.widths.size() > 4096)
        f.widths.clear();
    int w = f.metrics.horizontalAdvance(QString::fromStdString(text));
    f.widths.emplace(text, w);
    return w;
}

int QtCanvas::FontHeight()
{
    VectorStateGuard vectorState;
    return Font().metrics.height();
}

void QtCanvas::ClipRectangle(const TRect& rect)
{
    VectorStateGuard vectorState;
    Flush();
    clip_ = QRect(rect.Left, rect.Top, rect.Width(), rect.Height());
    ApplyClip();
}

void QtCanvas::UnClipRectangle()
{
    VectorStateGuard vectorState;
    Flush();
    clip_.reset();
    ApplyClip();
}

std::unique_ptr<TBitmap> QtCanvas::CreateBitmap(int width, int height)
{
    return std::make_unique<QtBitmap>(width, height);
}

void QtCanvas::Draw(int x, int y, TBitmap& bitmap)
{
    VectorStateGuard vectorState;
    Flush();
    auto* qb = dynamic_cast<QtBitmap*>(&bitmap);
    if (!qb)
        return;
    const QImage& picture = qb->Image();
    QPainter& p = P();
    QPainter::CompositionMode mode = p.compositionMode();
    SetComposition(p, QPainter::CompositionMode_Source);
    p.drawImage(x, y, picture);
    SetComposition(p, mode);
    Touch(QRect(x, y, picture.width(), picture.height()));
}

QtBitmap::QtBitmap(int width, int height)
    : image_(std::max(1, width), std::max(1, height), QImage::Format_RGB32), canvas_(image_)
{
    image_.fill(Qt::white);
}

}  // namespace chart::qt
