// The log library on real files: the NMEA log reader and its check; the
// recorder as one more output of the fan-out, on real files, a FIFO and
// /dev/full; the replay on a clock the test moves, into a fake port; and the
// GPX file of the tracks.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QXmlStreamReader>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "log/gpx_tracks.h"
#include "log/nmea_log.h"
#include "log/recorder.h"
#include "log/replay.h"
#include "nmea/sentences.h"
#include "nmea_log_check.h"
#include "os/descriptor.h"
#include "outputs/output_fanout.h"
#include "support/event_loop.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

using namespace std::string_literals;

// A sentence with its checksum and CR LF.
std::string nmea(const std::string& body) { return body + checksum_field(body) + "\r\n"; }

const std::string rmc1 = nmea("$GPRMC,120000.00,A,4400.0000,N,01000.0000,E,0.0,0.0,061226,,");
const std::string gga1 = nmea("$GNGGA,120000.00,4400.0000,N,01000.0000,E,1,05,1.0,10.0,M,47.0,M,,");
const std::string gsv = nmea("$GPGSV,1,1,01,04,47,228,46");
const std::string rmc2 = nmea("$GPRMC,120001.00,A,4400.0100,N,01000.0000,E,0.0,0.0,061226,,");
const std::string zda_late = nmea("$GPZDA,120003.50,06,12,2026,00,00");
// A receiver's $GPRMC at a time (hhmmss) and date (ddmmyy), with nothing else.
std::string rmc(const std::string& time, const std::string& date) {
    return nmea("$GPRMC," + time + ",A,,,,,,," + date + ",,");
}

using Tick = std::pair<double, std::string>;  // offset, bytes

// A source that hands the bytes over `size` at a time.
LogSource in_pieces(const std::string& bytes, std::size_t size) {
    return [&bytes, size, at = std::size_t{0}]() mutable {
        const std::string_view piece = std::string_view(bytes).substr(std::min(at, bytes.size()), size);
        at += piece.size();
        return piece;
    };
}

const std::string day = "# 2026-12-06T12:00:00.000Z\n";

