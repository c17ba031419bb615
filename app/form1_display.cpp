// The window's side of the analysis and the charts: the period search on the
// correlation chart, the analysis controls, the axis selectors, statistics of
// the shown stretch, the mouse readout and chart pictures.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>

#include "analysis/period.h"
#include "app/controls.h"
#include "app/form1.h"
#include "app/ui_services.h"
#include "chart/chart.h"
#include "chart/qt/chart_widget.h"
#include "display/presentation.h"

namespace app {

void TForm1::PeriodSearch()
{
    const analysis::PeriodResult r =
        analysis::PeriodSearch(Record, seSmooth->value(), chPeriod->isChecked(), numberFormat_);
    gbCmnt->hide();
    SeriesCorr->ClearPoints();
    SeriesPeriod->ClearPoints();
    for (const analysis::ChartPoint& p : r.curve)
        SeriesCorr->AddPoint(p.x, p.y, {}, chart::clDefaultPoint);
    for (const analysis::ChartPoint& p : r.marker)
        SeriesPeriod->AddPoint(p.x, p.y, {}, chart::clDefaultPoint);
    ChartCorr->Chart().Title().Text().SetText(r.title);
    if (r.showMessage)
        ui_.ShowMessage(this, MessageIcon::Information, QString(),  // the advice has no title
                        QString::fromUtf8(analysis::kPeriodMessage), analysis::kPeriodMessageHelpContext);
}

void TForm1::seSmoothChange()
{
    if (seSmooth->value() == SmoothWidth)
        return;
    SmoothWidth = seSmooth->value();
    if (SeriesCorr->LastShownIndex() > 0) {
        Reprocess = true;
        ProcessReply();
    }
}

void TForm1::chPeriodClick()
{
    if (SeriesCorr->LastShownIndex() > 0) {
        Reprocess = true;
        ProcessReply();
    }
}

void TForm1::cbYClick()
{
    Series1->ClearPoints();
    Chart1->Chart().LeftAxis().Title().SetCaption(display::LeftAxisTitle(display::YUnitsFromItem(cbY->currentIndex())));
    RefillMeasurementSeries();
}

void TForm1::cbXClick()
{
    Series1->ClearPoints();
    Chart1->Chart().BottomAxis().Title().SetCaption(
        display::BottomAxisTitle(display::XUnitsFromItem(cbX->currentIndex())));
    RefillMeasurementSeries();
}

void TForm1::RefillMeasurementSeries()
{
    display::RefillMeasurementSeries(*Series1, Record, display::YUnitsFromItem(cbY->currentIndex()),
                                     display::XUnitsFromItem(cbX->currentIndex()), numberFormat_);
}

void TForm1::Chart1AfterDraw()
{
    ShowStatistics(Series1->FirstShownIndex(), Series1->LastShownIndex());
}

void TForm1::Chart1MouseMove(int x, int y)
{
    Chart1->setFocus();
    const display::Readout r = display::MouseReadout(*Series1, Record, display::YUnitsFromItem(cbY->currentIndex()),
                                                     display::XUnitsFromItem(cbX->currentIndex()), x, y,
                                                     Chart1->height(), eX->height(), numberFormat_);
    if (!r.touched)
        return;
    eX->show();
    eY->show();
    if (r.eX)
        eX->setText(QString::fromStdString(*r.eX));
    if (r.eY)
        eY->setText(QString::fromStdString(*r.eY));
    if (!r.visible) {
        eX->hide();
        eY->hide();
    }
}

void TForm1::CopyChartPicture(chart::qt::ChartWidget& widget)
{
    chart::TChart& c = widget.Chart();
    const chart::TColor saved = c.Color();
    c.SetColor(chart::clWhite);
    c.CopyImageToClipboard();
    c.SetColor(saved);
}

void TForm1::Chart1DblClick()
{
    CopyChartPicture(*Chart1);
}

void TForm1::ChartCorrDblClick()
{
    CopyChartPicture(*ChartCorr);
}

}  // namespace app
