// The chart engine painting arbitrary series: NaN, infinities, huge and tiny
// values, equal X values, fixed axis ranges of any kind and charts of any
// size, down to none; then zoom, scroll, hit tests and another paint, all on
// the recording canvas. Also the window's fill of the measurement series and
// its mouse readout from a record of any content.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <limits>
#include <memory>

#include "chart/chart.h"
#include "chart/errors.h"
#include "display/main_charts.h"
#include "chart/recording_canvas.h"
#include "display/presentation.h"

namespace {

double Value(FuzzedDataProvider& in, int index)
{
    constexpr double kSpecial[] = {std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::max(),
                                   -std::numeric_limits<double>::max(),
                                   std::numeric_limits<double>::denorm_min(),
                                   1e-300,
                                   1e300,
                                   0.0,
                                   2147483648.0,
                                   -2147483649.0};
    const int pick = in.ConsumeIntegralInRange(0, 31);
    if (pick < static_cast<int>(std::size(kSpecial)))
        return kSpecial[pick];
    if (pick < 20)
        return index;  // the usual case: one point per sample
    if (pick < 24)
        return 7.0;  // equal values
    if (pick < 28)
        return in.ConsumeIntegralInRange(-1000, 1000) * 0.001;
    return in.ConsumeFloatingPoint<double>();
}

struct Host : chart::TChartHost {
    chart::TChart* chart = nullptr;
    chart::TRecordingCanvas live;
    int depth = 0;
    void InvalidateChart() override {}
    void RepaintChartNow() override
    {
        if (depth++ == 0)
            chart->Paint(live);
        --depth;
    }
    chart::TCanvas* LiveCanvas() override { return &live; }
};

void Paint(chart::TChart& chart, chart::TRecordingCanvas& canvas)
{
    canvas.Clear();
    chart.DrawTo(canvas, chart::TRect{0, 0, chart.Width(), chart.Height()});
}

void Axes(FuzzedDataProvider& in, chart::TChart& chart)
{
    for (int a = 0; a < 4; ++a) {
        chart::TChartAxis& axis = chart.Axis(a);
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
            axis.SetRange(Value(in, 0), Value(in, 400));
            break;
        case 1:
            axis.SetInverted(true);
            break;
        case 2:
            axis.SetLogarithmic(true);
            break;
        case 3:
            axis.SetIncrement(Value(in, 1));
            break;
        case 4:
            try {
                axis.SetMinimum(Value(in, 0));
                axis.SetMaximum(Value(in, 0));
            } catch (const chart::AxisException&) {
            }
            break;
        case 5:
            axis.SetLabelsAngle(90 * in.ConsumeIntegralInRange(0, 3));
            axis.SetLabelsMultiLine(in.ConsumeBool());
            axis.SetLabelsSeparation(in.ConsumeIntegralInRange(-5, 200));
            axis.SetMinorTickCount(in.ConsumeIntegralInRange(-1, 50));
            axis.SetTickLength(in.ConsumeIntegralInRange(-10, 50));
            break;
        case 6:
            axis.SetLabelStyle(static_cast<chart::TAxisLabelStyle>(in.ConsumeIntegralInRange(0, 4)));
            axis.SetAxisValuesFormat(in.ConsumeRandomLengthString(16));
            axis.Title().SetCaption(in.ConsumeRandomLengthString(16));
            axis.Title().SetAngle(90 * in.ConsumeIntegralInRange(0, 3));
            break;
        default:
            break;
        }
    }
    if (in.ConsumeBool())
        chart.Title().Text().SetText({in.ConsumeRandomLengthString(16), in.ConsumeRandomLengthString(16)});
}

