// The meter unplugged while the window runs, as a user meets it: idle, with a
// command on its way, in the middle of a reply, while a file is being opened;
// then plugged in again, "Установить", and a measurement. Each sequence runs
// against the meter stand-in on a pseudo-terminal (a hang-up the driver
// reports at once) and against the scripted device (a quiet driver whose next
// call fails, as Windows behaves). The user sees exactly one box per loss, and
// nothing keeps working on the dead line afterwards. Last, the window against
// the stand-in found at start-up, as a real meter is found.

#include <time.h>

#include <QEventLoop>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cerrno>

#include "app/controls.h"
#include "app/message_timer.h"
#include "chart/chart.h"
#include "chart/series.h"
#include "files/svk_file.h"
#include "form_fixture.h"
#include "meter_fixture.h"
#include "serial/scripted_device.h"
#include "serial/va_comm.h"

namespace {

constexpr int kCom = 50;

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The event loop left idle for `ms`, as the window is between user actions;
// returns the CPU time the whole process used meanwhile.
double IdleCpu(int ms)
{
    const double before = CpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(ms, &idle, &QEventLoop::quit);
    idle.exec();
    return CpuSeconds() - before;
}

class Meter {
public:
    virtual ~Meter() = default;
    virtual serial::CommDeviceFactory Factory() { return {}; }
    virtual void Plug() = 0;
    virtual void Unplug() = 0;
    // Holds back what the window writes (a command stays in the write queue).
    virtual void HoldWrites(bool) {}
    // Answers the commands received so far; called while the test waits.
    virtual void Serve() {}
    // The first part of a reply, sent without a command.
    virtual void SendPartOfAReply() = 0;
};

class StandInMeter : public Meter {
public:
    explicit StandInMeter(const QString& folder) : folder_(folder) {}
    ~StandInMeter() override { Unplug(); }
    void Plug() override
    {
        process_.setProgram(QStringLiteral(SOVIKAN_METER_PROGRAM));
        process_.setArguments({QStringLiteral("--ports"), folder_ + QStringLiteral("/ports"), QStringLiteral("--sysfs"),
                               folder_ + QStringLiteral("/sysfs"), QStringLiteral("--com"), QString::number(kCom),
                               QStringLiteral("--log")});
        process_.start();
        ASSERT_TRUE(process_.waitForStarted(5000));
        QByteArray out;
        ASSERT_TRUE(RunUntil(
            [&] {
                out += process_.readAllStandardOutput();
                return out.contains("SOVIKAN_METER_COM=");
            },
            5000))
            << out.toStdString();
    }
    void Unplug() override
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();  // it stops at once, also in the middle of a reply
        process_.waitForFinished(3000);
    }
    void SendPartOfAReply() override { ADD_FAILURE() << "the stand-in answers commands only"; }
    // One line for each command the stand-in received.
    QByteArray Log()
    {
        log_ += process_.readAllStandardError();
        return log_;
    }

private:
    QString folder_;
    QProcess process_;
    QByteArray log_;
};

class ScriptedMeter : public Meter {
public:
    serial::CommDeviceFactory Factory() override { return serial::ScriptedFactory(line); }
    void Plug() override { line->Plug(); }
    void Unplug() override { line->Unplug(EIO, false); }
    void HoldWrites(bool hold) override { line->StallWrites(hold); }
    void Serve() override
    {
        const std::vector<std::uint8_t> written = line->written();
        for (; served_ + 2 <= written.size(); served_ += 2)
            if (written[served_] >= '0' && written[served_] <= '8')
                line->Receive(Reply());
    }
    void SendPartOfAReply() override
    {
        const std::vector<std::uint8_t> reply = Reply();
        line->Receive(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 300));
    }
    static std::vector<std::uint8_t> Reply() { return MeasurementReply(); }

    std::shared_ptr<serial::ScriptedLine> line = std::make_shared<serial::ScriptedLine>();

private:
    std::size_t served_ = 0;
};

class FormLineLostTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(dir.isValid());
        qputenv("SOVIKAN_PORTS_DIR", (dir.path() + QStringLiteral("/ports")).toLocal8Bit());
        qputenv("SOVIKAN_SYSFS_ROOT", (dir.path() + QStringLiteral("/no-sysfs")).toLocal8Bit());
        if (GetParam() == "standin") {
            meter = std::make_unique<StandInMeter>(dir.path());
        } else {
            scripted = new ScriptedMeter;
            meter.reset(scripted);
        }
        ASSERT_NO_FATAL_FAILURE(meter->Plug());
        form = std::make_unique<app::TForm1>(ui, analysis::NumberFormat{".", ","}, meter->Factory());
        ASSERT_NO_FATAL_FAILURE(Set());
    }
    void TearDown() override
    {
        form.reset();
        meter.reset();
        qunsetenv("SOVIKAN_PORTS_DIR");
        qunsetenv("SOVIKAN_SYSFS_ROOT");
    }
    // "Установить" on the meter's port.
    void Set()
    {
        form->sePort->setValue(kCom);
        form->btnPort->click();
        ASSERT_TRUE(form->VaComm1->Active());
    }
    bool Measured()
    {
        form->Record.SampleCount = 0;  // the reply sets it again
        form->btnStart->click();
        return RunUntil(
            [&] {
                meter->Serve();
                return form->Record.SampleCount == 400 && form->Series1->PointCount() == 400;
            },
            5000);
    }
    int LostBoxes() const
    {
        int n = 0;
        for (const auto& m : ui.messages)
            n += m.title == QStringLiteral("Предупреждение") &&
                 m.text == QStringLiteral("Связь с прибором на порту COM50 потеряна. Подключите прибор и "
                                          "нажмите «Установить».");
        return n;
    }
    // After the loss: one box, no error box, and the program at rest.
    void ExpectOneBoxAndQuiet()
    {
        ASSERT_TRUE(RunUntil([&] { return !ui.messages.empty(); }, 3000));
        const int ms = qEnvironmentVariableIntValue("SOVIKAN_IDLE_CHECK_MS") > 0
                           ? qEnvironmentVariableIntValue("SOVIKAN_IDLE_CHECK_MS")
                           : 2000;
        const double cpu = IdleCpu(ms);
        std::printf("line lost (%s): CPU %.1f ms in %d ms after the box\n", GetParam().c_str(), cpu * 1e3, ms);
        EXPECT_LT(cpu, ms / 100.0 / 1e3);  // below 1 %
        EXPECT_EQ(LostBoxes(), 1);
        EXPECT_EQ(ui.messages.size(), 1u) << ui.messages.back().text.toStdString();
        EXPECT_TRUE(ui.errors.empty()) << ui.errors.front().toStdString();
        EXPECT_FALSE(form->VaComm1->Active());
        // The box's details carry the system's text.
        EXPECT_TRUE(ui.messages.front().details.contains(QStringLiteral("(5)")))
            << ui.messages.front().details.toStdString();
    }
    // Plugged in again, "Установить", a measurement: no more boxes.
    void ReplugSetAndMeasure()
    {
        ASSERT_NO_FATAL_FAILURE(meter->Plug());
        ASSERT_NO_FATAL_FAILURE(Set());
        EXPECT_TRUE(Measured());
        EXPECT_EQ(ui.messages.size(), 1u);
        EXPECT_TRUE(ui.errors.empty());
    }

    QTemporaryDir dir;
    FakeUi ui;
    std::unique_ptr<Meter> meter;
    ScriptedMeter* scripted = nullptr;
    std::unique_ptr<app::TForm1> form;
};

TEST_P(FormLineLostTest, UnpluggedWhileIdleThenMeasure)
{
    meter->Unplug();
    form->btnStart->click();
    RunUntil([] { return false; }, 300);
    form->btnStart->click();  // and again: the user has been told
    ExpectOneBoxAndQuiet();
    ReplugSetAndMeasure();
    meter->Unplug();
    RunUntil([] { return false; }, 300);
    const std::size_t shown = ui.messages.size();
    form->close();  // closing a window whose meter has gone stays silent
    EXPECT_EQ(ui.messages.size(), shown);
}

TEST_P(FormLineLostTest, UnpluggedWithACommandOnItsWay)
{
    meter->HoldWrites(true);
    form->btnStart->click();
    RunUntil([] { return false; }, 50);
    meter->Unplug();
    ExpectOneBoxAndQuiet();
    meter->HoldWrites(false);
    ReplugSetAndMeasure();
    if (scripted) {  // the command queued before the loss was dropped, not sent later
        EXPECT_EQ(scripted->line->written().size(), 2u);
    }
}

TEST_P(FormLineLostTest, UnpluggedInTheMiddleOfAReply)
{
    const auto before = form->Record.Samples;
    if (scripted)
        scripted->SendPartOfAReply();
    else
        form->btnStart->click();
    ASSERT_TRUE(RunUntil([&] { return form->TimRS->Enabled(); }, 3000));
    meter->Unplug();
    ExpectOneBoxAndQuiet();
    // The part that came is not shown as a reply of its own.
    EXPECT_EQ(form->Record.Samples, before);
    EXPECT_FALSE(form->mResult->toPlainText().startsWith(QStringLiteral("OscCal=")));
    ReplugSetAndMeasure();
}

