#pragma once
// A TForm1 created offscreen with a FakeUi, for window tests.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QMouseEvent>
#include <memory>
#include <ostream>

#include "app/form1.h"
#include "chart/qt/chart_widget.h"
#include "fake_ui.h"

// Readable test output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

// One QApplication for the whole test program.
QApplication& TestApplication();

// A double click on the port group, which sends the check command.
inline void DoubleClickPortGroup(app::TForm1& form)
{
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(150, 5), QPointF(150, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(form.GroupBox3, &dbl);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        form = std::make_unique<app::TForm1>(ui, analysis::NumberFormat{".", ","});
    }
    void TearDown() override { form.reset(); }

    // grab() runs the charts' paint at once, as the screen would.
    void PaintCharts()
    {
        form->Chart1->grab();
        form->ChartCorr->grab();
    }
    template <typename T>
    T* Find(const char* name)
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    FakeUi ui;
    std::unique_ptr<app::TForm1> form;
};
