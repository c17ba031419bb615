// The component against the scripted device: settings, DCB, event mask, every error
// message, the write queue and the dispatch of events.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "device/line.h"
#include "serial/scripted_device.h"
#include "serial/va_comm.h"
#include "systext/system_text.h"

using namespace std::chrono_literals;
using serial::ScriptedCall;

namespace {

std::string Text(int code)
{
    return systext::SystemErrorText(code);
}

class CommDouble : public ::testing::Test {
protected:
    CommDouble() : line(std::make_shared<serial::ScriptedLine>())
    {
        comm = std::make_unique<serial::TVaComm>(loop, serial::ScriptedFactory(line));
        comm->OnException = [this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                reported.push_back(x.what());
            }
        };
    }
    // The settings of the main window's port.
    void ConfigureAsMainWindow()
    {
        device::ApplyLineSettings(*comm);
        comm->SetPortNum(1);
        comm->SetDeviceName("COM%d");
    }
    // The message of the component's exception `action` raises, "" when it raises none.
    static std::string ErrorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const serial::EVaCommError& e) {
            return e.what();
        }
        return "";
    }
    std::string OpenError()
    {
        return ErrorOf([&] { comm->Open(); });
    }
    bool Pump(const std::function<bool()>& done) { return loop.RunUntil(done, 2000ms); }

    serial::EventLoopDispatcher loop;
    std::shared_ptr<serial::ScriptedLine> line;
    std::unique_ptr<serial::TVaComm> comm;
    std::vector<std::string> reported;
};

TEST_F(CommDouble, DefaultsOfANewComponent)
{
    EXPECT_FALSE(comm->Active());
    EXPECT_FALSE(comm->AutoOpen());
    EXPECT_EQ(comm->Baudrate(), serial::br1200);
    EXPECT_EQ(comm->Parity(), serial::paNone);
    EXPECT_FALSE(comm->ParityCheck());
    EXPECT_EQ(comm->Databits(), serial::db8);
    EXPECT_EQ(comm->Stopbits(), serial::sb1);
    EXPECT_EQ(comm->Options(), 0);
    EXPECT_EQ(comm->PortNum(), 0);
    EXPECT_EQ(comm->DeviceName(), "COM%d");
    EXPECT_EQ(comm->MonitorEvents(), 200);
    EXPECT_EQ(comm->MonitorEvents(), serial::EventBit(serial::ceError) | serial::EventBit(serial::ceRxChar) |
                                         serial::EventBit(serial::ceTxEmpty));
    EXPECT_EQ(comm->EventPriority(), serial::tpNormal);
    EXPECT_EQ(comm->WritePriority(), serial::tpHighest);
    EXPECT_FALSE(comm->DirectWrite());
    EXPECT_TRUE(comm->UpdateDCB());
    EXPECT_EQ(comm->UserBaudrate(), 0);
    EXPECT_TRUE(comm->LinksEnabled);
    EXPECT_EQ(comm->Buffers().ReadSize(), 4096);
    EXPECT_EQ(comm->Buffers().WriteSize(), 2048);
    EXPECT_EQ(comm->Buffers().ReadTimeout(), 1000);
    EXPECT_EQ(comm->Buffers().WriteTimeout(), 1000);
    EXPECT_EQ(comm->EventChars().XonChar(), 17);
    EXPECT_EQ(comm->EventChars().XoffChar(), 19);
    EXPECT_EQ(comm->EventChars().ErrorChar(), 0);
    EXPECT_EQ(comm->EventChars().EventChar(), 0);
    EXPECT_EQ(comm->EventChars().EofChar(), 0);
    const serial::TVaFlowControl& fc = comm->FlowControl();
    EXPECT_FALSE(fc.OutCtsFlow() || fc.OutDsrFlow() || fc.XonXoffOut() || fc.XonXoffIn() || fc.DsrSensitivity() ||
                 fc.TxContinueOnXoff());
    EXPECT_EQ(fc.ControlDtr(), serial::dtrDisabled);
    EXPECT_EQ(fc.ControlRts(), serial::rtsDisabled);
    EXPECT_EQ(comm->DevicePath(), "COM0");
    // Closed: everything answers 0 / false without touching a device.
    std::uint8_t buf[4];
    EXPECT_EQ(comm->ReadBuf(buf, 4), 0);
    EXPECT_EQ(comm->WriteBuf(buf, 4), 0);
    EXPECT_FALSE(comm->WriteChar(1));
    EXPECT_EQ(comm->InQueCount(), 0);
    EXPECT_FALSE(comm->CheckLineErrors());
    serial::TVaCommStatus st;
    st.Errors = 7;
    comm->GetStatus(st);
    EXPECT_EQ(st.Errors, 0u);
    EXPECT_EQ(st.Stat.cbInQue, 0u);
    EXPECT_TRUE(line->calls().empty());
}

