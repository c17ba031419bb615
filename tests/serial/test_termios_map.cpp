// The translation of the device control block into termios settings and modem lines,
// and the receive filter for marked bytes.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>

#include "serial/input_filter.h"
#include "serial/termios_map.h"
#include "serial/va_comm.h"

namespace {

// The kernel's BOTHER; glibc names the same bit CBAUDEX.
constexpr unsigned kBother = CBAUDEX;

serial::Dcb BaseDcb()
{
    serial::Dcb dcb;
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Flags = serial::DCB_fBinary;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

TEST(TermiosMap, MainWindowLine)
{
    serial::Dcb dcb = BaseDcb();
    dcb.BaudRate = 38400;
    dcb.Parity = serial::ODDPARITY;
    dcb.Flags = 4099;
    const serial::TermiosPlan p = serial::MapDcbToTermios(dcb);
    ASSERT_EQ(p.error, 0);
    EXPECT_EQ(p.cflag & CBAUD, static_cast<unsigned>(B38400));
    EXPECT_FALSE(p.customSpeed);
    EXPECT_EQ(p.speed, 38400u);
    EXPECT_EQ(p.cflag & CSIZE, static_cast<unsigned>(CS8));
    EXPECT_TRUE(p.cflag & PARENB);
    EXPECT_TRUE(p.cflag & PARODD);
    EXPECT_FALSE(p.cflag & CMSPAR);
    EXPECT_FALSE(p.cflag & CSTOPB);
    EXPECT_FALSE(p.cflag & CRTSCTS);
    EXPECT_TRUE(p.cflag & CREAD);
    EXPECT_TRUE(p.cflag & CLOCAL);
    EXPECT_TRUE(p.iflag & INPCK);
    EXPECT_TRUE(p.iflag & PARMRK);
    EXPECT_FALSE(p.iflag & (IGNPAR | ISTRIP | IGNBRK | BRKINT | IXON | IXOFF | ICRNL));
    EXPECT_EQ(p.oflag, 0u);
    EXPECT_EQ(p.lflag, 0u);
    EXPECT_EQ(p.modemSet, TIOCM_RTS);
    EXPECT_EQ(p.modemClear, TIOCM_DTR);
    EXPECT_EQ(p.ignoredFlags, 0u);
    EXPECT_TRUE(p.input.parityCheck);
    EXPECT_FALSE(p.input.inputFlowControl);
}

TEST(TermiosMap, EveryRateOfTheComponent)
{
    const std::pair<std::uint32_t, speed_t> standard[] = {
        {110, B110},   {300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},    {4800, B4800},
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& [rate, code] : standard) {
        serial::Dcb dcb = BaseDcb();
        dcb.BaudRate = rate;
        const serial::TermiosPlan p = serial::MapDcbToTermios(dcb);
        EXPECT_EQ(p.cflag & CBAUD, static_cast<unsigned>(code)) << rate;
        EXPECT_FALSE(p.customSpeed) << rate;
    }
    // Rates with no Bnnn code, and any user rate, go through the arbitrary-rate interface.
    for (std::uint32_t rate : {14400u, 56000u, 128000u, 256000u, 31250u, 250000u}) {
        serial::Dcb dcb = BaseDcb();
        dcb.BaudRate = rate;
        const serial::TermiosPlan p = serial::MapDcbToTermios(dcb);
        ASSERT_EQ(p.error, 0);
        EXPECT_TRUE(p.customSpeed) << rate;
        EXPECT_EQ(p.cflag & CBAUD, kBother) << rate;
        EXPECT_EQ(p.speed, rate);
    }
    for (int b = serial::br110; b <= serial::br256000; ++b) {
        serial::Dcb dcb = BaseDcb();
        dcb.BaudRate = serial::BaudrateValue(static_cast<serial::TVaBaudrate>(b));
        EXPECT_EQ(serial::MapDcbToTermios(dcb).error, 0) << b;
    }
}

TEST(TermiosMap, ParitySizeAndStopBits)
{
    struct ParityCase {
        std::uint8_t parity;
        unsigned bits;
    };
    const ParityCase parities[] = {{serial::NOPARITY, 0},
                                   {serial::ODDPARITY, PARENB | PARODD},
                                   {serial::EVENPARITY, PARENB},
                                   {serial::MARKPARITY, PARENB | PARODD | CMSPAR},
                                   {serial::SPACEPARITY, PARENB | CMSPAR}};
    for (const ParityCase& c : parities) {
        serial::Dcb dcb = BaseDcb();
        dcb.Parity = c.parity;
        EXPECT_EQ(serial::MapDcbToTermios(dcb).cflag & (PARENB | PARODD | CMSPAR), c.bits) << int(c.parity);
    }
    const std::pair<std::uint8_t, unsigned> sizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    for (const auto& [size, cs] : sizes) {
        serial::Dcb dcb = BaseDcb();
        dcb.ByteSize = size;
        EXPECT_EQ(serial::MapDcbToTermios(dcb).cflag & CSIZE, cs);
    }
    for (std::uint8_t stop : {serial::ONESTOPBIT, serial::ONE5STOPBITS, serial::TWOSTOPBITS}) {
        serial::Dcb dcb = BaseDcb();
        dcb.StopBits = stop;
        EXPECT_EQ((serial::MapDcbToTermios(dcb).cflag & CSTOPB) != 0, stop != serial::ONESTOPBIT);
    }
    // Settings the line cannot take are refused as the driver would refuse them.
    serial::Dcb bad = BaseDcb();
    bad.ByteSize = 4;
    EXPECT_EQ(serial::MapDcbToTermios(bad).error, EINVAL);
    bad = BaseDcb();
    bad.BaudRate = 0;
    EXPECT_EQ(serial::MapDcbToTermios(bad).error, EINVAL);
    bad = BaseDcb();
    bad.Parity = 5;
    EXPECT_EQ(serial::MapDcbToTermios(bad).error, EINVAL);
    bad = BaseDcb();
    bad.StopBits = 3;
    EXPECT_EQ(serial::MapDcbToTermios(bad).error, EINVAL);
}

TEST(TermiosMap, HandshakesAndModemLines)
{
    auto plan = [](std::uint32_t flags) {
        serial::Dcb dcb = BaseDcb();
        dcb.Flags = serial::DCB_fBinary | flags;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        return serial::MapDcbToTermios(dcb);
    };
    EXPECT_TRUE(plan(serial::DCB_fOutxCtsFlow).cflag & CRTSCTS);
    EXPECT_TRUE(plan(serial::DCB_RtsControlHandshake).cflag & CRTSCTS);
    EXPECT_TRUE(plan(serial::DCB_RtsControlHandshake).input.inputFlowControl);
    EXPECT_EQ(plan(serial::DCB_RtsControlHandshake).modemSet & TIOCM_RTS, TIOCM_RTS);
    EXPECT_FALSE(plan(0).cflag & CRTSCTS);
    EXPECT_TRUE(plan(serial::DCB_fOutX).iflag & IXON);
    EXPECT_FALSE(plan(serial::DCB_fOutX).iflag & IXOFF);
    EXPECT_TRUE(plan(serial::DCB_fInX).iflag & IXOFF);
    EXPECT_TRUE(plan(serial::DCB_fInX).input.inputFlowControl);
    EXPECT_EQ(plan(serial::DCB_fInX).vstart, 0x11);
    EXPECT_EQ(plan(serial::DCB_fInX).vstop, 0x13);
    EXPECT_FALSE(plan(0).iflag & INPCK);

    EXPECT_EQ(plan(0).modemClear, TIOCM_DTR | TIOCM_RTS);
    EXPECT_EQ(plan(0).modemSet, 0);
    EXPECT_EQ(plan(serial::DCB_DtrControlEnable).modemSet, TIOCM_DTR);
    EXPECT_EQ(plan(serial::DCB_DtrControlEnable | serial::DCB_RtsControlEnable).modemSet, TIOCM_DTR | TIOCM_RTS);
    EXPECT_EQ(plan(serial::DCB_RtsControlToggle).modemClear & TIOCM_RTS, TIOCM_RTS);

    // What termios has no word for is reported, not silently dropped.
    EXPECT_EQ(plan(serial::DCB_fOutxDsrFlow).ignoredFlags, serial::DCB_fOutxDsrFlow);
    EXPECT_EQ(plan(serial::DCB_fDsrSensitivity).ignoredFlags, serial::DCB_fDsrSensitivity);
    EXPECT_EQ(plan(serial::DCB_fTXContinueOnXoff).ignoredFlags, serial::DCB_fTXContinueOnXoff);
    EXPECT_EQ(plan(serial::DCB_DtrControlHandshake).ignoredFlags, serial::DCB_DtrControlHandshake);
    EXPECT_EQ(plan(serial::DCB_DtrControlHandshake).modemSet, TIOCM_DTR);
    EXPECT_EQ(plan(serial::DCB_RtsControlToggle).ignoredFlags, serial::DCB_RtsControlToggle);

    serial::Dcb dcb = BaseDcb();
    dcb.Flags |= serial::DCB_fErrorChar | serial::DCB_fNull;
    dcb.ErrorChar = '?';
    dcb.EvtChar = '\r';
    const serial::TermiosPlan p = serial::MapDcbToTermios(dcb);
    EXPECT_TRUE(p.input.replaceErrors);
    EXPECT_EQ(p.input.errorChar, '?');
    EXPECT_TRUE(p.input.nullStrip);
    EXPECT_EQ(p.input.eventChar, '\r');
}

TEST(InputFilter, MarkedBytesAreDeliveredAsReceivedAndCountedAsErrors)
{
    serial::InputFilter f;
    serial::InputOptions o;
    o.parityCheck = true;
    o.eventChar = 0x42;
    f.Configure(o);
    std::vector<std::uint8_t> out;
    serial::InputFilter::Result r;
    const std::uint8_t raw[] = {1, 0xFF, 0xFF, 2, 0xFF, 0, 0x33, 3, 0xFF, 0, 0, 0x42};
    f.Feed(raw, sizeof raw, out, r);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 0xFF, 2, 0x33, 3, 0, 0x42}));
    EXPECT_EQ(r.errors, serial::CE_RXPARITY | serial::CE_BREAK);
    EXPECT_EQ(r.events, serial::EV_BREAK | serial::EV_RXFLAG);
    EXPECT_EQ(r.marks, 2);
}

