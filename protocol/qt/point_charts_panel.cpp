#include "protocol/qt/point_charts_panel.h"

#include <QVBoxLayout>

#include "chart/qt/chart_widget.h"

namespace protocol {

PointChartsPanel::PointChartsPanel(const analysis::NumberFormat& nf, QWidget* parent)
    : QWidget(parent),
      waveform_(new chart::qt::ChartWidget),
      spectrum_(new chart::qt::ChartWidget),
      ieee_(new chart::qt::ChartWidget)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (chart::qt::ChartWidget* w : {waveform_, spectrum_, ieee_}) {
        SetUpPointChart(w->Chart());
        w->setMinimumSize(320, 170);
        layout->addWidget(w, w == ieee_ ? 3 : 2);
    }
    waveformChart_ = std::make_unique<WaveformChart>(waveform_->Chart());
    spectrumChart_ = std::make_unique<SpectrumChart>(spectrum_->Chart(), nf);
    ieeeChart_ = std::make_unique<Ieee1789Chart>(ieee_->Chart());
    ieee_->Chart().OnClickSeries = [this](chart::TChart&, chart::TChartSeries& series, int index, chart::TMouseButton,
                                          chart::TShiftState, int, int) {
        const int row = ieeeChart_->RowOfPoint(series, index);
        if (row >= 0 && rowClicked)
            rowClicked(row);
    };
    Show({}, -1);
}

PointChartsPanel::~PointChartsPanel() = default;

void PointChartsPanel::Show(const std::vector<ProtocolRow>& rows, int selected)
{
    const ProtocolRow* row = selected >= 0 && static_cast<std::size_t>(selected) < rows.size()
                                 ? &rows[static_cast<std::size_t>(selected)]
                                 : nullptr;
    waveformChart_->Show(row);
    spectrumChart_->Show(row);
    ieeeChart_->Show(rows, row ? selected : -1);
}

}  // namespace protocol
