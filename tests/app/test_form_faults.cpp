// The window when the line misbehaves: replies cut short, garbage, oversized
// bursts and bursts split over two reply windows. The program keeps running and
// shows what it can. (An unplugged meter: test_form_line_lost.cpp.)

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <random>

#include "app/controls.h"
#include "app/message_timer.h"
#include "chart/series.h"
#include "files/svk_file.h"
#include "form_fixture.h"
#include "meter_replies.h"
#include "pty_form_fixture.h"
#include "serial/va_comm.h"

namespace {

std::vector<std::uint8_t> Reply(int samples)
{
    return MeasurementReply(SquareWave(samples), 0.5f, 5, 1, 2.5f);
}

class FormFaultTest : public PtyFormTest {
protected:
    void SetUp() override
    {
        PtyFormTest::SetUp();
        OpenPort58();
    }
    // Runs the event loop until a reply run has happened and the line is quiet.
    void Settle(int ms = 700)
    {
        RunUntil([] { return false; }, ms);
    }
};

TEST_F(FormFaultTest, ShortAndGarbledRepliesNeverCrash)
{
    // Cut short: still a measurement reply, with fewer samples.
    auto reply = Reply(400);
    peer->Write(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 500));
    ASSERT_TRUE(RunUntil([&] { return form->Series1->PointCount() == 245; }, 3000));

    // Garbage of every length a burst can have.
    std::mt19937 random(7);
    for (int length : {1, 36, 37, 110, 111, 600, 820}) {
        std::vector<std::uint8_t> junk(static_cast<std::size_t>(length));
        for (auto& b : junk)
            b = static_cast<std::uint8_t>(random());
        peer->Write(junk);
        Settle(450);
    }
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(form->VaComm1->Active());
}

TEST_F(FormFaultTest, AnOversizedBurstIsReadIn820ByteReplies)
{
    std::vector<std::uint8_t> burst(5000, 0x11);
    peer->Write(burst);
    ASSERT_TRUE(RunUntil([&] { return form->Series1->PointCount() > 0; }, 3000));
    Settle(500);
    // Each run reads one reply of at most 820 bytes; what is left waits for
    // the next burst. (The pty hands the burst over in pieces, and the input
    // queue holds 4096 bytes, so how much is left depends on the timing.)
    EXPECT_EQ(form->Record.SampleCount, 405);
    const int waiting = form->VaComm1->InQueCount();
    EXPECT_GE(waiting, 820);
    EXPECT_LE(waiting, 5000 - 820);
    peer->Write({0x22});
    Settle(500);
    EXPECT_EQ(form->VaComm1->InQueCount(), waiting + 1 - 820);
}

TEST_F(FormFaultTest, ABurstSplitOverTwoReplyWindows)
{
    auto reply = Reply(400);
    peer->Write(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 400));
    ASSERT_TRUE(RunUntil([&] { return form->Series1->PointCount() == 195; }, 3000));
    peer->Write(std::vector<std::uint8_t>(reply.begin() + 400, reply.end()));
    Settle(600);
    // The second part (411 bytes) is taken as a reply of its own.
    EXPECT_EQ(form->Record.SampleCount, 200);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormFaultTest, BytesArrivingWhileAFileIsOpenedAreDropped)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/f.svk");
    WriteRecordFile(path.toStdString(), 400);
    peer->Write(Reply(100));
    RunUntil([&] { return form->VaComm1->InQueCount() == 211; }, 1000);
    form->CurrentFileName = path;
    form->Guarded([&] { form->btFLoadClick(form->btNextFile); });
    EXPECT_EQ(form->Record.SampleCount, 400);
    EXPECT_EQ(form->Record.Samples[1], 901);
    EXPECT_EQ(form->VaComm1->InQueCount(), 0);
    Settle(500);
    EXPECT_EQ(form->Record.SampleCount, 400);  // the dropped reply never shows
}

}  // namespace
