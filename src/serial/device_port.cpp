#include "device_port.h"

#include <cerrno>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "os/system_error.h"
#include "serial/port_errors.h"

namespace vadrel {

namespace {

QSerialPort::Parity qt_parity(Parity parity) {
    switch (parity) {
        case Parity::none: return QSerialPort::NoParity;
        case Parity::even: return QSerialPort::EvenParity;
        case Parity::odd: return QSerialPort::OddParity;
        case Parity::mark: return QSerialPort::MarkParity;
        case Parity::space: return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits qt_stop_bits(StopBits stop_bits) {
    switch (stop_bits) {
        case StopBits::one: return QSerialPort::OneStop;
        case StopBits::one_and_half: return QSerialPort::OneAndHalfStop;
        case StopBits::two: return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

// Why QSerialPort failed, in Italian. Qt takes its error from errno and
// keeps only a class and an English text; `system_error` is errno taken
// right after the failing call (0 when there is none to take), whose reason
// comes from the one table. A device another program has locked is a
// PermissionError whose errno is whatever the look at the lock file left
// (ENOENT, EEXIST): there errno counts only when it is a refusal itself.
std::string port_reason(QSerialPort::SerialPortError error, int system_error) {
    if (error == QSerialPort::PermissionError) {
        for (const int refusal : {EACCES, EPERM, EBUSY, EROFS, EMFILE, ENFILE}) {
            if (system_error == refusal) return italian_reason(system_error);
        }
        return "bloccata da un altro programma";
    }
    if (system_error != 0) return italian_reason(system_error);
    switch (error) {
        case QSerialPort::NoError: break;
        case QSerialPort::DeviceNotFoundError: return italian_reason(ENODEV);
        case QSerialPort::PermissionError: break;  // told above
        case QSerialPort::OpenError: return "porta già aperta";
        case QSerialPort::WriteError: return "scrittura non riuscita";
        case QSerialPort::ReadError: return "lettura non riuscita";
        case QSerialPort::ResourceError: return "il dispositivo non risponde più (scollegato?)";
        case QSerialPort::UnsupportedOperationError: return "operazione non supportata dal dispositivo";
        case QSerialPort::TimeoutError: return italian_reason(ETIMEDOUT);
        case QSerialPort::NotOpenError: return "porta non aperta";
        case QSerialPort::UnknownError: break;
    }
    return "errore sconosciuto della porta";
}

PortError open_error(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError: return PortError::port_missing;
        case QSerialPort::PermissionError: return PortError::port_busy;
        default: return PortError::port_error_text;
    }
}

}  // namespace

DevicePort::DevicePort(std::string device, OutputQueue output_queue)
    : device_(std::move(device)), output_queue_(std::move(output_queue)) {}

DevicePort::~DevicePort() { close(); }

void DevicePort::open(const LineSettings& settings) {
    input_.stop();
    reader_.reset();
    if (port_.isOpen()) port_.close();
    port_.clearError();
    port_.setPortName(QString::fromStdString(device_));
    errno = 0;
    if (!port_.open(QIODevice::WriteOnly)) {
        const PortError error = open_error(port_.error());
        const std::string detail = device_ + ": " + port_reason(port_.error(), errno);
        port_.clearError();
        throw port_failure(error, detail);
    }
    // Each setting is checked against the open device, so a rate the
    // device cannot do is reported now and not at the first write.
    errno = 0;
    const bool applied = port_.setBaudRate(settings.baud) &&
                         port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.data_bits)) &&
                         port_.setParity(qt_parity(settings.parity)) &&
                         port_.setStopBits(qt_stop_bits(settings.stop_bits)) &&
                         port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        const std::string detail = device_ + " (" + settings_text(settings) +
                                   "): " + port_reason(port_.error(), errno);
        port_.close();
        port_.clearError();
        throw port_failure(PortError::settings_refused, detail);
    }
    port_.clearError();
    open_input();
}

void DevicePort::open_input() {
#if defined(__linux__) && defined(TIOCGEXCL)
    // The open device itself, whatever its name leads to now. QSerialPort
    // holds it exclusively, which refuses any other open, ours too: the
    // exclusive mode is lifted for the moment of our open. A device that
    // cannot be read this way (no tty) just sends nothing in.
    const int handle = static_cast<int>(port_.handle());
    if (::isatty(handle) != 1) return;  // a reader of anything else would take our own writes back
    int exclusive = 0;
    const bool held = ::ioctl(handle, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    if (held) ::ioctl(handle, TIOCNXCL);
    const std::string self = "/proc/self/fd/" + std::to_string(handle);
    reader_.reset(::open(self.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (held) ::ioctl(handle, TIOCEXCL);
    if (reader_) input_.watch(reader_.get(), "seriale " + device_);
#endif
}

void DevicePort::close() {
    input_.stop();
    reader_.reset();
    if (port_.isOpen()) {
        // What has not left yet is dropped: closing a tty waits until its
        // output queue drains, up to 1.84 s for a radio burst at 2400 baud,
        // and the data is stale for the new port or speed anyway. A failure
        // here changes nothing: the port is closed all the same.
        port_.clear(QSerialPort::Output);
        port_.close();
    }
    port_.clearError();
}

bool DevicePort::is_open() const { return port_.isOpen(); }

bool DevicePort::write(std::string_view bytes) {
    if (!port_.isOpen()) return false;
    // A loss noticed by QSerialPort since the last tick (its notifier runs
    // in the event loop between ticks).
    // Its errno is long gone: the class says why.
    if (port_.error() != QSerialPort::NoError) lose("", 0);
    if (port_.bytesToWrite() > 0 || output_queue_(port_.handle()) > 0) return false;

    port_.clearError();
    const qint64 size = static_cast<qint64>(bytes.size());
    errno = 0;
    const qint64 taken = port_.write(bytes.data(), size);
    if (taken != size) lose(" (scritti " + std::to_string(taken) + " byte su " + std::to_string(size) + ")", errno);
    // Hands the bytes to the kernel now rather than at the next turn of the
    // event loop, so an unplugged adapter is noticed by this write.
    errno = 0;
    port_.flush();
    // A full kernel buffer is no error (QSerialPort keeps the rest and the
    // next tick skips); EIO from a device that went away is a ResourceError;
    // any other failure of the write leaves the port just as unusable.
    if (port_.error() != QSerialPort::NoError) lose("", errno);
    return true;
}

std::string DevicePort::describe() const { return device_; }

void DevicePort::lose(const std::string& what, int system_error) {
    const std::string detail = device_ + ": " + port_reason(port_.error(), system_error) + what;
    close();
    throw port_failure(PortError::port_lost, detail);
}

int kernel_output_queue(qintptr handle) {
#if defined(__linux__) && defined(TIOCOUTQ)
    int queued = 0;
    if (::ioctl(static_cast<int>(handle), TIOCOUTQ, &queued) == 0) return queued;
#else
    (void)handle;
#endif
    return 0;
}

}  // namespace vadrel
