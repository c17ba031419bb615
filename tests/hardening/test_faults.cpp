// Faults on the line, at the level of the serial component and the reply
// decoding: the test plays the meter on the master side of a real
// pseudo-terminal (the component opens the slave by its path), and line
// errors come from the scripted device.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "helpers/pty_pair.h"
#include "device/line.h"
#include "device/reply.h"
#include "process_figures.h"
#include "serial/scripted_device.h"
#include "serial/va_comm.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// An 811-byte measurement reply: 400 samples counting up, range 5, multiplier 2.
std::vector<std::uint8_t> Reply()
{
    std::vector<std::uint16_t> samples(400);
    for (int i = 0; i < 400; ++i)
        samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i);
    return device::EncodeMeasurementReply(samples, 0.02f, 5, 2, 2.5f, '5');
}

class LineFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        hardening::SettleRuntimeThreads();
        baseThreads = hardening::Threads();
        comm = std::make_unique<serial::TVaComm>(loop);
        Attach(*pty);
        comm->OnRxChar = [this](serial::TVaCustomComm&, std::int32_t) { ++rxEvents; };
        comm->Open();
    }
    void TearDown() override
    {
        comm.reset();
        loop.RunPending();
    }
    void Attach(PtyPair& p)
    {
        comm->SetDeviceName(p.path());
        device::ApplyLineSettings(*comm);
    }
    // The window's reception: the first event, then everything read at once
    // after 300 ms without new bytes.
    int ReadBurst()
    {
        const int before = rxEvents;
        if (!loop.RunUntil([&] { return rxEvents > before; }, 3000ms))
            return -1;
        QuietFor(300ms);
        const int count = comm->ReadBuf(rx.RxBuffer.data(), device::kRxBufferSize);
        rx.Received(count);
        return count;
    }
    void QuietFor(std::chrono::milliseconds quiet)
    {
        int waiting = comm->InQueCount();
        auto since = Clock::now();
        while (Clock::now() - since < quiet) {
            loop.RunFor(5ms);
            const int now = comm->InQueCount();
            if (now != waiting) {
                waiting = now;
                since = Clock::now();
            }
        }
    }
    int ThreadsAfterClose()
    {
        const auto deadline = Clock::now() + 1s;
        while (hardening::Threads() > baseThreads && Clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        return hardening::Threads();
    }

    std::unique_ptr<PtyPair> pty = std::make_unique<PtyPair>();
    serial::EventLoopDispatcher loop;
    std::unique_ptr<serial::TVaComm> comm;
    device::ReplyReceiver rx;
    int rxEvents = 0;
    int baseThreads = 0;
};

TEST_F(LineFaults, HangUpInTheMiddleOfAReplyIsOneLostLineThenQuietUntilReopened)
{
    std::vector<std::string> lost;
    int errors = 0;
    comm->OnLineLost = [&](serial::TVaCustomComm&, const std::string& detail) { lost.push_back(detail); };
    comm->OnError = [&](serial::TVaCustomComm&, std::int32_t) { ++errors; };
    comm->OnException = [&](std::exception_ptr) { ++errors; };
    const auto reply = Reply();
    pty->Send(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 400));
    ASSERT_TRUE(loop.RunUntil([&] { return rxEvents > 0; }, 3000ms));
    ASSERT_TRUE(comm->WriteChar(0x20));
    // The writer thread sends the byte; the hang-up comes after it, so the
    // line is lost while waiting for events, not while writing.
    std::vector<std::uint8_t> sent;
    ASSERT_TRUE(loop.RunUntil([&] { return !(sent = pty->ReadAvailable()).empty(); }, 3000ms));
    EXPECT_EQ(sent, std::vector<std::uint8_t>{0x20});
    pty->CloseMaster();  // the slave now sees a hang-up (EIO on read, POLLHUP)

    ASSERT_TRUE(loop.RunUntil([&] { return !lost.empty(); }, 3000ms));
    EXPECT_EQ(lost[0].rfind("Error waiting for events (5), ", 0), 0u) << lost[0];
    EXPECT_FALSE(comm->Active());
    EXPECT_EQ(ThreadsAfterClose(), baseThreads);
    // Nothing retries or reports any more.
    const double cpuBefore = hardening::CpuSeconds();
    loop.RunFor(1000ms);
    const double cpu = hardening::CpuSeconds() - cpuBefore;
    std::printf("faults: CPU %.4f s in the second after the hang-up\n", cpu);
    EXPECT_LT(cpu, 0.01);
    EXPECT_EQ(comm->ReadBuf(rx.RxBuffer.data(), device::kRxBufferSize), 0);
    EXPECT_FALSE(comm->WriteChar(0x20));
    EXPECT_EQ(lost.size(), 1u);
    EXPECT_EQ(errors, 0);

    // Reopened on a line that works again: a whole reply as usual.
    pty = std::make_unique<PtyPair>();
    Attach(*pty);
    comm->Open();
    pty->Send(reply);
    ASSERT_EQ(ReadBurst(), 811);
    analysis::MeasurementRecord record;
    rx.DecodeMeasurement(record);
    EXPECT_EQ(record.SampleCount, 400);
    EXPECT_EQ(record.Samples[399], 399);
    comm->Close();
    EXPECT_EQ(ThreadsAfterClose(), baseThreads);
}

