// The component with the termios backend on a real pseudo-terminal pair.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "device/line.h"
#include "helpers/pty_pair.h"
#include "helpers/temp_folder.h"
#include "serial/va_comm.h"
#include "systext/system_text.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class PtyComm : public ::testing::Test {
protected:
    PtyComm()
    {
        comm = std::make_unique<serial::TVaComm>(loop);
        comm->SetDeviceName(pty.path());
    }
    // The main window's settings, with COM1 linked to the pseudo-terminal.
    void ConfigureAsMainWindow()
    {
        ports = temp.emplace().Path();
        fs::create_symlink(pty.path(), ports / "com1");
        ::setenv("SOVIKAN_PORTS_DIR", ports.c_str(), 1);
        device::ApplyLineSettings(*comm);
        comm->SetPortNum(1);
        comm->SetDeviceName("COM%d");
    }
    ~PtyComm() override
    {
        comm.reset();
        if (temp)
            ::unsetenv("SOVIKAN_PORTS_DIR");
    }
    termios Attributes() const
    {
        termios t{};
        ::tcgetattr(pty.slave(), &t);
        return t;
    }
    bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3000ms)
    {
        return loop.RunUntil(done, timeout);
    }

    PtyPair pty;
    serial::EventLoopDispatcher loop;
    std::unique_ptr<serial::TVaComm> comm;
    std::optional<test_support::TempFolder> temp;
    fs::path ports;
};

TEST_F(PtyComm, OpensWithTheMainWindowSettingsThePtyKeeps)
{
    ConfigureAsMainWindow();
    comm->Open();
    ASSERT_TRUE(comm->Active());
    const termios t = Attributes();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_TRUE(t.c_iflag & PARMRK);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_oflag & OPOST);
    // Line settings change on the open port.
    comm->SetBaudrate(serial::br115200);
    const termios fast = Attributes();
    EXPECT_EQ(cfgetospeed(&fast), static_cast<speed_t>(B115200));
    comm->SetUserBaudrate(31250);
    EXPECT_TRUE(comm->Active());
    try {
        comm->SetDatabits(serial::db4);
        ADD_FAILURE();
    } catch (const serial::EVaCommError& e) {
        EXPECT_EQ(std::string(e.what()), "Error writing dcb (22), " + systext::SystemErrorText(EINVAL));
    }
    comm->Close();
    EXPECT_FALSE(comm->Active());
}

TEST_F(PtyComm, BurstRaisesRxCharOnTheMainThreadAndReadBufReturnsAll)
{
    ConfigureAsMainWindow();
    const auto mainId = std::this_thread::get_id();
    int events = 0;
    bool onMain = true;
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t n) {
        ++events;
        onMain = onMain && std::this_thread::get_id() == mainId && n > 0;
    };
    comm->Open();
    std::vector<std::uint8_t> burst = Pattern(400);
    burst[10] = 0xFF;  // the marking escape must come through as one data byte
    burst[11] = 0xFF;
    burst[12] = 0;
    pty.Send(burst);
    ASSERT_TRUE(Pump([&] { return events > 0 && comm->InQueCount() == 400; }));
    EXPECT_TRUE(onMain);
    std::vector<std::uint8_t> got(820);
    ASSERT_EQ(comm->ReadBuf(got.data(), 820), 400);
    got.resize(400);
    EXPECT_EQ(got, burst);
    std::uint8_t more[4];
    EXPECT_EQ(comm->ReadBuf(more, 4), 0);
}

TEST_F(PtyComm, ThousandBytesReadAs820And180WithoutASecondEvent)
{
    ConfigureAsMainWindow();
    int events = 0;
    comm->OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) { ++events; };
    comm->Open();
    const std::vector<std::uint8_t> burst = Pattern(1000, 7);
    pty.Send(burst);
    ASSERT_TRUE(Pump([&] { return comm->InQueCount() == 1000; }));
    loop.RunFor(50ms);
    const int seen = events;
    EXPECT_GE(seen, 1);
    std::vector<std::uint8_t> got(1000);
    ASSERT_EQ(comm->ReadBuf(got.data(), 820), 820);
    loop.RunFor(150ms);
    EXPECT_EQ(events, seen);
    EXPECT_EQ(comm->InQueCount(), 180);
    ASSERT_EQ(comm->ReadBuf(got.data() + 820, 820), 180);
    EXPECT_EQ(got, burst);
    loop.RunFor(50ms);
    EXPECT_EQ(events, seen);
}

TEST_F(PtyComm, QueuedWritesArriveInOrderAndTxEmptyFiresOnceAfterTheLast)
{
    int txEmpty = 0;
    std::size_t receivedAtTxEmpty = 0;
    std::atomic<std::size_t> received{0};
    comm->OnTxEmpty = [&](serial::TVaCustomComm&) {
        ++txEmpty;
        receivedAtTxEmpty = received;
    };
    comm->Buffers().SetWriteSize(300000);
    comm->Open();
    // A block larger than the pty holds keeps the write thread busy while more is queued.
    const std::vector<std::uint8_t> block = Pattern(200000, 3);
    ASSERT_EQ(comm->WriteBuf(block.data(), static_cast<std::int32_t>(block.size())), 200000);
    std::vector<std::uint8_t> expected = block;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(comm->WriteChar(static_cast<std::uint8_t>(i)));
        expected.push_back(static_cast<std::uint8_t>(i));
    }
    std::vector<std::uint8_t> got;
    std::thread reader([&] {
        std::vector<std::uint8_t> part = pty.Receive(expected.size(), 10000ms);
        got = std::move(part);
        received = got.size();
        loop.Post([] {});  // wake the loop to look again
    });
    Pump([&] { return txEmpty > 0 && received == expected.size(); }, 10000ms);
    reader.join();
    loop.RunFor(50ms);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(txEmpty, 1);
}

