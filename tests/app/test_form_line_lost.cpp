// The meter unplugged while the window runs, as a user meets it: idle, with a
// command on its way, in the middle of a reply, while a file is being opened;
// then plugged in again, "Установить", and a measurement. Each sequence runs
// against the meter stand-in on a pseudo-terminal (a hang-up the driver
// reports at once) and against the scripted device (a quiet driver whose next
// call fails, as Windows behaves). The user sees exactly one box per loss, and
// nothing keeps working on the dead line afterwards. Last, the window against
// the stand-in found at start-up, as a real meter is found.

#include <time.h>

#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <cerrno>

#include "app/message_timer.h"
#include "meter_fixture.h"
#include "serial/scripted_device.h"

namespace {

constexpr int kCom = 50;

// The CPU time the whole process used so far.
double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
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
};

class StandInMeter : public Meter {
public:
    explicit StandInMeter(const QString& folder) : folder_(folder) {}
    ~StandInMeter() override { Unplug(); }
    void Plug() override
    {
        process_.start(QStringLiteral(SOVIKAN_METER_PROGRAM),
                       {QStringLiteral("--ports"), folder_ + QStringLiteral("/ports"), QStringLiteral("--sysfs"),
                        folder_ + QStringLiteral("/sysfs"), QStringLiteral("--com"), QString::number(kCom),
                        QStringLiteral("--log")});
        QByteArray out;
        ASSERT_TRUE(
            RunUntil([&] { return (out += process_.readAllStandardOutput()).contains("SOVIKAN_METER_COM="); }, 5000))
            << out.toStdString();
    }
    void Unplug() override
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();  // it stops at once, also in the middle of a reply
        process_.waitForFinished(3000);
    }
    // One line for each command the stand-in received.
    QByteArray Log() { return log_ += process_.readAllStandardError(); }

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
                line->Receive(MeasurementReply());
    }

    std::shared_ptr<serial::ScriptedLine> line = std::make_shared<serial::ScriptedLine>();

private:
    std::size_t served_ = 0;
};

class FormLineLostTest : public FormTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(dir.isValid());
        LookIn("ports", "no-sysfs");
        if (GetParam() == "standin") {
            meter = std::make_unique<StandInMeter>(dir.path());
        } else {
            scripted = new ScriptedMeter;
            meter.reset(scripted);
        }
        ASSERT_NO_FATAL_FAILURE(meter->Plug());
        MakeForm(meter->Factory());
        ASSERT_NO_FATAL_FAILURE(SetPort(kCom));
    }
    void TearDown() override
    {
        FormTest::TearDown();
        meter.reset();
    }
    // After the loss: one box with the system's text in its details, no error
    // box, and the program at rest.
    void ExpectOneBoxAndQuiet()
    {
        ASSERT_TRUE(RunUntil([&] { return !ui.messages.empty(); }, 3000));
        const int ms = qEnvironmentVariableIntValue("SOVIKAN_IDLE_CHECK_MS") > 0
                           ? qEnvironmentVariableIntValue("SOVIKAN_IDLE_CHECK_MS")
                           : 2000;
        const double before = CpuSeconds();
        QEventLoop idle;  // idle, as the window is between user actions
        QTimer::singleShot(ms, &idle, &QEventLoop::quit);
        idle.exec();
        const double cpu = CpuSeconds() - before;
        std::printf("line lost (%s): CPU %.1f ms in %d ms after the box\n", GetParam().c_str(), cpu * 1e3, ms);
        EXPECT_LT(cpu, ms / 100.0 / 1e3);  // below 1 %
        EXPECT_EQ(ui.Texts(),
                  QStringList{QStringLiteral("Связь с прибором на порту COM50 потеряна. Подключите прибор и "
                                             "нажмите «Установить».")});
        EXPECT_EQ(ui.messages.front().title, QStringLiteral("Предупреждение"));
        EXPECT_TRUE(ui.messages.front().details.contains(QStringLiteral("(5)")))
            << ui.messages.front().details.toStdString();
        EXPECT_TRUE(ui.errors.empty()) << ui.errors.front().toStdString();
        EXPECT_FALSE(form->VaComm1->Active());
    }
    // Plugged in again, "Установить", a measurement: no more boxes.
    void ReplugSetAndMeasure()
    {
        ASSERT_NO_FATAL_FAILURE(meter->Plug());
        ASSERT_NO_FATAL_FAILURE(SetPort(kCom));
        form->Record.SampleCount = 0;  // the reply sets it again
        form->btnStart->click();
        EXPECT_TRUE(RunUntil(
            [&] {
                meter->Serve();
                return form->Record.SampleCount == 400 && form->Series1->PointCount() == 400;
            },
            5000));
        EXPECT_EQ(ui.messages.size(), 1u);
        EXPECT_TRUE(ui.errors.empty());
    }

    std::unique_ptr<Meter> meter;
    ScriptedMeter* scripted = nullptr;
};

