#include "platform/PosixSerialPort.h"

#include "base/Check.h"
#include "log/Logger.h"
#include "platform/PortName.h"
#include "platform/SystemConsole.h"
#include "platform/TermiosSettings.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
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

} // namespace

PosixSerialPort::PosixSerialPort(SystemRoots roots) : m_roots(std::move(roots)) {}

PosixSerialPort::~PosixSerialPort() {
    close();
}

void PosixSerialPort::open(const std::string& name, std::uint32_t baudRate) {
    if (isOpen())
        close();
    if (name.empty())
        throw std::runtime_error("No serial port is chosen: choose the port the station adapter is on "
                                 "(such as /dev/ttyUSB0), or sim for the built-in station simulator");
    const std::string device = ResolvePortName(name).path;
    const std::string shown = device == name ? name : name + " (" + device + ")";
    // Before anything opens it: the console's lines are not ours to drive, nor is its output.
    // The reason is ours, not the system's: no system text follows it.
    if (IsSystemConsole(device, m_roots))
        throw std::runtime_error("Could not open com-port " + shown + " (" + device +
                                 " is the system console; choose the port the station adapter is on)");

    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    OsCheck(fd >= 0) << "Could not open com-port " << shown << OpenHint(openError, device);
    m_fd = fd;
    // A check that fails from here on closes what was opened: the lock and the exclusive mode
    // must not keep the next opener (this program's next try included) out.
    try {
        Configure(device, shown, baudRate);
    } catch (...) {
        close();
        throw;
    }
}

void PosixSerialPort::Configure(const std::string& device, const std::string& shown, std::uint32_t baudRate) {
    // The kernel raised RTS and DTR in open(), pulling both bus lines low: release them first.
    const int lines = TIOCM_RTS | TIOCM_DTR;
    ::ioctl(m_fd, TIOCMBIC, &lines); // a device without modem lines is reported below
    // Unshared: refuse other openers, and other programs that lock the device.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        OsCheck(false) << "Could not open com-port " << shown << OpenHint(error, device);
    }

    termios settings{};
    int result = ::tcgetattr(m_fd, &settings);
    int error = errno;
    OsCheck(result == 0) << "Could not get DCB" << NotSerialHint(error, shown);
    if (::ioctl(m_fd, TIOCEXCL) != 0) {
        error = errno;
        OsCheck(false) << "Could not open com-port " << shown << NotSerialHint(error, shown);
    }
    ConfigureStationLine(settings, baudRate);
    result = ::tcsetattr(m_fd, TCSANOW, &settings);
    OsCheck(result == 0) << "Could not set DCB";

    // Both outputs cleared: the PC releases both bus lines.
    result = ::ioctl(m_fd, TIOCMBIC, &lines);
    error = errno;
    OsCheck(result == 0) << "Could not set DCB" << NotSerialHint(error, shown);

    termios readBack{};
    result = ::tcgetattr(m_fd, &readBack);
    OsCheck(result == 0) << "Could not get DCB";
    m_settings = PortSettings{};
    m_settings.line = LineSettingsOf(readBack);

    int status = 0;
    result = ::ioctl(m_fd, TIOCMGET, &status);
    error = errno;
    OsCheck(result == 0) << "Could not get COMMPROP" << NotSerialHint(error, shown);
    serial_struct serial{};
    if (::ioctl(m_fd, TIOCGSERIAL, &serial) == 0) { // not every USB adapter answers; then zeros
        m_settings.driver.transmitFifoSize = serial.xmit_fifo_size;
        m_settings.driver.baudBase = static_cast<unsigned>(serial.baud_base);
        m_settings.driver.uartType = static_cast<unsigned>(serial.type);
        m_settings.driver.flags = static_cast<unsigned>(serial.flags);
    }
    int queued = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &queued) == 0)
        m_settings.driver.bytesToSend = queued;
    if (::ioctl(m_fd, TIOCINQ, &queued) == 0)
        m_settings.driver.bytesReceived = queued;
    DescribeDriver(device, (readBack.c_cflag & HUPCL) != 0);

    m_dsr = DsrChangeTracker();
    m_dsr.Reset((status & TIOCM_DSR) != 0, ReadDsrCount());
    m_countersMissLogged = false;
    ::tcflush(m_fd, TCIOFLUSH);
}

