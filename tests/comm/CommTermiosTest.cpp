// The translation between the device control block and termios.

#include "comm/CommTermios.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr uint32_t Rts(uint32_t Control) {
    return Control << DcbFlag::RtsControlShift;
}
constexpr uint32_t Dtr(uint32_t Control) {
    return Control << DcbFlag::DtrControlShift;
}

TCommDcb Block(uint32_t Rate, uint8_t Bits, uint8_t Parity, uint8_t Stop, uint32_t Flags) {
    TCommDcb dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = Rate;
    dcb.ByteSize = Bits;
    dcb.Parity = Parity;
    dcb.StopBits = Stop;
    dcb.Flags = Flags | DcbFlag::Binary;
    dcb.XonLim = 1024;
    dcb.XoffLim = 64632;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EvtChar = '\r';
    return dcb;
}

TEST(CommTermios, BlocksBecomeTermiosAndComeBackWhole) {
    const uint32_t lineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    struct TCase {
        TCommDcb Dcb;
        tcflag_t Cflag;
        tcflag_t Iflag;
        speed_t Speed; // B0: no Bnnn constant
    };
    const TCase cases[] = {
        {Block(9600, 8, 0, 0,
               DcbFlag::Parity | DcbFlag::OutxCtsFlow | Rts(CommRts::Handshake) |
                   Dtr(CommDtr::Enable)),
         CS8 | CRTSCTS, INPCK, B9600},
        {Block(19200, 7, 2, 2, DcbFlag::OutX | DcbFlag::InX | Rts(CommRts::Enable)),
         CS7 | PARENB | CSTOPB, IXON | IXOFF, B19200},
        {Block(4800, 8, 1, 0, Rts(CommRts::Disable) | Dtr(CommDtr::Disable)), CS8 | PARENB | PARODD,
         0, B4800},
        {Block(110, 5, 3, 1, DcbFlag::OutX), CS5 | PARENB | PARODD | CMSPAR | CSTOPB, IXON, B110},
        {Block(31250, 6, 4, 2, DcbFlag::InX | Dtr(CommDtr::Handshake) | DcbFlag::OutxDsrFlow),
         CS6 | PARENB | CMSPAR | CSTOPB, IXOFF, B0},
        {Block(115200, 8, 0, 0, DcbFlag::OutxCtsFlow | Rts(CommRts::Toggle)), CS8 | CRTSCTS, 0,
         B115200},
    };
    for (const TCase& c : cases) {
        termios settings{};
        cfsetospeed(&settings, B1200);
        settings.c_iflag = IXANY | ICRNL;
        EXPECT_EQ(DcbToTermios(c.Dcb, settings), c.Speed != B0) << c.Dcb.BaudRate;
        EXPECT_EQ(settings.c_cflag & lineBits, c.Cflag) << c.Dcb.BaudRate;
        EXPECT_EQ(settings.c_iflag, c.Iflag | ICRNL) << c.Dcb.BaudRate;
        EXPECT_EQ(cfgetospeed(&settings), c.Speed == B0 ? B1200 : c.Speed) << c.Dcb.BaudRate;
        EXPECT_EQ(settings.c_cc[VSTART], 0x11);
        EXPECT_EQ(settings.c_cc[VSTOP], 0x13);
        EXPECT_EQ(StandardRate(settings), c.Speed == B0 ? 1200u : c.Dcb.BaudRate);

        const TCommDcb back = TermiosToDcb(settings, c.Dcb.BaudRate, c.Dcb);
        EXPECT_EQ(std::memcmp(&back, &c.Dcb, sizeof back), 0) << c.Dcb.BaudRate;
    }
}

TEST(CommTermios, TermiosChangedElsewhereWins) {
    // The kept block says RTS handshake; the line runs without it.
    const TCommDcb kept = Block(9600, 8, 0, 0, DcbFlag::OutxCtsFlow | Rts(CommRts::Handshake));
    termios settings{};
    DcbToTermios(kept, settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSIZE);
    settings.c_cflag |= CS7 | PARENB;
    const TCommDcb dcb = TermiosToDcb(settings, 9600, kept);
    EXPECT_EQ(dcb.Flags & DcbFlag::OutxCtsFlow, 0u);
    EXPECT_EQ(DcbRtsControl(dcb.Flags), CommRts::Enable);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, 2);
}

TEST(CommTermios, BlocksTheDriversCannotRunAreRefused) {
    struct TCase {
        const char* Name;
        void (*Change)(TCommDcb&);
        bool Valid;
    };
    const TCase cases[] = {
        {"8N1", [](TCommDcb&) {}, true},
        {"4 data bits", [](TCommDcb& d) { d.ByteSize = 4; }, false},
        {"9 data bits", [](TCommDcb& d) { d.ByteSize = 9; }, false},
        {"parity 5", [](TCommDcb& d) { d.Parity = 5; }, false},
        {"stop bits 3", [](TCommDcb& d) { d.StopBits = 3; }, false},
        {"1.5 stop bits on 8 data bits", [](TCommDcb& d) { d.StopBits = 1; }, false},
        {"1.5 stop bits on 5 data bits", [](TCommDcb& d) { d.StopBits = 1, d.ByteSize = 5; }, true},
        {"2 stop bits on 5 data bits", [](TCommDcb& d) { d.StopBits = 2, d.ByteSize = 5; }, false},
        {"rate 0", [](TCommDcb& d) { d.BaudRate = 0; }, false},
        {"odd rate", [](TCommDcb& d) { d.BaudRate = 12345; }, true},
        {"XON equals XOFF with XON/XOFF",
         [](TCommDcb& d) { d.XonChar = d.XoffChar, d.Flags |= DcbFlag::InX; }, false},
        {"XON equals XOFF without it", [](TCommDcb& d) { d.XonChar = d.XoffChar; }, true},
    };
    for (const TCase& c : cases) {
        TCommDcb dcb = Block(9600, 8, 0, 0, 0);
        c.Change(dcb);
        EXPECT_EQ(DcbIsValid(dcb), c.Valid) << c.Name;
    }
}

} // namespace
