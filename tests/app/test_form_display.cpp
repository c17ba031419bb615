// What the window does with its charts: axis selectors, the mouse readout,
// chart pictures and the analysis controls.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "form_fixture.h"
#include "helpers/sampled_record.h"

namespace {

class FormDisplayTest : public FormTest {
protected:
    // A 400-sample record with a period of 40 samples, analysed as after a reply.
    void LoadWave(bool plateau = true)
    {
        Show(SampledRecord(400, 0.5f, [&](int i) {
            return 1000 + (i % 40 < 20 ? 100 : -100) + (plateau && i >= 100 && i < 200 ? 500 : 0);
        }));
    }
    std::string LeftTitle() { return form->Chart1->Chart().LeftAxis().Title().Caption(); }
    std::string BottomTitle() { return form->Chart1->Chart().BottomAxis().Title().Caption(); }
    void Pick(QComboBox* box, int item)
    {
        box->setCurrentIndex(item);
        box == form->cbY ? form->cbYClick() : form->cbXClick();
    }
};

// The selectors refill the chart and retitle its axes. (The units, titles and
// labels themselves: tests/display/test_presentation.cpp.)
TEST_F(FormDisplayTest, AxisSelectorsRefillTheChart)
{
    LoadWave();
    EXPECT_DOUBLE_EQ(form->Series1->YValue(0), 550.0);
    Pick(form->cbY, 1);
    EXPECT_EQ(LeftTitle(), "единицы АЦП");
    EXPECT_EQ(form->Series1->YValue(0), 1100.0);
    Pick(form->cbX, 1);
    EXPECT_EQ(BottomTitle(), "ВЫБОРКИ");
    EXPECT_EQ(form->Series1->PointLabel(8), "");
}

// Before any record the selectors change only the titles, the pointer shows no
// readout and the smoothing width is only stored.
TEST_F(FormDisplayTest, BeforeAnyRecordTheControlsOnlyKeepTheirSettings)
{
    Pick(form->cbY, 1);
    Pick(form->cbX, 1);
    EXPECT_EQ(LeftTitle(), "единицы АЦП");
    EXPECT_EQ(BottomTitle(), "ВЫБОРКИ");
    EXPECT_EQ(form->Series1->PointCount(), 0);
    form->Chart1MouseMove(200, 100);
    EXPECT_FALSE(form->eX->isVisibleTo(form.get()));
    form->seSmooth->setValue(7);
    EXPECT_EQ(form->SmoothWidth, 7);
    EXPECT_EQ(form->SeriesCorr->PointCount(), 0);
    EXPECT_FALSE(form->Reprocess);
}

// The pointer's readout in the two fields over the selectors. (Which point, and
// the bands that hide it: tests/display/test_presentation.cpp.)
TEST_F(FormDisplayTest, ReadoutShowsThePointUnderThePointer)
{
    LoadWave();
    const int x = form->Series1->PointScreenX(120);
    form->Chart1MouseMove(x, 100);
    EXPECT_TRUE(form->eX->isVisibleTo(form.get()));
    EXPECT_EQ(form->eX->text(), QStringLiteral("30"));
    EXPECT_EQ(form->eY->text(), QStringLiteral("800.00"));
    form->Chart1MouseMove(x, form->Chart1->height() - form->eX->height() - 9);
    EXPECT_FALSE(form->eX->isVisibleTo(form.get()));
}

// (The white picture itself: tests/chart/test_paint.cpp.)
TEST_F(FormDisplayTest, DoubleClickCopiesThePictureAndKeepsTheColour)
{
    LoadWave();
    const auto colour = form->Chart1->Chart().Color();
    form->Chart1DblClick();
    ASSERT_TRUE(ui.clipboardImage);
    EXPECT_EQ(ui.clipboardImage->size(), QSize(537, 305));
    EXPECT_EQ(ui.clipboardImage->pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(form->Chart1->Chart().Color(), colour);
}

// The period's title and marker, and the controls that re-run the analysis.
// (The search and the smoothing: tests/analysis/test_period.cpp.)
TEST_F(FormDisplayTest, PeriodTitleMarkerAndTheAnalysisControls)
{
    LoadWave(false);
    const auto& title = form->ChartCorr->Chart().Title().Text();
    ASSERT_EQ(title.Count(), 1);
    EXPECT_EQ(title.Lines()[0], "Число точек на период:40;  F=100Гц");
    EXPECT_EQ(form->SeriesPeriod->PointCount(), 2);
    const int lags = form->SeriesCorr->PointCount();

    form->chPeriod->setChecked(false);
    form->chPeriodClick();
    EXPECT_EQ(form->SeriesPeriod->PointCount(), 0);
    form->seSmooth->setValue(4);  // the change handler re-runs the analysis
    EXPECT_EQ(form->SmoothWidth, 4);
    EXPECT_EQ(form->SeriesCorr->PointCount(), lags - 4);
    EXPECT_FALSE(form->Reprocess);
}

TEST_F(FormDisplayTest, NoPeriodShowsTheMessage)
{
    form->gbCmnt->show();
    Show(SampledRecord(400, 0.5f, [](int) { return 1234; }));
    EXPECT_EQ(ui.Texts(), QStringList{QStringLiteral("Выберите менее чувствительный диапазон или диапазон АВТО.")});
    EXPECT_EQ(ui.messages[0].icon, app::MessageIcon::Information);
    EXPECT_EQ(ui.messages[0].helpContext, 3);
    EXPECT_TRUE(ui.messages[0].title.isEmpty());
    EXPECT_EQ(form->SeriesCorr->PointCount(), 200);  // the flat curve stays on display (tests/analysis)
    EXPECT_FALSE(form->gbCmnt->isVisibleTo(form.get()));
}

}  // namespace
