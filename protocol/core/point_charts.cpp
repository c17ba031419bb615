#include "protocol/core/point_charts.h"

#include <algorithm>
#include <memory>

#include "analysis/flicker.h"
#include "chart/arrow_series.h"

namespace protocol {

namespace {

constexpr chart::TColor kNoEffectColor = chart::RGBColor(196, 234, 196);
constexpr chart::TColor kLowRiskColor = chart::RGBColor(252, 238, 178);
constexpr chart::TColor kPointColor = chart::RGBColor(20, 40, 140);

template <class Series>
Series& AddSeries(chart::TChart& chart)
{
    auto& s = chart.AddSeries(std::make_unique<Series>());
    s.SetShowInLegend(false);
    s.Marks.Visible = false;
    return s;
}

void SetTitle(chart::TChart& chart, std::vector<std::string> lines)
{
    chart.Title().Text().SetText(std::move(lines));
}

}  // namespace

void SetUpPointChart(chart::TChart& chart)
{
    chart.SetView3D(false);
    chart.SetBevelOuter(chart::TBevelCut::bvNone);
    chart.SetColor(chart::clWhite);
    chart.Legend().Visible = false;
    chart.Title().Font().SetColor(chart::clBlack);
    chart.SetMarginLeft(1);
    chart.SetMarginRight(3);
    chart.SetMarginTop(3);
    chart.SetMarginBottom(2);
    for (chart::TChartAxis* axis : {&chart.LeftAxis(), &chart.BottomAxis()}) {
        axis->Grid().SetColor(chart::clSilver);
        axis->SetAxisValuesFormat("0.###");
    }
}

WaveformChart::WaveformChart(chart::TChart& chart) : chart_(chart), line_(&AddSeries<chart::TFastLineSeries>(chart))
{
    line_->SetSeriesColor(chart::clRed);
    chart_.BottomAxis().Title().SetCaption("Время, мс");
    chart_.LeftAxis().Title().SetCaption("E, лк");
}

void WaveformChart::Show(const ProtocolRow* row)
{
    line_->ClearPoints();
    if (!row || !row->Usable()) {
        SetTitle(chart_, {"Осциллограмма", row ? "нет данных: " + row->Conclusion() : ""});
        return;
    }
    const auto& rec = row->record;
    const double ms = static_cast<double>(rec.TimeMultiplier) * rec.SampleInterval;
    const double lux = static_cast<double>(rec.LuxFactor) * rec.RangeDecade;
    for (int i = 0; i < row->metrics.stretchSamples; ++i)
        line_->AddPoint(i * ms, rec.Samples[static_cast<std::size_t>(i)] * lux);
    SetTitle(chart_, {"Осциллограмма точки " + std::to_string(row->number)});
}

SpectrumChart::SpectrumChart(chart::TChart& chart, analysis::NumberFormat nf)
    : chart_(chart), bars_(&AddSeries<chart::TBarSeries>(chart)), nf_(std::move(nf))
{
    bars_->SetSeriesColor(kBarColor);
    chart_.BottomAxis().Title().SetCaption("Частота, Гц");
    chart_.LeftAxis().Title().SetCaption("% от среднего");
    // Bars rise from 0 and stand between 0 Hz and half the sampling rate.
    chart_.LeftAxis().SetAutomaticMinimum(false);
    chart_.LeftAxis().SetMinimum(0);
}

void SpectrumChart::Show(const ProtocolRow* row)
{
    bars_->ClearPoints();
    chart_.BottomAxis().SetAutomatic(true);
    chart_.LeftAxis().SetAutomaticMaximum(true);
    if (!row || !row->Usable()) {
        SetTitle(chart_, {"Спектр", row ? "нет данных: " + row->Conclusion() : ""});
        return;
    }
    const analysis::FlickerSpectrum s = analysis::ComputeFlickerSpectrum(row->record);
    // The bar nearest to F in its colour.
    std::size_t marked = s.lines.size();
    if (s.frequency && !s.harmonics.empty())
        for (std::size_t k = 0; k < s.lines.size(); ++k)
            if (marked == s.lines.size() ||
                std::abs(s.lines[k].hz - *s.frequency) < std::abs(s.lines[marked].hz - *s.frequency))
                marked = k;
    for (std::size_t k = 0; k < s.lines.size(); ++k)
        bars_->AddPoint(s.lines[k].hz, s.lines[k].percent, {}, k == marked ? kFrequencyColor : chart::clDefaultPoint);
    // The band of SVM or ten harmonics; the rest by panning.
    const double upper = std::max(2000.0, s.frequency ? 10 * *s.frequency : 0.0);
    chart_.BottomAxis().SetRange(0, std::min(s.nyquistHz, upper));
    // Steady light: a scale of 1 % rather than one of nothing.
    if (bars_->YValues().Highest() < 1) {
        chart_.LeftAxis().SetAutomaticMaximum(false);
        chart_.LeftAxis().SetMaximum(1);
    }
    SetTitle(chart_, {"Спектр точки " + std::to_string(row->number) + ", % от среднего",
                      s.frequency ? "F = " + analysis::FormatFixed(*s.frequency, 1, nf_) + " Гц (красный столбец)"
                                  : "преобладающей частоты нет"});
}

namespace {

// The area under a class's bound, from 0.1 Hz to 3000 Hz: the two slopes
// meeting at the break, then the whole height from the bound's end on.
std::vector<std::pair<double, double>> AreaUnder(const analysis::Ieee1789Bound& b)
{
    constexpr double kBreak = analysis::Ieee1789Bound::kBreakHz;
    constexpr double kFloor = 1e-4;
    std::vector<std::pair<double, double>> corners{{0.1, kFloor},
                                                   {0.1, b.slopeBelow * 0.1},
                                                   {kBreak, b.slopeBelow * kBreak},
                                                   {kBreak, b.slopeAbove * kBreak},
                                                   {b.endHz, b.slopeAbove * b.endHz}};
    if (b.endHz < 3000)
        corners.insert(corners.end(), {{b.endHz, 1e4}, {3000, 1e4}});
    corners.emplace_back(3000, kFloor);
    return corners;
}

}  // namespace

const std::vector<std::pair<double, double>>& Ieee1789Chart::NoEffectRegion()
{
    static const auto corners = AreaUnder(analysis::kIeee1789NoEffect);
    return corners;
}

const std::vector<std::pair<double, double>>& Ieee1789Chart::LowRiskRegion()
{
    static const auto corners = AreaUnder(analysis::kIeee1789LowRisk);
    return corners;
}

namespace {

constexpr const char* kRegionsLegend = "зелёное — нет эффекта, жёлтое — низкий риск, белое — риск";

// The axes, both logarithmic, the regions and the foot's lines below the legend of the regions.
void SetUpIeee1789(chart::TChart& chart, const std::vector<std::string>& foot)
{
    chart::TChartAxis& f = chart.BottomAxis();
    chart::TChartAxis& pf = chart.LeftAxis();
    for (chart::TChartAxis* axis : {&f, &pf}) {
        axis->SetLogarithmic(true);
        axis->SetLabelStyle(chart::TAxisLabelStyle::talValue);  // not the points' numbers
    }
    f.SetRange(1, 3000);
    pf.SetRange(0.1, 100);
    // A point on the plot's edge (PF = 100 %) is drawn whole.
    chart.SetClipPoints(false);
    f.Title().SetCaption("Частота F, Гц");
    pf.Title().SetCaption("Глубина модуляции PF, %");
    chart.AddRegion({Ieee1789Chart::LowRiskRegion(), kLowRiskColor});
    chart.AddRegion({Ieee1789Chart::NoEffectRegion(), kNoEffectColor});
    std::vector<std::string> lines{kRegionsLegend};
    lines.insert(lines.end(), foot.begin(), foot.end());
    chart.Foot().Text().SetText(std::move(lines));
    chart.Foot().Font().SetColor(chart::clGray);
}

}  // namespace

Ieee1789Chart::Ieee1789Chart(chart::TChart& chart)
    : chart_(chart), points_(&AddSeries<chart::TPointSeries>(chart)), selected_(&AddSeries<chart::TPointSeries>(chart))
{
    SetUpIeee1789(chart_, {});
    points_->SetSeriesColor(kPointColor);
    points_->SetPointerRadius(4);
    selected_->SetSeriesColor(chart::clRed);
    selected_->SetPointerRadius(7);
    selected_->LabelsFont().SetBold(true);
    selected_->LabelsFont().SetColor(chart::clRed);
}

void Ieee1789Chart::Show(const std::vector<ProtocolRow>& rows, int selected)
{
    points_->ClearPoints();
    selected_->ClearPoints();
    rowOfPoint_.clear();
    selectedRow_ = -1;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ProtocolRow& row = rows[r];
        if (!row.Usable() || !row.metrics.frequency)
            continue;
        const std::string label = std::to_string(row.number);
        if (static_cast<int>(r) == selected) {
            selected_->AddPoint(*row.metrics.frequency, row.metrics.percentFlicker, label);
            selectedRow_ = selected;
            continue;
        }
        points_->AddPoint(*row.metrics.frequency, row.metrics.percentFlicker, label);
        rowOfPoint_.push_back(static_cast<int>(r));
    }
    std::vector<std::string> title{"IEEE 1789: глубина модуляции и частота"};
    if (selected >= 0 && static_cast<std::size_t>(selected) < rows.size()) {
        const ProtocolRow& row = rows[static_cast<std::size_t>(selected)];
        const std::string n = std::to_string(row.number);
        if (!row.Usable())
            title.push_back("у точки " + n + " нет результата");
        else if (!row.metrics.frequency)
            title.push_back("у точки " + n + " нет преобладающей частоты");
        else
            title.push_back("точка " + n + ": " + analysis::Ieee1789Text(row.metrics.ieee));
    }
    SetTitle(chart_, std::move(title));
}