TEST_F(LineFaults, ReplyCutShortIsDecodedAsWhatCameAndTheNextReplyIsWhole)
{
    const auto reply = Reply();
    pty->Send(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 300));
    ASSERT_EQ(ReadBurst(), 300);
    ASSERT_TRUE(rx.IsMeasurement());
    analysis::MeasurementRecord record;
    rx.DecodeMeasurement(record);
    EXPECT_EQ(record.SampleCount, 145);  // n = 290: the "trailer" is sample bytes

    // Cut below the measurement size: the calibration path with the old buffer.
    pty->Send(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 20));
    ASSERT_EQ(ReadBurst(), 20);
    EXPECT_FALSE(rx.IsMeasurement());
    EXPECT_EQ(device::ListCalibration(rx.Calibration(), {",", " "}).lines.size(), 10u);

    pty->Send(reply);
    ASSERT_EQ(ReadBurst(), 811);
    rx.DecodeMeasurement(record);
    EXPECT_EQ(record.SampleCount, 400);
    EXPECT_EQ(record.TimeMultiplier, 2);
    EXPECT_FLOAT_EQ(record.SampleInterval, 0.25f);
}

TEST_F(LineFaults, GarbageBurstsAreReadWholeAndReceptionGoesOn)
{
    std::size_t sent = 0, read = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const auto garbage = Pattern(37 * seed * seed, seed);
        pty->Send(garbage);
        sent += garbage.size();
        int count = ReadBurst();
        ASSERT_GT(count, 0) << "burst " << seed;
        // More than a buffer: the rest waits in the queue for the next read.
        while (count > 0) {
            read += static_cast<std::size_t>(count);
            analysis::MeasurementRecord record;  // whatever it is, it decodes without harm
            if (rx.IsMeasurement())
                rx.DecodeMeasurement(record);
            else
                device::ListCalibration(rx.Calibration(), {".", ","});
            count = comm->ReadBuf(rx.RxBuffer.data(), device::kRxBufferSize);
            rx.Received(count);
        }
        ASSERT_EQ(read, sent) << "burst " << seed;
    }
    pty->Send(Reply());
    ASSERT_EQ(ReadBurst(), 811);
}

TEST_F(LineFaults, BurstOf5000BytesIsReadIn820ByteChunksWithoutLossOrExtraEvents)
{
    // A driver queue that holds the whole burst (the default ReadSize is 4096).
    comm->Close();
    comm->Buffers().SetReadSize(8192);
    comm->Open();
    const auto burst = Pattern(5000, 42);
    std::atomic<bool> sentAll{false};
    std::thread sender([&] {
        pty->Send(burst);
        sentAll = true;
    });
    ASSERT_TRUE(loop.RunUntil([&] { return rxEvents > 0; }, 3000ms));
    // Let it all arrive before the first read, as it would within the 300 ms.
    ASSERT_TRUE(loop.RunUntil([&] { return sentAll.load(); }, 5000ms));
    QuietFor(100ms);
    const int eventsWhenAllSent = rxEvents;
    EXPECT_EQ(comm->InQueCount(), 5000);
    std::vector<std::uint8_t> got;
    int chunks = 0;
    for (int n; (n = comm->ReadBuf(rx.RxBuffer.data(), device::kRxBufferSize)) > 0;) {
        EXPECT_LE(n, device::kRxBufferSize);
        got.insert(got.end(), rx.RxBuffer.begin(), rx.RxBuffer.begin() + n);
        ++chunks;
        loop.RunFor(20ms);
    }
    sender.join();
    EXPECT_EQ(got, burst);
    EXPECT_EQ(chunks, 7);  // six of 820 and one of 80
    // Bytes already waiting cause no further received-character event.
    loop.RunFor(100ms);
    EXPECT_EQ(rxEvents, eventsWhenAllSent);
}

