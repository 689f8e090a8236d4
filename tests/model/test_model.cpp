#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <tuple>

#include "model/civil_time.h"
#include "model/controls.h"
#include "model/coordinates.h"
#include "model/leap_seconds.h"
#include "model/numbers.h"
#include "model/read_budget.h"
#include "model/receiver_options.h"
#include "model/simulated_clock.h"
#include "model/track_history.h"
#include "model/utf8.h"
#include "numbers_check.h"

namespace vadrel {
namespace {

// What a user may give: the poles and the 180th meridian are on the globe,
// anything past them or not finite is refused with the value it was.
TEST(Coordinates, RangesAndTheirRefusals) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    // latitude, longitude, on the globe, the latitude's refusal, the longitude's ("": none)
    const std::tuple<double, double, bool, const char*, const char*> rows[] = {
        {0, 0, true, "", ""},
        {90, 180, true, "", ""},
        {-90, -180, true, "", ""},
        {90.0000001, 0, false, "la latitudine 90.0000001 è fuori campo: va da -90 (sud) a 90 (nord) gradi", ""},
        {-95, 0, false, "la latitudine -95 è fuori campo: va da -90 (sud) a 90 (nord) gradi", ""},
        {0, 180.5, false, "", "la longitudine 180.5 è fuori campo: va da -180 (ovest) a 180 (est) gradi"},
        {0, -181, false, "", "la longitudine -181 è fuori campo: va da -180 (ovest) a 180 (est) gradi"},
        {nan, 0, false, "la latitudine nan è fuori campo: va da -90 (sud) a 90 (nord) gradi", ""},
        {0, -inf, false, "", "la longitudine -inf è fuori campo: va da -180 (ovest) a 180 (est) gradi"},
    };
    for (const auto& [lat, lon, inside, lat_why, lon_why] : rows) {
        const std::string row = std::to_string(lat) + " " + std::to_string(lon);
        EXPECT_EQ(on_globe(lat, lon), inside) << row;
        EXPECT_EQ(latitude_problem(lat).value_or(""), lat_why) << row;
        EXPECT_EQ(longitude_problem(lon).value_or(""), lon_why) << row;
    }
    EXPECT_EQ(latitude_limit, 324000.0);
    EXPECT_EQ(longitude_limit, 648000.0);
}

TEST(LeadingNumber, ReadsTheLongestLeadingNumber) {
    // the text, its number
    const std::tuple<const char*, double> rows[] = {
        {"12abc", 12}, {"2,5", 2}, {"", 0}, {"-", 0}, {"abc", 0}, {"  42", 42}, {"-5", -5}, {"+7", 7},
        {"1.2.3", 1.2}, {".5", 0.5}, {"-.5", -0.5}, {"5.", 5}, {".", 0}, {"1e5", 1},
    };
    for (const auto& [text, expected] : rows) EXPECT_DOUBLE_EQ(leading_number(text), expected) << text;
}

// Each source's rule on "+", the decimal comma, blanks and exponents, in one
// table; a row's source is named by a short word.
TEST(ReadNumber, EachSourceHasItsRule) {
    using S = NumberSource;
    constexpr double huge = std::numeric_limits<double>::infinity();
    const std::string tiny = "0." + std::string(400, '0') + "1";
    const std::string long_digits = "45." + std::string(70, '1');
    // the text, its source, its number (none: refused)
    const std::tuple<std::string, S, std::optional<double>> rows[] = {
        {"+5", S::panel_box, 5}, {"+5", S::table_item, 5}, {"+5", S::command_line, 5}, {"+5", S::route_file, 5},
        {"-5", S::command_line, -5}, {"+-5", S::command_line, {}}, {"--5", S::route_file, {}},
        {"2,5", S::panel_box, 2.5}, {"2,5", S::table_item, {}}, {"2,5", S::command_line, 2.5},
        {"2,5", S::route_file, {}}, {"2,5", S::route_file_comma, 2.5}, {"2.5", S::route_file_comma, 2.5},
        {"1.234", S::panel_box, 1234}, {"1.234,5", S::panel_box, 1234.5}, {"1.234", S::table_item, 1.234},
        {"2.5", S::command_line, 2.5}, {"1,2,3", S::command_line, {}}, {"1.2.3", S::route_file, {}},
        {" 7\t", S::panel_box, 7}, {" 7\t", S::table_item, 7}, {" 7 ", S::command_line, 7},
        {"\r\n7 ", S::route_file, 7}, {"7\n", S::table_item, {}}, {"7\n", S::command_line, {}},
        {"7 8", S::route_file, {}}, {"1e5", S::panel_box, {}}, {"1e5", S::table_item, {}},
        {"1e5", S::command_line, 1e5}, {"1E-2", S::route_file, 0.01}, {"1e", S::route_file, {}},
        {"1e+", S::command_line, {}}, {".5", S::table_item, 0.5}, {"5.", S::route_file, 5},
        {"", S::panel_box, {}}, {"", S::command_line, {}}, {" ", S::route_file, {}}, {"-", S::table_item, {}},
        {".", S::route_file, {}}, {"inf", S::command_line, {}}, {"nan", S::route_file, {}},
        {"0x10", S::command_line, {}}, {"12abc", S::table_item, {}}, {"1e400", S::command_line, {}},
        {"1e400", S::route_file, {}}, {std::string(400, '9'), S::table_item, huge},
        {"-" + std::string(400, '9'), S::panel_box, -huge}, {std::string(400, '9'), S::command_line, {}},
        {tiny, S::table_item, 0}, {"0," + std::string(400, '0') + "1", S::panel_box, 0}, {tiny, S::panel_box, 1}, {"1e-400", S::route_file, 0},
        {long_digits, S::route_file, 45.11111111111111}, {" +1,5 ", S::window_box, 1.5}, {"2e1", S::window_box, 20},
        {"1e3", S::settings_item, 1000}, {"1,5", S::settings_item, {}}, {"\n+7\r", S::settings_item, 7},
    };
    for (const auto& [text, source, expected] : rows) {
        const auto read = read_number(text, source);
        if (expected && read) {
            EXPECT_DOUBLE_EQ(*read, *expected) << '"' << text << "\" " << static_cast<int>(source);
        } else {
            EXPECT_EQ(read, expected) << '"' << text << "\" " << static_cast<int>(source);
        }
    }
}

// Whole numbers: "+" and blanks by the source's rule, no point, within the type.
TEST(ReadWhole, BySourceAndType) {
    using S = NumberSource;
    // the text, its source, as a long, as an unsigned 64-bit (-1: refused)
    const std::tuple<const char*, S, long, long long> rows[] = {
        {"12", S::command_line, 12, 12}, {"+12", S::command_line, 12, 12}, {" 12 ", S::command_line, 12, 12},
        {"-3", S::command_line, -3, -1}, {"+-3", S::command_line, -1, -1}, {"1.0", S::command_line, -1, -1},
        {"1e2", S::command_line, -1, -1}, {"", S::command_line, -1, -1}, {"+", S::command_line, -1, -1},
        {"18446744073709551615", S::command_line, -1, -2}, {"18446744073709551616", S::command_line, -1, -1},
        {"\n4", S::route_file, 4, 4}, {"\n4", S::table_item, -1, -1},
    };
    for (const auto& [text, source, as_long, as_u64] : rows) {
        const auto l = read_whole<long>(text, source);
        EXPECT_EQ(l.value_or(-1), as_long) << '"' << text << '"';
        const auto u = read_whole<std::uint64_t>(text, source);
        if (as_u64 == -2) {
            EXPECT_EQ(u, std::uint64_t{18446744073709551615ULL}) << text;
        } else {
            EXPECT_EQ(u ? static_cast<long long>(*u) : -1, as_u64) << '"' << text << '"';
        }
    }
}

// The fuzzer's seed corpus holds: every source's reading reads back the same.
TEST(ReadNumber, TheSeedCorpusHolds) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_NUMBERS_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_NUMBERS_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(fuzzing::check_numbers(bytes), "") << entry.path().filename();
    }
}

