// The recorder as one more output of the fan-out, on real files, a FIFO and
// /dev/full; the replay on a clock the test moves, into a fake port.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/nmea_log.h"
#include "platform/output_fanout.h"
#include "platform/recorder.h"
#include "platform/replay.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"
#include "event_loop.h"

namespace vadrel {
namespace {

using namespace std::string_literals;

class RecordReplay : public WithEventLoop {
protected:
    testing::FakePort port;
    OutputFanOut fan_out{port};
    testing::ScratchFolder folder;
};

TEST_F(RecordReplay, RecordsEachTickBehindItsTimeAndReplaysTheSameBytes) {
    std::int64_t utc = 1796553767001;
    Recorder recorder([&] { return utc; });
    fan_out.add(recorder);
    const std::string log = folder.path() + "/viaggio.nmea";
    ASSERT_EQ(recorder.start(log), "");
    const std::vector<std::string> ticks = {"$GPRMC,a*00\r\n", "\r\n\0\0\0\0\0$GPGSV*00\r\n\0\0\0\0\0"s,
                                            "@3$GPRMC,b*00\r\n"};
    const std::vector<std::int64_t> steps = {0, 1002, 1998};
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        utc += steps[i];
        EXPECT_TRUE(fan_out.send(ticks[i]).elsewhere);
    }
    recorder.stop();
    EXPECT_EQ(folder.get("viaggio.nmea"), "# 2026-12-06T10:42:47.001Z\n" + ticks[0] + "# 2026-12-06T10:42:48.003Z\n" + ticks[1] +
                                 "# 2026-12-06T10:42:50.001Z\n" + ticks[2]);