TEST_P(FormLineLostTest, UnpluggedWhileAFileIsOpened)
{
    const QString path = dir.path() + QStringLiteral("/f.svk");
    WriteRecordFile(path, 300);
    meter->Unplug();
    // Before the window has run its loop: the re-analysis reads from the dead line.
    form->CurrentFileName = path;
    form->Guarded([&] { form->btFLoadClick(form->btNextFile); });
    EXPECT_FALSE(form->Reprocess);
    EXPECT_EQ(form->Record.SampleCount, 300);
    EXPECT_EQ(form->Series1->PointCount(), 300);
    ExpectOneBoxAndQuiet();
    ReplugSetAndMeasure();  // the next reply is decoded, not dropped as a re-analysis
}

INSTANTIATE_TEST_SUITE_P(Meters, FormLineLostTest, ::testing::Values("standin", "scripted"),
                         [](const auto& info) { return info.param; });

// A read error that is not a lost line, in the middle of a file open: the error
// box, and the re-analysis flag does not stay set to swallow the next reply.
TEST(FormReadError, DuringAFileOpenLeavesNoReanalysisPending)
{
    TestApplication();
    QTemporaryDir dir;
    qputenv("SOVIKAN_SYSFS_ROOT", (dir.path() + QStringLiteral("/no-sysfs")).toLocal8Bit());
    ScriptedMeter meter;
    FakeUi ui;
    app::TForm1 form(ui, analysis::NumberFormat{".", ","}, meter.Factory());
    form.sePort->setValue(kCom);
    form.btnPort->click();
    ASSERT_TRUE(form.VaComm1->Active());
    const QString path = dir.path() + QStringLiteral("/f.svk");
    WriteRecordFile(path, 300);
    meter.line->Fail(serial::ScriptedCall::Read, EPIPE, 1);
    form.CurrentFileName = path;
    form.Guarded([&] { form.btFLoadClick(form.btNextFile); });
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Read error (32)")));
    EXPECT_FALSE(form.Reprocess);
    meter.line->Receive(ScriptedMeter::Reply());
    EXPECT_TRUE(RunUntil([&] { return form.Record.SampleCount == 400; }, 3000));
    qunsetenv("SOVIKAN_SYSFS_ROOT");
}

// The stand-in found at start-up through the same discovery as a real meter:
// a measurement, a record read from its memory, and its calibration.
TEST(FormStandIn, FoundAtStartUpMeasuresReadsRecordsAndCalibrates)
{
    TestApplication();
    QTemporaryDir dir;
    qputenv("SOVIKAN_PORTS_DIR", (dir.path() + QStringLiteral("/ports")).toLocal8Bit());
    qputenv("SOVIKAN_SYSFS_ROOT", (dir.path() + QStringLiteral("/sysfs")).toLocal8Bit());
    StandInMeter meter(dir.path());
    ASSERT_NO_FATAL_FAILURE(meter.Plug());
    FakeUi ui;
    app::TForm1 form(ui, analysis::NumberFormat{".", ","});
    EXPECT_EQ(form.sePort->value(), kCom);
    ASSERT_TRUE(form.VaComm1->Active());
    auto replied = [&] { return form.Series1->PointCount() == 400 && !form.TimRS->Enabled(); };

    form.btnStart->click();
    ASSERT_TRUE(RunUntil(replied, 5000)) << meter.Log().toStdString();
    EXPECT_TRUE(form.mResult->toPlainText().startsWith(QStringLiteral("СРЕДНЕЕ")));
    EXPECT_EQ(form.ChartCorr->Chart().Title().Text().Count(), 1);
    EXPECT_TRUE(ui.messages.empty());

    const auto measured = form.Record.Samples;
    form.seRecord->setValue(39);
    form.btEEnext->click();
    ASSERT_TRUE(RunUntil([&] { return meter.Log().contains("read record 0"); }, 3000)) << meter.Log().toStdString();
    ASSERT_TRUE(RunUntil([&] { return form.Record.Samples != measured && replied(); }, 5000));

    DoubleClickPortGroup(form);
    ASSERT_TRUE(RunUntil([&] { return form.mResult->toPlainText().startsWith(QStringLiteral("OscCal=")); }, 3000));
    EXPECT_EQ(form.mResult->document()->blockCount(), 10);
    qunsetenv("SOVIKAN_PORTS_DIR");
    qunsetenv("SOVIKAN_SYSFS_ROOT");
}

}  // namespace
