// The window against the real meter stand-in on a pseudo-terminal, found at
// start-up through the same discovery as a real meter.

#include <QGroupBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>

#include <QPushButton>

#include "app/controls.h"
#include "app/message_timer.h"
#include "chart/chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/series.h"
#include "form_fixture.h"
#include "pty_peer.h"
#include "serial/va_comm.h"

namespace {

class FormStandInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(dir.isValid());
        const QString ports = dir.path() + QStringLiteral("/ports");
        const QString sysfs = dir.path() + QStringLiteral("/sysfs");
        qputenv("SOVIKAN_PORTS_DIR", ports.toLocal8Bit());
        qputenv("SOVIKAN_SYSFS_ROOT", sysfs.toLocal8Bit());
        meter.setProgram(QStringLiteral(SOVIKAN_METER_PROGRAM));
        meter.setArguments({QStringLiteral("--ports"), ports, QStringLiteral("--sysfs"), sysfs, QStringLiteral("--com"),
                            QStringLiteral("61"), QStringLiteral("--log")});
        meter.start();
        ASSERT_TRUE(meter.waitForStarted(5000));
        // The stand-in announces its port once it is ready.
        ASSERT_TRUE(RunUntil([&] { return Output().contains("SOVIKAN_METER_COM=61"); }, 5000))
            << Output().toStdString();
        form = std::make_unique<app::TForm1>(ui, analysis::NumberFormat{".", ","});
    }
    void TearDown() override
    {
        form.reset();
        meter.terminate();
        meter.waitForFinished(3000);
        qunsetenv("SOVIKAN_PORTS_DIR");
        qunsetenv("SOVIKAN_SYSFS_ROOT");
    }
    QByteArray Output()
    {
        stdout_ += meter.readAllStandardOutput();
        return stdout_;
    }
    QByteArray Log()
    {
        log_ += meter.readAllStandardError();
        return log_;
    }
    bool WaitForReply()
    {
        return RunUntil([&] { return form->Series1->PointCount() == 400 && !form->TimRS->Enabled(); }, 5000);
    }

    QTemporaryDir dir;
    QProcess meter;
    QByteArray stdout_, log_;
    FakeUi ui;
    std::unique_ptr<app::TForm1> form;
};

TEST_F(FormStandInTest, FoundAtStartUpMeasuresReadsRecordsAndCalibrates)
{
    EXPECT_EQ(form->sePort->value(), 61);
    ASSERT_TRUE(form->VaComm1->Active());

    form->btnStart->click();
    ASSERT_TRUE(WaitForReply()) << Log().toStdString();
    EXPECT_EQ(form->mResult->document()->blockCount(), 5);
    EXPECT_TRUE(form->mResult->toPlainText().startsWith(QStringLiteral("СРЕДНЕЕ")));
    EXPECT_TRUE(form->btEEnext->isVisibleTo(form.get()));
    EXPECT_TRUE(form->btEEprev->isVisibleTo(form.get()));
    EXPECT_EQ(form->ChartCorr->Chart().Title().Text().Count(), 1);
    EXPECT_TRUE(ui.messages.empty());

    const auto measured = form->Record.Samples;
    form->seRecord->setValue(39);
    form->btEEnext->click();
    EXPECT_EQ(form->seRecord->value(), 0);
    ASSERT_TRUE(RunUntil([&] { return Log().contains("read record 0"); }, 3000)) << Log().toStdString();
    ASSERT_TRUE(RunUntil([&] { return form->Record.Samples != measured && !form->TimRS->Enabled(); }, 5000));
    EXPECT_EQ(form->Record.SampleCount, 400);

    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(150, 5), QPointF(150, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(form->GroupBox3, &dbl);
    ASSERT_TRUE(RunUntil([&] { return form->mResult->toPlainText().startsWith(QStringLiteral("OscCal=")); }, 3000));
    EXPECT_EQ(form->mResult->document()->blockCount(), 10);
}

}  // namespace
