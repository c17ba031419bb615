// The component with the kernel32 backend on a real COM port whose other end is
// the meter stand-in (tools/test-windows runs it under Wine with a pseudo-terminal
// behind the port). Without $SOVIKAN_TEST_COM the test is skipped.
//
// $SOVIKAN_TEST_PEER_DIR is a folder shared with the script that drives the
// peer: the test writes "hangup" there when the peer is to hang up; the script
// answers with "hungup" once it has, and "back" once a new peer is on the port.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "device/line.h"
#include "serial/va_comm.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

class ComPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        com = Env("SOVIKAN_TEST_COM");
        peerDir = Env("SOVIKAN_TEST_PEER_DIR");
        if (com.size() < 4 || peerDir.empty())
            GTEST_SKIP() << "no COM port with a peer behind it ($SOVIKAN_TEST_COM, $SOVIKAN_TEST_PEER_DIR)";
        comm = std::make_unique<serial::TVaComm>(loop);
        // The main window's settings.
        device::ApplyLineSettings(*comm);
        comm->SetDeviceName("COM%d");
        comm->SetPortNum(std::atoi(com.c_str() + 3));
        comm->OnRxChar = [this](serial::TVaCustomComm&, std::int32_t) {
            ++rxEvents;
            if (rxEvents == 1)
                firstRx = std::chrono::steady_clock::now();
        };
    }

    bool PeerSays(const char* word, std::chrono::milliseconds timeout)
    {
        return loop.RunUntil([&] { return fs::exists(fs::path(peerDir) / word); }, timeout);
    }

    // Sends a command and reads the reply the way the window does: ReadBuf of 820
    // bytes once the line has been quiet; returns the reply.
    std::vector<std::uint8_t> Exchange(std::initializer_list<std::uint8_t> command, std::size_t expected)
    {
        rxEvents = 0;
        for (std::uint8_t b : command)
            EXPECT_TRUE(comm->WriteChar(b));
        const bool all = loop.RunUntil(
            [&] { return rxEvents > 0 && comm->InQueCount() >= static_cast<std::int32_t>(expected); }, 5000ms);
        EXPECT_TRUE(all) << "events " << rxEvents << ", waiting " << comm->InQueCount();
        const auto lastByte = std::chrono::steady_clock::now();
        std::vector<std::uint8_t> reply(820);
        reply.resize(static_cast<std::size_t>(comm->ReadBuf(reply.data(), 820)));
        std::cout << "reply of " << reply.size() << " bytes in " << rxEvents << " OnRxChar events, "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(lastByte - firstRx).count()
                  << " ms from the first event to the last byte" << std::endl;
        return reply;
    }

    std::string com, peerDir;
    serial::EventLoopDispatcher loop;
    std::unique_ptr<serial::TVaComm> comm;
    int rxEvents = 0;
    std::chrono::steady_clock::time_point firstRx;
};

// Open, measure, the peer hangs up, close, reopen on the new peer, ask again.
TEST_F(ComPort, MeasuresThroughRxCharSurvivesAHangUpAndReopens)
{
    comm->Open();
    ASSERT_TRUE(comm->Active());
    EXPECT_EQ(comm->DevicePath(), com);
    EXPECT_EQ(comm->EventMask(), 129u);

    const std::vector<std::uint8_t> reply = Exchange({'5', 1}, 811);
    ASSERT_EQ(reply.size(), 811u);
    // The leading command byte, 400 samples, then the trailer: lux factor, range, multiplier.
    EXPECT_EQ(reply[0], '5');
    EXPECT_EQ(reply[805], 5) << "range byte of the trailer";
    EXPECT_EQ(reply[806], 1) << "time multiplier byte of the trailer";
    loop.RunFor(300ms);
    EXPECT_EQ(comm->InQueCount(), 0);

    std::ofstream(fs::path(peerDir) / "hangup") << "now\n";
    ASSERT_TRUE(PeerSays("hungup", 10000ms)) << "the peer did not hang up";
    // The line is gone: the component keeps waiting without events or errors.
    rxEvents = 0;
    loop.RunFor(1000ms);
    EXPECT_EQ(rxEvents, 0);
    comm->Close();
    EXPECT_FALSE(comm->Active());

    ASSERT_TRUE(PeerSays("back", 10000ms)) << "no new peer";
    comm->Open();
    ASSERT_TRUE(comm->Active());
    // The check command: the 37-byte calibration record.
    EXPECT_EQ(Exchange({32}, 37).size(), 37u);
    comm->Close();
}

}  // namespace