// (A radio burst's NUL bytes before a comment belong to the second before:
// the radio recording replayed, integration.record_replay.)
TEST(LogReader, SecondsAndDamagedLines) {
    // A bad checksum, no checksum, no time, not NMEA, cut short.
    const std::string damaged = "$GPGSV,1,1,01*00\r\n$GPGSV,1,1,01\r\n" +
                                nmea("$GPGGA,,4400.0,N,01000.0,E,0,00,,,,,,,") + "hello\r\n" +
                                nmea("$GPGSV,1,1,01").substr(0, 10);
    // name, log, its ticks, the lines of its problems, timed by vadrel's comments
    const std::tuple<const char*, std::string, std::vector<Tick>, std::vector<long>, bool> rows[] = {
        {"vadrel's comments time the seconds; the bytes stay as they are",
         "# 2026-12-06T12:00:00.000Z\n" + rmc1 + "# 2026-12-06T12:00:01.002Z\n" + nmea("@3$GPRMC,x"),
         {{0.0, rmc1}, {1.002, nmea("@3$GPRMC,x")}}, {}, true},
        {"a wall clock set back sends at once; the next second keeps its pace from there",
         "# 2026-12-06T23:59:59.500Z\n" + gsv + "# 2026-12-06T23:59:58.000Z\n" + gsv +
             "# 2026-12-07T00:00:00.500Z\n" + gsv,
         {{0.0, gsv}, {0.0, gsv}, {2.5, gsv}}, {}, true},
        {"a jump of ten years, or back by two hours, sends at once",
         day + gsv + "# 2036-12-06T12:00:00.000Z\n" + gsv + "# 2036-12-06T10:00:00.000Z\n" + gsv +
             "# 2036-12-06T10:00:01.000Z\n" + gsv,
         {{0.0, gsv}, {0.0, gsv}, {0.0, gsv}, {1.0, gsv}}, {3, 5}, true},
        {"a receiver's clock jumping two hours sends at once", rmc1 + rmc("140000", "061226") + rmc("140001", "061226"),
         {{0.0, rmc1}, {0.0, rmc("140000", "061226")}, {1.0, rmc("140001", "061226")}}, {2}, false},
        {"a receiver's log: sentences without a time go with the second before",
         gsv + rmc1 + gga1 + gsv + rmc2 + gsv + zda_late,
         {{0.0, gsv + rmc1 + gga1 + gsv}, {1.0, rmc2 + gsv}, {3.5, zda_late}}, {}, false},
        {"a leap second (23:59:60) in vadrel's comments and in a receiver's time is a second like the others",
         "# 2016-12-31T23:59:59.000Z\n" + gsv + "# 2016-12-31T23:59:60.000Z\n" + gsv + rmc("235960", "311216"),
         {{0.0, gsv}, {1.0, gsv + rmc("235960", "311216")}}, {}, true},
        {"a leap second in a receiver's own time, and midnight a second after it",
         rmc("235959", "311216") + rmc("235960", "311216") + rmc("000000", "010117"),
         {{0.0, rmc("235959", "311216")}, {1.0, rmc("235960", "311216")}, {2.0, rmc("000000", "010117")}}, {}, false},
        {"second 61 is no time", rmc1 + rmc("235961", "311216"), {{0.0, rmc1 + rmc("235961", "311216")}}, {2}, false},
        {"a receiver's log past midnight",
         rmc("235959", "061226") + rmc("000000", "071226"),
         {{0.0, rmc("235959", "061226")}, {1.0, rmc("000000", "071226")}}, {}, false},
        {"other comments and blank lines are not sent", "# gpsd log\n\n" + rmc1, {{0.0, "\n" + rmc1}}, {}, false},
        {"bad checksum, no checksum, no time, not NMEA, cut short",
         rmc1 + damaged, {{0.0, rmc1 + damaged}}, {2, 3, 4, 5, 6}, false},
        {"control bytes inside a line", rmc1 + "$GP\x01GSV*00\r\n", {{0.0, rmc1 + "$GP\x01GSV*00\r\n"}}, {2}, false},
        {"a line longer than any sentence is dropped", rmc1 + std::string(5000, 'x') + "\n" + gsv,
         {{0.0, rmc1 + gsv}}, {2}, false},
        {"a second's bytes stop at the limit; the next second starts afresh",
         day + std::string(LogReader::max_second - 1, '\n') + gsv + "\n\n" + "# 2026-12-06T12:00:01.000Z\n" + gsv,
         {{0.0, std::string(LogReader::max_second - 1, '\n')}, {1.0, gsv}}, {65508}, true},
    };
    for (const auto& [name, log, ticks, damaged, by_comments] : rows) {
        // Whole, and a byte at a time: the same seconds.
        for (const std::size_t piece : {log.size() + 1, std::size_t{1}}) {
            LogReader reader(in_pieces(log, piece));
            std::size_t i = 0;
            for (LogTick tick; reader.next(tick); ++i) {
                ASSERT_LT(i, ticks.size()) << name;
                EXPECT_NEAR(tick.offset, ticks[i].first, 1e-9) << name << " tick " << i;
                EXPECT_EQ(tick.bytes, ticks[i].second) << name << " tick " << i;
            }
            EXPECT_EQ(i, ticks.size()) << name;
            std::vector<long> problems;
            for (const LogProblem& p : reader.problems()) problems.push_back(p.line);
            EXPECT_EQ(problems, damaged) << name;
            EXPECT_EQ(reader.by_comments(), by_comments) << name;
        }
    }
}

TEST(LogReader, TimeLinesReadBack) {
    for (const std::int64_t ms : {0LL, 1796553767001LL, 951782400000LL /* 2000-02-29 */, 4102444799999LL}) {
        const std::string line = time_line(ms);
        ASSERT_EQ(line.back(), '\n');
        EXPECT_EQ(read_time_line(std::string_view(line).substr(0, line.size() - 1)), ms) << line;
    }
    EXPECT_EQ(time_line(1796553767001LL), "# 2026-12-06T10:42:47.001Z\n");
}

