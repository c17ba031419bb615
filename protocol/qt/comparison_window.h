#pragma once
// The comparison of two surveys on screen: the folders "до" and "после", the
// table of the points before and after, the counts of each change, the
// IEEE 1789 chart of the arrows from "до" to "после" and the rooms before and
// after; saving it as CSV and PDF.

#include <QWidget>

#include <functional>
#include <memory>

#include "protocol/core/point_charts.h"
#include "protocol/qt/comparison_pdf.h"

class QLabel;
class QTableWidget;

namespace chart::qt {
class ChartWidget;
}

namespace protocol {

class ComparisonWindow : public QWidget {
public:
    explicit ComparisonWindow(QWidget* parent = nullptr);
    ~ComparisonWindow() override;

    // Shows the comparison with the header, the judging and the folders it
    // goes with; the files are offered to be saved in `afterFolder`.
    void Show(PaperComparison paper, const QString& afterFolder);
    const PaperComparison& Paper() const { return paper_; }

    // Save to the path given; false (and the message) when it fails.
    bool SaveCsv(const QString& path);
    bool SavePdf(const QString& path);

    QLabel* Folders() const { return folders_; }
    QTableWidget* Table() const { return table_; }
    QLabel* Counts() const { return counts_; }
    chart::qt::ChartWidget* Arrows() const { return arrows_; }
    QTableWidget* Rooms() const { return rooms_; }

    // The header the PDF is to carry, asked when it is saved (unset: the one shown with).
    std::function<ProtocolHeader()> currentHeader;
    // Shows a message; a message box unless replaced.
    std::function<void(const QString&)> showMessage;

private:
    void ChooseCsv();
    void ChoosePdf();
    QString SuggestedPath(const QString& extension) const;

    PaperComparison paper_;
    QString afterFolder_;
    QLabel* folders_;
    QTableWidget* table_;
    QLabel* counts_;
    chart::qt::ChartWidget* arrows_;
    std::unique_ptr<Ieee1789ComparisonChart> arrowsChart_;
    QTableWidget* rooms_;
};

}  // namespace protocol