TEST_F(CommDouble, MainWindowSettingsGiveTheDocumentedLine)
{
    ConfigureAsMainWindow();
    comm->Open();
    ASSERT_TRUE(comm->Active());
    EXPECT_EQ(line->openedPath(), "COM1");
    ASSERT_EQ(line->states().size(), 1u);
    const serial::Dcb dcb = line->states().back();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 38400u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, serial::ODDPARITY);
    EXPECT_EQ(dcb.StopBits, serial::ONESTOPBIT);
    EXPECT_EQ(dcb.Flags, 4099u);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(line->mask(), 129u);
    EXPECT_EQ(comm->EventMask(), 129u);
    EXPECT_EQ(line->setupIn(), 4096u);
    EXPECT_EQ(line->setupOut(), 2048u);
    const serial::CommTimeouts t = line->timeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, serial::kMaxDword);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier + t.ReadTotalTimeoutConstant + t.WriteTotalTimeoutMultiplier +
                  t.WriteTotalTimeoutConstant,
              0u);
    // Open order: device, DCB, buffers, time-outs, event mask.
    const std::vector<ScriptedCall> expected = {ScriptedCall::Open, ScriptedCall::SetState, ScriptedCall::Setup,
                                                ScriptedCall::SetTimeouts, ScriptedCall::SetMask};
    const auto calls = line->calls();
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), calls.begin()));
}

// Which field each setting gives is DcbFromSettings' own test (test_dcb.cpp); here every
// setting reprograms the open line with the block BuildDcb gives.
TEST_F(CommDouble, EveryDcbSettingReprogramsTheOpenLine)
{
    comm->Open();
    auto& fc = comm->FlowControl();
    const std::function<void()> changes[] = {[&] { fc.SetOutCtsFlow(true); },
                                             [&] { fc.SetOutDsrFlow(true); },
                                             [&] { fc.SetControlDtr(serial::dtrHandshake); },
                                             [&] { fc.SetControlRts(serial::rtsToggle); },
                                             [&] { fc.SetXonXoffOut(true); },
                                             [&] { fc.SetXonXoffIn(true); },
                                             [&] { fc.SetDsrSensitivity(true); },
                                             [&] { fc.SetTxContinueOnXoff(true); },
                                             [&] { comm->SetOptions(serial::OptionBit(serial::coNullStrip)); },
                                             [&] { comm->SetParity(serial::paMark); },
                                             [&] { comm->SetParityCheck(true); },
                                             [&] { comm->SetDatabits(serial::db7); },
                                             [&] { comm->SetStopbits(serial::sb2); },
                                             [&] { comm->SetBaudrate(serial::br115200); }};
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        const serial::Dcb before = line->states().back();
        changes[i]();
        const serial::Dcb after = line->states().back();
        const serial::Dcb built = comm->BuildDcb();
        EXPECT_NE(std::memcmp(&before, &after, sizeof(serial::Dcb)), 0) << i;
        EXPECT_EQ(std::memcmp(&after, &built, sizeof(serial::Dcb)), 0) << i;
    }
}

TEST_F(CommDouble, BaudrateAndUserBaudrateRules)
{
    comm->Open();
    comm->SetUserBaudrate(9600);
    EXPECT_EQ(comm->Baudrate(), serial::brUser);
    EXPECT_EQ(line->states().back().BaudRate, 9600u);
    comm->SetBaudrate(serial::br38400);
    EXPECT_EQ(comm->UserBaudrate(), 0);
    EXPECT_EQ(line->states().back().BaudRate, 38400u);
    comm->SetUserBaudrate(250000);
    comm->SetBaudrate(serial::br1200);
    comm->SetBaudrate(serial::brUser);
    EXPECT_EQ(comm->UserBaudrate(), 0);
    comm->SetUserBaudrate(31250);
    comm->SetBaudrate(serial::brUser);  // unchanged value: nothing happens
    EXPECT_EQ(comm->UserBaudrate(), 31250);
}

TEST_F(CommDouble, UnchangedValuesDoNothingExceptEventChars)
{
    comm->Open();
    const std::size_t n = line->states().size();
    comm->SetBaudrate(serial::br1200);
    comm->SetParity(serial::paNone);
    comm->SetParityCheck(false);
    comm->SetDatabits(serial::db8);
    comm->SetStopbits(serial::sb1);
    comm->SetOptions(0);
    comm->FlowControl().SetControlRts(serial::rtsDisabled);
    EXPECT_EQ(line->states().size(), n);
    comm->EventChars().SetXonChar(17);
    EXPECT_EQ(line->states().size(), n + 1);
    comm->EventChars().SetEofChar(26);
    comm->EventChars().SetEventChar(13);
    EXPECT_EQ(line->states().back().EofChar, 26);
    EXPECT_EQ(line->states().back().EvtChar, 13);
    EXPECT_EQ(comm->EventChars().EofChar(), 26);
    EXPECT_EQ(comm->EventChars().EventChar(), 13);
    // Assign reports one change for the whole copy.
    serial::TVaEventChars chars;
    chars.SetXonChar(1);
    chars.SetXoffChar(2);
    chars.SetErrorChar(3);
    const std::size_t before = line->states().size();
    comm->SetEventChars(chars);
    EXPECT_EQ(line->states().size(), before + 1);
    EXPECT_EQ(line->states().back().ErrorChar, 3);
    serial::TVaFlowControl flow;
    flow.SetXonXoffIn(true);
    flow.SetControlDtr(serial::dtrEnabled);
    comm->SetFlowControl(flow);
    EXPECT_EQ(line->states().size(), before + 2);
    EXPECT_EQ(line->states().back().Flags, 1u + 512u + 16u);
}

