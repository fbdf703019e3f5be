#include "platform/PosixSerialPort.h"

#include "base/Check.h"
#include "log/Logger.h"
#include "platform/PortName.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// The commonest trouble on Linux: the device belongs to a group the user is not in.
std::string OpenHint(int error, const std::string& device) {
    if (error == EACCES || error == EPERM)
        return " (no permission for " + device +
               ": the user must be in the group that owns the device, dialout on Debian; "
               "sudo usermod -aG dialout $USER, then log in again)";
    if (error == EBUSY || error == EWOULDBLOCK)
        return " (" + device + " is in use by another program)";
    return {};
}

std::string NotSerialHint(int error, const std::string& name) {
    if (error == ENOTTY || error == EINVAL)
        return " (" + name + " is not a serial port with modem lines)";
    return {};
}

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

PortSettings::Line LineSettingsOf(const termios& t) {
    PortSettings::Line line;
    line.baudRate = BaudOf(cfgetospeed(&t));
    line.fBinary = (t.c_lflag & ICANON) ? 0 : 1;
    line.fParity = (t.c_iflag & INPCK) ? 1 : 0;
    line.fOutxCtsFlow = (t.c_cflag & CRTSCTS) ? 1 : 0;
    line.fOutxDsrFlow = 0; // termios has no DSR flow control
    line.fDtrControl = (t.c_cflag & HUPCL) ? 1 : 0;
    line.fDsrSensitivity = 0;
    line.fTXContinueOnXoff = (t.c_iflag & IXON) ? 0 : 1;
    line.fOutX = (t.c_iflag & IXON) ? 1 : 0;
    line.fInX = (t.c_iflag & IXOFF) ? 1 : 0;
    line.fErrorChar = (t.c_iflag & PARMRK) ? 1 : 0;
    line.fNull = (t.c_iflag & IGNBRK) ? 1 : 0;
    line.fRtsControl = (t.c_cflag & CRTSCTS) ? 2 : 0;
    line.fAbortOnError = 0;
    line.xonLim = 0;
    line.xoffLim = 0;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        line.byteSize = 5;
        break;
    case CS6:
        line.byteSize = 6;
        break;
    case CS7:
        line.byteSize = 7;
        break;
    default:
        line.byteSize = 8;
        break;
    }
    line.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    line.xonChar = t.c_cc[VSTART];
    line.xoffChar = t.c_cc[VSTOP];
    line.errorChar = 0;
    line.eofChar = t.c_cc[VEOF];
    line.evtChar = 0;
    return line;
}

} // namespace

PosixSerialPort::PosixSerialPort() : _dummy() {}

PosixSerialPort::~PosixSerialPort() {
    close();
}