void PosixSerialPort::DescribeDriver(const std::string& device, bool hangUpOnClose) {
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(device, error);
    if (error)
        resolved = device;
    m_tty = ReadTtyInfo(resolved.filename().string(), m_roots);
    // USB adapters batch modem-status reports; low latency makes them report at once.
    bool lowLatency = false;
    serial_struct serial{};
    if (m_tty.usb && ::ioctl(m_fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        lowLatency = ::ioctl(m_fd, TIOCSSERIAL, &serial) == 0;
    }
    CLogger::Instance().Log(30, "Serial driver %s%s, low latency %s, lines dropped at close %s",
                            m_tty.driver.empty() ? "unknown" : m_tty.driver.c_str(),
                            m_tty.usb ? " (USB)" : "", lowLatency ? "on" : "off",
                            hangUpOnClose ? "yes" : "no");
}

bool PosixSerialPort::close() {
    StopDummyWrite(); // discards what is queued, so the close does not wait for it at 300 baud
    if (m_fd < 0)
        return true;
    const int result = ::close(m_fd); // HUPCL drops RTS and DTR; also drops the lock and exclusive mode
    m_fd = -1;
    return result == 0;
}

bool PosixSerialPort::SetModemBit(int bit, bool asserted) {
    return ::ioctl(m_fd, asserted ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

std::optional<std::uint64_t> PosixSerialPort::ReadDsrCount() {
    serial_icounter_struct counters{};
    if (::ioctl(m_fd, TIOCGICOUNT, &counters) != 0)
        return std::nullopt; // the driver keeps no counters
    return static_cast<std::uint64_t>(counters.dsr);
}

bool PosixSerialPort::modemStatus(ModemStatus& status) {
    int bits = 0;
    if (::ioctl(m_fd, TIOCMGET, &bits) != 0)
        return false;
    status.cts = (bits & TIOCM_CTS) != 0;
    status.dsr = (bits & TIOCM_DSR) != 0;
    // What was just read has been seen: only later changes count for the next wait.
    m_dsr.Reset(status.dsr, ReadDsrCount());
    return true;
}

bool PosixSerialPort::waitDsrChange(std::uint32_t milliseconds, bool& changed) {
    // Polled with a short sleep so that the wait stays bounded; the counters catch a change
    // between two looks where the driver keeps them, the level serves every driver.
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int bits = 0;
        if (::ioctl(m_fd, TIOCMGET, &bits) != 0)
            return false;
        if (m_dsr.Changed((bits & TIOCM_DSR) != 0, ReadDsrCount())) {
            if (m_dsr.CountersMissedChange() && !m_countersMissLogged) {
                m_countersMissLogged = true;
                CLogger::Instance().Log(
                    30, "Serial driver %s does not count DSR changes; the line level is polled",
                    m_tty.driver.empty() ? "unknown" : m_tty.driver.c_str());
            }
            changed = true;
            return true;
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
    if (m_fd < 0) {
        errno = EBADF;
        return DummyWrite::Failed;
    }
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        return DummyWrite::Failed;
    m_dummy.assign(bytes, bytes + size);
    // The first chunk goes out here so that a broken port is reported to the caller.
    const ssize_t written = ::write(m_fd, m_dummy.data(), m_dummy.size());
    if (written < 0 && errno != EAGAIN) {
        const int error = errno;
        StopDummyWrite();
        errno = error;
        return DummyWrite::Failed;
    }
    m_writing = true;
    m_writer = std::thread([this] { DummyWriteLoop(); });
    return DummyWrite::Pending;
}

void PosixSerialPort::DummyWriteLoop() {
    // Keeps the transmit queue filled until the port is closed.
    std::size_t offset = 0;
    while (m_writing) {
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_stopPipe[0], POLLIN, 0}};
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
            const ssize_t written = ::write(m_fd, m_dummy.data() + offset, m_dummy.size() - offset);
            if (written > 0)
                offset = (offset + static_cast<std::size_t>(written)) % m_dummy.size();
            else if (written < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
    }
}

void PosixSerialPort::StopDummyWrite() {
    m_writing = false;
    if (m_stopPipe[1] >= 0) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_stopPipe[1], &stop, 1);
    }
    if (m_writer.joinable())
        m_writer.join();
    for (int& end : m_stopPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
    if (m_fd >= 0)
        ::tcflush(m_fd, TCOFLUSH);
}

void PosixSerialPort::settleDelay() {
    const auto until = SteadyClock::now() + std::chrono::microseconds(10);
    while (SteadyClock::now() < until) {
    }
}

void PosixSerialPort::sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
