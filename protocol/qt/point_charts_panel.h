#pragma once
// The charts beside the protocol's table: the waveform and the spectrum of
// the selected row and the IEEE 1789 chart of all rows, where a click on a
// numbered point selects its row.

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "analysis/number_format.h"
#include "protocol/core/point_charts.h"
#include "protocol/core/protocol.h"

namespace chart::qt {
class ChartWidget;
}

namespace protocol {

class PointChartsPanel : public QWidget {
public:
    explicit PointChartsPanel(const analysis::NumberFormat& nf, QWidget* parent = nullptr);
    ~PointChartsPanel() override;

    // Shows `rows` (kept by the caller while shown) with row `selected` (or -1).
    void Show(const std::vector<ProtocolRow>& rows, int selected);

    chart::qt::ChartWidget* Waveform() const { return waveform_; }
    chart::qt::ChartWidget* Spectrum() const { return spectrum_; }
    chart::qt::ChartWidget* Ieee1789() const { return ieee_; }

    // Told the row of a clicked point.
    std::function<void(int row)> rowClicked;

private:
    chart::qt::ChartWidget* waveform_;
    chart::qt::ChartWidget* spectrum_;
    chart::qt::ChartWidget* ieee_;
    std::unique_ptr<WaveformChart> waveformChart_;
    std::unique_ptr<SpectrumChart> spectrumChart_;
    std::unique_ptr<Ieee1789Chart> ieeeChart_;
};

}  // namespace protocol