TEST_F(PtyComm, DirectWriteAndTxEmptyFromTheLine)
{
    int txEmpty = 0;
    comm->SetDirectWrite(true);
    comm->OnTxEmpty = [&](serial::TVaCustomComm&) { ++txEmpty; };
    comm->Open();
    EXPECT_EQ(comm->EventMask(), 133u);
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 0xFF};
    EXPECT_EQ(comm->WriteBuf(bytes.data(), 4), 4);
    EXPECT_EQ(pty.Receive(4, 2000ms), bytes);
    EXPECT_TRUE(Pump([&] { return txEmpty == 1; }));
}

TEST_F(PtyComm, ClosingDiscardsWhatAPeerThatNeverReadsLeftUnsent)
{
    comm->Buffers().SetWriteSize(300000);
    comm->Open();
    const std::vector<std::uint8_t> block = Pattern(200000, 5);
    ASSERT_EQ(comm->WriteBuf(block.data(), static_cast<std::int32_t>(block.size())), 200000);
    loop.RunFor(100ms);  // the write thread fills the line
    // What the far end has taken in; more waits in the line behind it.
    int taken = 0;
    ASSERT_EQ(::ioctl(pty.master(), TIOCINQ, &taken), 0);
    comm->Close();
    // The rest of the line was discarded after the drain limit: a real tty's close()
    // would otherwise wait for it to leave.
    EXPECT_LE(pty.ReadAvailable().size(), static_cast<std::size_t>(taken));
}

TEST_F(PtyComm, ExclusiveOpen)
{
    comm->Open();
    serial::TVaComm second(loop);
    second.SetDeviceName(pty.path());
    try {
        second.Open();
        ADD_FAILURE();
    } catch (const serial::EVaCommError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to open specified device " + pty.path() + " (16), " + systext::SystemErrorText(EBUSY));
    }
    EXPECT_FALSE(second.Active());
    comm->Close();
    second.Open();
    EXPECT_TRUE(second.Active());
}

TEST_F(PtyComm, MissingDeviceAndComZero)
{
    comm->SetDeviceName("COM%d");
    comm->SetPortNum(0);
    try {
        comm->Open();
        ADD_FAILURE();
    } catch (const serial::EVaCommError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to open specified device COM0 (2), " + systext::SystemErrorText(ENOENT));
    }
    comm->SetDeviceName("/dev/null");
    EXPECT_THROW(comm->Open(), serial::EVaCommError);  // not a terminal
    EXPECT_FALSE(comm->Active());
}

TEST_F(PtyComm, EveryRefusedSetterOnAnOpenPort)
{
    comm->Open();
    const std::string msg = "Can't perform this operation while port is open";
    int refused = 0;
    auto check = [&](const std::function<void()>& f) {
        try {
            f();
        } catch (const serial::EVaCommError& e) {
            if (e.what() == msg)
                ++refused;
        }
    };
    check([&] { comm->SetPortNum(2); });
    check([&] { comm->SetDeviceName("COM%d"); });
    check([&] { comm->SetMonitorEvents(0); });
    check([&] { comm->SetDirectWrite(true); });
    check([&] { comm->SetUpdateDCB(false); });
    check([&] { comm->SetBuffers(serial::TVaBuffers()); });
    check([&] { comm->Buffers().SetReadSize(1024); });
    check([&] { comm->Buffers().SetWriteSize(1024); });
    check([&] { comm->Open(); });
    EXPECT_EQ(refused, 9);
    EXPECT_EQ(comm->DeviceName(), pty.path());
    EXPECT_EQ(comm->MonitorEvents(), 200);
    EXPECT_TRUE(comm->Active());
    // The port still works.
    ASSERT_TRUE(comm->WriteChar(0x42));
    EXPECT_EQ(pty.Receive(1, 2000ms), std::vector<std::uint8_t>{0x42});
}

TEST_F(PtyComm, InputFlowControlHoldsBackWhatDoesNotFitAndLosesNothing)
{
    comm->FlowControl().SetXonXoffIn(true);
    comm->Buffers().SetReadSize(64);
    std::uint32_t errors = 0;
    comm->OnError = [&](serial::TVaCustomComm&, std::int32_t e) { errors |= static_cast<std::uint32_t>(e); };
    std::vector<std::uint8_t> got;
    int mostQueued = 0;
    comm->OnRxChar = [&](serial::TVaCustomComm& c, std::int32_t n) {
        mostQueued = std::max(mostQueued, n);
        std::uint8_t buf[50];
        for (std::int32_t r; (r = c.ReadBuf(buf, 50)) > 0;)
            got.insert(got.end(), buf, buf + r);
    };
    comm->Open();
    std::vector<std::uint8_t> sent = Pattern(200, 11);
    std::replace(sent.begin(), sent.end(), std::uint8_t{0x13}, std::uint8_t{0x14});  // no stop characters
    pty.Send(sent);
    ASSERT_TRUE(Pump([&] { return got.size() >= sent.size(); })) << got.size();
    loop.RunFor(50ms);
    EXPECT_EQ(got, sent);
    EXPECT_LE(mostQueued, 64);
    EXPECT_EQ(errors, 0u);
}

}  // namespace