// The whole text under either format, or nothing.
TEST(RegionalNumber, ReadsTheWholeTextOrRefusesIt) {
    const auto it = RegionalFormat::italian();
    const RegionalFormat en{'.', ','};
    // the text, its format, its number (none: refused)
    const std::tuple<const char*, RegionalFormat, std::optional<double>> rows[] = {
        {"1,7775", it, 1.7775}, {" 44 ", it, 44}, {"-3", it, -3}, {"+3", it, 3}, {"1.234", it, 1234},
        {"1.234,5", it, 1234.5}, {"1.7775", en, 1.7775}, {"1,7775", en, 17775}, {"1,234.5", en, 1234.5},
        {",5", it, 0.5}, {"", it, {}}, {" ", it, {}}, {"-", it, {}}, {"12abc", it, {}}, {"1,2,3", it, {}},
        {"1 2", it, {}}, {".5", it, {}}, {"5.", it, {}},
    };
    for (const auto& [text, format, expected] : rows) {
        std::optional<double> read;
        try {
            read = regional_number(text, format);
        } catch (const ConversionError&) {
        }
        EXPECT_EQ(read, expected) << '"' << text << '"';
    }
}

// The one reading of a 16-bit number from a text, under each of its two
// readings, rounded half to even; nothing where the text cannot be read or
// does not fit.
TEST(Int16FromText, ReadsRoundsAndRefuses) {
    const auto leading = NumberReading::leading();
    const auto regional = NumberReading::regional_in(RegionalFormat::italian());
    // the text, its reading, its number (none: refused)
    const std::tuple<const char*, NumberReading, std::optional<int>> rows[] = {
        {"1,7775", leading, 1}, {"1,7775", regional, 2}, {"12.5", leading, 12}, {"13,5", regional, 14},
        {"-2,5", regional, -2}, {"-3,5", regional, -4}, {"0,49", regional, 0}, {"-5", leading, -5},
        {"", leading, 0}, {"", regional, {}}, {"abc", regional, {}}, {"32767", leading, 32767},
        {"32767,4", regional, 32767}, {"32767,5", regional, {}}, {"32768", leading, {}},
        {"-32768,5", regional, -32768}, {"-32769", regional, {}}, {"99999999999999999999", leading, {}},
        {"1.000.000", regional, {}},
    };
    for (const auto& [text, reading, expected] : rows) {
        const auto read = int16_from_text(text, reading);
        EXPECT_EQ(read ? std::optional<int>(*read) : std::nullopt, expected)
            << '"' << text << '"' << (reading.regional ? " regional" : " leading");
    }
}

