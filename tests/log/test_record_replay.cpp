// The recorder as one more output of the fan-out, on real files, a FIFO and
// /dev/full; the replay on a clock the test moves, into a fake port.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "log/nmea_log.h"
#include "outputs/output_fanout.h"
#include "log/recorder.h"
#include "log/replay.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"
#include "support/event_loop.h"

namespace vadrel {
namespace {

using namespace std::string_literals;

class RecordReplay : public WithEventLoop {
protected:
    // The log at path as its check read it.
    static CheckedLog checked(const std::string& path) {
        CheckResult result = esamina_file_registro(path);
        if (auto* refused = std::get_if<std::vector<std::string>>(&result)) ADD_FAILURE() << refused->at(0);
        return std::get<CheckedLog>(std::move(result));
    }
    // A log of `bytes` in the folder, as its check read it.
    CheckedLog log_of(const std::string& name, const std::string& bytes) const {
        folder.put(name, bytes);
        return checked(folder.at(name));
    }

    testing::FakePort port;
    OutputFanOut fan_out{port};
    testing::ScratchFolder folder;
    // A replay into the port on a clock the test moves.
    double now = 0.0;
    Replay replay{fan_out, [this] { return now; }};
    // A recorder, what it says each followed by a new line.
    Recorder recorder;
    std::string told;
    RecordReplay() {
        recorder.on_event = [this](const std::string& text) { told += text + "\n"; };
    }
};

// Each tick goes when its offset / speed has passed, and not a moment
// before. (A recording in each mode replayed at its own pace, the same bytes
// at the recorded offsets: integration.record_replay, the timing part;
// seconds left behind by a stopped program skipped and counted:
// integration.record_replay_files, stopped_and_continued.)
TEST_F(RecordReplay, EachTickGoesWhenItsOffsetOverTheSpeedHasPassed) {
    const std::vector<std::string> ticks = {"$GPRMC,a*00\r\n", "\r\n\0\0\0\0\0$GPGSV*00\r\n\0\0\0\0\0"s,
                                            "@3$GPRMC,b*00\r\n"};
    const std::string log = "# 2026-12-06T10:42:47.001Z\n" + ticks[0] + "# 2026-12-06T10:42:48.003Z\n" + ticks[1] +
                            "# 2026-12-06T10:42:50.001Z\n" + ticks[2];
    now = 100.0;
    port.force_open();
    ASSERT_EQ(replay.start(log_of("viaggio.nmea", log), 2.0, false), "");
    const struct {
        double now;
        std::size_t sent;
        std::optional<double> next;
    } rows[] = {{100.0, 1, 100.501}, {100.5, 1, 100.501}, {100.501, 2, 101.5}, {102.0, 3, std::nullopt}};
    for (const auto& r : rows) {
        now = r.now;
        const auto next = replay.step();
        EXPECT_EQ(port.written.size(), r.sent) << "at " << r.now;
        EXPECT_NEAR(replay.progress(), static_cast<double>(r.sent) / 3, 1e-9) << "at " << r.now;
        EXPECT_NEAR(next.value_or(-1.0), r.next.value_or(-1.0), 1e-6) << "at " << r.now;
    }
    EXPECT_EQ(port.written, ticks);
}

TEST_F(RecordReplay, ALoopStartsAgainASecondAfterTheLastTick) {
    port.force_open();
    const std::string log = "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:02.000Z\n$B*42\r\n";
    ASSERT_EQ(replay.start(log_of("giro.nmea", log), 1.0, true), "");
    for (const double due : {2.0, 3.0, 5.0, 6.0}) {
        now = due;
        replay.step();
    }
    const std::string a = "$A*41\r\n", b = "$B*42\r\n";
    EXPECT_EQ(port.written, (std::vector<std::string>{a, b, a, b, a}));
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
    const std::string log = "$GPZDA,100000,06,12,2026,00,00*4A\r\n$GPZDA,100001,06,12,2026,00,00*4B\r\n"
                            "$GPZDA,100002,06,12,2026,00,00*48\r\n";
    SlowReader reader;
    fan_out.add(reader);
    ASSERT_EQ(replay.start(log_of("veloce.nmea", log), Replay::full_speed, false), "");
    EXPECT_EQ(reader.got, 1);
    // Looked at again at once at first, then later and later, at most every 10 ms.
    for (const auto& [at, again] : {std::pair{0.9, 0.9}, {0.903, 0.906}, {0.95, 0.96}}) {
        now = at;
        const std::optional<double> next = replay.step();
        ASSERT_TRUE(next);
        EXPECT_NEAR(*next, again, 1e-9) << "at " << at;
    }
    EXPECT_EQ(reader.got, 1) << "held for less than a second";
    // Taken: the next one goes, held from 0.95 in turn; held a whole second,
    // the one after goes all the same.
    reader.held = false;
    for (const auto& [at, got] : {std::pair{0.95, 2}, {0.95, 2}, {1.9, 2}, {2.0, 3}}) {
        now = at;
        replay.step();
        EXPECT_EQ(reader.got, got) << "at " << at;
    }
}

TEST_F(RecordReplay, AFullDiskStopsTheRecordingAndLeavesTheOthersServed) {
    fan_out.add(recorder);
    port.force_open();
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
    fan_out.add(recorder);
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
    EXPECT_NE(recorder.start(fifo).find("nessun programma legge"), std::string::npos);
    const Fd reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_GE(reader.fd, 0);
    ASSERT_EQ(recorder.start(fifo), "");
    const std::string tick = std::string(1000, 'x') + "\n";
    OutputSink::Result result;
    while (recorder.skipped() == 0) result = recorder.send(tick);  // the pipe fills, nobody reads
    EXPECT_NE(result.note.find("il lettore è indietro, saltati 1"), std::string::npos) << result.note;
    const long long whole = recorder.ticks();
    std::string got = read_bytes(reader.fd, 1 << 20, 0);
    recorder.send(tick);  // the rest of the tick cut by the full pipe, then this one
    got += read_bytes(reader.fd, 1 << 20, 0);
    LogReader log(sorgente_testo(got));
    LogTick t;
    long long ticks = 0;
    while (log.next(t)) {
        EXPECT_EQ(t.bytes, tick) << "tick " << ticks;
        ++ticks;
    }
    EXPECT_EQ(ticks, whole + 1);
    EXPECT_EQ(log.damaged(), ticks) << "x is no NMEA, but every tick came whole";
}

// (A device: the recording menu's tests.)
TEST_F(RecordReplay, ASecondRecordingOrAMissingFolderIsRefused) {
    const std::string log = folder.path() + "/uno.nmea";
    Recorder first, second;
    ASSERT_EQ(first.start(log), "");
    EXPECT_NE(second.start(log).find("un'altra registrazione"), std::string::npos);
    first.stop();
    EXPECT_EQ(second.start(log), "");
    EXPECT_NE(first.start(folder.path() + "/manca/x.nmea").find("la cartella non esiste"), std::string::npos);
}

// What is sent is what was checked: a file rewritten stops the replay before
// the changed bytes; one put in its place is not read. (Lines appended, and a
// file cut while it plays: integration.record_replay_files, replays_that_end.)
TEST_F(RecordReplay, TheReplaySendsWhatWasCheckedAndNothingElse) {
    port.force_open();
    const std::string head = "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:01.000Z\n$B*42\r\n";
    const struct {
        const char* name;
        std::function<void(const std::string&)> change;
        std::vector<std::string> sent;
        const char* why;  // of the end, "" when whole
    } rows[] = {
        {"rewritten, the same size",
         [&head](const std::string& p) { std::ofstream(p) << std::string(head.size(), '\n'); }, {},
         "è stato modificato dopo la verifica"},
        {"replaced by another file: the one checked is sent",
         [](const std::string& p) { ::unlink(p.c_str()); std::ofstream(p) << "$C*43\r\n"; },
         {"$A*41\r\n", "$B*42\r\n"}, ""},
    };
    for (const auto& r : rows) {
        const std::string log = folder.at("log.nmea");
        ::unlink(log.c_str());
        std::ofstream(log) << head;
        const CheckedLog before = checked(log);
        r.change(log);
        port.written.clear();
        Replay once(fan_out, [this] { return now; });
        std::optional<std::string> ended;
        once.on_finished = [&](const std::string& why) { ended = why; };
        const std::string started = once.start(before, 1.0, false);
        for (now = 0.0; now < 3.0 && once.running(); now += 0.5) once.step();
        if (started.empty()) run_until([&] { return ended.has_value(); });
        EXPECT_EQ(port.written, r.sent) << r.name;
        EXPECT_NE((started + ended.value_or("")).find(r.why), std::string::npos) << r.name << ": " << started;
    }
}

// A log of one second ends from the event loop, after start() has returned.
TEST_F(RecordReplay, TheEndComesFromTheEventLoopNeverFromStart) {
    Replay on_time(fan_out);
    std::vector<std::string> ended;
    on_time.on_finished = [&](const std::string& why) { ended.push_back(why); };
    ASSERT_EQ(on_time.start(log_of("uno.nmea", "$GPZDA,100000,06,12,2026,00,00*4A\r\n"), 1.0, false), "");
    EXPECT_TRUE(ended.empty());
    EXPECT_TRUE(run_until([&] { return ended == std::vector<std::string>{""}; }));
}

TEST_F(RecordReplay, OnlyRegularFilesAreReadAndTheReadingCanStopAnyTime) {
    // (A FIFO and a device: integration.record_replay_files, bad_logs.)
    const struct {
        std::string path;
        const char* said;
    } refused[] = {
        {folder.path(), "è una cartella"},
        {folder.at("manca"), "non si apre: il file o la cartella non esiste"},
    };
    for (const auto& r : refused) {
        const CheckResult result = esamina_file_registro(r.path);
        const auto* said = std::get_if<std::vector<std::string>>(&result);
        ASSERT_TRUE(said) << r.path;
        EXPECT_NE(said->at(0).find(r.said), std::string::npos) << said->at(0);
    }
    // Three blocks of empty lines: asked before each, stopped before the third.
    folder.put("vuote.nmea", std::string(2 * LogSnapshot::block + 1, '\n'));
    std::vector<double> asked;
    const CheckResult result = esamina_file_registro(folder.at("vuote.nmea"), [&](double done) {
        asked.push_back(done);
        return asked.size() < 3;
    });
    EXPECT_TRUE(std::holds_alternative<CheckInterrupted>(result));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_NEAR(asked[2], 2.0 / (2.0 + 1.0 / static_cast<double>(LogSnapshot::block)), 1e-6);
}

}  // namespace
}  // namespace vadrel