TEST_F(CommDouble, XonXoffLimitsFollowReadSize)
{
    const std::pair<int, int> cases[] = {{4096, 1024}, {2000, 500}, {100000, 1024}, {3, 0}, {0, 0}};
    for (const auto& [size, lim] : cases) {
        comm->Buffers().SetReadSize(size);
        const serial::Dcb dcb = comm->BuildDcb();
        EXPECT_EQ(dcb.XonLim, lim) << size;
        EXPECT_EQ(dcb.XoffLim, lim) << size;
    }
}

TEST_F(CommDouble, UpdateDcbOffNeverProgramsTheLine)
{
    comm->SetUpdateDCB(false);
    comm->Open();
    comm->SetBaudrate(serial::br9600);
    comm->EventChars().SetXonChar(1);
    EXPECT_TRUE(line->states().empty());
}

TEST_F(CommDouble, EventMaskCases)
{
    struct Case {
        serial::TVaCommEvents events;
        bool direct;
        std::uint32_t mask;
    };
    const Case cases[] = {
        {serial::kDefaultMonitorEvents, false, 129},
        {serial::kDefaultMonitorEvents, true, 133},
        {0, false, 0},
        {0xFFFF & 0x1FFF, false, 0x1FFF & ~serial::EV_TXEMPTY},
        {0x1FFF, true, 0x1FFF},
        {serial::EventBit(serial::ceBreak), false, serial::EV_BREAK},
        {serial::EventBit(serial::ceRing) | serial::EventBit(serial::ceRlsd), false, serial::EV_RING | serial::EV_RLSD},
        {serial::EventBit(serial::ceEvent2), false, serial::EV_EVENT2},
    };
    for (const Case& c : cases) {
        comm->SetMonitorEvents(c.events);
        comm->SetDirectWrite(c.direct);
        comm->Open();
        EXPECT_EQ(line->mask(), c.mask) << c.events << " " << c.direct;
        comm->Close();
    }
}

TEST_F(CommDouble, EveryOpenStepFailureHasItsMessageAndLeavesThePortClosed)
{
    struct Case {
        ScriptedCall call;
        int error;
        std::string message;
    };
    const Case cases[] = {
        {ScriptedCall::Open, ENOENT, "Unable to open specified device COM0 (2), " + Text(ENOENT)},
        {ScriptedCall::SetState, EINVAL, "Error writing dcb (22), " + Text(EINVAL)},
        {ScriptedCall::Setup, ENOMEM, "Error initializing buffers (12), " + Text(ENOMEM)},
        {ScriptedCall::SetTimeouts, EIO, "Error setting timeouts (5), " + Text(EIO)},
        {ScriptedCall::SetMask, EBADF, " Error setting EventMask (9), " + Text(EBADF)},
    };
    for (const Case& c : cases) {
        line->Fail(c.call, c.error, 1);
        EXPECT_EQ(OpenError(), c.message);
        EXPECT_FALSE(comm->Active());
        EXPECT_FALSE(line->isOpen());
    }
    comm->Open();  // nothing left scripted
    EXPECT_TRUE(comm->Active());
}

TEST_F(CommDouble, OpenTwiceAndCloseTwice)
{
    int opened = 0, closed = 0;
    comm->OnOpen = [&](serial::TVaCustomComm&) { ++opened; };
    comm->OnClose = [&](serial::TVaCustomComm&) { ++closed; };
    comm->Open();
    EXPECT_EQ(OpenError(), "Can't perform this operation while port is open");
    EXPECT_TRUE(comm->Active());
    EXPECT_EQ(line->openCount(), 1);
    EXPECT_EQ(opened, 1);
    comm->Close();
    comm->Close();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(line->isOpen());
}

TEST_F(CommDouble, OnOpenExceptionIsReportedAndOpeningStands)
{
    comm->OnOpen = [](serial::TVaCustomComm&) { throw std::runtime_error("handler failed"); };
    comm->Open();
    EXPECT_TRUE(comm->Active());
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "handler failed");
}

