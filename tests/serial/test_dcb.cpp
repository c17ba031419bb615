// The device control block the line settings give: each setting changes its own
// field or flag of the block the defaults give.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "serial/va_settings.h"

namespace {

using serial::Dcb;

struct Settings {
    serial::DcbSettings line{serial::br1200, 0, serial::paNone, false, serial::db8, serial::sb1, 0, 4096};
    serial::TVaEventChars chars;
    serial::TVaFlowControl flow;
};

auto Fields(const Dcb& d)
{
    return std::make_tuple(d.DCBlength, d.BaudRate, d.Flags, d.XonLim, d.XoffLim, int(d.ByteSize), int(d.Parity),
                           int(d.StopBits), int(d.XonChar), int(d.XoffChar), int(d.ErrorChar), int(d.EofChar),
                           int(d.EvtChar));
}

TEST(DcbFromSettings, EachSettingChangesItsFieldOrFlag)
{
    Dcb base{};
    base.BaudRate = 1200;
    base.Flags = serial::DCB_fBinary;
    base.XonLim = base.XoffLim = 1024;
    base.ByteSize = 8;
    base.XonChar = 17;
    base.XoffChar = 19;
    struct Case {
        const char* what;
        std::function<void(Settings&)> set;
        std::function<void(Dcb&)> expect;
    };
    const Case cases[] = {
        {"defaults", [](Settings&) {}, [](Dcb&) {}},
        {"user rate", [](Settings& s) { s.line.baudrate = serial::brUser, s.line.userBaudrate = 31250; },
         [](Dcb& d) { d.BaudRate = 31250; }},
        {"a named rate wins over the user rate",
         [](Settings& s) { s.line.baudrate = serial::br256000, s.line.userBaudrate = 31250; },
         [](Dcb& d) { d.BaudRate = 256000; }},
        {"checked odd parity", [](Settings& s) { s.line.parity = serial::paOdd, s.line.parityCheck = true; },
         [](Dcb& d) { d.Parity = serial::ODDPARITY, d.Flags |= serial::DCB_fParity; }},
        {"space parity", [](Settings& s) { s.line.parity = serial::paSpace; },
         [](Dcb& d) { d.Parity = serial::SPACEPARITY; }},
        {"4 data bits", [](Settings& s) { s.line.databits = serial::db4; }, [](Dcb& d) { d.ByteSize = 4; }},
        {"1.5 stop bits", [](Settings& s) { s.line.stopbits = serial::sb15; },
         [](Dcb& d) { d.StopBits = serial::ONE5STOPBITS; }},
        {"2 stop bits", [](Settings& s) { s.line.stopbits = serial::sb2; },
         [](Dcb& d) { d.StopBits = serial::TWOSTOPBITS; }},
        {"limits a quarter of the input queue", [](Settings& s) { s.line.readSize = 2003; },
         [](Dcb& d) { d.XonLim = d.XoffLim = 500; }},
        {"limits at most 1024", [](Settings& s) { s.line.readSize = 100000; }, [](Dcb&) {}},
        {"special characters",
         [](Settings& s) {
             s.chars.SetXonChar(1), s.chars.SetXoffChar(2), s.chars.SetErrorChar(3), s.chars.SetEventChar(4);
             s.chars.SetEofChar(5);
         },
         [](Dcb& d) { d.XonChar = 1, d.XoffChar = 2, d.ErrorChar = 3, d.EvtChar = 4, d.EofChar = 5; }},
        {"CTS flow", [](Settings& s) { s.flow.SetOutCtsFlow(true); },
         [](Dcb& d) { d.Flags |= serial::DCB_fOutxCtsFlow; }},
        {"DSR flow", [](Settings& s) { s.flow.SetOutDsrFlow(true); },
         [](Dcb& d) { d.Flags |= serial::DCB_fOutxDsrFlow; }},
        {"DTR on", [](Settings& s) { s.flow.SetControlDtr(serial::dtrEnabled); },
         [](Dcb& d) { d.Flags |= serial::DCB_DtrControlEnable; }},
        {"DTR handshake", [](Settings& s) { s.flow.SetControlDtr(serial::dtrHandshake); },
         [](Dcb& d) { d.Flags |= serial::DCB_DtrControlHandshake; }},
        {"RTS on", [](Settings& s) { s.flow.SetControlRts(serial::rtsEnabled); },
         [](Dcb& d) { d.Flags |= serial::DCB_RtsControlEnable; }},
        {"RTS handshake", [](Settings& s) { s.flow.SetControlRts(serial::rtsHandshake); },
         [](Dcb& d) { d.Flags |= serial::DCB_RtsControlHandshake; }},
        {"RTS toggle", [](Settings& s) { s.flow.SetControlRts(serial::rtsToggle); },
         [](Dcb& d) { d.Flags |= serial::DCB_RtsControlToggle; }},
        {"XON/XOFF out", [](Settings& s) { s.flow.SetXonXoffOut(true); }, [](Dcb& d) { d.Flags |= serial::DCB_fOutX; }},
        {"XON/XOFF in", [](Settings& s) { s.flow.SetXonXoffIn(true); }, [](Dcb& d) { d.Flags |= serial::DCB_fInX; }},
        {"DSR sensitivity", [](Settings& s) { s.flow.SetDsrSensitivity(true); },
         [](Dcb& d) { d.Flags |= serial::DCB_fDsrSensitivity; }},
        {"TX continues on XOFF", [](Settings& s) { s.flow.SetTxContinueOnXoff(true); },
         [](Dcb& d) { d.Flags |= serial::DCB_fTXContinueOnXoff; }},
        {"error character", [](Settings& s) { s.line.options = serial::OptionBit(serial::coErrorChar); },
         [](Dcb& d) { d.Flags |= serial::DCB_fErrorChar; }},
        {"NUL stripping", [](Settings& s) { s.line.options = serial::OptionBit(serial::coNullStrip); },
         [](Dcb& d) { d.Flags |= serial::DCB_fNull; }},
    };
    for (const Case& c : cases) {
        Settings s;
        c.set(s);
        Dcb want = base;
        c.expect(want);
        EXPECT_EQ(Fields(serial::DcbFromSettings(s.line, s.chars, s.flow)), Fields(want)) << c.what;
    }
}

}  // namespace
