#include "virtual_port.h"

#include "os/system_error.h"

#include <utility>

#include "serial/port_errors.h"

#ifdef __linux__
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vadrel {

#ifdef __linux__

namespace {

std::string system_error(const char* what) { return std::string(what) + ": " + italian_reason(errno); }

// Raw mode: no echo, no CR/LF translation, no signals, every byte as it is.
// glibc takes the rate itself as well as its B constant.
void make_raw(int fd, int baud) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return;
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, static_cast<speed_t>(baud));
    ::tcsetattr(fd, TCSANOW, &settings);
}

// Serial devices belong to the group dialout with mode 0660, so that gpsd
// run as a service (user gpsd, group dialout) can open them; the virtual port
// follows them. "" when done or when the system has no such group, else why not.
std::string give_to_dialout(int slave) {
    group entry{};
    group* found = nullptr;
    char buffer[4096];
    if (::getgrnam_r("dialout", &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
    if (::fchown(slave, static_cast<uid_t>(-1), found->gr_gid) == 0 && ::fchmod(slave, 0660) == 0) return {};
    return errno == EPERM ? "permesso negato: l'utente non è del gruppo dialout" : italian_reason(errno);
}

std::string link_target(const std::string& link) {
    char target[256];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length < 0) return {};
    return std::string(target, static_cast<std::size_t>(length));
}

// Makes the link, or says why not. A link left by an earlier run that ended
// without removing it points at a pseudo-terminal that is gone, and is
// replaced; a link to one that is still there belongs to a program that
// runs now, and anything else is somebody's own: both are left alone.
void make_link(const std::string& link, const std::string& slave) {
    struct stat existing {};
    if (::lstat(link.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode))
            throw port_failure(PortError::virtual_port_not_created, link + ": esiste già e non è un collegamento");
        const std::string target = link_target(link);
        struct stat pointed {};
        const bool dangling = ::stat(link.c_str(), &pointed) != 0 && errno == ENOENT;
        const bool pseudo_terminal = target.starts_with("/dev/pts/");
        if (pseudo_terminal && !dangling)
            throw port_failure(PortError::virtual_port_not_created,
                               link + ": porta già a " + target + ", una porta virtuale in uso da un altro "
                               "programma (forse un altro vadrel); scegli un altro nome");
        if (!pseudo_terminal || !dangling)
            throw port_failure(PortError::virtual_port_not_created,
                               link + ": esiste già e porta a " + target + "; lo lascio com'è");
        ::unlink(link.c_str());
    }
    if (::symlink(slave.c_str(), link.c_str()) != 0)
        throw port_failure(PortError::virtual_port_not_created, system_error(link.c_str()));
}

}  // namespace

VirtualSerialPort::VirtualSerialPort(std::string link_path) : link_path_(std::move(link_path)) {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        throw port_failure(PortError::virtual_port_not_created, system_error("openpty"));
    master_.reset(master);
    slave_.reset(slave);
    char name[128];
    if (::ttyname_r(slave_.get(), name, sizeof name) != 0)
        throw port_failure(PortError::virtual_port_not_created, system_error("ttyname"));
    slave_path_ = name;
    make_raw(slave_.get(), 4800);
    dialout_problem_ = give_to_dialout(slave_.get());
    ::fcntl(master_.get(), F_SETFL, ::fcntl(master_.get(), F_GETFL) | O_NONBLOCK);
    ::fcntl(master_.get(), F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_.get(), F_SETFD, FD_CLOEXEC);
    // Readers come and go through the device's path: each open and each last
    // close of a file on it is an event. Our own slave is open already.
    watch_.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (watch_ && ::inotify_add_watch(watch_.get(), slave_path_.c_str(), IN_OPEN | IN_CLOSE) < 0) watch_.reset();
    if (!link_path_.empty()) {
        make_link(link_path_, slave_path_);
        link_made_ = true;
    }
}

VirtualSerialPort::~VirtualSerialPort() {
    // Only our own link: another run may have replaced it meanwhile.
    if (link_made_ && link_target(link_path_) == slave_path_) ::unlink(link_path_.c_str());
}