TEST_F(CommDouble, RefusedSettersWhileOpen)
{
    comm->Open();
    const std::function<void()> refused[] = {[&] { comm->SetPortNum(0); },
                                             [&] { comm->SetDeviceName("COM%d"); },
                                             [&] { comm->SetMonitorEvents(200); },
                                             [&] { comm->SetDirectWrite(false); },
                                             [&] { comm->SetUpdateDCB(true); },
                                             [&] { comm->SetBuffers(serial::TVaBuffers()); },
                                             [&] { comm->Buffers().SetReadSize(100); },
                                             [&] { comm->Buffers().SetWriteSize(10); }};
    for (std::size_t i = 0; i < std::size(refused); ++i)
        EXPECT_EQ(ErrorOf(refused[i]), "Can't perform this operation while port is open") << i;
    EXPECT_EQ(comm->Buffers().ReadSize(), 100);  // stored all the same
    EXPECT_EQ(comm->Buffers().WriteSize(), 10);
    comm->Buffers().SetReadTimeout(5);  // not refused
    comm->SetEventPriority(serial::tpLower);
    comm->SetWritePriority(serial::tpNormal);
    comm->SetAutoOpen(true);
    EXPECT_EQ(comm->PortNum(), 0);
    EXPECT_TRUE(comm->Active());
}

TEST_F(CommDouble, FailedDcbDuringChangeKeepsTheValue)
{
    comm->Open();
    line->Fail(ScriptedCall::SetState, EINVAL, 1);
    EXPECT_THROW(comm->SetBaudrate(serial::br9600), serial::EVaCommError);
    EXPECT_EQ(comm->Baudrate(), serial::br9600);
    EXPECT_TRUE(comm->Active());
}

TEST_F(CommDouble, ReadWriteStatusErrorMessages)
{
    comm->SetDirectWrite(true);
    comm->Open();
    std::uint8_t buf[8] = {};
    struct Case {
        ScriptedCall call;
        int error;
        std::function<void()> action;
        std::string message;
    };
    const Case cases[] = {
        {ScriptedCall::Read, EIO, [&] { comm->ReadBuf(buf, 8); }, "Read error (5), " + Text(EIO)},
        {ScriptedCall::Write, EPIPE, [&] { comm->WriteBuf(buf, 8); }, "Write error (32), " + Text(EPIPE)},
        {ScriptedCall::ClearError, EACCES,
         [&] {
             serial::TVaCommStatus st;
             comm->GetStatus(st);
         },
         "Error retrieving statistics (13), " + Text(EACCES)},
    };
    for (const Case& c : cases) {
        line->Fail(c.call, c.error, 1);
        EXPECT_EQ(ErrorOf(c.action), c.message);
    }
    EXPECT_TRUE(comm->Active());
    // The locks were released on the way out.
    line->Receive({1, 2, 3});
    EXPECT_EQ(comm->ReadBuf(buf, 8), 3);
    EXPECT_EQ(comm->WriteBuf(buf, 2), 2);
}

TEST_F(CommDouble, StalledReadAndDirectWriteGiveUpAndAreCancelled)
{
    comm->SetDirectWrite(true);
    comm->Buffers().SetReadTimeout(20);
    comm->Open();
    std::uint8_t buf[4] = {};
    line->Receive({9});
    line->StallReads(true);
    EXPECT_EQ(comm->ReadBuf(buf, 4), 0);
    EXPECT_EQ(line->cancelledReads(), 1);
    line->StallWrites(true);
    EXPECT_FALSE(comm->WriteChar(7));
    EXPECT_EQ(line->cancelledWrites(), 1);
    line->StallReads(false);
    line->StallWrites(false);
    EXPECT_EQ(comm->ReadBuf(buf, 4), 1);
    EXPECT_TRUE(comm->WriteChar(7));
}

TEST_F(CommDouble, WriteQueueTimeoutAndCapacity)
{
    comm->Buffers().SetWriteSize(16);
    comm->Buffers().SetWriteTimeout(30);
    comm->Open();
    std::uint8_t block[17] = {};
    // Larger than the queue: never fits.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] { comm->WriteBuf(block, 17); }), "Output buffer is full. Please check comm status.");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
    // Exactly the capacity fits an empty queue at once.
    line->StallWrites(true);
    EXPECT_EQ(comm->WriteBuf(block, 16), 16);
    // The write thread holds the bytes in a stalled write: the queue stays full.
    EXPECT_THROW(comm->WriteBuf(block, 1), serial::EVaCommError);
    line->StallWrites(false);
    EXPECT_TRUE(loop.RunUntil([&] { return line->written().size() == 16; }, 2000ms));
    // WriteSize grown while open is stored, refused, and the queue keeps its capacity.
    EXPECT_THROW(comm->Buffers().SetWriteSize(64), serial::EVaCommError);
    line->StallWrites(true);
    std::uint8_t big[32] = {};
    EXPECT_THROW(comm->WriteBuf(big, 32), serial::EVaCommError);
    line->StallWrites(false);
}

