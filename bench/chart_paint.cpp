// Paints fast-line series of growing size into a 537 x 305 image, next to a
// plain QPainter polyline of the same points, and times the measurement
// chart with one measurement (405 points). Prints milliseconds per paint.
//
//   bench_chart_paint [--snapshot FILE.png]
// With --snapshot it also saves the measurement chart with a 400-point sine
// wave on a white background.

#include "display/main_charts.h"
#include "chart/qt/qt_canvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPointF>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>
#include "helpers/quiet_toolkit.h"

namespace {

constexpr int kWidth = 537;
constexpr int kHeight = 305;
constexpr double kPi = 3.14159265358979323846;

double SineAt(int i, int count)
{
    return 100 + 80 * std::sin(2 * kPi * 8.0 * i / count);
}

// Best of several runs, in milliseconds.
double TimeMs(const std::function<void()>& run)
{
    double best = 1e300;
    for (int k = 0; k < 15; ++k) {
        auto t0 = std::chrono::steady_clock::now();
        run();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

// A chart painting into its own image through one canvas kept between
// paints, as the widget keeps its buffer.
struct MeasurementChart {
    chart::TChart chart;
    chart::TFastLineSeries* series;
    QImage image{kWidth, kHeight, QImage::Format_RGB32};
    chart::qt::QtCanvas canvas{image};
    MeasurementChart()
    {
        series = &chart.AddSeries(std::make_unique<chart::TFastLineSeries>());
        display::ConfigureMeasurementChart(chart, *series);
        chart.SetBounds(kWidth, kHeight);
        chart.SetBufferedDisplay(false);
    }
    void Paint()
    {
        chart.DrawTo(canvas, chart::TRect{0, 0, kWidth, kHeight});
        canvas.End();
    }
};

void CompareWithPolyline(int count)
{
    MeasurementChart m;
    for (int i = 0; i < count; ++i)
        m.series->AddPoint(i, SineAt(i, count));
    m.Paint();  // lays out the axes for the polyline's mapping
    double engine = TimeMs([&] { m.Paint(); });

    // The same points already turned into pixels, drawn as one polyline.
    chart::TChartAxis& bottom = m.chart.BottomAxis();
    chart::TChartAxis& left = m.chart.LeftAxis();
    double sx = bottom.LengthPixels() / bottom.RangeLength();
    double sy = left.LengthPixels() / left.RangeLength();
    std::vector<QPointF> points(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        points[static_cast<std::size_t>(i)] = QPointF(bottom.StartPixel() + (i - bottom.Minimum()) * sx,
                                                      left.EndPixel() - (SineAt(i, count) - left.Minimum()) * sy);
    QImage plain(kWidth, kHeight, QImage::Format_RGB32);
    double polyline = TimeMs([&] {
        plain.fill(Qt::white);
        QPainter p(&plain);
        // The pen the chart's canvas uses for a one-pixel line.
        QPen pen(Qt::red, 1);
        pen.setCosmetic(true);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawPolyline(points.data(), count);
    });
    std::printf("%9d points: chart %8.3f ms  polyline %8.3f ms  polyline/chart %6.2f\n", count, engine, polyline,
                polyline / engine);
}

void MeasurementPaint()
{
    MeasurementChart m;
    // One measurement as the window shows it: time texts as point labels.
    for (int i = 0; i < 405; ++i)
        m.series->AddPoint(i, SineAt(i, 405) * 3.7, std::to_string(static_cast<int>(std::lround(i * 0.8))));
    m.Paint();
    double ms = TimeMs([&] { m.Paint(); });
    std::printf("Chart1, 405 points with time labels: %.3f ms per paint\n", ms);
}

bool Snapshot(const char* file)
{
    MeasurementChart m;
    for (int i = 0; i < 400; ++i)
        m.series->AddPoint(i * 0.5, SineAt(i, 400) * 10);
    m.chart.SetColor(chart::clWhite);
    m.Paint();
    return m.image.save(QString::fromLocal8Bit(file), "PNG");
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    test_support::QuietToolkit();
    QGuiApplication app(argc, argv);
    for (int count : {1000, 10000, 100000, 1000000})
        CompareWithPolyline(count);
    MeasurementPaint();
    if (argc == 3 && std::strcmp(argv[1], "--snapshot") == 0) {
        if (!Snapshot(argv[2])) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        std::printf("snapshot written to %s\n", argv[2]);
    }
    return 0;
}
