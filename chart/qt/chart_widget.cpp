#include "chart/qt/chart_widget.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

namespace chart::qt {

namespace {

std::optional<TMouseButton> ToButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return TMouseButton::mbLeft;
    case Qt::RightButton:
        return TMouseButton::mbRight;
    case Qt::MiddleButton:
        return TMouseButton::mbMiddle;
    default:
        return std::nullopt;
    }
}

TShiftState ToShift(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons)
{
    TShiftState s;
    s.Shift = keys.testFlag(Qt::ShiftModifier);
    s.Ctrl = keys.testFlag(Qt::ControlModifier);
    s.Alt = keys.testFlag(Qt::AltModifier);
    s.Left = buttons.testFlag(Qt::LeftButton);
    s.Right = buttons.testFlag(Qt::RightButton);
    s.Middle = buttons.testFlag(Qt::MiddleButton);
    return s;
}

}  // namespace

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    // The chart paints every pixel itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    chart_.SetHost(this);
    chart_.SetClipboardTarget(&clipboard_);
    chart_.SetBounds(width(), height());
}

ChartWidget::~ChartWidget()
{
    chart_.SetHost(nullptr);
}

void ChartWidget::InvalidateChart()
{
    update();
}

void ChartWidget::RepaintChartNow()
{
    repaint();
}

TCanvas* ChartWidget::LiveCanvas()
{
    EnsureSurface();
    return surfaceCanvas_.get();
}

QImage ChartWidget::Surface()
{
    EnsureSurface();
    surfaceCanvas_->End();
    return surface_;
}

void ChartWidget::EnsureSurface()
{
    QSize size(std::max(1, width()), std::max(1, height()));
    if (surfaceCanvas_ && surface_.size() == size)
        return;
    surfaceCanvas_.reset();
    surface_ = QImage(size, QImage::Format_RGB32);
    surface_.fill(Qt::white);
    surfaceCanvas_ = std::make_unique<QtCanvas>(surface_);
    surfaceCanvas_->SetTrackTouched(true);
    chart_.SetBounds(width(), height());
    chart_.Invalidate();
}

void ChartWidget::FlushLive()
{
    if (!surfaceCanvas_)
        return;
    QRect touched = surfaceCanvas_->TakeTouched();
    if (!touched.isEmpty())
        update(touched);
}

void ChartWidget::paintEvent(QPaintEvent* event)
{
    EnsureSurface();
    // Unchanged, the surface already holds the picture (and any zoom frame).
    if (chart_.BufferDirty())
        chart_.Paint(*surfaceCanvas_);
    surfaceCanvas_->End();
    surfaceCanvas_->TakeTouched();
    QPainter painter(this);
    painter.drawImage(event->rect(), surface_, event->rect());
}

void ChartWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    chart_.SetBounds(width(), height());
}

void ChartWidget::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    if (auto button = ToButton(event->button())) {
        QPoint p = event->position().toPoint();
        chart_.MouseDown(*button, ToShift(event->modifiers(), event->buttons()), p.x(), p.y());
        FlushLive();
    }
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    QPoint p = event->position().toPoint();
    emit mouseMoved(p.x(), p.y());
    chart_.MouseMove(ToShift(event->modifiers(), event->buttons()), p.x(), p.y());
    FlushLive();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (auto button = ToButton(event->button())) {
        QPoint p = event->position().toPoint();
        chart_.MouseUp(*button, ToShift(event->modifiers(), event->buttons()), p.x(), p.y());
        FlushLive();
    }
}

void ChartWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    chart_.DblClick();
    emit doubleClicked();
}

void ChartWidget::wheelEvent(QWheelEvent* event)
{
    // One scroll step per notch of 120; finer wheels add up to notches.
    wheelRemainder_ += event->angleDelta().y();
    while (wheelRemainder_ >= 120) {
        wheelRemainder_ -= 120;
        chart_.MouseWheel(false);
    }
    while (wheelRemainder_ <= -120) {
        wheelRemainder_ += 120;
        chart_.MouseWheel(true);
    }
    event->accept();
}

}  // namespace chart::qt