TEST(LogReader, WhyALogCannotBeReplayedAndWhatTheLeaveDoes) {
    const std::string jump = day + gsv + "# 2026-12-06T14:00:00.000Z\n" + gsv;
    const std::string too_long = rmc1 + std::string(5000, 'x') + "\n";
    // name, log, leave, the problems (or the notes when the leave is enough)
    const std::tuple<const char*, std::string, LogLeave, std::vector<std::string>> rows[] = {
        {"empty", "", {true, true}, {"il registro x.nmea è vuoto: non c'è niente da riprodurre"}},
        {"binary", "\x7f" "ELF\x02\x01\x01\0\0\0\n\x03\0>\0\x01\0\0\0\n"s, {true, true},
         {"il registro x.nmea non è un registro di frasi NMEA (sembra un file binario)"}},
        {"a hole: NULs with no end", std::string(5000, '\0'), {true, true},
         {"il registro x.nmea non è un registro di frasi NMEA (sembra un file binario)"}},
        {"no time anywhere", gsv + gsv, {true, true},
         {"il registro x.nmea non ha righe \"# ora\" né frasi con l'ora ($GPRMC, $GPGGA, $GPZDA): "
          "non si sa con che ritmo inviarlo"}},
        {"damaged", rmc1 + "$GPGSV*00\r\n", {false, true},
         {"il registro x.nmea ha 1 riga danneggiata (--invia-danneggiate le invia come sono):",
          "  riga 2: checksum errato (00 invece di 55)"}},
        {"damaged, sent as it stands", rmc1 + "$GPGSV*00\r\n", {true, false},
         {"il registro ha 1 riga danneggiata, inviata come sono"}},
        {"too long", too_long, {false, false},
         {"il registro x.nmea ha 1 riga che non si può inviare (--invia-danneggiate invia il resto):",
          "  riga 2: riga troppo lunga (oltre 4096 byte): non si invia"}},
        {"too long, the rest sent: said with its line", too_long, {true, false},
         {"1 riga del registro non si invia:", "  riga 2: riga troppo lunga (oltre 4096 byte): non si invia"}},
        {"a jump", jump, {true, false},
         {"il registro x.nmea ha 1 salto dell'ora oltre un'ora (--salti-subito invia subito il secondo dopo il salto):",
          "  riga 3: l'ora salta avanti di 2 h"}},
        {"a jump, sent at once", jump, {false, true},
         {"il registro ha 1 salto dell'ora oltre un'ora: il secondo dopo ciascuno si invia subito:",
          "  riga 3: l'ora salta avanti di 2 h"}},
        {"good", rmc1 + rmc2, {}, {}},
    };
    for (const auto& [name, log, leave, expected] : rows) {
        const LogSummary summary = examine_log(source_text_of(log));
        std::vector<std::string> said = log_problems("x.nmea", summary, leave);
        if (said.empty()) said = log_warnings(summary, leave);
        EXPECT_EQ(said, expected) << name;
    }
}

// A run of lines past a second's limit is one problem; every line is counted.
TEST(LogReader, ASecondPastItsLimitIsOneProblemWithItsLines) {
    const std::string log = day + std::string(LogReader::max_second + 10, '\n') + "# 2026-12-06T12:00:01.000Z\n";
    LogReader reader(source_text_of(log));
    LogTick tick;
    while (reader.next(tick)) EXPECT_LE(tick.bytes.size(), LogReader::max_second);
    EXPECT_EQ(reader.dropped(), 10);
    ASSERT_EQ(reader.problems().size(), 1u);
    EXPECT_EQ(reader.problems()[0].line, 65509);
    EXPECT_EQ(reader.problems()[0].last_line, 65518);
}