// Each byte that starts no well-formed sequence is one U+FFFD, so no byte
// sequence passes for a character it does not encode.
TEST(Utf8, OnlyWellFormedSequencesAreCharacters) {
    // what, the bytes, their code points
    const std::tuple<const char*, std::string, std::u32string> rows[] = {
        {"one to four bytes", "a\xC2\xB0\xE2\x80\xB3\xF0\x9F\x9A\xA2", U"a°″🚢"},
        {"the highest code point", "\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
        {"overlong 0", "\xC0\xB0", U"\uFFFD\uFFFD"},
        {"overlong in three bytes", "\xE0\x80\xB0", U"\uFFFD\uFFFD\uFFFD"},
        {"overlong in four bytes", "\xF0\x80\x80\xB0", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"a surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"cut short", "4\xC3", U"4\uFFFD"},
        {"a lone continuation byte", "\x80" "5", U"\uFFFD" "5"},
    };
    for (const auto& [name, bytes, points] : rows) {
        EXPECT_EQ(code_points(bytes), points) << name;
        EXPECT_EQ(is_utf8(bytes), points.find(U'\uFFFD') == std::u32string::npos) << name;
        if (is_utf8(bytes)) {
            EXPECT_EQ(utf8(points), bytes) << name;
        }
    }
}

// Texts a file or a client may hold, as they are shown: nothing left that a
// terminal takes as a command, nothing that reorders or hides the text.
TEST(Printable, WritesOutWhatCouldSteerATerminal) {
    const auto kept = LineFeeds::kept, escaped = LineFeeds::escaped;
    // what, the text, its line feeds, as shown
    const std::tuple<const char*, std::string, LineFeeds, std::string> rows[] = {
        {"a title and a clear", "\x1b]0;preso\x07\x1b[2J", escaped, "\\x1b]0;preso\\x07\\x1b[2J"},
        {"a cursor move over the line", "ok\r\x1b[1Avadrel: finto", escaped, "ok\\x0d\\x1b[1Avadrel: finto"},
        {"NUL, tab, backspace, DEL", std::string("a\0b\tc\bd\x7f", 8), escaped, "a\\x00b\\x09c\\x08d\\x7f"},
        {"a line feed, escaped", "uno\ndue", escaped, "uno\\x0adue"},
        {"a line feed, kept; CR still written out", "uno\r\ndue", kept, "uno\\x0d\ndue"},
        {"C1 CSI as UTF-8", "\xC2\x9B" "2J", escaped, "\\u009b2J"},
        {"C1 edges", "\xC2\x80\xC2\x9F\xC2\xA0", escaped, "\\u0080\\u009f\xC2\xA0"},
        {"a lone C1 byte (CSI in Latin-1)", "\x9B" "2J", escaped, "\\x9b2J"},
        {"not UTF-8: cut short, overlong, surrogate", "\xC3 \xC0\xAF \xED\xA0\x80", escaped,
         "\\xc3 \\xc0\\xaf \\xed\\xa0\\x80"},
        {"a right-to-left override", "nome\xE2\x80\xAEtxt.exe", escaped, "nome\\u202etxt.exe"},
        {"isolates and marks", "\xE2\x81\xA6x\xE2\x81\xA9\xE2\x80\x8F\xD8\x9C", escaped,
         "\\u2066x\\u2069\\u200f\\u061c"},
        {"line and paragraph separators", "a\xE2\x80\xA8" "b\xE2\x80\xA9", kept, "a\\u2028b\\u2029"},
        {"Italian, degrees, a ship, untouched", "Città 44°1' \xF0\x9F\x9A\xA2 \\x1b", escaped,
         "Città 44°1' \xF0\x9F\x9A\xA2 \\x1b"},
        {"empty", "", escaped, ""},
    };
    for (const auto& [name, text, line_feeds, shown] : rows) {
        const std::string once = printable(text, line_feeds);
        EXPECT_EQ(once, shown) << name;
        EXPECT_EQ(printable(once, line_feeds), once) << name << ": a second pass changes nothing";
        for (const char c : once) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_TRUE((byte >= 0x20 && byte != 0x7F) || (c == '\n' && line_feeds == kept)) << name;
        }
        EXPECT_TRUE(is_utf8(once)) << name;
    }
}

// The monitor keeps its ^X for C0 and shows the rest as printable does.
TEST(Printable, TheMonitorShowsNoControlEither) {
    EXPECT_EQ(readable_lines(std::string("$GP\x1b]0;x\x07\xC2\x9B\x9B\0", 13)),
              (std::vector<std::string>{"$GP^[]0;x^G\\u009b\\x9b\xE2\x90\x80"}));
}

TEST(FaultsProblem, RatesAreSharesAndOneSentenceHasOneFault) {
    // the faults, allowed
    const std::tuple<Faults, bool> rows[] = {
        {{true, 0, 0, 0, 1}, true},      {{true, 1, 0.5, 0.5, 1}, true},   {{true, -0.01, 0, 0, 1}, false},
        {{true, 0, 1.01, 0, 1}, false},  {{true, 0, 0, 2, 1}, false},      {{true, 0, 0.6, 0.5, 1}, false},
        {{true, 0, 0, std::numeric_limits<double>::quiet_NaN(), 1}, false},
    };
    for (const auto& [faults, ok] : rows) {
        const std::string problem = faults_problem(faults);
        EXPECT_EQ(problem.empty(), ok) << faults.loss << " " << faults.checksum << " " << faults.cut_short
                                         << ": " << problem;
    }
}

TEST(ReceiverKind, EachMixOfTheThreeSwitchesIsNamed) {
    // utc, real motion, full set; the kind; a word the text must hold
    const std::tuple<bool, bool, bool, ReceiverKind, const char*> rows[] = {
        {false, false, false, ReceiverKind::classic, "sempre a zero"},
        {true, true, true, ReceiverKind::modern, "reali"},
        {true, false, false, ReceiverKind::custom, "sempre a zero"},
        {false, true, false, ReceiverKind::custom, "reali"},
        {false, false, true, ReceiverKind::custom, "sempre a zero"},
        {true, true, false, ReceiverKind::custom, "reali"},
    };
    for (const auto& [utc, motion, full, kind, word] : rows) {
        ReceiverOptions o;
        o.utc = utc;
        o.real_motion = motion;
        o.full_set = full;
        o.altitude = 12.0;  // other options stay out of it
        EXPECT_EQ(receiver_kind(o), kind) << utc << motion << full;
        EXPECT_NE(receiver_in_force(o).find(word), std::string::npos) << receiver_in_force(o);
    }
    // A step to either end keeps the options beside the three.
    ReceiverOptions mixed;
    mixed.real_motion = true;
    mixed.altitude = 254.5;
    mixed.no_fix = true;
    const ReceiverOptions classic = classic_receiver(mixed);
    EXPECT_EQ(receiver_kind(classic), ReceiverKind::classic);
    EXPECT_EQ(classic.altitude, 254.5);
    EXPECT_TRUE(classic.no_fix);
    EXPECT_EQ(receiver_kind(modern_receiver(classic)), ReceiverKind::modern);
    EXPECT_EQ(receiver_in_force(ReceiverOptions{}), "ricevitore classico (modem radio): velocità e rotta sempre a zero");
}

// Points at the steady times given, vehicle by vehicle; what stays.
TEST(TrackHistory, KeepsTheLastHourOfEachVehicleAndNoMore) {
    // what, the points added, the vehicle, its points kept, the steady time of the oldest
    const std::tuple<const char*, std::function<void(TrackHistory&)>, std::size_t, std::size_t, double> rows[] = {
        {"exactly an hour old stays",
         [](TrackHistory& h) { for (int t = 0; t <= 3600; t += 10) h.add(0, {t * 1.0}); }, 0, 361, 0.0},
        {"older than an hour goes",
         [](TrackHistory& h) { for (int t = 0; t <= 3610; t += 10) h.add(0, {t * 1.0}); }, 0, 361, 10.0},
        {"a vehicle no longer stepped ages out as the others go on",
         [](TrackHistory& h) {
             h.add(1, {0.0});
             h.add(1, {5.0});
             h.add(0, {3604.0});
         },
         1, 1, 5.0},
        {"several vehicles' points of one second: an old track goes at the first",
         [](TrackHistory& h) {
             h.add(1, {0.0});
             h.add(0, {3601.0});
             h.add(2, {3601.0});
             h.add(1, {3601.0});
         },
         1, 1, 3601.0},
        {"a clock standing still: an hour of steps at most",
         [](TrackHistory& h) { for (int i = 0; i < 5000; ++i) h.add(2, {7.0 + i * 1e-9}); }, 2, 3600, 7.0 + 1400e-9},
        {"a vehicle outside the table is ignored", [](TrackHistory& h) { h.add(21, {1.0}); }, 21, 0, 0.0},
    };
    for (const auto& [name, add, vehicle, kept, oldest] : rows) {
        TrackHistory history(21);
        add(history);
        const auto& points = history.points(vehicle);
        ASSERT_EQ(points.size(), kept) << name;
        if (!points.empty()) {
            EXPECT_DOUBLE_EQ(points.front().steady, oldest) << name;
        }
    }
}

TEST(TextBox, TypedCharacterGoesAtTheCaretOverTheSelection) {
    // what, the text, the selection's start and length, the key, the text after, the caret
    const std::tuple<const char*, std::string, std::size_t, std::size_t, char32_t, std::string, std::size_t> rows[] = {
        {"backspace at end", "12", 2, 0, keys::backspace, "1", 1},
        {"backspace at start", "12", 0, 0, keys::backspace, "12", 0},
        {"backspace over a two-byte character", "1\xC3\xA8", 3, 0, keys::backspace, "1", 1},
        {"insert a non-ASCII character", "1", 1, 0, U'\u00E8', "1\xC3\xA8", 3},
    };
    for (const auto& [name, start, sel_start, sel_length, key, after, caret] : rows) {
        TextBox box("t", "Form1", start, false, {});
        int changes = 0;
        box.on_change = [&] { ++changes; };
        box.set_selection(sel_start, sel_length);
        EXPECT_EQ(box.text_after_key(key), after) << name;
        EXPECT_TRUE(box.key_press(key)) << name;
        EXPECT_EQ(box.text(), after) << name;
        EXPECT_EQ(box.selection_start(), caret) << name;
        EXPECT_EQ(changes, after == start ? 0 : 1) << name;
    }
}

TEST(OptionButton, SelectingClearsTheFrameThenClicks) {
    OptionButton a("a", "F", "A", true, {}), b("b", "F", "B", false, {});
    a.set_group({&a, &b});
    b.set_group({&a, &b});
    bool a_at_click = true;
    int clicks = 0;
    b.on_click = [&] {
        a_at_click = a.selected();
        ++clicks;
    };
    b.select();
    EXPECT_FALSE(a.selected());
    EXPECT_FALSE(a_at_click);
    b.select();
    EXPECT_EQ(clicks, 1);
}

TEST(PictureBox, CountsEveryLineBreakAndShowsNulReadably) {
    PictureBox p("p", "Form1", {0, 0, 100, 3045});
    p.print("uno");
    p.print(std::string("\r\n\0\0$A\r\nB\nC\rD", 13));
    EXPECT_EQ(p.current_y(), 6 * PictureBox::line_height);
    EXPECT_EQ(p.lines(), (std::vector<std::string>{"uno", "", "\xE2\x90\x80\xE2\x90\x80$A", "B", "C", "D"}));
    p.clear();
    EXPECT_EQ(p.current_y(), 0);
}

}  // namespace
}  // namespace vadrel

