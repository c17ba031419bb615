#pragma once
// A Qt widget that shows a chart: it paints the chart through a QImage
// surface, hands mouse, wheel and double-click events to it, and gives it a
// live canvas for the zoom frame. Child widgets may be placed on it.

#include "chart/chart.h"
#include "chart/qt/qt_canvas.h"
#include "chart/qt/qt_clipboard.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace chart::qt {

class ChartWidget : public QWidget, public TChartHost {
    Q_OBJECT

public:
    explicit ChartWidget(QWidget* parent = nullptr);
    ~ChartWidget() override;

    TChart& Chart() { return chart_; }

    void InvalidateChart() override;
    void RepaintChartNow() override;
    TCanvas* LiveCanvas() override;

    // What is on screen, as the widget last showed it.
    QImage Surface();

signals:
    void doubleClicked();
    void mouseMoved(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void EnsureSurface();
    // Shows what was drawn on the live canvas outside a paint.
    void FlushLive();

    TChart chart_;
    QtClipboardTarget clipboard_;
    QImage surface_;
    std::unique_ptr<QtCanvas> surfaceCanvas_;
    int wheelRemainder_ = 0;
};

}  // namespace chart::qt
