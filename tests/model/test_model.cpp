#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <tuple>

#include "model/controls.h"
#include "model/numbers.h"
#include "model/receiver_options.h"
#include "model/track_history.h"
#include "model/utf8.h"

namespace vadrel {
namespace {

TEST(LeadingNumber, ReadsTheLongestLeadingNumber) {
    // the text, its number
    const std::tuple<const char*, double> rows[] = {
        {"12abc", 12}, {"2,5", 2}, {"", 0}, {"-", 0}, {"abc", 0}, {"  42", 42}, {"-5", -5}, {"+7", 7},
        {"1.2.3", 1.2}, {".5", 0.5}, {"-.5", -0.5}, {"5.", 5}, {".", 0}, {"1e5", 1},
    };
    for (const auto& [text, expected] : rows) EXPECT_DOUBLE_EQ(leading_number(text), expected) << text;
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