TEST_P(FormLineLostTest, UnpluggedWhileIdleThenMeasure)
{
    meter->Unplug();
    form->btnStart->click();
    Idle(300);
    form->btnStart->click();  // and again: the user has been told
    ExpectOneBoxAndQuiet();
    ReplugSetAndMeasure();
    meter->Unplug();
    Idle(300);
    const std::size_t shown = ui.messages.size();
    form->close();  // closing a window whose meter has gone stays silent
    EXPECT_EQ(ui.messages.size(), shown);
}

TEST_P(FormLineLostTest, UnpluggedWithACommandOnItsWay)
{
    meter->HoldWrites(true);
    form->btnStart->click();
    Idle(50);
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
    if (scripted)  // the first part of a reply, sent without a command
        scripted->line->Receive(Part(MeasurementReply(), 0, 300));
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
    WriteRecordFile(Path("f.svk"), 300);
    meter->Unplug();
    // Before the window has run its loop: the re-analysis reads from the dead line.
    StepTo(Path("f.svk"));
    EXPECT_FALSE(form->Reprocess);
    EXPECT_EQ(form->Series1->PointCount(), 300);
    ExpectOneBoxAndQuiet();
    ReplugSetAndMeasure();  // the next reply is decoded, not dropped as a re-analysis
}

INSTANTIATE_TEST_SUITE_P(Meters, FormLineLostTest, ::testing::Values("standin", "scripted"),
                         [](const auto& info) { return info.param; });

class FormMeterTest : public FormTest {
protected:
    void SetUp() override {}
};

// A read error that is not a lost line, in the middle of a file open: the error
// box, and the re-analysis flag does not stay set to swallow the next reply.
TEST_F(FormMeterTest, AReadErrorDuringAFileOpenLeavesNoReanalysisPending)
{
    LookIn("ports", "no-sysfs");
    ScriptedMeter meter;
    MakeForm(meter.Factory());
    SetPort(kCom);
    WriteRecordFile(Path("f.svk"), 300);
    meter.line->Fail(serial::ScriptedCall::Read, EPIPE, 1);
    StepTo(Path("f.svk"));
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Read error (32)")));
    EXPECT_FALSE(form->Reprocess);
    meter.line->Receive(MeasurementReply());
    EXPECT_TRUE(RunUntil([&] { return form->Record.SampleCount == 400; }, 3000));
    form.reset();
}

// The stand-in found at start-up through the same discovery as a real meter,
// and a measurement from it. (Its answers: tests/tools/test_standin.cpp; the
// record and check commands through the window: test_form_device.cpp.)
TEST_F(FormMeterTest, TheStandInIsFoundAtStartUpAndMeasures)
{
    LookIn("ports", "sysfs");
    StandInMeter meter(dir.path());
    ASSERT_NO_FATAL_FAILURE(meter.Plug());
    MakeForm();
    EXPECT_EQ(form->sePort->value(), kCom);
    ASSERT_TRUE(form->VaComm1->Active());
    form->btnStart->click();
    ASSERT_TRUE(RunUntil([&] { return form->Series1->PointCount() == 400 && !form->TimRS->Enabled(); }, 5000))
        << meter.Log().toStdString();
    EXPECT_TRUE(form->mResult->toPlainText().startsWith(QStringLiteral("СРЕДНЕЕ")));
    EXPECT_TRUE(ui.messages.empty());
    form.reset();
}

}  // namespace
