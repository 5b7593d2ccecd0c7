#include "comm/CommTermios.h"

namespace {

#ifdef CMSPAR
constexpr tcflag_t StickParity = CMSPAR;
#else
constexpr tcflag_t StickParity = 0; // mark and space parity are not available
#endif

struct TSpeed {
    speed_t Constant;
    uint32_t Rate;
};

const TSpeed StandardSpeeds[] = {
    {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},     {B150, 150},
    {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},   {B1800, 1800},
    {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200}, {B38400, 38400},
    {B57600, 57600},   {B115200, 115200}, {B230400, 230400},
#ifdef B460800
    {B460800, 460800},
#endif
#ifdef B921600
    {B921600, 921600},
#endif
};

void SetFlag(uint32_t& Flags, uint32_t Flag, bool On) {
    Flags = On ? (Flags | Flag) : (Flags & ~Flag);
}

} // namespace

bool DcbIsValid(const TCommDcb& Dcb) {
    if (Dcb.BaudRate == 0 || Dcb.ByteSize < 5 || Dcb.ByteSize > 8 || Dcb.Parity > 4 ||
        Dcb.StopBits > 2)
        return false;
    // 1.5 stop bits go with 5 data bits only, 2 stop bits with 6 to 8.
    if (Dcb.StopBits != 0 && (Dcb.StopBits == 1) != (Dcb.ByteSize == 5))
        return false;
    if (Dcb.Parity >= 3 && StickParity == 0)
        return false;
    const bool xonXoff = (Dcb.Flags & (DcbFlag::OutX | DcbFlag::InX)) != 0;
    return !(xonXoff && Dcb.XonChar == Dcb.XoffChar);
}

void MakeRawTermios(termios& Settings) {
    Settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                               ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
    Settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    Settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    Settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    Settings.c_cflag |= CS8 | CLOCAL | CREAD;
    Settings.c_cc[VMIN] = 1;
    Settings.c_cc[VTIME] = 0;
}

bool DcbToTermios(const TCommDcb& Dcb, termios& Settings) {
    tcflag_t cflag = Settings.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB |
                                                               CRTSCTS | StickParity);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    cflag |= sizes[Dcb.ByteSize < 5 || Dcb.ByteSize > 8 ? 3 : Dcb.ByteSize - 5] | CLOCAL | CREAD;
    switch (Dcb.Parity) {
    case 1:
        cflag |= PARENB | PARODD;
        break;
    case 2:
        cflag |= PARENB;
        break;
    case 3:
        cflag |= PARENB | PARODD | StickParity;
        break;
    case 4:
        cflag |= PARENB | StickParity;
        break;
    default:
        break;
    }
    // On a 5-bit line the UART sends 1.5 stop bits when asked for two.
    if (Dcb.StopBits != 0)
        cflag |= CSTOPB;
    // Linux ties both directions of the RTS/CTS handshake to one flag.
    const uint32_t rts = DcbRtsControl(Dcb.Flags);
    if ((Dcb.Flags & DcbFlag::OutxCtsFlow) || rts == CommRts::Handshake)
        cflag |= CRTSCTS;
    Settings.c_cflag = cflag;

    tcflag_t iflag = Settings.c_iflag & ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    if (Dcb.Flags & DcbFlag::OutX)
        iflag |= IXON;
    if (Dcb.Flags & DcbFlag::InX)
        iflag |= IXOFF;
    if (Dcb.Flags & DcbFlag::Parity)
        iflag |= INPCK;
    Settings.c_iflag = iflag;
    Settings.c_cc[VSTART] = static_cast<cc_t>(Dcb.XonChar);
    Settings.c_cc[VSTOP] = static_cast<cc_t>(Dcb.XoffChar);

    for (const TSpeed& speed : StandardSpeeds) {
        if (speed.Rate == Dcb.BaudRate) {
            cfsetispeed(&Settings, speed.Constant);
            cfsetospeed(&Settings, speed.Constant);
            return true;
        }
    }
    return false;
}

TCommDcb TermiosToDcb(const termios& Settings, uint32_t Rate, const TCommDcb& Kept) {
    TCommDcb dcb = Kept;
    dcb.DCBlength = sizeof(TCommDcb);
    dcb.BaudRate = Rate;
    const tcflag_t cflag = Settings.c_cflag;
    switch (cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if (!(cflag & PARENB))
        dcb.Parity = 0;
    else if (StickParity != 0 && (cflag & StickParity))
        dcb.Parity = (cflag & PARODD) ? 3 : 4;
    else
        dcb.Parity = (cflag & PARODD) ? 1 : 2;
    if (!(cflag & CSTOPB))
        dcb.StopBits = 0;
    else
        dcb.StopBits = dcb.ByteSize == 5 ? 1 : 2;

    uint32_t flags = Kept.Flags | DcbFlag::Binary;
    SetFlag(flags, DcbFlag::Parity, Settings.c_iflag & INPCK);
    SetFlag(flags, DcbFlag::OutX, Settings.c_iflag & IXON);
    SetFlag(flags, DcbFlag::InX, Settings.c_iflag & IXOFF);
    const bool ctsRts = (cflag & CRTSCTS) != 0;
    SetFlag(flags, DcbFlag::OutxCtsFlow, ctsRts);
    uint32_t rts = DcbRtsControl(flags);
    if (ctsRts && rts != CommRts::Toggle)
        rts = CommRts::Handshake;
    else if (!ctsRts && rts == CommRts::Handshake)
        rts = CommRts::Enable;
    dcb.Flags = (flags & ~DcbFlag::RtsControlMask) | (rts << DcbFlag::RtsControlShift);
    dcb.XonChar = static_cast<char>(Settings.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(Settings.c_cc[VSTOP]);
    return dcb;
}

uint32_t StandardRate(const termios& Settings) {
    const speed_t constant = cfgetospeed(&Settings);
    for (const TSpeed& speed : StandardSpeeds) {
        if (speed.Constant == constant)
            return speed.Rate;
    }
    return 0;
}
