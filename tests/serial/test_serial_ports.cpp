// The serial ports on real pseudo-terminals: the virtual port, whose slave
// side the test opens the way gpsd or a terminal does; QSerialPort on a slave
// whose master the test holds as the far end of the cable; the router the
// panel sees.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "os/descriptor.h"
#include "port_lines_check.h"
#include "serial/device_port.h"
#include "serial/port_input.h"
#include "serial/port_router.h"
#include "serial/virtual_port.h"
#include "support/event_loop.h"

namespace vadrel {
namespace {

const std::string sentence = "$GPRMC,201528,A,4401.7775,N,01008.0623,E,0.0,000.0,090503,000.0,W*6C\r\n";
// A radio burst: CR LF and five NUL bytes around a sentence, and bytes above 0x7E.
const std::string burst = std::string("\r\n\0\0\0\0\0", 7) + sentence + "\xff\x7f" + std::string("\r\n\0\0\0\0\0", 7);
const LineSettings settings_4800{4800, Parity::none, 8, StopBits::one};

// The slave side opened as a serial device: line settings untouched, nonblocking.
Descriptor client_of(const std::string& path) {
    return Descriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
}

// The number and text of the PortFailure `action` throws; 0 and "" when none.
std::pair<int, std::string> failure_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const PortFailure& failure) {
        return {failure.number(), failure.what()};
    }
    return {0, ""};
}

// The far end of a cable: the test holds the master; the device is a link of a
// name of its own to the slave, as QSerialPort locks by name and test processes
// side by side reuse /dev/pts numbers. QSerialPort itself must make the line raw.
struct Cable {
    QTemporaryDir dir;
    Descriptor master;
    std::string device = dir.filePath("cavo-" + dir.path().section('/', -1)).toStdString();

    Cable() {
        int m = -1, s = -1;
        if (::openpty(&m, &s, nullptr, nullptr, nullptr) != 0) return;
        ::close(s);
        ::fcntl(m, F_SETFL, O_NONBLOCK);
        master.reset(m);
        EXPECT_EQ(::symlink(::ptsname(m), device.c_str()), 0) << device;
    }
};

// What may already be at the link's path: only a link a run left behind, to
// a pseudo-terminal that is gone, is replaced. Anybody's other link and
// anybody's file are left as they are. (Nothing there, and another run's
// live port: integration.files and integration.side_channels.)
TEST(VirtualPort, ItsLinkReplacesOnlyALinkLeftBehindAndGoesWithIt) {
    QTemporaryDir dir;
    const std::string link = dir.filePath("gps0").toStdString(), file = dir.filePath("dati").toStdString();
    std::ofstream(file) << "dati dell'operatore";
    const std::tuple<const char*, std::function<void()>, bool> rows[] = {
        {"a link left behind", [&] { std::filesystem::create_symlink("/dev/pts/nessuno", link); }, true},
        {"somebody's link", [&] { std::filesystem::create_symlink(file, link); }, false},
        {"somebody's link to nothing yet", [&] { std::filesystem::create_symlink(file + ".nuovo", link); }, false},
        {"a file", [&] { std::filesystem::copy_file(file, link); }, false},
    };
    // What stands at the link's path: where a link leads, or the bytes of a file.
    const auto there = [&link] {
        std::error_code none;
        return std::filesystem::read_symlink(link, none).string() + (std::filesystem::is_regular_file(link) ? "file" : "");
    };
    for (const auto& [what, make, replaced] : rows) {
        std::filesystem::remove(link);
        make();
        const std::string before = there();
        bool ours = false;
        const auto failure = failure_of([&] {
            const VirtualSerialPort port(link);
            ours = there() == port.slave_path();
        });
        EXPECT_EQ(failure.first, replaced ? 0 : 8018) << what << ": " << failure.second;
        EXPECT_EQ(ours, replaced) << what;
        EXPECT_EQ(there(), replaced ? "" : before) << what << ": a replaced link goes with the port, anything else stays";
    }
}