// A meter reply has no framing: a byte with a parity error in the middle of an
// 811-byte reply must keep its place, or every later sample would shift by a byte.
TEST(InputFilter, ParityErrorInTheMiddleOfAReplyKeepsEverySampleInPlace)
{
    std::vector<std::uint8_t> reply{'5'};
    for (int i = 0; i < 400; ++i) {
        const auto v = static_cast<std::uint16_t>(i * 163 + 0xFF);  // low bytes 0xFF now and then
        reply.push_back(static_cast<std::uint8_t>(v & 0xFF));
        reply.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    reply.insert(reply.end(), {0x0A, 0xD7, 0xA3, 0x3C, 5, 1, 0, 0, 0x20, 0x40});
    ASSERT_EQ(reply.size(), 811u);
    const std::size_t bad = 405;  // the low byte of sample 202
    // What the tty hands over under PARMRK: \377 doubled, the bad byte marked.
    std::vector<std::uint8_t> raw;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (i == bad)
            raw.insert(raw.end(), {0xFF, 0});
        raw.push_back(reply[i]);
        if (reply[i] == 0xFF)
            raw.push_back(0xFF);
    }
    serial::InputFilter f;
    serial::InputOptions o;
    o.parityCheck = true;
    f.Configure(o);
    std::vector<std::uint8_t> out;
    serial::InputFilter::Result r;
    for (std::size_t at = 0; at < raw.size(); at += 64)
        f.Feed(raw.data() + at, std::min<std::size_t>(64, raw.size() - at), out, r);
    EXPECT_EQ(out, reply);
    EXPECT_EQ(r.errors, serial::CE_RXPARITY);
    EXPECT_EQ(r.marks, 1);
}

