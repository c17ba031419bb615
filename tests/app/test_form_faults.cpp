// The window when the line misbehaves: replies cut short, garbage, oversized
// bursts and bursts split over two reply windows. The program keeps running and
// shows what it can. (An unplugged meter: test_form_line_lost.cpp.)

#include <random>

#include "meter_fixture.h"

namespace {

class FormFaultTest : public PtyFormTest {
protected:
    void SetUp() override
    {
        PtyFormTest::SetUp();
        SetPort(58);
    }
};

// A reply split over two reply windows is shown as two shorter replies, and
// garbage of every length a burst can have is taken in. (The decoding of what
// came: tests/hardening/test_faults.cpp.)
TEST_F(FormFaultTest, SplitAndGarbledRepliesNeverCrash)
{
    const auto reply = MeasurementReply();
    Reply(Part(reply, 0, 400), 195);
    Reply(Part(reply, 400, reply.size()), 200);  // 411 bytes
    std::mt19937 random(7);
    for (int length : {1, 36, 37, 110, 111, 600, 820}) {
        std::vector<std::uint8_t> junk(static_cast<std::size_t>(length));
        for (auto& b : junk)
            b = static_cast<std::uint8_t>(random());
        peer->Send(junk);
        Idle(450);
    }
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(form->VaComm1->Active());
}

TEST_F(FormFaultTest, AnOversizedBurstIsReadIn820ByteReplies)
{
    peer->Send(std::vector<std::uint8_t>(5000, 0x11));
    ASSERT_TRUE(RunUntil([&] { return form->Series1->PointCount() > 0; }, 3000));
    Idle(500);
    // Each run reads one reply of at most 820 bytes; what is left (how much
    // depends on the timing) waits for the next burst.
    EXPECT_EQ(form->Record.SampleCount, 405);
    const int waiting = form->VaComm1->InQueCount();
    EXPECT_GE(waiting, 820);
    EXPECT_LE(waiting, 5000 - 820);
    peer->Send({0x22});
    Idle(500);
    EXPECT_EQ(form->VaComm1->InQueCount(), waiting + 1 - 820);
}

TEST_F(FormFaultTest, ABurstSplitOverTwoReplyWindows)
{
    const auto reply = MeasurementReply();
    Reply(Part(reply, 0, 400), 195);
    peer->Send(Part(reply, 400, reply.size()));
    Idle(600);
    // The second part (411 bytes) is taken as a reply of its own.
    EXPECT_EQ(form->Record.SampleCount, 200);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormFaultTest, BytesArrivingWhileAFileIsOpenedAreDropped)
{
    WriteRecordFile(Path("f.svk"), 400);
    peer->Send(MeasurementReply(100));
    RunUntil([&] { return form->VaComm1->InQueCount() == 211; }, 1000);
    StepTo(Path("f.svk"));
    EXPECT_EQ(form->Record.Samples[1], 901);
    EXPECT_EQ(form->VaComm1->InQueCount(), 0);
    Idle(500);
    EXPECT_EQ(form->Record.SampleCount, 400);  // the dropped reply never shows
}

}  // namespace