// Every byte as it is, and no write while the reader is still reading the
// previous one. The reader then writes probes, as gpsd does, until the
// pseudo-terminal takes no more; the next write drains them, so the reader is
// never blocked.
TEST(VirtualPort, SendsEveryByteAsItIsWhenTheReaderIsReadyAndDropsWhatTheReaderWrites) {
    VirtualSerialPort port;
    Descriptor client = client_of(port.slave_path());
    port.open(settings_4800);
    ASSERT_TRUE(port.write(burst));
    const std::string begun = read_bytes(client.get(), 9);
    EXPECT_FALSE(port.write("$GPRMC,saltata\r\n")) << "the reader is halfway through the burst";
    EXPECT_EQ(begun + read_bytes(client.get(), burst.size() - 9), burst) << "raw: NUL kept, no CR/LF translation";
    const std::string probe = "?WATCH={\"enable\":true};\r\n";
    std::size_t taken = 0;
    while (::write(client.get(), probe.data(), probe.size()) > 0) {
        ASSERT_LT(taken += probe.size(), 1'000'000u) << "the queue never filled";
    }
    ASSERT_TRUE(port.write(sentence));
    pollfd room{client.get(), POLLOUT, 0};
    EXPECT_EQ(::poll(&room, 1, 3000), 1) << "room again for the reader";
    EXPECT_EQ(read_bytes(client.get(), sentence.size()), sentence) << "the skipped one never comes";
}

// With nobody on the other end a write succeeds and drops the bytes, as on a
// line with nothing plugged in; a later reader gets only fresh data, in raw mode
// even when the one before cooked the line.
TEST(VirtualPort, NothingStaleReachesALateReader) {
    VirtualSerialPort port;
    port.open(settings_4800);
    EXPECT_TRUE(port.write("$GPRMC,vecchia\r\n"));
    {
        Descriptor first = client_of(port.slave_path());
        EXPECT_FALSE(readable(first.get(), 0)) << "nothing queued before the reader came";
        ASSERT_TRUE(port.write("$GPRMC,mai letta\r\n"));
        ASSERT_TRUE(readable(first.get()));
        termios cooked{};
        ::tcgetattr(first.get(), &cooked);
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_oflag |= OPOST | ONLCR;
        ASSERT_EQ(::tcsetattr(first.get(), TCSANOW, &cooked), 0);
    }
    EXPECT_TRUE(port.write(sentence)) << "nobody there: dropped";
    Descriptor second = client_of(port.slave_path());
    EXPECT_FALSE(readable(second.get(), 0)) << "what the first left unread is gone";
    termios found{};
    ::tcgetattr(second.get(), &found);
    EXPECT_EQ((found.c_lflag & (ICANON | ECHO)) | (found.c_oflag & OPOST), 0u) << "raw again";
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(second.get(), sentence.size()), sentence);
}

// Without CAP_SYS_ADMIN, as an ordinary user runs: then nobody may open an
// exclusive terminal again, not even the program that made it. Capabilities
// belong to the thread; this test has no other. Given back at the end, for
// the tests after it in the same process.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[_LINUX_CAPABILITY_U32S_3];
        std::copy(std::begin(saved_), std::end(saved_), lowered);
        lowered[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective &= ~CAP_TO_MASK(CAP_SYS_ADMIN);
        ::syscall(SYS_capset, &header_, lowered);
    }
    ~AsOrdinaryUser() { ::syscall(SYS_capset, &header_, saved_); }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[_LINUX_CAPABILITY_U32S_3]{};
};