TEST_F(CommDouble, FullQueueTakesABlockOnceItDrainsWithinTheTimeout)
{
    comm->Buffers().SetWriteSize(16);
    comm->Buffers().SetWriteTimeout(2000);
    comm->Open();
    std::uint8_t block[16] = {};
    line->StallWrites(true);
    ASSERT_EQ(comm->WriteBuf(block, 16), 16);
    std::thread release([&] {
        std::this_thread::sleep_for(50ms);
        line->StallWrites(false);
    });
    std::int32_t accepted = 0;
    EXPECT_NO_THROW(accepted = comm->WriteBuf(block, 16));
    release.join();
    EXPECT_EQ(accepted, 16);
    EXPECT_TRUE(loop.RunUntil([&] { return line->written().size() == 32; }, 2000ms));
}

TEST_F(CommDouble, LoadedOpensOnlyWithAutoOpen)
{
    comm->Loaded();
    EXPECT_FALSE(comm->Active());
    comm->SetAutoOpen(true);
    comm->Loaded();
    EXPECT_TRUE(comm->Active());
}

TEST_F(CommDouble, WriteTimeoutOfOneMillisecond)
{
    ConfigureAsMainWindow();
    comm->Buffers().SetWriteSize(4);
    comm->Open();
    line->StallWrites(true);
    std::uint8_t four[4] = {1, 2, 3, 4};
    EXPECT_EQ(comm->WriteBuf(four, 4), 4);
    const auto start = std::chrono::steady_clock::now();
    bool accepted = false;  // refused or raised, either way not queued
    ErrorOf([&] { accepted = comm->WriteChar(5); });
    EXPECT_FALSE(accepted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    line->StallWrites(false);
}

TEST_F(CommDouble, QueuedWritesInOrderAndTxEmptyOnceAfterTheLast)
{
    int txEmpty = 0;
    comm->OnTxEmpty = [&](serial::TVaCustomComm&) { ++txEmpty; };
    comm->Open();
    line->StallWrites(true);
    std::vector<std::uint8_t> sent;
    for (int i = 0; i < 50; ++i) {
        const std::uint8_t b = static_cast<std::uint8_t>(i);
        ASSERT_TRUE(comm->WriteChar(b));
        sent.push_back(b);
    }
    line->LimitWriteChunk(7);  // partial writes: the rest stays queued
    line->StallWrites(false);
    ASSERT_TRUE(Pump([&] { return txEmpty > 0; }));
    loop.RunFor(50ms);
    EXPECT_EQ(line->written(), sent);
    EXPECT_EQ(txEmpty, 1);
}

TEST_F(CommDouble, EmptyWriteWakesTheWriteThreadWhichReportsAnEmptyQueue)
{
    int txEmpty = 0;
    comm->OnTxEmpty = [&](serial::TVaCustomComm&) { ++txEmpty; };
    comm->SetMonitorEvents(0);  // reported by the write thread whatever is monitored
    comm->Open();
    EXPECT_EQ(comm->WriteBuf(nullptr, 0), 0);
    EXPECT_TRUE(Pump([&] { return txEmpty == 1; }));
}

TEST_F(CommDouble, FailedWriteIsReportedAsErrorAndRetried)
{
    std::vector<std::int32_t> errors;
    comm->OnError = [&](serial::TVaCustomComm&, std::int32_t e) { errors.push_back(e); };
    comm->Open();
    line->Fail(ScriptedCall::Write, EIO, 2);
    line->AddLineErrors(serial::CE_FRAME);
    ASSERT_TRUE(comm->WriteChar(0x55));
    ASSERT_TRUE(Pump([&] { return line->written().size() == 1; }));
    EXPECT_EQ(line->written()[0], 0x55);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0], static_cast<std::int32_t>(serial::CE_FRAME));
    // A completion that fails after part of the block went out: the rest is written on
    // the next pass, the part that went out is not written again.
    line->StallWrites(true);
    const std::vector<std::uint8_t> block = {0x61, 0x62, 0x63, 0x64, 0x65};
    ASSERT_EQ(comm->WriteBuf(block.data(), 5), 5);
    line->FailWriteCompletion(EIO, 1, 2);
    line->StallWrites(false);
    ASSERT_TRUE(Pump([&] { return line->written().size() >= 6; }));
    loop.RunFor(100ms);
    EXPECT_EQ(line->written(), (std::vector<std::uint8_t>{0x55, 0x61, 0x62, 0x63, 0x64, 0x65}));
}

TEST_F(CommDouble, CloseSendsWhatIsQueuedWithinItsBound)
{
    comm->Open();
    line->StallWrites(true);
    ASSERT_TRUE(comm->WriteChar(32));
    std::thread release([&] {
        std::this_thread::sleep_for(30ms);
        line->StallWrites(false);
    });
    comm->Close();  // the main thread does not run its loop meanwhile
    release.join();
    EXPECT_EQ(line->written(), std::vector<std::uint8_t>{32});
    // A line that never takes the byte holds Close up for the bound only.
    comm->Open();
    line->StallWrites(true);
    ASSERT_TRUE(comm->WriteChar(33));
    const auto start = std::chrono::steady_clock::now();
    comm->Close();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(serial::TVaComm::kCloseDrainMs - 10));
    EXPECT_LT(took, std::chrono::milliseconds(serial::TVaComm::kCloseDrainMs + 250));
    EXPECT_EQ(line->cancelledWrites(), 1);
}

