#include "display/main_charts.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/qt_canvas.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

using namespace chart;
using chart::qt::ChartWidget;
using chart::qt::QtBitmap;
using chart::qt::QtCanvas;
using display::ConfigureMeasurementChart;
using display::kMeasurementChartColor;

namespace {

// The application lives from before the first test to after the last one,
// and is gone before static destructors run.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[14] = "test_chart_qt";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// GoogleTest takes ownership of the environment.
[[maybe_unused]] const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class QtChartTest : public ::testing::Test {};

TEST_F(QtChartTest, LinesAndFillsLandOnTheImage)
{
    QImage image(100, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    QtCanvas canvas(image);
    TPenSpec pen;
    pen.Color = clRed;
    canvas.SetPen(pen);
    canvas.Line(10, 20, 90, 20);
    canvas.SetBrush(clBlue, TBrushStyle::bsSolid);
    canvas.FillRect(TRect{0, 40, 10, 50});
    // A region without outline and a filled circle.
    canvas.SetPen(TPenSpec{clBlack, 1, TPenStyle::psClear});
    canvas.SetBrush(clGreen, TBrushStyle::bsSolid);
    canvas.Polygon({{60, 30}, {99, 30}, {99, 49}});
    canvas.SetBrush(clRed, TBrushStyle::bsSolid);
    canvas.Ellipse(20, 28, 41, 49);
    canvas.End();
    EXPECT_EQ(image.pixelColor(50, 20), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(50, 25), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(5, 45), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(95, 33), QColor(0, 128, 0));
    EXPECT_EQ(image.pixelColor(62, 47), QColor(255, 255, 255));  // beyond the slanted edge
    EXPECT_EQ(image.pixelColor(30, 38), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(21, 29), QColor(255, 255, 255));  // the box's corner
}

TEST_F(QtChartTest, NotXorFrameDrawnTwiceRestoresThePicture)
{
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(QColor(0x36, 0xE6, 0xE6));
    QtCanvas canvas(image);
    canvas.SetPen(TPenSpec{clRed, 1, TPenStyle::psSolid});
    canvas.Line(0, 30, 119, 30);
    canvas.End();
    QImage before = image.copy();
    TPenSpec xorPen{0xE6E636, 1, TPenStyle::psSolid, TPenMode::pmNotXor};
    canvas.SetPen(xorPen);
    canvas.SetBrush(clWhite, TBrushStyle::bsClear);
    canvas.Rectangle(10, 10, 100, 60);
    canvas.End();
    EXPECT_NE(image, before);
    canvas.Rectangle(10, 10, 100, 60);
    canvas.End();
    EXPECT_EQ(image, before);
}

TEST_F(QtChartTest, FontsAreMeasuredWithTheStandInFamily)
{
    EXPECT_EQ(QtCanvas::SubstituteFamily("Arial"), "Liberation Sans");
    QImage image(10, 10, QImage::Format_RGB32);
    QtCanvas canvas(image);
    canvas.SetFont(TFontSpec{});
    int h = canvas.FontHeight();
    EXPECT_GE(h, 11);
    EXPECT_LE(h, 16);
    int w = canvas.TextWidth("ЛЮКСЫ");
    EXPECT_GT(w, 5 * 4);
    EXPECT_LT(w, 5 * 12);
    EXPECT_GT(canvas.TextWidth("ВРЕМЯ, мс"), canvas.TextWidth("ВРЕМЯ"));
}

class WidgetTest : public QtChartTest {
protected:
    void SetUp() override
    {
        widget = std::make_unique<ChartWidget>();
        widget->resize(537, 305);
        series = &widget->Chart().AddSeries(std::make_unique<TFastLineSeries>());
        ConfigureMeasurementChart(widget->Chart(), *series);
        for (int i = 0; i < 400; ++i)
            series->AddPoint(i, 100 + 80 * std::sin(i / 25.0));
        widget->Chart().OnAfterDraw = [this](TChart&) { ++afterDraws; };
        widget->show();
        // The window is exposed and painted by the event loop.
        for (int i = 0; i < 50 && afterDraws == 0; ++i)
            QCoreApplication::processEvents();
    }
    void Send(QEvent::Type type, Qt::MouseButton button, int x, int y, Qt::MouseButtons held)
    {
        QPointF p(x, y);
        QMouseEvent event(type, p, widget->mapToGlobal(p), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(widget.get(), &event);
    }
    std::unique_ptr<ChartWidget> widget;
    TFastLineSeries* series = nullptr;
    int afterDraws = 0;
};

TEST_F(WidgetTest, PaintsTheChartAndCopiesTheBufferWhenUnchanged)
{
    EXPECT_EQ(afterDraws, 1);
    EXPECT_EQ(series->LastShownIndex(), 399);
    QImage shown = widget->Surface();
    EXPECT_EQ(shown.pixelColor(0, 0), qt::ToQColor(kMeasurementChartColor));
    widget->repaint();
    EXPECT_EQ(afterDraws, 1);
    widget->Chart().SetColor(clWhite);
    widget->repaint();
    EXPECT_EQ(afterDraws, 2);
    EXPECT_EQ(widget->Surface().pixelColor(0, 0), QColor(Qt::white));
}

TEST_F(WidgetTest, ChildWidgetsSitOnTheChart)
{
    auto* combo = new QComboBox(widget.get());
    combo->setGeometry(8, 280, 129, 21);
    EXPECT_EQ(combo->parentWidget(), widget.get());
}

TEST_F(WidgetTest, MouseDragZoomsAndTheFrameIsLive)
{
    QImage before = widget->Surface();
    Send(QEvent::MouseButtonPress, Qt::LeftButton, 100, 50, Qt::LeftButton);
    Send(QEvent::MouseMove, Qt::NoButton, 300, 200, Qt::LeftButton);
    EXPECT_TRUE(widget->Chart().ZoomRect().Active);
    QCoreApplication::processEvents();
    // Moving the frame draws it without painting the chart again.
    EXPECT_EQ(afterDraws, 1);
    QImage during = widget->Surface();
    int changed = 0;
    for (int x = 100; x < 300; ++x)
        if (during.pixelColor(x, 50) != before.pixelColor(x, 50))
            ++changed;
    EXPECT_GT(changed, 150);
    EXPECT_EQ(during.pixelColor(200, 120), before.pixelColor(200, 120));
    Send(QEvent::MouseButtonRelease, Qt::LeftButton, 300, 200, Qt::NoButton);
    EXPECT_TRUE(widget->Chart().Zoomed());
    widget->repaint();
    EXPECT_EQ(afterDraws, 2);
    EXPECT_GT(series->FirstShownIndex(), 0);
}

TEST_F(WidgetTest, WheelAndDoubleClickReachTheChart)
{
    double top = widget->Chart().LeftAxis().Maximum();
    QPointF p(200, 100);
    QWheelEvent wheel(p, widget->mapToGlobal(p), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(widget.get(), &wheel);
    EXPECT_GT(widget->Chart().LeftAxis().Maximum(), top);

    int clicks = 0;
    int engine = 0;
    QObject::connect(widget.get(), &ChartWidget::doubleClicked, [&] { ++clicks; });
    widget->Chart().OnDblClick = [&](TChart&) { ++engine; };
    Send(QEvent::MouseButtonDblClick, Qt::LeftButton, 200, 100, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(engine, 1);

    int moves = 0;
    QObject::connect(widget.get(), &ChartWidget::mouseMoved, [&](int x, int y) {
        ++moves;
        EXPECT_EQ(x, 210);
        EXPECT_EQ(y, 120);
    });
    Send(QEvent::MouseMove, Qt::NoButton, 210, 120, Qt::NoButton);
    EXPECT_EQ(moves, 1);
}

struct Capture : TClipboardTarget {
    QImage image;
    void SetPicture(TBitmap& picture) override { image = static_cast<QtBitmap&>(picture).Image(); }
};

TEST_F(WidgetTest, ClipboardPictureThroughAReplaceableTarget)
{
    Capture capture;
    widget->Chart().SetClipboardTarget(&capture);
    TColor old = widget->Chart().Color();
    widget->Chart().SetColor(clWhite);
    widget->Chart().CopyImageToClipboard();
    widget->Chart().SetColor(old);
    ASSERT_EQ(capture.image.size(), QSize(537, 305));
    EXPECT_EQ(capture.image.pixelColor(2, 2), QColor(Qt::white));
    // The red line is in the picture.
    int red = 0;
    for (int y = 0; y < capture.image.height(); ++y)
        for (int x = 0; x < capture.image.width(); ++x)
            if (capture.image.pixelColor(x, y) == QColor(255, 0, 0))
                ++red;
    EXPECT_GT(red, 300);
}

}  // namespace