// A reader that makes the port exclusive, as serial programs commonly do,
// and pauses for 15 ticks reads the newest sentence, not the ones it missed.
// When it has gone, the next reader may open the port again.
TEST(VirtualPort, AnExclusiveReaderThatPausesReadsOnlyTheFreshSentence) {
    const AsOrdinaryUser ordinary;
    VirtualSerialPort port;
    port.open(settings_4800);
    {
        Descriptor reader = client_of(port.slave_path());
        ASSERT_EQ(::ioctl(reader.get(), TIOCEXCL), 0);
        ASSERT_LT(client_of(port.slave_path()).get(), 0) << "exclusive: nobody else may open it";
        for (int second = 10; second < 25; ++second) {
            ASSERT_TRUE(port.write("$GPRMC," + std::to_string(second) + "\r\n")) << second;
        }
        EXPECT_EQ(read_bytes(reader.get(), 11), "$GPRMC,24\r\n");
        EXPECT_FALSE(readable(reader.get(), 0)) << "nothing older behind it";
    }
    ASSERT_TRUE(port.write(sentence));
    EXPECT_GE(client_of(port.slave_path()).get(), 0) << "exclusive mode went with its reader";
}

using DevicePortTest = WithEventLoop;

// Every byte as it is at the chosen settings; then a block more than the
// pseudo-terminal holds, and while it is on its way the next write is skipped.
TEST_F(DevicePortTest, SendsEveryByteAsItIsAtTheChosenSettingsAndSkipsWhileBusy) {
    Cable cable;
    PortRouter port;
    port.use_device(1, cable.device);
    port.set_settings("9600,N,8,1");
    port.open();
    ASSERT_TRUE(port.write(burst));
    EXPECT_EQ(read_bytes(cable.master.get(), burst.size()), burst);
    termios line{};
    ASSERT_EQ(::tcgetattr(client_of(cable.device).get(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    const std::string block(200'000, 'x');
    ASSERT_TRUE(port.write(block));
    EXPECT_FALSE(port.write(sentence)) << "the block is still on its way";
    std::size_t received = 0;
    ASSERT_TRUE(run_until([&] {
        received += read_bytes(cable.master.get(), block.size() - received, 5).size();
        return received == block.size();
    }));
    ASSERT_TRUE(run_until([&] { return port.write(sentence); }));
    EXPECT_EQ(read_bytes(cable.master.get(), sentence.size()), sentence);
}

// A UART still sending the previous write (its kernel queue not empty,
// which no pseudo-terminal shows, hence the stand-in): this write is skipped.
TEST_F(DevicePortTest, SkipsWhileTheDevicesOwnQueueIsNotEmpty) {
    Cable cable;
    int queued = 0;
    DevicePort port(cable.device, [&queued](qintptr) { return queued; });
    port.open(settings_4800);
    for (const int still_to_send : {0, 372, 0}) {
        queued = still_to_send;
        EXPECT_EQ(port.write(sentence), still_to_send == 0) << still_to_send;
        EXPECT_EQ(read_bytes(cable.master.get(), sentence.size(), still_to_send == 0 ? 3000 : 0),
                  still_to_send == 0 ? sentence : "");
    }
}

// A device plugged in (and locked for anyone else), pulled out and plugged in
// again; each reason the system's, in Italian. Closing the master under the
// open device is what the kernel shows when a USB adapter is pulled out: the
// device hangs up and writes fail. (A device missing: integration.side_channels,
// port_not_there.)
TEST_F(DevicePortTest, AnUnpluggedDeviceIsAPortFailureAndChoosingThePortAgainRecovers) {
    PortRouter port;
    auto cable = std::make_unique<Cable>();
    port.use_device(1, cable->device);
    port.open();
    ASSERT_TRUE(port.write(sentence));
    DevicePort second(cable->device);
    EXPECT_EQ(failure_of([&] { second.open(settings_4800); }),
              std::pair(8005, "porta già in uso o non accessibile: " + cable->device + ": bloccata da un altro programma"));
    cable->master.reset();
    EXPECT_EQ(failure_of([&] { port.write(sentence); }),
              std::pair(8015, "porta persa durante la scrittura: " + cable->device +
                                  ": errore di lettura o scrittura del dispositivo (guasto o scollegato?)"));
    EXPECT_FALSE(port.write(sentence)) << "closed: nothing more is tried";

    cable = std::make_unique<Cable>();  // plugged in again
    port.use_device(1, cable->device);
    port.open();
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(cable->master.get(), sentence.size()), sentence);
}

// Takes the lines the far end sends, while it wants them.
struct HeardLines final : LineListener {
    bool wanted = true;
    std::vector<std::pair<std::string, std::string>> lines;  // text, source
    bool wants_lines() const override { return wanted; }
    void line(std::string_view text, std::string_view source) override { lines.emplace_back(text, source); }
};

// Lines of 100 bytes written into `far_end` without pause, `input` reading
// the near end between writes, until `bytes` have gone; false when the far
// end stayed blocked (its queue full: nobody read it).
bool flood_lines(int far_end, PortInput& input, std::size_t bytes) {
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += std::string(98, 'x') + "\r\n";
    std::size_t pushed = 0, offset = 0;
    for (int blocked = 0; pushed < bytes && blocked < 100;) {
        const ssize_t n = ::write(far_end, lines.data() + offset, lines.size() - offset);
        blocked = n > 0 ? 0 : blocked + 1;
        if (n > 0) pushed += static_cast<std::size_t>(n), offset = (offset + static_cast<std::size_t>(n)) % lines.size();
        input.read_waiting();
    }
    return pushed >= bytes;
}

// A serial line's input on a real pseudo-terminal in raw mode, on a clock the
// test moves: lines to the listener, at most 64 KB a real second at any rate
// of the program's clock, the rest read and dropped so the far end never
// blocks; unwanted lines dropped likewise; a raw line with nothing to read is
// no hang-up, a far end gone is.
TEST(PortInput, ReadsLinesAtMost64KBARealSecondAndNeverBlocksTheFarEnd) {
    const std::size_t share = PortInput::read_budget / 100;  // whole lines of 100 bytes in 64 KB
    for (const int rate : {1, 10}) {
        int m = -1, s = -1;
        ASSERT_EQ(::openpty(&m, &s, nullptr, nullptr, nullptr), 0);
        Descriptor master(m), slave(s);
        termios raw{};
        ::tcgetattr(s, &raw);
        ::cfmakeraw(&raw);
        raw.c_cc[VMIN] = 0;  // as QSerialPort leaves it: a read with nothing there gives 0
        ::tcsetattr(s, TCSANOW, &raw);
        ::fcntl(m, F_SETFL, O_NONBLOCK);
        ::fcntl(s, F_SETFL, O_NONBLOCK);
        auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
        PortInput input([&now] { return now; });
        HeardLines heard;
        input.set_lines(&heard);
        input.watch(s, "seriale /dev/ttyUSB0");
        input.read_waiting();
        EXPECT_FALSE(input.hung_up()) << "x" << rate << ": nothing to read is no hang-up";
        ASSERT_EQ(::write(m, "$GPAPB,1*00\r\n$GPA", 17), 17);
        input.read_waiting();
        ASSERT_EQ(::write(m, "PB,2*00\r\n", 9), 9);
        input.read_waiting();
        EXPECT_EQ(heard.lines, (std::vector<std::pair<std::string, std::string>>{
                                   {"$GPAPB,1*00", "seriale /dev/ttyUSB0"}, {"$GPAPB,2*00", "seriale /dev/ttyUSB0"}}));
        heard.lines.clear();
        ASSERT_TRUE(flood_lines(m, input, 4 * PortInput::read_budget)) << "x" << rate << ": the far end never blocks";
        EXPECT_EQ(heard.lines.size(), share) << "x" << rate << ": what 64 KB less the two lines above hold";
        for (int t = 1; t < rate; ++t) {
            now += std::chrono::milliseconds(1000 / rate);
            input.next_second();
            ASSERT_TRUE(flood_lines(m, input, 1000)) << "x" << rate;
            EXPECT_EQ(heard.lines.size(), share) << "x" << rate << ", tick " << t << " within the real second";
        }
        now += std::chrono::milliseconds(1000 / rate);
        input.next_second();
        ASSERT_TRUE(flood_lines(m, input, 1000)) << "x" << rate;
        EXPECT_GT(heard.lines.size(), share) << "x" << rate << ": a second on, it reads on";
        EXPECT_TRUE(std::all_of(heard.lines.begin(), heard.lines.end(), [](const auto& line) {
            return line.first == std::string(98, 'x');
        })) << "x" << rate << ": whole lines only, the one the budget cut dropped";

        heard.wanted = false;
        heard.lines.clear();
        now += std::chrono::seconds(1);
        ASSERT_TRUE(flood_lines(m, input, 4 * PortInput::read_budget)) << "x" << rate << ": unwanted, read all the same";
        EXPECT_TRUE(heard.lines.empty()) << "x" << rate;
        master.reset();
        input.read_waiting();
        EXPECT_TRUE(input.hung_up()) << "x" << rate << ": the far end gone";
    }
}

using VirtualPortInput = WithEventLoop;

// What the reader writes reaches the listener as it comes while the port is
// open, with no write from the program (transmission off), named by the
// slave; while the port is closed nothing is read.
TEST_F(VirtualPortInput, TheReadersLinesReachTheListenerWhileThePortIsOpen) {
    VirtualSerialPort port;
    HeardLines heard;
    port.set_lines(&heard);
    const Descriptor reader = client_of(port.slave_path());
    port.open(settings_4800);
    ASSERT_EQ(::write(reader.get(), "$GPAPB,1*00\r\n", 13), 13);
    ASSERT_TRUE(run_until([&] { return heard.lines.size() == 1; })) << "read as it comes";
    EXPECT_EQ(heard.lines[0], std::make_pair(std::string("$GPAPB,1*00"), "seriale " + port.slave_path()));
    port.close();
    ASSERT_EQ(::write(reader.get(), "$GPAPB,2*00\r\n", 13), 13);
    for (int turn = 0; turn < 20; ++turn) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        port.take_input();
    }
    EXPECT_EQ(heard.lines.size(), 1u) << "closed: nothing plugged in";
    port.set_lines(nullptr);
}

// The fuzzer's seeds taken as a serial line's input: no torn line, none lost
// with nothing cut. (Among them a budget that cuts lines: line_cut.)
TEST(PortInput, TheSeedCorpusHolds) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_PILOT_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_PILOT_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(fuzzing::check_port_lines(bytes), "") << entry.path().filename();
    }
}