// ok-* files can be replayed as they stand, ko-* cannot; any other (a find
// of the fuzzer) only has to hold what the fuzzer checks.
TEST(LogCorpus, EveryFileHoldsWhatTheFuzzerChecks) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_NMEA_LOG_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_NMEA_LOG_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(fuzzing::check_nmea_log(bytes), "") << name;
        const bool whole = log_problems(name, examine_log(source_text_of(bytes)), {}).empty();
        if (name.rfind("ok-", 0) == 0 || name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(whole, name[1] == 'k') << name;
        }
    }
}

class RecordReplay : public WithEventLoop {
protected:
    // The log at path as its check read it.
    static CheckedLog checked(const std::string& path) {
        CheckResult result = examine_log_file(path);
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
    ASSERT_TRUE(replay.start(log_of("viaggio.nmea", log), 2.0, false).ok());
    // now, ticks sent by then, when the next is due
    const std::tuple<double, std::size_t, std::optional<double>> rows[] = {
        {100.0, 1, 100.501}, {100.5, 1, 100.501}, {100.501, 2, 101.5}, {102.0, 3, std::nullopt}};
    for (const auto& [at, sent, due] : rows) {
        now = at;
        const auto next = replay.step();
        EXPECT_EQ(port.written.size(), sent) << "at " << at;
        EXPECT_NEAR(replay.progress(), static_cast<double>(sent) / 3, 1e-9) << "at " << at;
        EXPECT_NEAR(next.value_or(-1.0), due.value_or(-1.0), 1e-6) << "at " << at;
    }
    EXPECT_EQ(port.written, ticks);
}

TEST_F(RecordReplay, ALoopStartsAgainASecondAfterTheLastTick) {
    port.force_open();
    const std::string log = "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:02.000Z\n$B*42\r\n";
    ASSERT_TRUE(replay.start(log_of("giro.nmea", log), 1.0, true).ok());
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
    ASSERT_TRUE(replay.start(log_of("veloce.nmea", log), Replay::full_speed, false).ok());
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
    ASSERT_TRUE(recorder.start(log).ok());
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
    ASSERT_TRUE(recorder.start(folder.at("oggi/giro.nmea")).ok());
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
    EXPECT_NE(recorder.start(fifo).message().find("nessun programma legge"), std::string::npos);
    const Descriptor reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_GE(reader.get(), 0);
    ASSERT_TRUE(recorder.start(fifo).ok());
    const std::string tick = std::string(1000, 'x') + "\n";
    OutputSink::Result result;
    while (recorder.skipped() == 0) result = recorder.send(tick);  // the pipe fills, nobody reads
    EXPECT_NE(result.note.find("il lettore è indietro, saltati 1"), std::string::npos) << result.note;
    const long long whole = recorder.ticks();
    std::string got = read_bytes(reader.get(), 1 << 20, 0);
    recorder.send(tick);  // the rest of the tick cut by the full pipe, then this one
    got += read_bytes(reader.get(), 1 << 20, 0);
    LogReader log(source_text_of(got));
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
    ASSERT_TRUE(first.start(log).ok());
    EXPECT_NE(second.start(log).message().find("un'altra registrazione"), std::string::npos);
    first.stop();
    EXPECT_TRUE(second.start(log).ok());
    EXPECT_NE(first.start(folder.path() + "/manca/x.nmea").message().find("la cartella non esiste"), std::string::npos);
}

// What is sent is what was checked: a file rewritten stops the replay before
// the changed bytes; one put in its place is not read. (Lines appended, and a
// file cut while it plays: integration.record_replay_files, replays_that_end.)
TEST_F(RecordReplay, TheReplaySendsWhatWasCheckedAndNothingElse) {
    port.force_open();
    const std::string head = "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:01.000Z\n$B*42\r\n";
    // name, the change to the file, what is sent, why the replay ends ("" when whole)
    const std::tuple<const char*, std::function<void(const std::string&)>, std::vector<std::string>, const char*>
        rows[] = {
        {"rewritten, the same size",
         [&head](const std::string& p) { std::ofstream(p) << std::string(head.size(), '\n'); }, {},
         "è stato modificato dopo la verifica"},
        {"replaced by another file: the one checked is sent",
         [](const std::string& p) { ::unlink(p.c_str()); std::ofstream(p) << "$C*43\r\n"; },
         {"$A*41\r\n", "$B*42\r\n"}, ""},
    };
    for (const auto& [name, change, sent, end] : rows) {
        const std::string log = folder.at("log.nmea");
        ::unlink(log.c_str());
        std::ofstream(log) << head;
        const CheckedLog before = checked(log);
        change(log);
        port.written.clear();
        Replay once(fan_out, [this] { return now; });
        std::optional<std::string> ended;
        once.on_finished = [&](const std::string& why) { ended = why; };
        const Result<> running = once.start(before, 1.0, false);
        const std::string started = running ? std::string() : running.message();
        for (now = 0.0; now < 3.0 && once.running(); now += 0.5) once.step();
        if (running) run_until([&] { return ended.has_value(); });
        EXPECT_EQ(port.written, sent) << name;
        EXPECT_NE((started + ended.value_or("")).find(end), std::string::npos) << name << ": " << started;
    }
}

// A log of one second ends from the event loop, after start() has returned.
TEST_F(RecordReplay, TheEndComesFromTheEventLoopNeverFromStart) {
    Replay on_time(fan_out);
    std::vector<std::string> ended;
    on_time.on_finished = [&](const std::string& why) { ended.push_back(why); };
    ASSERT_TRUE(on_time.start(log_of("uno.nmea", "$GPZDA,100000,06,12,2026,00,00*4A\r\n"), 1.0, false).ok());
    EXPECT_TRUE(ended.empty());
    EXPECT_TRUE(run_until([&] { return ended == std::vector<std::string>{""}; }));
}

TEST_F(RecordReplay, OnlyRegularFilesAreReadAndTheReadingCanStopAnyTime) {
    // (A FIFO and a device: integration.record_replay_files, bad_logs.)
    const std::pair<std::string, const char*> refused[] = {  // path, what the refusal says
        {folder.path(), "è una cartella"},
        {folder.at("manca"), "non si apre: il file o la cartella non esiste"},
    };
    for (const auto& [path, why] : refused) {
        const CheckResult result = examine_log_file(path);
        const auto* said = std::get_if<std::vector<std::string>>(&result);
        ASSERT_TRUE(said) << path;
        EXPECT_NE(said->at(0).find(why), std::string::npos) << said->at(0);
    }
    // Three blocks of empty lines: asked before each, stopped before the third.
    folder.put("vuote.nmea", std::string(2 * LogSnapshot::block + 1, '\n'));
    std::vector<double> asked;
    const CheckResult result = examine_log_file(folder.at("vuote.nmea"), [&](double done) {
        asked.push_back(done);
        return asked.size() < 3;
    });
    EXPECT_TRUE(std::holds_alternative<CheckInterrupted>(result));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_NEAR(asked[2], 2.0 / (2.0 + 1.0 / static_cast<double>(LogSnapshot::block)), 1e-6);
}

// The GPX file of the tracks on a real disk: each write appends the new
// points as one track per vehicle and closes the document again, on the
// writer's thread; a full disk leaves the file whole and the points for the
// next write; a file removed or changed by another program stops the tracks.

struct Track {
    std::string name, number;
    std::vector<std::vector<std::string>> segments;  // the times of the points
    bool operator==(const Track&) const = default;
};

// The tracks of a GPX document in file order; none when it is not well formed.
std::optional<std::vector<Track>> tracks_in(const std::string& text) {
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    std::vector<Track> tracks;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString element = xml.name().toString();
        if (element == QStringLiteral("trk")) tracks.emplace_back();
        if (element == QStringLiteral("name")) tracks.back().name = xml.readElementText().toStdString();
        if (element == QStringLiteral("number")) tracks.back().number = xml.readElementText().toStdString();
        if (element == QStringLiteral("trkseg")) tracks.back().segments.emplace_back();
        if (element == QStringLiteral("time")) {
            tracks.back().segments.back().push_back(xml.readElementText().toStdString());
        }
    }
    if (xml.hasError()) return std::nullopt;
    return tracks;
}