// A worker whose step cannot even be handed to the main thread ends, and the
// port is lost once, as an unplugged one is: nothing leaves the thread.
TEST(CommWorkers, AFailingWorkerLosesTheLineInsteadOfEndingTheProgram)
{
    serial::EventLoopDispatcher loop;
    serial::FailingDispatcher dispatcher(loop);
    auto line = std::make_shared<serial::ScriptedLine>();
    serial::TVaComm comm(dispatcher, serial::ScriptedFactory(line));
    std::vector<std::string> lost;
    comm.OnLineLost = [&](serial::TVaCustomComm& c, const std::string& detail) {
        EXPECT_FALSE(c.Active());
        lost.push_back(detail);
    };
    comm.Open();
    ASSERT_TRUE(loop.RunUntil([&] { return line->waitsInProgress() == 1; }, 2000ms));
    dispatcher.FailNextPost();
    line->Receive({0x41});  // the event thread's step for it fails
    ASSERT_TRUE(loop.RunUntil([&] { return !lost.empty(); }, 2000ms));
    loop.RunFor(50ms);
    EXPECT_EQ(lost, std::vector<std::string>{"std::bad_alloc"});
    EXPECT_FALSE(line->isOpen());
}

// However the loss shows first (the waiting event thread, the write thread with a
// byte queued, a read, a status query), it is one episode: one OnLineLost after the
// port has been closed, no error reports, the queue dropped, nothing retried.
TEST_F(CommDouble, LostLineIsOneEpisodeWhereverItShowsFirst)
{
    std::vector<std::string> lost;
    std::vector<std::int32_t> errors;
    comm->OnError = [&](serial::TVaCustomComm&, std::int32_t e) { errors.push_back(e); };
    comm->OnLineLost = [&](serial::TVaCustomComm& c, const std::string& detail) {
        EXPECT_FALSE(c.Active());
        lost.push_back(detail);
    };
    enum Trigger { Wait, Write, Read, Status };
    for (Trigger trigger : {Wait, Write, Read, Status}) {
        SCOPED_TRACE(trigger);
        lost.clear();
        line->Plug();
        comm->Open();
        ASSERT_TRUE(Pump([&] { return line->waitsInProgress() == 1; }));
        const int writesBefore = line->writeCalls();
        if (trigger == Write) {
            line->StallWrites(true);
            ASSERT_TRUE(comm->WriteChar(0x30));
            ASSERT_TRUE(comm->WriteChar(0x31));
        }
        line->Unplug(EIO, trigger == Wait);
        std::uint8_t buf[8];
        if (trigger == Read) {
            EXPECT_EQ(comm->ReadBuf(buf, 8), 0);
        }
        if (trigger == Status) {
            EXPECT_EQ(comm->InQueCount(), 0);
        }
        // The workers see it on their own threads; the closing step waits for the loop.
        for (int i = 0; i < 200 && !comm->LineLost(); ++i)
            std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(comm->LineLost());
        // Until the closing step has run, the component stays quiet.
        EXPECT_FALSE(comm->WriteChar(0x32));
        EXPECT_EQ(comm->ReadBuf(buf, 8), 0);
        ASSERT_TRUE(Pump([&] { return !lost.empty(); }));
        loop.RunFor(200ms);  // four retry periods of the old behaviour
        EXPECT_EQ(lost.size(), 1u);
        const char* const kinds[] = {"Error waiting for events", "Write error", "Read error",
                                     "Error retrieving statistics"};
        EXPECT_EQ(lost[0], std::string(kinds[trigger]) + " (5), " + Text(EIO));
        EXPECT_FALSE(comm->Active());
        EXPECT_EQ(line->waitsInProgress(), 0);
        EXPECT_LE(line->writeCalls() - writesBefore, 1);
        line->StallWrites(false);
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(reported.empty());
    EXPECT_TRUE(line->written().empty());
    // Back again: a fresh opening works, and the dropped bytes stay dropped.
    line->Plug();
    comm->Open();
    ASSERT_TRUE(comm->WriteChar(0x41));
    ASSERT_TRUE(Pump([&] { return !line->written().empty(); }));
    loop.RunFor(50ms);
    EXPECT_EQ(line->written(), std::vector<std::uint8_t>{0x41});
}

TEST_F(CommDouble, RxCharThenEventsInDispatchOrderOnTheMainThread)
{
    const auto mainId = std::this_thread::get_id();
    std::vector<std::string> order;
    comm->SetMonitorEvents(0x1FFF);
    comm->OnRxChar = [&](serial::TVaCustomComm& c, std::int32_t n) {
        EXPECT_EQ(std::this_thread::get_id(), mainId);
        EXPECT_EQ(&c, comm.get());
        order.push_back("rx" + std::to_string(n));
    };
    comm->OnError = [&](serial::TVaCustomComm&, std::int32_t e) { order.push_back("err" + std::to_string(e)); };
    auto note = [&](const char* name) { return [&order, name](serial::TVaCustomComm&) { order.push_back(name); }; };
    comm->OnRxFlag = note("flag");
    comm->OnCts = note("cts");
    comm->OnDsr = note("dsr");
    comm->OnRing = note("ring");
    comm->OnRlsd = note("rlsd");
    comm->OnBreak = note("break");
    comm->OnPErr = note("perr");
    comm->OnRx80Full = note("80full");
    comm->OnEvent1 = note("ev1");
    comm->OnEvent2 = note("ev2");
    comm->Open();
    line->HoldEvents(true);
    line->Receive({1, 2, 3, 4});
    line->AddLineErrors(serial::CE_RXPARITY);
    line->RaiseEvents(0x1FFF & ~(serial::EV_TXEMPTY | serial::EV_RXCHAR | serial::EV_ERR));
    line->HoldEvents(false);
    ASSERT_TRUE(Pump([&] { return order.size() >= 12; }));
    const std::vector<std::string> expected = {"rx4",  "err4",  "flag", "cts",    "dsr", "ring",
                                               "rlsd", "break", "perr", "80full", "ev1", "ev2"};
    EXPECT_EQ(order, expected);
}

TEST_F(CommDouble, LineErrorsClearOnRead)
{
    comm->Open();
    line->AddLineErrors(serial::CE_RXPARITY);
    EXPECT_TRUE(comm->CheckLineErrors());
    EXPECT_FALSE(comm->CheckLineErrors());
}

TEST_F(CommDouble, HandlerExceptionsAreReportedAndTheThreadsCarryOn)
{
    int calls = 0;
    comm->OnRxChar = [&](serial::TVaCustomComm& c, std::int32_t n) {
        ++calls;
        std::vector<std::uint8_t> b(static_cast<std::size_t>(n));
        c.ReadBuf(b.data(), n);
        throw std::runtime_error("rx handler");
    };
    comm->OnTxEmpty = [&](serial::TVaCustomComm&) { throw std::runtime_error("tx handler"); };
    comm->Open();
    line->Receive({1});
    ASSERT_TRUE(Pump([&] { return calls == 1; }));
    line->Receive({2});
    ASSERT_TRUE(Pump([&] { return calls == 2; }));
    ASSERT_TRUE(comm->WriteChar(1));
    ASSERT_TRUE(Pump([&] { return reported.size() == 3; }));
    EXPECT_EQ(reported[0], "rx handler");
    EXPECT_EQ(reported[2], "tx handler");
    ASSERT_TRUE(comm->WriteChar(2));
    EXPECT_TRUE(Pump([&] { return line->written().size() == 2; }));
}

TEST_F(CommDouble, ProcessWideExceptionReportIsReplaceable)
{
    std::vector<std::string> seen;
    serial::SetExceptionReport([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            seen.push_back(x.what());
        }
    });
    comm->OnException = nullptr;
    comm->OnError = [](serial::TVaCustomComm&, std::int32_t) { throw std::runtime_error("error box"); };
    comm->Open();
    line->AddLineErrors(serial::CE_FRAME);
    EXPECT_TRUE(comm->CheckLineErrors());
    serial::SetExceptionReport(nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "error box");
}