// What the far end of a device sends reaches the router's listener as lines
// named by the device, whether the port transmits or not; the device stays
// exclusive to the program meanwhile.
TEST_F(DevicePortTest, TheFarEndsLinesReachTheListenerAndTheDeviceStaysExclusive) {
    Cable cable;
    PortRouter port;
    HeardLines heard;
    port.set_lines(&heard);
    port.use_device(1, cable.device);
    port.open();
    {
        const AsOrdinaryUser ordinary;
        EXPECT_LT(client_of(cable.device).get(), 0) << "exclusive: nobody else may open it";
    }
    ASSERT_EQ(::write(cable.master.get(), "$GPAPB,1*00\r\n", 13), 13);
    ASSERT_TRUE(run_until([&] { return heard.lines.size() == 1; })) << "read as it comes, no write needed";
    EXPECT_EQ(heard.lines[0], std::make_pair(std::string("$GPAPB,1*00"), "seriale " + cable.device));
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(cable.master.get(), sentence.size()), sentence);
    port.set_lines(nullptr);
}

// A refused settings text leaves the former settings.
TEST(PortRouter, RefusesNumbersOutsideOneToFourAndTextsThatAreNoLineSetting) {
    const std::tuple<std::int16_t, const char*, int, std::string> rows[] = {
        {0, nullptr, 8002, "porta inesistente: COM 0"}, {5, nullptr, 8002, "porta inesistente: COM 5"},
        {1, "4800,X,8,1", 8010, "impostazioni non valide: \"4800,X,8,1\""}};
    for (const auto& [number, settings, error, text] : rows) {
        PortRouter port;
        port.set_settings("9600,N,8,1");
        port.set_port_number(number);
        EXPECT_EQ(failure_of([&, settings = settings] { settings ? port.set_settings(settings) : port.open(); }), std::pair(error, text));
        EXPECT_EQ(port.settings(), "9600,N,8,1") << text;
    }
}