namespace vadrel {
namespace {

// The atomic seconds of 2017-01-01 00:00:00 UTC, the day after the last leap second.
constexpr double new_year_2017 = 1483228800.0 + 37.0;

TEST(LeapSeconds, TheTableCountsTwentySevenSecondsFrom1972) {
    const LeapSeconds leaps;
    // posix instant, TAI-UTC then
    const std::tuple<double, int> rows[] = {
        {0.0, 10},                   // before the table: its first value
        {78796799.0, 10},            // 1972-06-30 23:59:59
        {78796800.0, 11},            // 1972-07-01
        {915148799.0, 31},           // 1998-12-31 23:59:59
        {915148800.0, 32},           // 1999-01-01
        {1483228799.5, 36},          // the last second of 2016
        {1483228800.0, 37},          // 2017-01-01
        {4102444800.0, 37},          // 2100: nothing announced
    };
    for (const auto& [posix, offset] : rows) EXPECT_EQ(leaps.offset_at(posix), offset) << posix;
    EXPECT_EQ(leaps.days_after().size(), 27U);
}

TEST(LeapSeconds, TheSecondSixtyComesBetweenTheYears) {
    const LeapSeconds leaps;
    // atomic seconds, civil time read, millisecond, inside the leap, posix
    const std::tuple<double, CivilTime, int, bool, double> rows[] = {
        {new_year_2017 - 2.0, {2016, 12, 31, 23, 59, 59}, 0, false, 1483228799.0},
        {new_year_2017 - 1.0, {2016, 12, 31, 23, 59, 60}, 0, true, 1483228799.0},
        {new_year_2017 - 0.25, {2016, 12, 31, 23, 59, 60}, 750, true, 1483228799.75},
        {new_year_2017, {2017, 1, 1, 0, 0, 0}, 0, false, 1483228800.0},
        {new_year_2017 + 0.5, {2017, 1, 1, 0, 0, 0}, 500, false, 1483228800.5},
        {78796800.0 + 10.0, {1972, 6, 30, 23, 59, 60}, 0, true, 78796799.0},
        {10.0 - 0.5, {1969, 12, 31, 23, 59, 59}, 500, false, -0.5},
    };
    for (const auto& [atomic, civil, ms, leap, posix] : rows) {
        const UtcReading r = leaps.utc_of(atomic);
        EXPECT_EQ(r.civil, civil) << atomic;
        EXPECT_EQ(r.millisecond, ms) << atomic;
        EXPECT_EQ(r.leap, leap) << atomic;
        EXPECT_DOUBLE_EQ(r.posix, posix) << atomic;
    }
    // Outside the leap seconds the scales go there and back.
    for (const double posix : {0.0, 78796799.0, 1483228800.0, 1700000000.25}) {
        EXPECT_DOUBLE_EQ(leaps.utc_of(leaps.atomic_of(posix)).posix, posix) << posix;
    }
}

TEST(LeapSeconds, AnAddedSecondComesAtTheEndOfItsDay) {
    LeapSeconds leaps;
    const std::int64_t day_after = days_from_civil(2030, 7, 1);
    EXPECT_FALSE(leaps.add(days_from_civil(2016, 1, 1)));  // before the last
    EXPECT_TRUE(leaps.add(day_after));
    EXPECT_FALSE(leaps.add(day_after));
    const double posix = static_cast<double>(day_after) * 86400.0;
    EXPECT_EQ(leaps.offset_at(posix - 1.0), 37);
    EXPECT_EQ(leaps.offset_at(posix), 38);
    const UtcReading r = leaps.utc_of(posix + 37.0);
    EXPECT_EQ(r.civil, (CivilTime{2030, 6, 30, 23, 59, 60}));
}

// A real clock whose readings the test sets.
struct RealClock : Clock {
    double steady = 500.0;
    double utc = 1700000000.0;
    double steady_seconds() override { return steady; }
    double utc_seconds() override { return utc; }
    std::string time_text() override { return "wall time"; }
    std::string date_text() override { return "wall date"; }
    WallTime wall_time() override { return {{1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2}}; }
};

struct Simulated : ::testing::Test {
    RealClock real;
    // Central European winter time.
    SimulatedClock clock{real, [](std::int64_t) { return 3600; }};
};

TEST_F(Simulated, UntouchedItGivesTheWallClocksReadings) {
    EXPECT_TRUE(clock.following_wall());
    EXPECT_EQ(clock.time_text(), "wall time");
    EXPECT_EQ(clock.date_text(), "wall date");
    EXPECT_EQ(clock.wall_time().utc, (CivilTime{2, 2, 2, 2, 2, 2}));
    real.steady = 512.25;
    real.utc = 1700000001.5;
    EXPECT_DOUBLE_EQ(clock.steady_seconds(), 512.25);
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1700000001.5);
    EXPECT_FALSE(clock.real_steady_at(1.0));
}

TEST_F(Simulated, RunsFromItsStartAtItsRate) {
    clock.start_at(1483228790.0);  // 2016-12-31 23:59:50 UTC
    EXPECT_TRUE(clock.set_rate(10.0));
    real.steady += 0.95;  // 9.5 simulated seconds
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1483228799.5);
    EXPECT_DOUBLE_EQ(clock.steady_seconds(), 500.0 + 9.5);
    real.steady += 0.1;  // into the leap second
    WallTime w = clock.wall_time();
    EXPECT_EQ(w.utc, (CivilTime{2016, 12, 31, 23, 59, 60}));
    EXPECT_EQ(w.local, (CivilTime{2017, 1, 1, 0, 59, 60}));
    EXPECT_EQ(clock.time_text(), "0.59.60");
    real.steady += 0.1;
    w = clock.wall_time();
    EXPECT_EQ(w.utc, (CivilTime{2017, 1, 1, 0, 0, 0}));
    EXPECT_EQ(clock.date_text(), "01/01/17");
    // The steady scale went on through the leap second: 11.5 s.
    EXPECT_DOUBLE_EQ(clock.steady_seconds(), 511.5);
}