TEST_F(LineFaults, BurstBeyondTheDriverQueueIsReportedAsOverrunNotLostSilently)
{
    std::uint32_t errors = 0;
    comm->OnError = [&](serial::TVaCustomComm&, std::int32_t e) { errors |= static_cast<std::uint32_t>(e); };
    const auto burst = Pattern(5000, 43);
    std::thread sender([&] { pty->Send(burst); });
    ASSERT_TRUE(loop.RunUntil([&] { return rxEvents > 0; }, 3000ms));
    sender.join();
    QuietFor(100ms);
    std::vector<std::uint8_t> got;
    for (int n; (n = comm->ReadBuf(rx.RxBuffer.data(), device::kRxBufferSize)) > 0;)
        got.insert(got.end(), rx.RxBuffer.begin(), rx.RxBuffer.begin() + n);
    loop.RunFor(50ms);
    std::printf("faults: 5000 bytes at once into a queue of 4096: %zu read, errors 0x%X\n", got.size(), errors);
    ASSERT_GE(got.size(), 4096u);
    // What was kept is the start of the burst, unchanged; a loss is reported.
    EXPECT_TRUE(std::equal(got.begin(), got.end(), burst.begin()));
    if (got.size() < burst.size()) {
        EXPECT_TRUE(errors & serial::CE_RXOVER);
    }
}

TEST_F(LineFaults, ReplySplitOverTwoReads)
{
    const auto reply = Reply();
    // Split inside the 300 ms: one burst, read whole.
    pty->Send(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 500));
    loop.RunFor(50ms);
    pty->Send(std::vector<std::uint8_t>(reply.begin() + 500, reply.end()));
    ASSERT_EQ(ReadBurst(), 811);

    // Split after a read: the second part is a burst of its own with its own event.
    pty->Send(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 500));
    ASSERT_EQ(ReadBurst(), 500);
    analysis::MeasurementRecord record;
    rx.DecodeMeasurement(record);
    EXPECT_EQ(record.SampleCount, 245);
    pty->Send(std::vector<std::uint8_t>(reply.begin() + 500, reply.end()));
    ASSERT_EQ(ReadBurst(), 311);
    EXPECT_EQ(rx.RxBuffer[310], reply[810]);
}

TEST(LineErrors, ErrorsAreReportedWithoutBreakingReception)
{
    auto line = std::make_shared<serial::ScriptedLine>();
    serial::EventLoopDispatcher loop;
    serial::TVaComm comm(loop, serial::ScriptedFactory(line));
    std::vector<std::int32_t> errors;
    std::vector<std::uint8_t> got;
    comm.OnError = [&](serial::TVaCustomComm&, std::int32_t e) { errors.push_back(e); };
    comm.OnRxChar = [&](serial::TVaCustomComm& c, std::int32_t) {
        std::uint8_t buf[device::kRxBufferSize];
        const int n = c.ReadBuf(buf, device::kRxBufferSize);
        got.insert(got.end(), buf, buf + n);
    };
    comm.Open();
    const auto reply = Reply();
    std::size_t expected = 0;
    const std::uint32_t kinds[] = {serial::CE_RXPARITY, serial::CE_FRAME, serial::CE_OVERRUN,
                                   serial::CE_FRAME | serial::CE_RXPARITY};
    for (std::uint32_t kind : kinds) {
        line->AddLineErrors(kind);
        line->Receive(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 200));
        expected += 200;
        ASSERT_TRUE(loop.RunUntil([&] { return got.size() == expected && !errors.empty(); }, 3000ms));
        EXPECT_EQ(errors.back(), static_cast<std::int32_t>(kind));
        errors.clear();
    }
    // A handler that throws is reported and reception still goes on.
    comm.OnException = [](std::exception_ptr) {};
    comm.OnError = [](serial::TVaCustomComm&, std::int32_t) { throw std::runtime_error("error box"); };
    line->AddLineErrors(serial::CE_FRAME);
    line->Receive(reply);
    expected += reply.size();
    ASSERT_TRUE(loop.RunUntil([&] { return got.size() == expected; }, 3000ms));
    EXPECT_EQ(std::vector<std::uint8_t>(got.end() - 811, got.end()), reply);
    EXPECT_FALSE(comm.CheckLineErrors());
}

}  // namespace