TrackPoint at(double second, std::uint32_t segment = 0) {
    return {second, 1796553767.0 + second, 44.5, 10.25, 27.78, 45.0, segment};
}
std::string time_of(int second) { return "2026-12-06T10:42:" + std::to_string(47 + second) + ".000Z"; }

class Gpx : public ::testing::Test {
protected:
    testing::ScratchFolder folder;
    TrackHistory history{21};
    GpxTracks gpx{folder.at("tracce.gpx")};

    // Each (vehicle, point) into the history, then taken by `tracks` and written.
    void write(GpxTracks& tracks, std::initializer_list<std::pair<std::size_t, TrackPoint>> points) {
        for (const auto& [vehicle, point] : points) history.add(vehicle, point);
        tracks.take(history);
        tracks.finish();
    }
};

TEST_F(Gpx, EachWriteAppendsATrackPerVehicleWithNewPoints) {
    folder.put("tracce.gpx", std::string(100000, 'x'));  // another run's file: made anew
    ASSERT_TRUE(gpx.start().ok());
    EXPECT_EQ(tracks_in(folder.get("tracce.gpx")), std::vector<Track>{}) << "a whole document from the start";
    write(gpx, {{0, at(1)}, {0, at(2)}});
    write(gpx, {{3, at(3)}, {0, at(4)}, {0, at(5, 1)}});  // segment 1 set by hand: a new segment
    write(gpx, {});  // taken and written again with nothing new: nothing added
    const std::vector<Track> expected = {
        {"Mezzo 0", "0", {{time_of(1), time_of(2)}}},
        {"Mezzo 0", "0", {{time_of(4)}, {time_of(5)}}},
        {"Mezzo 3", "3", {{time_of(3)}}},
    };
    const std::string text = folder.get("tracce.gpx");
    EXPECT_EQ(tracks_in(text), expected) << text;
    EXPECT_NE(text.find("<trkpt lat=\"44.5000000\" lon=\"10.2500000\"><time>2026-12-06T10:42:48.000Z</time>"
                        "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>27.78</gpxtpx:speed>"
                        "<gpxtpx:course>45.0</gpxtpx:course>"),
              std::string::npos);
    EXPECT_EQ(std::tuple(gpx.written(), gpx.pending(), gpx.problem()), std::tuple(5, 0u, ""));
}