TEST(InputFilter, SequencesSplitAcrossReads)
{
    serial::InputFilter f;
    serial::InputOptions o;
    o.replaceErrors = true;
    o.errorChar = '?';
    f.Configure(o);
    std::vector<std::uint8_t> out;
    serial::InputFilter::Result r;
    const std::uint8_t a[] = {'a', 0xFF};
    const std::uint8_t b[] = {0};
    const std::uint8_t c[] = {'x', 0xFF};
    const std::uint8_t d[] = {0xFF, 'b'};
    f.Feed(a, 2, out, r);
    f.Feed(b, 1, out, r);
    f.Feed(c, 2, out, r);
    f.Feed(d, 2, out, r);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{'a', '?', 0xFF, 'b'}));
    EXPECT_EQ(r.errors, serial::CE_FRAME);  // parity not checked: a framing error
}

TEST(InputFilter, NullStripping)
{
    serial::InputFilter f;
    serial::InputOptions o;
    o.nullStrip = true;
    o.eventChar = 0x7F;
    f.Configure(o);
    std::vector<std::uint8_t> out;
    serial::InputFilter::Result r;
    const std::uint8_t raw[] = {0, 1, 0, 2};
    f.Feed(raw, 4, out, r);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(r.events, 0u);
}

}  // namespace