TEST_F(Simulated, PausedItStandsAndResumedItGoesOnFromThere) {
    clock.start_at(1000000000.0);
    clock.pause();
    real.steady += 30.0;
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1000000000.0);
    EXPECT_FALSE(clock.real_steady_at(clock.atomic_seconds() + 1.0));
    clock.resume();
    real.steady += 2.0;
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1000000002.0);
    EXPECT_DOUBLE_EQ(clock.steady_seconds(), 500.0 + 2.0);
    // A change of rate keeps the time reached.
    EXPECT_TRUE(clock.set_rate(0.5));
    real.steady += 2.0;
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1000000003.0);
    EXPECT_DOUBLE_EQ(*clock.real_steady_at(clock.atomic_seconds() + 1.0), real.steady + 2.0);
}

TEST_F(Simulated, RefusesRatesOutsideItsRange) {
    // rate, taken
    const std::tuple<double, bool> rows[] = {
        {0.1, true}, {1000.0, true}, {0.09, false}, {1000.5, false}, {0.0, false}, {-1.0, false},
        {std::numeric_limits<double>::quiet_NaN(), false}, {std::numeric_limits<double>::infinity(), false},
    };
    for (const auto& [rate, taken] : rows) EXPECT_EQ(clock.set_rate(rate), taken) << rate;
    EXPECT_DOUBLE_EQ(clock.rate(), 1000.0);
}

