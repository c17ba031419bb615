// The window and the meter link: port selection, the commands the buttons
// send, and reply processing, with the test playing the meter on a pty.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/message_timer.h"
#include "meter_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using FormDeviceTest = PtyFormTest;

TEST_F(FormDeviceTest, NoMeterFoundLeavesPortOneClosedAndEveryCommandSaysSo)
{
    EXPECT_EQ(form->sePort->value(), 1);
    EXPECT_FALSE(form->VaComm1->Active());
    // Each command the user gives on the closed port: one box that says how to open it.
    form->btnStart->click();
    RunUntil([&] { return !form->TimPause->Enabled(); }, 1000);
    form->btLoad->click();
    form->btEEnext->click();
    DoubleClickPortGroup(*form);
    const QString closed = QStringLiteral("Порт COM1 не открыт. Подключите прибор, выберите номер его порта и "
                                          "нажмите «Установить».");
    EXPECT_EQ(ui.Texts(), QStringList(4, closed));
    for (const auto& m : ui.messages)
        EXPECT_EQ(m.title, QStringLiteral("Предупреждение"));
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormDeviceTest, MeasureCommandAfterThePause)
{
    SetPort(58);
    form->SetSelectedRangeItem(0);
    form->seTime->setValue(255);
    form->gbFile->setTitle(QStringLiteral("ФАЙЛ x.svk"));
    form->btnStartClick();
    EXPECT_EQ(form->gbFile->title(), QStringLiteral("ФАЙЛ "));
    EXPECT_EQ(form->TimPause->Interval(), 1);
    EXPECT_EQ(peer->Read(2), (Bytes{48, 255}));
    EXPECT_FALSE(form->TimPause->Enabled());

    form->SetSelectedRangeItem(8);
    form->seTime->setValue(1);
    form->sePause->setValue(2);
    form->btnStartClick();
    EXPECT_EQ(form->TimPause->Interval(), 2000);
    EXPECT_TRUE(peer->Read(2, 500).empty());  // still pausing
    form->btnStartClick();                    // unchanged pause: no restart, one command
    EXPECT_EQ(peer->Read(4, 3000), (Bytes{56, 1}));
}

TEST_F(FormDeviceTest, RecordCommandsWrapAround)
{
    SetPort(58);
    form->seRecord->setValue(39);
    form->btEEnextClick();
    EXPECT_EQ(form->seRecord->value(), 0);
    EXPECT_EQ(peer->Read(2), (Bytes{64, 0}));
    form->btEEprevClick();
    EXPECT_EQ(form->seRecord->value(), 39);
    EXPECT_EQ(peer->Read(2), (Bytes{64, 39}));
    // The spin buttons step one past either end; the change handler wraps.
    form->seRecord->setValue(40);
    EXPECT_EQ(form->seRecord->value(), 0);
    form->seRecord->setValue(-1);
    EXPECT_EQ(form->seRecord->value(), 39);
    // A typed number above 39 wraps to 0 as well, keystroke by keystroke.
    auto* edit = form->seRecord->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("45"));
    EXPECT_EQ(form->seRecord->value(), 0);
    EXPECT_TRUE(peer->Read(1, 200).empty());  // no read without a press
    form->btLoadClick();
    EXPECT_EQ(peer->Read(2), (Bytes{64, 0}));
}

TEST_F(FormDeviceTest, CheckCommandFromTheGroupAndOnClose)
{
    SetPort(58);
    DoubleClickPortGroup(*form);
    EXPECT_EQ(peer->Read(1), (Bytes{32}));
    // Closing right after "Измерение" with a click still queued: the check
    // byte goes out, the pending measurement and the click do not.
    form->show();
    form->sePause->setValue(0);
    form->btnStartClick();
    const QPointF centre = QRectF(form->btnStart->rect()).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(form->btnStart, new QMouseEvent(type, centre, form->btnStart->mapToGlobal(centre),
                                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    form->close();
    form.reset();
    EXPECT_EQ(peer->Read(1), (Bytes{32}));
    Idle(100);
    EXPECT_TRUE(peer->Read(1, 300).empty());
}

// A reply is shown, analysed and its record arrows offered; a short one is
// listed as calibration. (The decoding: tests/device/test_reply.cpp; the
// statistics and the period: tests/analysis; a re-analysis dropping waiting
// bytes: test_form_faults.cpp.)
TEST_F(FormDeviceTest, RepliesAreShownAsMeasurementOrCalibration)
{
    SetPort(58);
    Bytes cal(36, 0);
    cal.push_back(0xA7);
    peer->Send(cal);
    ASSERT_TRUE(RunUntil([&] { return form->mResult->toPlainText().startsWith(QStringLiteral("OscCal=A7")); }, 3000));
    EXPECT_EQ(form->mResult->document()->blockCount(), 10);
    EXPECT_FALSE(form->btEEnext->isVisibleTo(form.get()));

    Reply(MeasurementReply(), 400);
    EXPECT_TRUE(form->mResult->toPlainText().startsWith(QStringLiteral("СРЕДНЕЕ     1000")));
    EXPECT_TRUE(form->btEEnext->isVisibleTo(form.get()));
    EXPECT_TRUE(form->btEEprev->isVisibleTo(form.get()));
    EXPECT_EQ(form->SeriesPeriod->PointCount(), 2);
    EXPECT_TRUE(ui.messages.empty());
}

// A port that cannot be opened falls back to port 1 silently; when port 1 does
// not open either, one box names port 1 and gives the system's words. Pressing
// «Установить» again on an open port reopens it.
TEST_F(FormDeviceTest, AnUnopenablePortFallsBackToPortOne)
{
    SetPort(58);
    form->btnPortClick();
    EXPECT_EQ(form->VaComm1->PortNum(), 58);
    EXPECT_TRUE(form->VaComm1->Active());
    EXPECT_TRUE(ui.messages.empty());
    for (const bool port1Opens : {false, true}) {
        SCOPED_TRACE(port1Opens);
        ui.messages.clear();
        std::unique_ptr<PtyPort> port1;
        if (port1Opens)
            port1 = std::make_unique<PtyPort>(Path("ports"), 1);
        else
            std::filesystem::create_symlink("/nonexistent/tty", Path("ports/com1").toStdString());
        form->sePort->setValue(77);  // no such device
        form->btnPortClick();
        EXPECT_EQ(form->VaComm1->Active(), port1Opens);
        EXPECT_EQ(ui.Texts(), port1Opens ? QStringList() : QStringList{QStringLiteral("Невозможно открыть порт 1")});
        if (port1Opens) {
            EXPECT_EQ(form->sePort->value(), 1);
            continue;
        }
        EXPECT_EQ(ui.messages[0].icon, app::MessageIcon::Warning);
        EXPECT_EQ(ui.messages[0].title, QStringLiteral("Предупреждение"));
        EXPECT_TRUE(ui.messages[0].details.contains(QStringLiteral("No such file or directory")));
    }
}

}  // namespace
