#pragma once
// A virtual serial port: a pseudo-terminal whose slave side any program opens
// as if it were a serial device (gpsd, a terminal, a navigation program).
//
//   VirtualSerialPort com2("/tmp/vadrel-com2");   // made now; throws PortFailure
//   std::cout << com2.slave_path();               // "/dev/pts/4", stable for the run
//   com2.open(settings);                          // starts sending
//   com2.write("$GPRMC,...\r\n");                 // false: skipped
//
// The pseudo-terminal is made once, when the object is built, so its path can
// be printed before the first tick; the optional link PATH -> /dev/pts/K is
// removed when the object goes away. "Open" and "close" only start and stop
// sending. Linux only: elsewhere the constructor throws PortFailure (8018).
//
// What the kernel does with a pseudo-terminal (measured on Linux 6.x, and the
// reason for each rule below):
// * The master reports POLLHUP exactly while no file holds the slave open,
//   also before anybody has ever opened it (once our own slave descriptor
//   from openpty is closed). That is how we tell whether a reader is there.
// * Bytes written to the master while nobody holds the slave are kept (about
//   4 KB in the slave's line discipline, more in the tty buffers: writes hit
//   EAGAIN after 16-21 KB) and handed to the next program that opens the
//   slave, however much later. tcflush() on the master does NOT discard them,
//   whatever queue it names. Discarding needs a descriptor of the slave: we
//   open one through ioctl(TIOCGPTPEER) and tcflush(TCIFLUSH) it.
// * The same holds for bytes a reader left unread when it closed: the next
//   reader gets them. So while nobody is there we write nothing and discard
//   whatever is left, and the next reader starts with a fresh sentence.
// * TIOCOUTQ on the master is always 0: the master cannot see how much the
//   reader has not yet read. FIONREAD on a slave descriptor (again through
//   TIOCGPTPEER) can; we skip a write while the reader still has unread bytes.
// * A reader that set exclusive mode (TIOCEXCL; QSerialPort does, gpsd 3.22
//   does not) makes TIOCGPTPEER fail with EBUSY for a process without
//   CAP_SYS_ADMIN, and the flag outlives that reader if it does not clear it.
//   Then we cannot see the reader's queue: writes go on, nonblocking, and a
//   full queue (EAGAIN) skips them.
// * One write can still reach a later reader: the last one, when a reader
//   closes without reading it and the next one opens before our next write
//   (less than a second later).
// * Line settings (raw mode from cfmakeraw) live with the pseudo-terminal and
//   survive the slave being closed and opened again; without raw mode CR LF
//   arrives as LF LF and data echoes back. A reader may change them; when
//   nobody is there we put raw mode back.
// * Bytes the reader writes (gpsd without -b writes probe strings) arrive on
//   the master; we read and drop them before each write. Once no slave is
//   open, reading the master gives EIO.

#include <string>

#include "platform/port_line.h"

namespace vadrel {

class VirtualSerialPort final : public PortLine {
public:
    // Makes the pseudo-terminal in raw mode and, when link_path is not empty,
    // the link link_path -> slave. An existing link there (left by an earlier
    // run) is replaced; an existing file that is not a link is left alone and
    // reported as a failure.
    explicit VirtualSerialPort(std::string link_path = {});
    ~VirtualSerialPort() override;
    VirtualSerialPort(const VirtualSerialPort&) = delete;
    VirtualSerialPort& operator=(const VirtualSerialPort&) = delete;

    // "/dev/pts/K": the device any program opens.
    const std::string& slave_path() const { return slave_path_; }

    // Starts sending; discards anything a reader has not read yet.
    void open(const LineSettings& settings) override;
    void close() override;
    bool is_open() const override { return sending_; }
    // While no program holds the slave open the bytes are dropped, as on a
    // line with nothing plugged in (true). Skipped (false) while the reader
    // has not read the previous write, and when the queue is full. Never blocks.
    bool write(std::string_view bytes) override;
    std::string describe() const override;

    // Whether some program holds the slave open right now.
    bool reader_present() const;

private:
    void drain_input();
    // Discards what is waiting for a reader; when nobody_there, also puts
    // raw mode back for the next reader.
    void discard_unread(bool nobody_there);
    // Bytes the reader has not read yet; -1 when that cannot be seen.
    int unread_by_reader() const;
    int open_slave_side() const;

    int master_ = -1;
    std::string slave_path_;
    std::string link_path_;
    bool link_made_ = false;
    bool sending_ = false;
    int baud_ = 4800;
};

}  // namespace vadrel
