#pragma once
// A chart on a recording canvas with a host that counts paint requests.

#include "chart/chart.h"
#include "chart/recording_canvas.h"

#include <gtest/gtest.h>

namespace chart_test {

struct TestHost : chart::TChartHost {
    chart::TChart* chart = nullptr;
    chart::TRecordingCanvas live;
    int invalidations = 0;
    int repaints = 0;
    void InvalidateChart() override { ++invalidations; }
    void RepaintChartNow() override
    {
        ++repaints;
        chart->Paint(live);
    }
    chart::TCanvas* LiveCanvas() override { return &live; }
};

// A chart whose bottom axis spans exactly `width` pixels from x = 0: no
// margins, no left axis, drawn straight onto the recording canvas.
class ChartFixture : public ::testing::Test {
protected:
    void SetUpChart(int width, int height = 300)
    {
        host.chart = &chart;
        chart.SetHost(&host);
        chart.SetBounds(width, height);
        chart.SetMarginLeft(0);
        chart.SetMarginTop(0);
        chart.SetMarginRight(0);
        chart.SetMarginBottom(0);
        chart.SetBufferedDisplay(false);
        chart.LeftAxis().SetVisible(false);
    }
    chart::TFastLineSeries& AddLine() { return chart.AddSeries(std::make_unique<chart::TFastLineSeries>()); }
    // Every label and title 20 pixels wide, as the label step cases assume.
    void FixedTextWidth(int width)
    {
        canvas.Measure = [width](const std::string&, const chart::TFontSpec&) { return width; };
    }
    void Paint()
    {
        canvas.Clear();
        chart.DrawTo(canvas, chart::TRect{0, 0, chart.Width(), chart.Height()});
    }
    // Upright texts drawn at the bottom axis' label row.
    std::vector<std::string> BottomLabels()
    {
        std::vector<std::string> out;
        for (const auto& op : canvas.Ops())
            if (op.kind == chart::TCanvasOp::Kind::Text && op.y0 == chart.BottomAxis().PosLabels())
                out.push_back(op.text);
        return out;
    }
    // Line drawing operations made while the series clip was set.
    int ClippedLineOps() const
    {
        int n = 0;
        for (const auto& op : canvas.Ops())
            if (op.clip && (op.kind == chart::TCanvasOp::Kind::LineTo || op.kind == chart::TCanvasOp::Kind::Line))
                ++n;
        return n;
    }

    chart::TChart chart;
    chart::TRecordingCanvas canvas;
    TestHost host;
};

}  // namespace chart_test