// Each number has its device until mapped elsewhere; a new number takes
// effect at the next open.
TEST(PortRouter, EachNumberHasItsDeviceAndANewNumberTakesEffectAtTheNextOpen) {
    PortRouter port;
    EXPECT_FALSE(port.write(sentence)) << "closed: nothing written, no failure";
    port.use_device(3, "/dev/ttyUSB0");
    const std::pair<int, std::string> rows[] = {{1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {4, "/dev/ttyS3"}};
    for (const auto& [number, device] : rows) EXPECT_EQ(port.describe(number), device) << number;
    const VirtualSerialPort& com1 = port.use_virtual(1);
    EXPECT_EQ(port.describe(1), com1.slave_path() + " (virtuale)");
    Descriptor one = client_of(com1.slave_path()), two = client_of(port.use_virtual(2).slave_path());
    port.open();
    port.set_port_number(2);
    ASSERT_TRUE(port.write("$GPRMC,uno\r\n")) << "still on COM 1";
    EXPECT_EQ(read_bytes(one.get(), 12), "$GPRMC,uno\r\n");
    port.open();
    EXPECT_FALSE(com1.is_open());
    ASSERT_TRUE(port.write("$GPRMC,due\r\n"));
    ASSERT_TRUE(readable(two.get()));
    port.open();  // the start-up opening what the port choice opened
    EXPECT_EQ(read_bytes(two.get(), 12), "$GPRMC,due\r\n") << "not reopened: nothing discarded";
    port.use_device(2, "/nessuna/porta");
    EXPECT_FALSE(port.is_open()) << "the open port mapped elsewhere is closed";
    EXPECT_EQ(port.virtual_path(2), "") << "a device is no virtual port";
    EXPECT_EQ(port.virtual_path(1), com1.slave_path());
    // The settings' word for a virtual port makes one, as "Porta..." asks.
    port.use_device(3, virtual_device);
    const std::string three = port.virtual_path(3);
    ASSERT_TRUE(three.starts_with("/dev/pts/")) << three;
    EXPECT_EQ(port.describe(3), three + " (virtuale)");
    Descriptor reader = client_of(three);
    port.set_port_number(3);
    port.open();
    ASSERT_TRUE(port.write("$GPRMC,tre\r\n"));
    EXPECT_EQ(read_bytes(reader.get(), 12), "$GPRMC,tre\r\n");
    EXPECT_EQ(port.virtual_path(9), "");
}

TEST(LineSettings, ReadsAndWritesBackTheSettingsTexts) {
    const std::tuple<const char*, LineSettings, const char*> rows[] = {
        {"9600,n,8,1", {9600, Parity::none, 8, StopBits::one}, "9600,N,8,1"},
        {"2400,E,7,2", {2400, Parity::even, 7, StopBits::two}, "2400,E,7,2"},
        {"4800,M,5,1.5", {4800, Parity::mark, 5, StopBits::one_and_half}, "4800,M,5,1.5"},
        {"9600,s,6,1", {9600, Parity::space, 6, StopBits::one}, "9600,S,6,1"}};
    for (const auto& [text, settings, written] : rows) {
        EXPECT_EQ(parse_line_settings(text), settings) << text;
        EXPECT_EQ(settings_text(settings), written);
    }
    for (const char* text : {"", "4800,N,8", "4800,N,8,1,", "4801,N,8,1", "1200,N,8,1", "-4800,N,8,1", "4800.0,N,8,1",
                             "4800,N,9,1", "4800,N,4,1", "4800,N,8,3", " 4800,N,8,1", "99999999999,N,8,1"}) {
        EXPECT_FALSE(parse_line_settings(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace vadrel
