// Zooming the measurement chart with real mouse events: the statistics and
// the text export follow the shown stretch, and undo restores the whole. (The
// drags themselves, also one too small to zoom: tests/chart/test_zoom.cpp.)
// With SOVIKAN_SCREENSHOT_DIR set, the window is saved during the drag,
// after the zoom and after the undo.

#include <QPlainTextEdit>
#include <QTest>

#include "analysis/statistics.h"
#include "form_fixture.h"
#include "helpers/sampled_record.h"

namespace {

class FormZoomTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        Show(SampledRecord(400, 0.025f, [](int i) {
            return 20000 + (i % 40 < 20 ? 1500 : -1500) + (i >= 100 && i < 200 ? 8000 : 0);
        }));
    }
    void Snapshot(const char* name)
    {
        const QString folder = qEnvironmentVariable("SOVIKAN_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QImage window = form->grab().toImage();
        // The chart shows its live surface (with a zoom frame, if any).
        const QImage chart = form->Chart1->Surface();
        for (int y = 0; y < chart.height(); ++y)
            for (int x = 0; x < chart.width(); ++x)
                window.setPixel(form->Chart1->x() + x, form->Chart1->y() + y, chart.pixel(x, y));
        window.save(folder + QLatin1Char('/') + QLatin1String(name));
    }
    QString Expected(int first, int end)
    {
        const auto r = analysis::ShowStatistics(form->Record, first, end, form->NumberFormat());
        QStringList lines;
        for (const auto& l : *r.lines)
            lines << QString::fromStdString(l);
        return lines.join(QLatin1Char('\n'));
    }
    // The rows of the text export: all lines but the caption, the origin and the end.
    int ExportRows() { return static_cast<int>(Export("z.txt").size()) - 3; }
    void Drag(QPoint from, QPoint to, const char* snapshot = nullptr)
    {
        QTest::mousePress(form->Chart1, Qt::LeftButton, Qt::NoModifier, from);
        const QPoint middle = (from + to) / 2;
        QTest::mouseMove(form->Chart1, middle);
        QTest::mouseMove(form->Chart1, to);
        if (snapshot)
            Snapshot(snapshot);
        QTest::mouseRelease(form->Chart1, Qt::LeftButton, Qt::NoModifier, to);
        QApplication::processEvents();
        PaintCharts();
    }
};

TEST_F(FormZoomTest, ZoomIntoAStretchAndBack)
{
    const QString whole = form->mResult->toPlainText();
    ASSERT_EQ(whole, Expected(0, 399));
    EXPECT_EQ(ExportRows(), 400);
    Snapshot("zoom-0-before.png");

    const chart::TRect plot = form->Chart1->Chart().PlotRect();
    const QPoint from(form->Series1->PointScreenX(100), plot.Top + 3);
    const QPoint to(form->Series1->PointScreenX(200), plot.Bottom - 3);
    Drag(from, to, "zoom-1-drag.png");

    const int first = form->Series1->FirstShownIndex();
    const int last = form->Series1->LastShownIndex();
    EXPECT_NEAR(first, 100, 1);
    EXPECT_NEAR(last, 200, 1);
    EXPECT_EQ(form->mResult->toPlainText(), Expected(first, last));
    EXPECT_EQ(ExportRows(), last - first + 1);
    Snapshot("zoom-2-zoomed.png");

    // A drag the other way undoes the zoom.
    Drag(to, from);
    EXPECT_EQ(form->mResult->toPlainText(), whole);
    EXPECT_EQ(ExportRows(), 400);
    Snapshot("zoom-3-undone.png");
}

}  // namespace