void Mouse(FuzzedDataProvider& in, chart::TChart& chart)
{
    const int w = chart.Width() + 20, h = chart.Height() + 20;
    const int steps = in.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < steps; ++i) {
        const int x0 = in.ConsumeIntegralInRange(-10, w), y0 = in.ConsumeIntegralInRange(-10, h);
        const int x1 = in.ConsumeIntegralInRange(-10, w), y1 = in.ConsumeIntegralInRange(-10, h);
        const auto button = in.ConsumeBool() ? chart::TMouseButton::mbLeft : chart::TMouseButton::mbRight;
        chart::TShiftState held;
        held.Left = button == chart::TMouseButton::mbLeft;
        held.Right = !held.Left;
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            chart.MouseDown(button, held, x0, y0);
            chart.MouseMove(held, x1, y1);
            chart.MouseUp(button, {}, x1, y1);
            break;
        case 1:
            chart.MouseWheel(in.ConsumeBool());
            break;
        case 2:
            chart.ScrollAxis(chart.BottomAxis(), Value(in, 3), in.ConsumeBool());
            break;
        default:
            chart.ResetZoom();
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 2048)
        return 0;
    FuzzedDataProvider in(data, size);
    chart::TChart chart;
    Host host;
    host.chart = &chart;
    chart.SetHost(&host);
    auto& first = chart.AddSeries(std::make_unique<chart::TFastLineSeries>());
    display::ConfigureMeasurementChart(chart, first);
    chart.SetBounds(in.ConsumeIntegralInRange(0, 3000), in.ConsumeIntegralInRange(0, 3000));
    chart.SetBufferedDisplay(in.ConsumeBool());
    chart.SetAutoRepaint(true);
    const int extra = in.ConsumeIntegralInRange(0, 2);
    for (int s = 0; s < extra; ++s)
        chart.AddSeries(std::make_unique<chart::TFastLineSeries>());

    for (int s = 0; s < chart.SeriesCount(); ++s) {
        chart::TChartSeries& series = chart.Series(s);
        if (s > 0 && in.ConsumeBool())
            series.SetVertAxis(chart::TVertAxis::aRightAxis);
        const int points = in.ConsumeIntegralInRange(0, 300);
        for (int i = 0; i < points && in.remaining_bytes() > 0; ++i) {
            const double x = Value(in, i);
            const double y = Value(in, i);
            if (in.ConsumeIntegralInRange(0, 7) == 0)
                series.AddPoint(x, y, in.ConsumeRandomLengthString(12));
            else
                series.AddPoint(x, y);
        }
    }
    Axes(in, chart);

    chart::TRecordingCanvas canvas;
    Paint(chart, canvas);
    for (int s = 0; s < chart.SeriesCount(); ++s) {
        chart::TChartSeries& series = chart.Series(s);
        for (int i = 0; i < series.PointCount(); i += 7) {
            series.PointScreenX(i);
            series.PointScreenY(i);
        }
        series.Clicked(in.ConsumeIntegralInRange(-5, chart.Width() + 5),
                       in.ConsumeIntegralInRange(-5, chart.Height() + 5));
    }
    Mouse(in, chart);
    Paint(chart, canvas);
    chart.Paint(canvas);
    chart.RenderToBitmap(chart::clWhite, chart::TRect{0, 0, chart.Width(), chart.Height()});

    // The window's measurement series from a record of any content.
    analysis::MeasurementRecord record;
    record.SampleCount = in.ConsumeIntegralInRange(0, analysis::kSampleCapacity);
    for (int i = 0; i < record.SampleCount; ++i)
        record.Samples[static_cast<std::size_t>(i)] = in.ConsumeIntegral<std::uint16_t>();
    record.TimeMultiplier = in.ConsumeIntegral<std::uint8_t>();
    record.RangeIndex = in.ConsumeIntegral<std::uint8_t>();
    record.LuxFactor = static_cast<float>(Value(in, 1));
    record.SampleInterval = static_cast<float>(Value(in, 1));
    record.RangeDecade = analysis::RangeDecadeFor(record.RangeIndex);
    const analysis::NumberFormat nf{",", " "};
    const auto y = in.ConsumeBool() ? display::YUnits::Lux : display::YUnits::Converter;
    const auto x = in.ConsumeBool() ? display::XUnits::Time : display::XUnits::Samples;
    display::FillMeasurementSeries(first, record, record.LuxFactor * record.RangeDecade,
                                   record.TimeMultiplier * static_cast<double>(record.SampleInterval), nf);
    display::RefillMeasurementSeries(first, record, y, x, nf);
    Paint(chart, canvas);
    for (int i = 0; i < 4; ++i)
        display::MouseReadout(first, record, y, x, in.ConsumeIntegralInRange(-5, chart.Width() + 5),
                              in.ConsumeIntegralInRange(-5, chart.Height() + 5), chart.Height(), 20, nf);
    return 0;
}
