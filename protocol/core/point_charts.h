#pragma once
// The charts of the protocol's points, built on the chart engine for the
// window and the paper alike: the waveform and the amplitude spectrum of one
// point, and the IEEE 1789 chart of all points of the folder with its
// no-effect and low-risk regions.

#include <string>
#include <vector>

#include "analysis/number_format.h"
#include "chart/chart.h"
#include "protocol/core/comparison.h"
#include "protocol/core/protocol.h"

namespace chart {
class TArrowSeries;
}

namespace protocol {

// White, flat, no legend; the axes' labels in plain numbers.
void SetUpPointChart(chart::TChart& chart);

// Lux against milliseconds over the stretch the metrics use.
class WaveformChart {
public:
    explicit WaveformChart(chart::TChart& chart);
    // Shows the row's waveform, or says why there is none (null: no row).
    void Show(const ProtocolRow* row);

private:
    chart::TChart& chart_;
    chart::TFastLineSeries* line_;
};

// Bars of the amplitude spectrum in percent of the mean, the bar of F marked;
// up to 2000 Hz or the tenth harmonic of F (no further than half the
// sampling rate).
class SpectrumChart {
public:
    SpectrumChart(chart::TChart& chart, analysis::NumberFormat nf);
    void Show(const ProtocolRow* row);
    static constexpr chart::TColor kBarColor = 0xB07040;  // blue-grey
    static constexpr chart::TColor kFrequencyColor = chart::clRed;

private:
    chart::TChart& chart_;
    chart::TBarSeries* bars_;
    analysis::NumberFormat nf_;
};

// Modulation (PF, %) against frequency, both logarithmic, 1 .. 3000 Hz and
// 0.1 .. 100 %; every point with an F a dot numbered as its row, the selected
// one larger and on top (a series of its own).
class Ieee1789Chart {
public:
    explicit Ieee1789Chart(chart::TChart& chart);
    // `selected`: index into `rows`, or -1.
    void Show(const std::vector<ProtocolRow>& rows, int selected);
    // The row of a point that chart's click reported, or -1.
    int RowOfPoint(const chart::TChartSeries& series, int index) const;

    // The regions' corners (frequency, PF) with the limits of analysis::ClassifyIeee1789.
    static const std::vector<std::pair<double, double>>& NoEffectRegion();
    static const std::vector<std::pair<double, double>>& LowRiskRegion();

private:
    chart::TChart& chart_;
    chart::TPointSeries* points_;
    chart::TPointSeries* selected_;
    std::vector<int> rowOfPoint_;
    int selectedRow_ = -1;
};

// The IEEE 1789 chart of a comparison, on the axes and regions of
// Ieee1789Chart: each matched point with an F in both surveys an arrow from
// its "до" position to its "после" position, numbered as its row of the
// comparison table (1, 2, ...); the arrow of the selected row red and on top
// (a series of its own), the title saying its classes before and after.
class Ieee1789ComparisonChart {
public:
    explicit Ieee1789ComparisonChart(chart::TChart& chart);
    // `selected`: index into comparison.points, or -1.
    void Show(const Comparison& comparison, int selected = -1);
    // The row of an arrow that chart's click reported, or -1.
    int RowOfArrow(const chart::TChartSeries& series, int index) const;

private:
    chart::TChart& chart_;
    chart::TArrowSeries* arrows_;
    chart::TArrowSeries* selected_;
    std::vector<int> rowOfArrow_;
    int selectedRow_ = -1;
};

}  // namespace protocol