TEST_F(Simulated, AtMaxOnlyTheStepsMoveIt) {
    clock.start_at(1483228799.0);
    clock.set_max();
    real.steady += 100.0;
    const double at = clock.atomic_seconds();
    EXPECT_DOUBLE_EQ(at, new_year_2017 - 2.0);
    EXPECT_FALSE(clock.real_steady_at(at + 1.0));
    clock.step_to(at + 1.0);
    EXPECT_EQ(clock.wall_time().utc.second, 60);
    clock.step_to(at);  // never back
    EXPECT_EQ(clock.wall_time().utc.second, 60);
    EXPECT_DOUBLE_EQ(clock.steady_seconds(), 501.0);
}

TEST_F(Simulated, AHeldReadingIsTheTicksOwnInstant) {
    clock.start_at(1483228799.0);
    EXPECT_TRUE(clock.set_rate(100.0));
    clock.hold(new_year_2017 - 1.0);
    real.steady += 0.5;
    EXPECT_EQ(clock.wall_time().utc.second, 60);
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1483228799.0);
    clock.hold(std::nullopt);
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1483228799.0 + 50.0 - 1.0);
}

TEST_F(Simulated, TheWeekOffsetMovesTheDatesOnly) {
    clock.start_at(1555000000.0);  // 2019-04-11 16:26:40 UTC
    clock.set_week_offset(-1024);
    const WallTime w = clock.wall_time();
    EXPECT_EQ(w.utc, (CivilTime{2019, 4, 11, 16, 26, 40}));
    EXPECT_EQ(w.date_offset_days, -7168);
    EXPECT_EQ(moved_days(w.utc, w.date_offset_days), (CivilTime{1999, 8, 26, 16, 26, 40}));
    EXPECT_EQ(clock.date_text(), "26/08/99");
    EXPECT_EQ(clock.time_text(), "17.26.40");
    EXPECT_DOUBLE_EQ(clock.utc_seconds(), 1555000000.0);
}

// A share lasts a real second from its first byte, however many ticks come
// meanwhile. Columns: clock rate (ticks a real second), ticks until renewed.
TEST(ReadBudget, AShareLastsARealSecondAtAnyClockRate) {
    const std::tuple<int, int> rows[] = {{1, 1}, {10, 10}, {1000, 1000}};
    for (const auto& [rate, renewed_at] : rows) {
        auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
        ReadBudget budget(100);
        EXPECT_TRUE(budget.renew(now)) << "x" << rate << ": untouched, as good as new";
        budget.spend(60, now);
        budget.spend(60, now);
        EXPECT_EQ(budget.left(), 0u) << "x" << rate;
        int tick = 0;
        while (!budget.renew(now += std::chrono::microseconds(1'000'000 / rate))) ++tick;
        EXPECT_EQ(tick + 1, renewed_at) << "x" << rate;
        EXPECT_EQ(budget.left(), 100u) << "x" << rate;
    }
}

}  // namespace
}  // namespace vadrel
