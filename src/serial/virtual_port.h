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
// * Bytes written to the master wait in the slave's input queue for whoever
//   opens the slave next, however much later; tcflush() on the master does
//   NOT discard them, tcflush(TCIFLUSH) on a slave descriptor does. FIONREAD
//   on a slave descriptor tells how many the reader has not read yet.
// * A reader that sets exclusive mode (TIOCEXCL; QSerialPort and many serial
//   programs do) stops every later open of the slave for a process without
//   CAP_SYS_ADMIN, also ioctl(TIOCGPTPEER) on the master, and the flag
//   outlives a reader that does not clear it. So we hold a slave descriptor
//   from the start (the one openpty gives): the reader's queue stays ours to
//   see and flush, and when nobody is there we clear exclusive mode.
// * Holding the slave hides from the master whether a reader is there (it
//   reports POLLHUP only while no slave descriptor is open). Instead inotify
//   on the device tells each open and each last close of a file on it, by
//   any path (a link included): readers present = opens - closes.
// * So while nobody is there we write nothing and discard whatever is left,
//   and the next reader starts with a fresh sentence. A reader that leaves a
//   write untouched until the next tick (it pauses, or it left) has it
//   replaced by the fresh one; a write it has begun to read is left to
//   finish, and that tick's write is skipped.
// * Bytes on their way from the master to the reader's queue are not yet
//   counted by FIONREAD; poll() on the slave hands them over first.
// * Line settings (raw mode from cfmakeraw) live with the pseudo-terminal and
//   survive the slave being closed and opened again; without raw mode CR LF
//   arrives as LF LF and data echoes back. A reader may change them; when
//   nobody is there we put raw mode back.
// * Bytes the reader writes (gpsd without -b writes probe strings) arrive on
//   the master. While the port is open, whether it sends or not, a PortInput
//   reads them as they come (and before each write): their lines, at most
//   64 KB a real second, to a listener that wants them, the rest dropped, so
//   the reader is never blocked. What came while the port was closed is
//   dropped when it opens: nobody was plugged in.

#include <string>

#include "os/descriptor.h"
#include "serial/port_input.h"
#include "serial/port_line.h"

namespace vadrel {

class VirtualSerialPort final : public PortLine {
public:
    // Makes the pseudo-terminal in raw mode and, when link_path is not empty,
    // the link link_path -> slave. A link there to a pseudo-terminal that is
    // gone (left by an earlier run) is replaced; a link to one still there
    // (another program's port), any other link and any other file are left
    // alone and reported as a failure (8018).
    explicit VirtualSerialPort(std::string link_path = {});
    ~VirtualSerialPort() override;
    VirtualSerialPort(const VirtualSerialPort&) = delete;
    VirtualSerialPort& operator=(const VirtualSerialPort&) = delete;

    // "/dev/pts/K": the device any program opens.
    const std::string& slave_path() const { return slave_path_; }
    // Why the pseudo-terminal could not be given to the group dialout (mode
    // 0660, as a real serial port has), in the system's words; "" when it
    // was, or when there is no such group.
    const std::string& dialout_problem() const { return dialout_problem_; }

    // Starts sending; discards anything a reader has not read yet.
    void open(const LineSettings& settings) override;
    void close() override;
    bool is_open() const override { return sending_; }
    // While no program holds the slave open the bytes are dropped, as on a
    // line with nothing plugged in (true). Skipped (false) while the reader
    // has not read the previous write, and when the queue is full. Never blocks.
    bool write(std::string_view bytes) override;
    std::string describe() const override;
    void set_lines(LineListener* lines) override { input_.set_lines(lines); }
    void take_input() override { input_.next_second(); }

    // Whether some program holds the slave open right now (true when that
    // cannot be told).
    bool reader_present();

private:
    // Drops what the reader wrote while the port was closed.
    void drop_input();
    // Discards what is waiting for a reader; when nobody_there, also puts
    // raw mode back for the next reader.
    void discard_unread(bool nobody_there);
    // Bytes the reader has not read yet; -1 when that cannot be seen.
    int unread_by_reader() const;

    Descriptor master_;
    Descriptor slave_;  // held for the whole life of the port
    Descriptor watch_;  // inotify on the slave's device, none when not available
    int readers_ = 0;
    int last_write_ = 0;  // bytes of the last write
    std::string slave_path_;
    std::string dialout_problem_;
    std::string link_path_;
    bool link_made_ = false;
    bool sending_ = false;
    int baud_ = 4800;
    PortInput input_;
};

}  // namespace vadrel
