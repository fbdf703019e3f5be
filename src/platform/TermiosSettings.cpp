#include "platform/TermiosSettings.h"

namespace {

unsigned BaudOf(speed_t speed) {
    switch (speed) {
    case B50:
        return 50;
    case B75:
        return 75;
    case B110:
        return 110;
    case B134:
        return 134;
    case B150:
        return 150;
    case B200:
        return 200;
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B1800:
        return 1800;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

speed_t SpeedOf(std::uint32_t baud) {
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B300;
    }
}

} // namespace

PortSettings::Line LineSettingsOf(const termios& t) {
    PortSettings::Line line;
    line.speed = BaudOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }
    if (t.c_cflag & PARENB)
        line.parity = (t.c_cflag & PARODD) ? PortSettings::Parity::Odd : PortSettings::Parity::Even;
    line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    line.rtsCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    line.xonXoffFlow = (t.c_iflag & (IXON | IXOFF)) != 0;
    return line;
}

void ConfigureStationLine(termios& settings, std::uint32_t baudRate) {
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, SpeedOf(baudRate));
    ::cfsetospeed(&settings, SpeedOf(baudRate));
}
