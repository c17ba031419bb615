#pragma once
// A TForm1 created offscreen with a FakeUi and a temporary folder, for window
// tests, and the user's steps the tests share.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "app/controls.h"
#include "app/form1.h"
#include "chart/chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/series.h"
#include "fake_ui.h"
#include "files/cp1251.h"
#include "serial/va_comm.h"

// Readable test output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

// One QApplication for the whole test program.
QApplication& TestApplication();

// Runs the event loop until `done` or the time is up; returns done().
template <typename F>
bool RunUntil(F done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
// The event loop left running for `ms`, as between two user actions.
inline void Idle(int ms)
{
    RunUntil([] { return false; }, ms);
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// A double click on the port group, which sends the check command.
inline void DoubleClickPortGroup(app::TForm1& form)
{
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(150, 5), QPointF(150, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(form.GroupBox3, &dbl);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override { MakeForm(); }
    void TearDown() override
    {
        form.reset();
        qunsetenv("SOVIKAN_PORTS_DIR");
        qunsetenv("SOVIKAN_SYSFS_ROOT");
    }
    void MakeForm(serial::CommDeviceFactory factory = {})
    {
        TestApplication();
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<app::TForm1>(ui, analysis::NumberFormat{".", ","}, std::move(factory));
    }

    QString Path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    // The folders, under the test's, where the window looks for ports and for the system's devices.
    void LookIn(const QString& ports, const QString& sysfs)
    {
        qputenv("SOVIKAN_PORTS_DIR", Path(ports).toLocal8Bit());
        qputenv("SOVIKAN_SYSFS_ROOT", Path(sysfs).toLocal8Bit());
    }
    // «Установить» on port `com`, which opens.
    void SetPort(int com)
    {
        form->sePort->setValue(com);
        form->btnPort->click();
        ASSERT_TRUE(form->VaComm1->Active());
        ASSERT_EQ(form->VaComm1->PortNum(), com);
    }
    // grab() runs the charts' paint at once, as the screen would.
    void PaintCharts()
    {
        form->Chart1->grab();
        form->ChartCorr->grab();
    }
    // The record shown and analysed as after a reply.
    void Show(const analysis::MeasurementRecord& record)
    {
        form->Record = record;
        form->Reprocess = true;
        form->ProcessReply();
        PaintCharts();
    }
    // «Открыть» with `path` picked in the dialog.
    void Open(const QString& path)
    {
        ui.openAnswers.push_back(path);
        form->Guarded([&] { form->btFLoadClick(form->btFLoad); });
    }
    // A step to `path` with the arrows, which opens it without a dialog.
    void StepTo(const QString& path)
    {
        form->CurrentFileName = path;
        form->Guarded([&] { form->btFLoadClick(form->btNextFile); });
    }
    // «Сохранить» with `name` picked in the dialog; the bytes written.
    QByteArray Save(const QString& name)
    {
        ui.saveAnswers.push_back(Path(name));
        form->Guarded([&] { form->btFSaveClick(); });
        return QFile::exists(Path(name)) ? ReadBytes(Path(name)) : QByteArray();
    }
    // The text export of the shown stretch to `name`, its lines decoded.
    QStringList Export(const QString& name)
    {
        form->Guarded([&] { form->WriteTextExport(Path(name)); });
        return QString::fromStdString(files::DecodeCp1251(ReadBytes(Path(name)).toStdString()))
            .split(QStringLiteral("\r\n"));
    }
    template <typename T>
    T* Find(const char* name)
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    FakeUi ui;
    std::unique_ptr<app::TForm1> form;
};
