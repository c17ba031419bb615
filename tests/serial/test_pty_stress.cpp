// Opens, streams and closes a pseudo-terminal port 200 times, with the
// peer writing and the component reading and writing all the while.
#include <gtest/gtest.h>

#include <chrono>

#include "device/line.h"
#include "helpers/pty_pair.h"
#include "serial/va_comm.h"

using namespace std::chrono_literals;

TEST(PtyStress, OpenStreamClose)
{
    PtyPair pty;
    serial::EventLoopDispatcher loop;
    // A fixed number of rounds, whatever the machine's load.
    for (int rounds = 0; rounds < 200; ++rounds) {
        auto comm = std::make_unique<serial::TVaComm>(loop);
        comm->SetDeviceName(pty.path());
        device::ApplyLineSettings(*comm);
        std::vector<std::uint8_t> got;
        comm->OnRxChar = [&](serial::TVaCustomComm& c, std::int32_t n) {
            std::vector<std::uint8_t> b(static_cast<std::size_t>(n));
            const std::int32_t r = c.ReadBuf(b.data(), n);
            got.insert(got.end(), b.begin(), b.begin() + r);
        };
        comm->Open();
        const std::vector<std::uint8_t> burst = Pattern(64, static_cast<unsigned>(rounds));
        pty.Send(burst);
        for (int i = 0; i < 8; ++i)
            ASSERT_TRUE(comm->WriteChar(static_cast<std::uint8_t>(i)));
        ASSERT_TRUE(loop.RunUntil([&] { return got.size() == burst.size(); }, 3000ms)) << rounds;
        ASSERT_EQ(got, burst);
        // The write thread hands its queue-empty step to the main thread and waits for it,
        // so the loop keeps running while the peer collects the bytes.
        std::vector<std::uint8_t> sent;
        for (const auto until = std::chrono::steady_clock::now() + 3s;
             sent.size() < 8 && std::chrono::steady_clock::now() < until;) {
            loop.RunFor(5ms);
            const std::vector<std::uint8_t> part = pty.ReadAvailable();
            sent.insert(sent.end(), part.begin(), part.end());
        }
        ASSERT_EQ(sent, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7})) << rounds;
        // Every other round leaves data and a dispatch in flight at close/destroy time.
        if (rounds % 2) {
            pty.Send(burst);
            comm->WriteChar(0x55);
            comm->Close();
        } else {
            pty.Send(burst);
        }
        comm.reset();
        loop.RunPending();
        // Drain anything the next round must not see.
        int fdFlush = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fdFlush >= 0) {
            ::tcflush(fdFlush, TCIOFLUSH);
            ::close(fdFlush);
        }
        pty.ReadAvailable();
    }
}