// Where the receiver's noise moved what the sentences said, the positions
// sent follow as a track of their own; the true track is as without noise.
TEST_F(Gpx, ThePositionsSentUnderNoiseAreASecondTrack) {
    ASSERT_TRUE(gpx.start().ok());
    const auto sent = [](TrackPoint p, double lat, double lon) {
        p.reported = true;
        p.reported_lat = lat;
        p.reported_lon = lon;
        return p;
    };
    // The first second the noise did not reach (before it was on).
    write(gpx, {{0, at(1)}, {0, sent(at(2), 44.5001, 10.2499)}, {0, sent(at(3, 1), 44.6, 10.3)}});
    const std::vector<Track> expected = {
        {"Mezzo 0", "0", {{time_of(1), time_of(2)}, {time_of(3)}}},
        {"Mezzo 0 (posizione inviata)", "0", {{time_of(2)}, {time_of(3)}}},
    };
    const std::string text = folder.get("tracce.gpx");
    EXPECT_EQ(tracks_in(text), expected) << text;
    EXPECT_NE(text.find("<trkpt lat=\"44.5001000\" lon=\"10.2499000\"><time>2026-12-06T10:42:49.000Z"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<trkpt lat=\"44.5000000\" lon=\"10.2500000\"><time>2026-12-06T10:42:49.000Z"),
              std::string::npos)
        << "the true position stays in the vehicle's track";
}