void VirtualSerialPort::open(const LineSettings& settings) {
    // A pseudo-terminal has no line speed: the bytes go as fast as the reader
    // takes them. The rate is only written into the line settings that a
    // program opening the slave finds (stty shows it).
    baud_ = settings.baud;
    drop_input();
    discard_unread(!reader_present());
    last_write_ = 0;
    sending_ = true;
    input_.watch(master_.get(), "seriale " + slave_path_);
}

void VirtualSerialPort::close() {
    sending_ = false;
    input_.stop();
}

bool VirtualSerialPort::write(std::string_view bytes) {
    if (!sending_) return false;
    input_.read_waiting();
    if (!reader_present()) {
        // Like a real line with nothing plugged in: the bytes go out to
        // nobody. Nothing is kept for a reader who comes later.
        discard_unread(true);
        return true;
    }
    const int unread = unread_by_reader();
    if (unread > 0) {
        // Begun: let the reader finish it, no torn line. Untouched since the
        // last tick (a reader that pauses): stale, the fresh one replaces it.
        if (unread < last_write_) return false;
        discard_unread(false);
    }
    if (bytes.empty()) return true;

    ssize_t written = -1;
    do {
        written = ::write(master_.get(), bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written >= 0) last_write_ = static_cast<int>(written);
    if (written == static_cast<ssize_t>(bytes.size())) return true;
    if (written >= 0) return false;  // the queue filled up midway; the reader's checksum drops the torn line
    if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
    const std::string detail = slave_path_ + ": " + italian_reason(errno);
    sending_ = false;
    throw port_failure(PortError::port_lost, detail);
}

std::string VirtualSerialPort::describe() const { return slave_path_ + " (virtuale)"; }

bool VirtualSerialPort::reader_present() {
    if (!watch_) return true;  // cannot tell: treated as a reader that may be there
    alignas(inotify_event) char events[4096];
    ssize_t got = 0;
    while ((got = ::read(watch_.get(), events, sizeof events)) > 0) {
        for (const char* at = events; at < events + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->mask & IN_Q_OVERFLOW) {
                watch_.reset();  // the count is lost: from now on, as if unknown
                return true;
            }
            if (event->mask & IN_OPEN) ++readers_;
            if ((event->mask & IN_CLOSE) && readers_ > 0) --readers_;
            at += sizeof(inotify_event) + event->len;
        }
    }
    return readers_ > 0;
}

void VirtualSerialPort::drop_input() {
    char dropped[4096];
    // Bounded: a reader that writes without pause cannot hold the open here.
    for (int round = 0; round < 64; ++round) {
        const ssize_t got = ::read(master_.get(), dropped, sizeof dropped);
        if (got > 0 || (got < 0 && errno == EINTR)) continue;
        return;  // EAGAIN: nothing more
    }
}

void VirtualSerialPort::discard_unread(bool nobody_there) {
    ::tcflush(slave_.get(), TCIFLUSH);
    // Nobody else there: the next reader finds raw mode and a port it may
    // open, whatever the last one left behind (exclusive mode included).
    if (nobody_there) {
        make_raw(slave_.get(), baud_);
        ::ioctl(slave_.get(), TIOCNXCL);
    }
}

int VirtualSerialPort::unread_by_reader() const {
    // Polling the slave lets the kernel hand over bytes still on their way
    // to the reader's queue, so the count below includes them.
    pollfd settle{slave_.get(), POLLIN, 0};
    ::poll(&settle, 1, 0);
    int unread = 0;
    if (::ioctl(slave_.get(), FIONREAD, &unread) != 0) return -1;
    return unread;
}

#else  // not Linux

VirtualSerialPort::VirtualSerialPort(std::string link_path) : link_path_(std::move(link_path)) {
    throw port_failure(PortError::virtual_port_not_created, "non disponibile su questo sistema");
}
VirtualSerialPort::~VirtualSerialPort() = default;
void VirtualSerialPort::open(const LineSettings& settings) { baud_ = settings.baud; }
void VirtualSerialPort::close() {}
bool VirtualSerialPort::write(std::string_view) { return false; }
std::string VirtualSerialPort::describe() const { return slave_path_ + " (virtuale)"; }
bool VirtualSerialPort::reader_present() { return false; }
void VirtualSerialPort::drop_input() {}
void VirtualSerialPort::discard_unread(bool) {}
int VirtualSerialPort::unread_by_reader() const { return -1; }

#endif

}  // namespace vadrel