    // Replayed at twice the speed on a clock moved by hand: each tick goes
    // when its offset / 2 has passed, and not a moment before.
    std::ifstream in(log, std::ios::binary);
    LogSummary summary = esamina_registro(in);
    double now = 100.0;
    testing::FakePort replay_port;
    replay_port.force_open();
    OutputFanOut replay_out{replay_port};
    Replay replay(replay_out, [&] { return now; });
    ASSERT_EQ(replay.start(log, summary, 2.0, false), "");
    const struct {
        double now;
        std::size_t sent;
        std::optional<double> next;
    } rows[] = {{100.0, 1, 100.501}, {100.5, 1, 100.501}, {100.501, 2, 101.5}, {102.0, 3, std::nullopt}};
    for (const auto& r : rows) {
        now = r.now;
        const auto next = replay.step();
        EXPECT_EQ(replay_port.written.size(), r.sent) << "at " << r.now;
        EXPECT_EQ(next.has_value(), r.next.has_value()) << "at " << r.now;
        if (next && r.next) {
            EXPECT_NEAR(*next, *r.next, 1e-6) << "at " << r.now;
        }
    }
    EXPECT_EQ(replay_port.written, ticks);
}

TEST_F(RecordReplay, ALoopStartsAgainASecondAfterTheLastTick) {
    const std::string log = folder.path() + "/giro.nmea";
    std::ofstream(log) << "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:02.000Z\n$B*42\r\n";
    std::ifstream in(log, std::ios::binary);
    double now = 0.0;
    port.force_open();
    Replay replay(fan_out, [&] { return now; });
    ASSERT_EQ(replay.start(log, esamina_registro(in), 1.0, true), "");
    for (const double due : {2.0, 3.0, 5.0, 6.0}) {
        now = due;
        replay.step();
    }
    EXPECT_EQ(port.written, (std::vector<std::string>{"$A*41\r\n", "$B*42\r\n", "$A*41\r\n", "$B*42\r\n", "$A*41\r\n"}));
    EXPECT_EQ(replay.round(), 3);
    replay.stop();
    EXPECT_FALSE(replay.step());
}

// A sink whose reader holds each tick until the test lets it go.
class SlowReader : public OutputSink {
public:
    Result send(std::string_view) override {
        held = true;
        ++got;
        return {true, {}};
    }
    bool busy() const override { return held; }
    bool held = false;
    int got = 0;
};

TEST_F(RecordReplay, FullSpeedWaitsForTheReaderAtMostASecond) {
    const std::string log = folder.path() + "/veloce.nmea";
    std::ofstream(log) << "$GPZDA,100000,06,12,2026,00,00*4A\r\n$GPZDA,100001,06,12,2026,00,00*4B\r\n"
                          "$GPZDA,100002,06,12,2026,00,00*48\r\n";
    std::ifstream in(log, std::ios::binary);
    const LogSummary summary = esamina_registro(in);
    ASSERT_EQ(summary.damaged, 0);
    SlowReader reader;
    fan_out.add(reader);
    double now = 0.0;
    Replay replay(fan_out, [&] { return now; });
    ASSERT_EQ(replay.start(log, summary, Replay::full_speed, false), "");
    EXPECT_EQ(reader.got, 1);
    now = 0.9;
    replay.step();
    EXPECT_EQ(reader.got, 1) << "held for less than a second";
    reader.held = false;
    replay.step();
    EXPECT_EQ(reader.got, 2) << "taken: the next one goes";
    replay.step();
    now = 1.9;
    replay.step();
    EXPECT_EQ(reader.got, 2);
    now = 2.0;
    replay.step();
    EXPECT_EQ(reader.got, 3) << "held a whole second: the next one goes all the same";
}

TEST_F(RecordReplay, AFullDiskStopsTheRecordingAndLeavesTheOthersServed) {
    Recorder recorder;
    fan_out.add(recorder);
    port.force_open();
    std::string told;
    recorder.on_event = [&](const std::string& text) { told += text; };
    const std::string log = folder.at("pieno.nmea");
    ASSERT_EQ(recorder.start(log), "");
    {
        const testing::FileSizeLimit full(60);  // the first tick fits, the second not whole
        EXPECT_EQ(fan_out.send("$GPRMC*00\r\n").notes, "");
        const Delivery d = fan_out.send("$GPRMC,123456789012345678901234567890*00\r\n");
        EXPECT_EQ(d.serial, Delivery::Serial::written);
        EXPECT_NE(d.notes.find("registrazione interrotta: il file supera la dimensione consentita"), std::string::npos)
            << d.notes;
    }
    EXPECT_NE(told.find("1 secondi registrati"), std::string::npos) << told;
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(fan_out.send("$GPRMC*00\r\n").notes, "") << "told once";
    EXPECT_EQ(port.written.size(), 3u);
    EXPECT_EQ(folder.get("pieno.nmea").substr(26), "\n$GPRMC*00\r\n") << "cut back to the whole tick";
}

// A recording whose file (or folder) is removed stops, said once: the
// ticks would go nowhere.
TEST_F(RecordReplay, ARecordingWhoseFileIsRemovedStops) {
    Recorder recorder;
    fan_out.add(recorder);
    std::string told;
    recorder.on_event = [&](const std::string& text) { told += text + "\n"; };
    ::mkdir(folder.at("oggi").c_str(), 0755);
    ASSERT_EQ(recorder.start(folder.at("oggi/giro.nmea")), "");
    EXPECT_EQ(fan_out.send("$GPRMC*00\r\n").notes, "");
    std::filesystem::remove_all(folder.at("oggi"));
    EXPECT_NE(fan_out.send("$GPRMC*00\r\n").notes.find("registrazione interrotta: il file è stato cancellato"),
              std::string::npos);
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(fan_out.send("$GPRMC*00\r\n").notes, "");
    EXPECT_EQ(told, "registrazione interrotta: il file è stato cancellato (" + folder.at("oggi/giro.nmea") +
                        ", 1 secondi registrati)\n");
}

TEST_F(RecordReplay, APausedFifoReaderSkipsWholeTicks) {
    const std::string fifo = folder.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Recorder recorder;
    EXPECT_NE(recorder.start(fifo).find("nessun programma legge"), std::string::npos);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(recorder.start(fifo), "");
    const std::string tick = std::string(1000, 'x') + "\n";
    OutputSink::Result result;
    while (recorder.skipped() == 0) result = recorder.send(tick);  // the pipe fills, nobody reads
    EXPECT_NE(result.note.find("il lettore è indietro, saltati 1"), std::string::npos) << result.note;
    const long long whole = recorder.ticks();
    std::string got(1 << 20, '\0');
    const ssize_t n = ::read(reader, got.data(), got.size());
    got.resize(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    recorder.send(tick);  // the rest of the tick cut by the full pipe, then this one
    std::string more(1 << 20, '\0');
    const ssize_t m = ::read(reader, more.data(), more.size());
    got.append(more.data(), static_cast<std::size_t>(std::max<ssize_t>(m, 0)));
    ::close(reader);
    std::istringstream in(got);
    LogReader log(in);
    LogTick t;
    long long ticks = 0;
    while (log.next(t)) {
        EXPECT_EQ(t.bytes, tick) << "tick " << ticks;
        ++ticks;
    }
    EXPECT_EQ(ticks, whole + 1);
    EXPECT_EQ(log.damaged(), ticks) << "x is no NMEA, but every tick came whole";
}

TEST_F(RecordReplay, ASecondRecordingADeviceOrAMissingFolderIsRefused) {
    const std::string log = folder.path() + "/uno.nmea";
    Recorder first, second;
    ASSERT_EQ(first.start(log), "");
    EXPECT_NE(second.start(log).find("un'altra registrazione"), std::string::npos);
    first.stop();
    EXPECT_EQ(second.start(log), "");
    EXPECT_NE(first.start(folder.path() + "/manca/x.nmea").find("la cartella non esiste"), std::string::npos);
    EXPECT_NE(first.start("/dev/null").find("non è un file normale o un FIFO"), std::string::npos);
}

}  // namespace
}  // namespace vadrel
