#include "virtual_port.h"

#include <utility>

#include "platform/port_errors.h"

#ifdef __linux__
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vadrel {

#ifdef __linux__

namespace {

std::string system_error(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

speed_t speed_of(int baud) {
    switch (baud) {
        case 110: return B110;
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 2400: return B2400;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B4800;
    }
}

// Raw mode: no echo, no CR/LF translation, no signals, every byte as it is.
void make_raw(int fd, int baud) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed_of(baud));
    ::cfsetospeed(&settings, speed_of(baud));
    ::tcsetattr(fd, TCSANOW, &settings);
}

std::string link_target(const std::string& link) {
    char target[256];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length < 0) return {};
    return std::string(target, static_cast<std::size_t>(length));
}

}  // namespace

VirtualSerialPort::VirtualSerialPort(std::string link_path) : link_path_(std::move(link_path)) {
    int slave = -1;
    if (::openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0)
        throw port_failure(PortError::porta_virtuale_non_creata, system_error("openpty"));
    char name[128];
    if (::ttyname_r(slave, name, sizeof name) != 0) {
        const std::string detail = system_error("ttyname");
        ::close(slave);
        ::close(master_);
        throw port_failure(PortError::porta_virtuale_non_creata, detail);
    }
    slave_path_ = name;
    make_raw(slave, 4800);
    // Our own slave descriptor would hide whether a reader is there (the
    // master reports POLLHUP only while no slave descriptor is open).
    ::close(slave);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);

    if (!link_path_.empty()) {
        struct stat existing {};
        if (::lstat(link_path_.c_str(), &existing) == 0) {
            if (!S_ISLNK(existing.st_mode)) {
                ::close(master_);
                throw port_failure(PortError::porta_virtuale_non_creata,
                                   link_path_ + ": esiste già e non è un collegamento");
            }
            ::unlink(link_path_.c_str());
        }
        if (::symlink(slave_path_.c_str(), link_path_.c_str()) != 0) {
            const std::string detail = system_error(link_path_.c_str());
            ::close(master_);
            throw port_failure(PortError::porta_virtuale_non_creata, detail);
        }
        link_made_ = true;
    }
}

VirtualSerialPort::~VirtualSerialPort() {
    // Only our own link: another run may have replaced it meanwhile.
    if (link_made_ && link_target(link_path_) == slave_path_) ::unlink(link_path_.c_str());
    if (master_ >= 0) ::close(master_);
}

void VirtualSerialPort::open(const LineSettings& settings) {
    // A pseudo-terminal has no line speed: the bytes go as fast as the reader
    // takes them. The rate is only written into the line settings that a
    // program opening the slave finds (stty shows it).
    baud_ = settings.baud;
    drain_input();
    discard_unread(!reader_present());
    sending_ = true;
}

void VirtualSerialPort::close() { sending_ = false; }

bool VirtualSerialPort::write(std::string_view bytes) {
    if (!sending_) return false;
    drain_input();
    if (!reader_present()) {
        // Like a real line with nothing plugged in: the bytes go out to
        // nobody. Nothing is kept for a reader who comes later.
        discard_unread(true);
        return true;
    }
    if (unread_by_reader() > 0) return false;
    if (bytes.empty()) return true;

    ssize_t written = -1;
    do {
        written = ::write(master_, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(bytes.size())) return true;
    if (written >= 0) return false;  // the queue filled up midway; the reader's checksum drops the torn line
    if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
    const std::string detail = slave_path_ + ": " + std::strerror(errno);
    sending_ = false;
    throw port_failure(PortError::porta_persa, detail);
}

std::string VirtualSerialPort::describe() const { return slave_path_ + " (virtuale)"; }

bool VirtualSerialPort::reader_present() const {
    pollfd watch{master_, POLLOUT, 0};
    if (::poll(&watch, 1, 0) < 0) return false;
    return (watch.revents & POLLHUP) == 0;
}

void VirtualSerialPort::drain_input() {
    char dropped[4096];
    // Bounded: a reader that writes without pause cannot hold the tick here.
    for (int round = 0; round < 64; ++round) {
        const ssize_t got = ::read(master_, dropped, sizeof dropped);
        if (got > 0) continue;
        if (got < 0 && errno == EINTR) continue;
        return;  // EAGAIN: nothing more; EIO: nobody holds the slave open
    }
}

void VirtualSerialPort::discard_unread(bool nobody_there) {
    const int slave = open_slave_side();
    if (slave < 0) return;  // a reader in exclusive mode: nothing can be done from here
    ::tcflush(slave, TCIFLUSH);
    // Nobody else there: the next reader finds raw mode, whatever the last
    // one left behind.
    if (nobody_there) make_raw(slave, baud_);
    ::close(slave);
}

int VirtualSerialPort::unread_by_reader() const {
    const int slave = open_slave_side();
    if (slave < 0) return -1;
    int unread = 0;
    if (::ioctl(slave, FIONREAD, &unread) != 0) unread = -1;
    ::close(slave);
    return unread;
}

int VirtualSerialPort::open_slave_side() const {
    const int flags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
#ifdef TIOCGPTPEER
    const int peer = ::ioctl(master_, TIOCGPTPEER, flags);
    if (peer >= 0 || (errno != EINVAL && errno != ENOTTY)) return peer;
#endif
    // Kernels before 4.13 do not know TIOCGPTPEER: the same through the path.
    return ::open(slave_path_.c_str(), flags);
}

#else  // not Linux

VirtualSerialPort::VirtualSerialPort(std::string link_path) : link_path_(std::move(link_path)) {
    throw port_failure(PortError::porta_virtuale_non_creata, "non disponibile su questo sistema");
}
VirtualSerialPort::~VirtualSerialPort() = default;
void VirtualSerialPort::open(const LineSettings& settings) { baud_ = settings.baud; }
void VirtualSerialPort::close() {}
bool VirtualSerialPort::write(std::string_view) { return false; }
std::string VirtualSerialPort::describe() const { return slave_path_ + " (virtuale)"; }
bool VirtualSerialPort::reader_present() const { return false; }
void VirtualSerialPort::drain_input() {}
void VirtualSerialPort::discard_unread(bool) {}
int VirtualSerialPort::unread_by_reader() const { return -1; }
int VirtualSerialPort::open_slave_side() const { return -1; }

#endif

}  // namespace vadrel