TEST_F(CommDouble, NoEventThreadWithAnEmptyMask)
{
    int rx = 0;
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) { ++rx; };
    comm->SetMonitorEvents(0);
    comm->Open();
    line->Receive({1, 2});
    loop.RunFor(50ms);
    EXPECT_EQ(rx, 0);
    EXPECT_EQ(line->waitsInProgress(), 0);
    EXPECT_EQ(comm->InQueCount(), 2);
}

TEST_F(CommDouble, FailingWaitIsRetried)
{
    int rx = 0;
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) { ++rx; };
    line->Fail(ScriptedCall::WaitEvent, EIO, 3);
    comm->Open();
    line->Receive({1});
    EXPECT_TRUE(Pump([&] { return rx == 1; }));
}

TEST_F(CommDouble, CloseWhileAWaitIsPendingFiresNothing)
{
    int rx = 0;
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) { ++rx; };
    comm->Open();
    ASSERT_TRUE(Pump([&] { return line->waitsInProgress() == 1; }));
    comm->Close();
    EXPECT_EQ(line->waitsInProgress(), 0);
    line->Receive({1});
    loop.RunFor(20ms);
    EXPECT_EQ(rx, 0);
}

TEST_F(CommDouble, CloseOrDestroyWhileADispatchWaitsDoesNotDeadlock)
{
    int rx = 0;
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) { ++rx; };
    comm->Open();
    line->Receive({1});
    // Let the event thread post its step, then close without running it.
    std::this_thread::sleep_for(30ms);
    comm->Close();
    loop.RunFor(20ms);  // the stale step finds the gate closed
    EXPECT_EQ(rx, 0);
    comm->Open();
    line->Receive({2});
    std::this_thread::sleep_for(30ms);
    comm.reset();
    loop.RunFor(20ms);
    EXPECT_EQ(rx, 0);
}