// The altitude the sentences carried goes in <ele>, before <time> as GPX
// 1.1 orders them; a point without one has none.
TEST_F(Gpx, TheAltitudeCarriedIsThePointsElevation) {
    ASSERT_TRUE(gpx.start().ok());
    TrackPoint high = at(1);
    high.altitude = -12.25;
    write(gpx, {{0, high}, {0, at(2)}});
    const std::string text = folder.get("tracce.gpx");
    EXPECT_NE(text.find("<trkpt lat=\"44.5000000\" lon=\"10.2500000\"><ele>-12.2</ele><time>2026-12-06T10:42:48.000Z"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<trkpt lat=\"44.5000000\" lon=\"10.2500000\"><time>2026-12-06T10:42:49.000Z"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("<ele>", text.find("<ele>") + 1), std::string::npos) << "one point had an altitude";
}

// A full disk: the write is undone, the file stays a whole document, the
// points wait for the next write, which takes them with the new ones.
TEST_F(Gpx, AFullDiskLeavesTheFileWholeAndThePointsForTheNextWrite) {
    ASSERT_TRUE(gpx.start().ok());
    write(gpx, {{2, at(1)}});
    const std::string before = folder.get("tracce.gpx");
    {
        const testing::FileSizeLimit full(before.size() + 100);
        write(gpx, {{2, at(2)}, {5, at(3)}});
    }
    EXPECT_EQ(gpx.problem(), "le tracce GPX in " + folder.at("tracce.gpx") +
                                 " non si scrivono: il file supera la dimensione consentita");
    EXPECT_EQ(folder.get("tracce.gpx"), before);
    EXPECT_EQ(gpx.pending(), 2u);
    write(gpx, {{2, at(4)}});
    EXPECT_EQ(gpx.problem(), "");
    const std::vector<Track> expected = {
        {"Mezzo 2", "2", {{time_of(1)}}},
        {"Mezzo 2", "2", {{time_of(2), time_of(4)}}},
        {"Mezzo 5", "5", {{time_of(3)}}},
    };
    EXPECT_EQ(tracks_in(folder.get("tracce.gpx")), expected);
}

// Removed, or written by someone else: the tracks stop, nothing is written
// over the file.
TEST_F(Gpx, AFileRemovedOrChangedStopsTheTracks) {
    for (const bool removed : {true, false}) {
        GpxTracks tracks(folder.at("altre.gpx"));
        ASSERT_TRUE(tracks.start().ok());
        if (removed) {
            std::filesystem::remove(folder.at("altre.gpx"));
        } else {
            std::ofstream(folder.at("altre.gpx"), std::ios::app) << "<!-- altro -->\n";
        }
        write(tracks, {{1, at(1)}});
        EXPECT_TRUE(tracks.stopped()) << removed;
        EXPECT_EQ(tracks.problem(), "tracce GPX interrotte: il file " + folder.at("altre.gpx") +
                                        (removed ? " è stato cancellato" : " è stato cambiato da un altro programma"));
        EXPECT_EQ(folder.get("altre.gpx").find("<trk>"), std::string::npos) << removed;
    }
}

// A FIFO with a reader opens as a file would, and is no file all the same.
TEST_F(Gpx, WhatCannotHoldTheTracksIsRefused) {
    ASSERT_TRUE(gpx.start().ok());
    ASSERT_EQ(::mkfifo(folder.at("fifo").c_str(), 0600), 0);
    const Descriptor reader(::open(folder.at("fifo").c_str(), O_RDONLY | O_NONBLOCK));
    const std::pair<std::string, std::string> rows[] = {
        {folder.at("tracce.gpx"), "un altro vadrel vi sta scrivendo"},
        {folder.at("manca/tracce.gpx"), "il file o la cartella non esiste"},
        {folder.at("fifo"), "non è un file normale"},
    };
    for (const auto& [path, why] : rows) {
        GpxTracks other(path);
        EXPECT_EQ(other.start().message(), "le tracce GPX in " + path + " non si scrivono: " + why);
    }
}

}  // namespace
}  // namespace vadrel