void PosixSerialPort::open(const std::string& name, std::uint32_t baudRate) {
    if (isOpen())
        close();
    const std::string device = ResolvePortName(name).path;
    const std::string shown = device == name ? name : name + " (" + device + ")";

    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    OsCheck(fd >= 0) << "Could not open com-port " << shown << OpenHint(openError, device);
    _fd = fd;
    // Unshared: refuse other openers, and other programs that lock the device.
    if (::flock(_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close();
        errno = error;
        OsCheck(false) << "Could not open com-port " << shown << OpenHint(error, device);
    }

    termios settings{};
    int result = ::tcgetattr(_fd, &settings);
    int error = errno;
    OsCheck(result == 0) << "Could not get DCB" << NotSerialHint(error, shown);
    if (::ioctl(_fd, TIOCEXCL) != 0) {
        error = errno;
        OsCheck(false) << "Could not open com-port " << shown << NotSerialHint(error, shown);
    }

    // 8N1, raw, no flow control, reads return at once (all timeouts zero).
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    settings.c_cc[VSTART] = 0;
    settings.c_cc[VSTOP] = 0;
    settings.c_cc[VEOF] = 0;
    ::cfsetispeed(&settings, SpeedOf(baudRate));
    ::cfsetospeed(&settings, SpeedOf(baudRate));
    result = ::tcsetattr(_fd, TCSANOW, &settings);
    OsCheck(result == 0) << "Could not set DCB";

    // Both outputs cleared: the PC releases both bus lines.
    const int lines = TIOCM_RTS | TIOCM_DTR;
    result = ::ioctl(_fd, TIOCMBIC, &lines);
    error = errno;
    OsCheck(result == 0) << "Could not set DCB" << NotSerialHint(error, shown);

    termios readBack{};
    result = ::tcgetattr(_fd, &readBack);
    OsCheck(result == 0) << "Could not get DCB";
    _settings = PortSettings{};
    _settings.line = LineSettingsOf(readBack);
    _settings.timeouts.readInterval = readBack.c_cc[VTIME] * 100u;
    _settings.timeouts.readTotalConstant = readBack.c_cc[VMIN];

    int status = 0;
    result = ::ioctl(_fd, TIOCMGET, &status);
    error = errno;
    OsCheck(result == 0) << "Could not get COMMPROP" << NotSerialHint(error, shown);
    serial_struct serial{};
    if (::ioctl(_fd, TIOCGSERIAL, &serial) == 0) { // not every USB adapter answers; then zeros
        _settings.properties.maxTxQueue = serial.xmit_fifo_size;
        _settings.properties.maxBaud = static_cast<unsigned>(serial.baud_base);
        _settings.properties.provSubType = static_cast<unsigned>(serial.type);
        _settings.properties.provCapabilities = static_cast<unsigned>(serial.flags);
    }
    int queued = 0;
    if (::ioctl(_fd, TIOCOUTQ, &queued) == 0)
        _settings.properties.currentTxQueue = queued;
    if (::ioctl(_fd, TIOCINQ, &queued) == 0)
        _settings.properties.currentRxQueue = queued;

    serial_icounter_struct counters{};
    _haveCounters = ::ioctl(_fd, TIOCGICOUNT, &counters) == 0;
    _dsrSeenCount = _haveCounters ? static_cast<std::uint64_t>(counters.dsr) : 0;
    _dsrSeenLevel = (status & TIOCM_DSR) != 0;
    ::tcflush(_fd, TCIOFLUSH);
}

bool PosixSerialPort::close() {
    StopDummyWrite();
    if (_fd < 0)
        return true;
    const int result = ::close(_fd); // also drops the lock and the exclusive mode
    _fd = -1;
    return result == 0;
}

bool PosixSerialPort::SetModemBit(int bit, bool asserted) {
    return ::ioctl(_fd, asserted ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool PosixSerialPort::ReadDsrCount(std::uint64_t& count) {
    serial_icounter_struct counters{};
    if (::ioctl(_fd, TIOCGICOUNT, &counters) != 0)
        return false;
    count = static_cast<std::uint64_t>(counters.dsr);
    return true;
}

bool PosixSerialPort::modemStatus(ModemStatus& status) {
    int bits = 0;
    if (::ioctl(_fd, TIOCMGET, &bits) != 0)
        return false;
    status.cts = (bits & TIOCM_CTS) != 0;
    status.dsr = (bits & TIOCM_DSR) != 0;
    // What was just read has been seen: only later changes count for the next wait.
    _dsrSeenLevel = status.dsr;
    if (_haveCounters)
        ReadDsrCount(_dsrSeenCount);
    return true;
}

bool PosixSerialPort::waitDsrChange(std::uint32_t milliseconds, bool& changed) {
    // Polled with a short sleep so that the wait stays bounded; the counters catch a change
    // between two looks, the level comparison serves drivers without counters.
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (_haveCounters) {
            std::uint64_t count = 0;
            if (!ReadDsrCount(count))
                return false;
            if (count != _dsrSeenCount) {
                _dsrSeenCount = count;
                changed = true;
                return true;
            }
        } else {
            int bits = 0;
            if (::ioctl(_fd, TIOCMGET, &bits) != 0)
                return false;
            const bool dsr = (bits & TIOCM_DSR) != 0;
            if (dsr != _dsrSeenLevel) {
                _dsrSeenLevel = dsr;
                changed = true;
                return true;
            }
        }
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            changed = false;
            return true;
        }
        std::this_thread::sleep_for(
            std::min<SteadyClock::duration>(deadline - now, std::chrono::milliseconds(1)));
    }
}

DummyWrite PosixSerialPort::startDummyWrite(const std::uint8_t* bytes, std::size_t size) {
    StopDummyWrite();
    if (_fd < 0) {
        errno = EBADF;
        return DummyWrite::Failed;
    }
    if (::pipe2(_stopPipe, O_CLOEXEC) != 0)
        return DummyWrite::Failed;
    _dummy.assign(bytes, bytes + size);
    // The first chunk goes out here so that a broken port is reported to the caller.
    const ssize_t written = ::write(_fd, _dummy.data(), _dummy.size());
    if (written < 0 && errno != EAGAIN) {
        const int error = errno;
        StopDummyWrite();
        errno = error;
        return DummyWrite::Failed;
    }
    _writing = true;
    _writer = std::thread([this] { DummyWriteLoop(); });
    return DummyWrite::Pending;
}

void PosixSerialPort::DummyWriteLoop() {
    // Keeps the transmit queue filled until the port is closed.
    std::size_t offset = 0;
    while (_writing) {
        pollfd fds[2] = {{_fd, POLLOUT, 0}, {_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
        if (fds[0].revents & POLLOUT) {
            const ssize_t written = ::write(_fd, _dummy.data() + offset, _dummy.size() - offset);
            if (written > 0)
                offset = (offset + static_cast<std::size_t>(written)) % _dummy.size();
            else if (written < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
    }
}

void PosixSerialPort::StopDummyWrite() {
    _writing = false;
    if (_stopPipe[1] >= 0) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(_stopPipe[1], &stop, 1);
    }
    if (_writer.joinable())
        _writer.join();
    for (int& end : _stopPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
    if (_fd >= 0)
        ::tcflush(_fd, TCOFLUSH);
}

void PosixSerialPort::settleDelay() {
    const auto until = SteadyClock::now() + std::chrono::microseconds(10);
    while (SteadyClock::now() < until) {
    }
}

void PosixSerialPort::sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