TEST_F(CommDouble, HandlerMayCloseOrDestroyTheComponent)
{
    comm->SetMonitorEvents(0x1FFF);
    int cts = 0;
    comm->OnCts = [&](serial::TVaCustomComm&) { ++cts; };
    comm->OnRxChar = [&](serial::TVaCustomComm& c, std::int32_t) { c.Close(); };
    comm->Open();
    line->Receive({1});
    line->RaiseEvents(serial::EV_CTS);
    ASSERT_TRUE(Pump([&] { return !comm->Active(); }));
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) { comm.reset(); };
    comm->Open();
    line->Receive({1});
    EXPECT_TRUE(Pump([&] { return comm == nullptr; }));
}

class Recorder : public serial::TVaLinkTarget {
public:
    void LinkRxBuf(const std::uint8_t* data, std::int32_t count) override { blocks.emplace_back(data, data + count); }
    void LinkEvent(std::uint32_t mask) override { masks.push_back(mask); }
    std::vector<std::vector<std::uint8_t>> blocks;
    std::vector<std::uint32_t> masks;
};

TEST_F(CommDouble, LinksReceiveBlocksAndEvents)
{
    Recorder target;
    serial::TVaCommLink link{true, nullptr, &target};
    comm->AddLink(link);
    EXPECT_EQ(link.Comm, comm.get());
    int rxChar = 0;
    std::vector<std::int32_t> rxBuf;
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) { ++rxChar; };
    comm->OnRxBuf = [&](serial::TVaCustomComm&, const std::uint8_t*, std::int32_t n) { rxBuf.push_back(n); };
    comm->Open();
    line->Receive({5, 6, 7});
    ASSERT_TRUE(Pump([&] { return !rxBuf.empty(); }));
    EXPECT_EQ(rxChar, 0);
    ASSERT_EQ(target.blocks.size(), 1u);
    EXPECT_EQ(target.blocks[0], (std::vector<std::uint8_t>{5, 6, 7}));
    line->AddLineErrors(serial::CE_FRAME);
    ASSERT_TRUE(Pump([&] { return !target.masks.empty(); }));
    EXPECT_EQ(target.masks[0], serial::EV_ERR);
    // Fewer bytes than announced: the links and OnRxBuf get what was actually read.
    line->OverstateQueue(5);
    line->Receive({1, 2});
    ASSERT_TRUE(Pump([&] { return rxBuf.size() == 2; }));
    EXPECT_EQ(rxBuf[1], 2);
    EXPECT_EQ(target.blocks[1].size(), 2u);
    line->OverstateQueue(0);
    comm->LinksEnabled = false;
    line->Receive({8});
    ASSERT_TRUE(Pump([&] { return rxBuf.size() == 3; }));
    EXPECT_EQ(target.blocks.size(), 2u);  // OnRxBuf still fires
    comm->RemoveLink(link);
    EXPECT_EQ(link.Comm, nullptr);
}

TEST(WaitEvents, WaitResults)
{
    serial::TVaWaitEvent e;
    EXPECT_EQ(e.WaitFor(0), serial::TWaitResult::wrTimeout);
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(0), serial::TWaitResult::wrSignaled);
    EXPECT_EQ(e.WaitFor(serial::kInfinite), serial::TWaitResult::wrSignaled);  // manual reset: stays set
    e.ResetEvent();
    EXPECT_EQ(e.WaitFor(5), serial::TWaitResult::wrTimeout);
    serial::TVaWaitEvent other;
    serial::TVaWaitEvent* both[2] = {&e, &other};
    EXPECT_EQ(serial::WaitForAny(both, 2, 0), -1);
    other.SetEvent();
    EXPECT_EQ(serial::WaitForAny(both, 2, 0), 1);
}

TEST(Settings, UpdateCounterBatchesNotifications)
{
    serial::TVaFlowControl fc;
    int changes = 0;
    fc.OnChange = [&](serial::TVaPersistent&) { ++changes; };
    fc.BeginUpdate();
    fc.SetOutCtsFlow(true);
    fc.SetXonXoffIn(true);
    EXPECT_EQ(changes, 0);
    fc.EndUpdate();
    EXPECT_EQ(changes, 1);
    fc.EndUpdate();  // counter already 0: still notifies
    EXPECT_EQ(changes, 2);
    serial::TVaBuffers b;
    int bchanges = 0;
    b.OnChange = [&](serial::TVaPersistent&) { ++bchanges; };
    b.SetReadTimeout(5);
    b.SetWriteTimeout(6);
    EXPECT_EQ(bchanges, 0);
    b.SetReadSize(4096);
    EXPECT_EQ(bchanges, 0);
    b.SetReadSize(10);
    EXPECT_EQ(bchanges, 1);
}

}  // namespace