int Ieee1789Chart::RowOfPoint(const chart::TChartSeries& series, int index) const
{
    if (&series == selected_)
        return index == 0 ? selectedRow_ : -1;
    if (&series != points_ || index < 0 || static_cast<std::size_t>(index) >= rowOfPoint_.size())
        return -1;
    return rowOfPoint_[static_cast<std::size_t>(index)];
}

Ieee1789ComparisonChart::Ieee1789ComparisonChart(chart::TChart& chart)
    : chart_(chart), arrows_(&AddSeries<chart::TArrowSeries>(chart)), selected_(&AddSeries<chart::TArrowSeries>(chart))
{
    SetUpIeee1789(chart_, {"стрелка — от точки «до» к точке «после», номер — строка таблицы сравнения"});
    arrows_->SetSeriesColor(kPointColor);
    selected_->SetSeriesColor(chart::clRed);
    selected_->SetLineWidth(3);
    selected_->LabelsFont().SetBold(true);
    selected_->LabelsFont().SetColor(chart::clRed);
}

void Ieee1789ComparisonChart::Show(const Comparison& comparison, int selected)
{
    arrows_->ClearPoints();
    selected_->ClearPoints();
    rowOfArrow_.clear();
    selectedRow_ = -1;
    const auto placed = [](const ProtocolRow* row) { return row && row->Usable() && row->metrics.frequency; };
    int count = 0;
    for (std::size_t i = 0; i < comparison.points.size(); ++i) {
        const ProtocolRow* before = comparison.Before(comparison.points[i]);
        const ProtocolRow* after = comparison.After(comparison.points[i]);
        if (!placed(before) || !placed(after))
            continue;
        ++count;
        const bool chosen = static_cast<int>(i) == selected;
        (chosen ? selected_ : arrows_)
            ->AddArrow(*before->metrics.frequency, before->metrics.percentFlicker, *after->metrics.frequency,
                       after->metrics.percentFlicker, std::to_string(i + 1));
        if (chosen)
            selectedRow_ = selected;
        else
            rowOfArrow_.push_back(static_cast<int>(i));
    }
    std::vector<std::string> title{"IEEE 1789: до и после"};
    if (selectedRow_ >= 0) {
        const ComparedPoint& p = comparison.points[static_cast<std::size_t>(selected)];
        title.push_back("строка " + std::to_string(selected + 1) + ": " +
                        analysis::Ieee1789Text(comparison.Before(p)->metrics.ieee) + " → " +
                        analysis::Ieee1789Text(comparison.After(p)->metrics.ieee));
    } else if (selected >= 0 && static_cast<std::size_t>(selected) < comparison.points.size()) {
        title.push_back("у строки " + std::to_string(selected + 1) +
                        " нет стрелки: нужна частота в обоих обследованиях");
    } else {
        title.push_back(count > 0 ? "точек с частотой в обоих обследованиях: " + std::to_string(count)
                                  : "нет точек с преобладающей частотой в обоих обследованиях");
    }
    SetTitle(chart_, std::move(title));
}

int Ieee1789ComparisonChart::RowOfArrow(const chart::TChartSeries& series, int index) const
{
    if (&series == selected_)
        return index == 0 ? selectedRow_ : -1;
    if (&series != arrows_ || index < 0 || static_cast<std::size_t>(index) >= rowOfArrow_.size())
        return -1;
    return rowOfArrow_[static_cast<std::size_t>(index)];
}

}  // namespace protocol
