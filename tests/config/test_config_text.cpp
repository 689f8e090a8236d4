// The reader and writer of the configuration file, over bytes.

#include <gtest/gtest.h>

#include "config/configurazione.h"
#include "config_rows.h"

namespace vadrel::testing {
namespace {

const std::string marker_line = "\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n";

// Each record's line as the writer writes it.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find("\r\n", begin);
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 2;
    }
    return lines;
}

// The table with the seconds of `seconds_from`: the file does not keep them.
Tabella with_seconds_of(Tabella t, const Tabella& seconds_from) {
    for (std::size_t i = 0; i < t.size(); ++i) {
        t[i].lat_s = seconds_from[i].lat_s;
        t[i].lon_s = seconds_from[i].lon_s;
    }
    return t;
}

TEST(ConfigWriter, WritesTheWorkedExampleByteForByte) {
    EXPECT_EQ(testo_configurazione(worked_example_table()), worked_example_text());
}

TEST(ConfigWriter, WritesARecordNeverFilledAsZerosAndEmptyTexts) {
    const auto lines = lines_of(testo_configurazione(Tabella{}));
    ASSERT_EQ(lines.size(), 22u);
    for (int i = 0; i < numero_mezzi; ++i) {
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#") << i;
    }
    EXPECT_EQ(lines[21] + "\r\n", marker_line);
}

TEST(ConfigWriter, WritesNegativeNumbersAndAnyNonZeroFlagAsTrue) {
    Tabella t{};
    t[0] = veicolo{-3, -32768, 0, "S", 32767, 0, 0, "W", -1, 360, 1, 7};
    t[1] = veicolo{0, 0, 0, "N", 0, 0, 0, "E", 0, 0, -32768, 0};
    const auto lines = lines_of(testo_configurazione(t));
    EXPECT_EQ(lines[0], "-3,-32768,\"S\",,32767,0,\"W\",-1,360,#TRUE#,#TRUE#");
    EXPECT_EQ(lines[1], "0,0,\"N\",,0,0,\"E\",0,0,#TRUE#,#FALSE#");
}

TEST(ConfigWriter, ReplacesWhatAQuotedTextCannotHold) {
    const struct {
        const char* name;
        std::string text;
        std::string written;
    } rows[] = {
        {"quote", "a\"b", "a'b"},
        {"only a quote", "\"", "'"},
        {"CR LF", "N\r\nS", "N??S"},
        {"lone LF", "\n", "?"},
        {"NUL", std::string("N\0S", 3), "N?S"},
        {"tab", "\t", "?"},
        {"DEL", "\x7F", "?"},
        {"not ASCII", "\xC3\xA8", "??"},
        {"comma and hash kept", "a,#", "a,#"},
        {"blanks kept", " N ", " N "},
    };
    for (const auto& row : rows) {
        Tabella t{};
        t[3].lat_ns = row.text;
        t[3].lon_ew = row.text;
        const std::string text = testo_configurazione(t);
        EXPECT_EQ(lines_of(text)[3], "0,0,\"" + row.written + "\",,0,0,\"" + row.written +
                                         "\",0,0,#FALSE#,#FALSE#")
            << row.name;
        Tabella back = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(text, back), 1) << row.name;
        EXPECT_EQ(back[3].lat_ns, row.written) << row.name;
        EXPECT_EQ(back[3].lon_ew, row.written) << row.name;
    }
}

TEST(ConfigReader, ReadsTheWorkedExample) {
    Tabella t = sentinel_table();
    ASSERT_EQ(leggi_configurazione_testo(worked_example_text(), t), 1);
    EXPECT_EQ(t, with_seconds_of(worked_example_table(), sentinel_table()));
}

TEST(ConfigReader, RoundTripRestoresEverythingButTheSeconds) {
    const Tabella full = full_table();
    Tabella back = sentinel_table();
    ASSERT_EQ(leggi_configurazione_testo(testo_configurazione(full), back), 1);
    EXPECT_EQ(back, with_seconds_of(full, sentinel_table()));
    EXPECT_EQ(back[4].lat_s, -7);
    EXPECT_EQ(back[4].lon_s, -7);
}

TEST(ConfigReader, MarkerFirstGivesOneAndChangesNothing) {
    for (const std::string& content :
         {marker_line, std::string("\"#\""), std::string("#"), std::string("  \"#\" ,garbage\"never read"),
std::string("\xEF\xBB\xBF\"#\"")}) {
        Tabella t = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(content, t), 1) << content;
        EXPECT_EQ(t, sentinel_table()) << content;
    }
}

TEST(ConfigReader, FiveRecordsAndTheMarkerLeaveTheRestAlone) {
    const auto lines = lines_of(testo_configurazione(full_table()));
    std::string content;
    for (int i = 0; i < 5; ++i) content += lines[static_cast<std::size_t>(i)] + "\r\n";
    const Tabella expected_read = with_seconds_of(full_table(), sentinel_table());

    Tabella t = sentinel_table();
    EXPECT_EQ(leggi_configurazione_testo(content + marker_line, t), 1);
    for (std::size_t i = 0; i < t.size(); ++i) {
        EXPECT_EQ(t[i], i < 5 ? expected_read[i] : sentinel_table()[i]) << "record " << i;
    }

    Tabella u = sentinel_table();
    EXPECT_EQ(leggi_configurazione_testo(content, u), 0) << "no marker";
    for (std::size_t i = 0; i < u.size(); ++i) {
        EXPECT_EQ(u[i], i < 5 ? expected_read[i] : sentinel_table()[i]) << "record " << i;
    }
}

TEST(ConfigReader, ItemFourIsThrownAwayWhateverItHolds) {
    for (const std::string item4 : {"", "123", "\"x,y\"", "#TRUE#", "abc", "99999999", "\"\"", "  "}) {
        Tabella t = sentinel_table();
        const std::string content = "44,1,\"N\"," + item4 + ",10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n" + marker_line;
        EXPECT_EQ(leggi_configurazione_testo(content, t), 1) << item4;
        EXPECT_EQ(t[0], (veicolo{44, 1, -7, "N", 10, 8, -7, "E", 30, 90, -1, 0})) << item4;
    }
}

TEST(ConfigReader, ReadsTheSameHoweverTheItemsAreSpreadOverLines) {
    const std::string a = "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#";
    const std::string b = "45,30,\"N\",,9,12,\"E\",12,270,#FALSE#,#TRUE#";
    const std::string m = "\"#\",\"#\"";
    const struct {
        const char* name;
        std::string content;
    } rows[] = {
        {"written form", a + "\r\n" + b + "\r\n" + m + "\r\n"},
        {"lone LF", a + "\n" + b + "\n" + m + "\n"},
        {"lone CR", a + "\r" + b + "\r" + m + "\r"},
        {"all on one line", a + "," + b + "," + m},
        {"one item a line", "44\r\n1\r\n\"N\"\r\n,10\r\n8\r\n\"E\"\r\n30\r\n90\r\n#TRUE#\r\n#FALSE#\r\n"
                            "45\n30\n\"N\"\n,9\n12\n\"E\"\n12\n270\n#FALSE#\n#TRUE#\n" + m},
        {"split mid record", "44,1,\"N\",,10\r\n8,\"E\",30,90,#TRUE#,#FALSE#,45,30\r\n\"N\",,9,12,\"E\",12,270,"
                             "#FALSE#,#TRUE#\r\n" + m},
        {"blanks around items", "  44 ,\t1 , \"N\" , , 10,8,\"E\"\t,30,90 , #TRUE# ,#FALSE#  \r\n" + b + "\r\n" + m},
        {"byte order mark", "\xEF\xBB\xBF" + a + "\r\n" + b + "\r\n" + m},
        {"no line end at the end", a + "\r\n" + b + "\r\n\"#\""},
        {"bare marker", a + "\r\n" + b + "\r\n#\r\n"},
    };
    for (const auto& row : rows) {
        Tabella t = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(row.content, t), 1) << row.name;
        Tabella expected = with_seconds_of(worked_example_table(), sentinel_table());
        for (std::size_t i = 2; i < expected.size(); ++i) expected[i] = sentinel_table()[i];
        EXPECT_EQ(t, expected) << row.name;
    }
}

// A line end is a separator like a comma: one right after a comma, or a blank
// line, is an empty item of its own.
TEST(ConfigReader, NothingBeforeALineEndIsAnEmptyItem) {
    const veicolo first{44, 1, -7, "N", 10, 8, -7, "E", 30, 90, -1, 0};
    const struct {
        const char* name;
        std::string content;
        int result;
        veicolo record0;
    } rows[] = {
        {"empty last item", "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,\r\n\"#\"", 1,
         {44, 1, -7, "N", 10, 8, -7, "E", 30, 90, -1, 0}},
        {"empty items at line ends", "44,1,\"N\",\r\n10,8,\"E\",30,90,#TRUE#,\n\"#\"", 1, first},
        {"line ends for commas", "44\r1\n\"N\"\r\n\r\n10\n8\n\"E\"\n30\n90\n#TRUE#\n#FALSE#\n#", 1, first},
        {"comma then line end inside a record", "44,1,\r\n\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n\"#\"", 0,
         {44, 1, -7, "", 0, 10, -7, "8", -7, -7, 5, 5}},
        {"blank line before the marker", "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n\r\n\"#\"", 0, first},
        {"blank line before the first record", "\r\n44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n\"#\"", 0,
         {0, 44, -7, "1", 0, 10, -7, "8", -7, -7, 5, 5}},
    };
    for (const auto& row : rows) {
        Tabella t = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(row.content, t), row.result) << row.name;
        EXPECT_EQ(t[0], row.record0) << row.name;
    }
}

TEST(ConfigReader, A22ndRecordIsAFailureAfterTheFirst21AreStored) {
    const std::string text = testo_configurazione(full_table());
    const std::string body = text.substr(0, text.size() - marker_line.size());
    const std::string extra = "1,2,\"N\",,3,4,\"E\",5,6,#TRUE#,#FALSE#\r\n";

    Tabella t = sentinel_table();
    EXPECT_EQ(leggi_configurazione_testo(body + extra + marker_line, t), 0);
    EXPECT_EQ(t, with_seconds_of(full_table(), sentinel_table()));

    Tabella u = sentinel_table();
    EXPECT_EQ(leggi_configurazione_testo(body + "7\r\n", u), 0) << "a lone item where the 22nd record begins";
    EXPECT_EQ(u, with_seconds_of(full_table(), sentinel_table()));
}

// One item of record 1 replaced by a value it cannot take: record 0 complete,
// record 1 holds the fields stored before the failing item, the rest are old.
TEST(ConfigReader, AFailingConversionKeepsTheFieldsStoredBeforeIt) {
    const std::array<std::string, 11> good = {"45", "30", "\"S\"", "", "9", "12", "\"W\"", "12", "270", "#FALSE#", "#TRUE#"};
    const veicolo read{45, 30, -7, "S", 9, 12, -7, "W", 12, 270, 0, -1};
    const veicolo old = sentinel_table()[1];
    const struct {
        const char* name;
        std::size_t item;
        std::string bad;
        int fields_stored;  // of lat_g, lat_p, lat_ns, lon_g, lon_p, lon_ew, vel, angolo, km, miglia
    } rows[] = {
        {"lat_g out of range", 0, "32768", 0},
        {"lat_g a text", 0, "\"N\"", 0},
        {"lat_p a word", 1, "abc", 1},
        {"lat_p below range", 1, "-32769", 1},
        {"lat_ns true", 2, "#TRUE#", 2},
        {"lat_ns a bare word", 2, "N", 2},
        {"lon_g rounds out of range", 4, "32767.5", 3},
        {"lon_p exponent", 5, "1e2", 4},
        {"lon_ew false", 6, "#FALSE#", 5},
        {"vel a text", 7, "\"veloce\"", 6},
        {"angolo true", 8, "#TRUE#", 7},
        {"km a word", 9, "vero", 8},
        {"miglia a text", 10, "\"si\"", 9},
    };
    for (const auto& row : rows) {
        auto items = good;
        items[row.item] = row.bad;
        std::string line;
        for (std::size_t k = 0; k < items.size(); ++k) line += (k == 0 ? "" : ",") + items[k];
        const std::string content = "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n" + line + "\r\n" + marker_line;
        Tabella t = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(content, t), 0) << row.name;
        EXPECT_EQ(t[0], (veicolo{44, 1, -7, "N", 10, 8, -7, "E", 30, 90, -1, 0})) << row.name;
        const int n = row.fields_stored;
        const veicolo& v = t[1];
        EXPECT_EQ(v.lat_g, n > 0 ? read.lat_g : old.lat_g) << row.name;
        EXPECT_EQ(v.lat_p, n > 1 ? read.lat_p : old.lat_p) << row.name;
        EXPECT_EQ(v.lat_ns, n > 2 ? read.lat_ns : old.lat_ns) << row.name;
        EXPECT_EQ(v.lon_g, n > 3 ? read.lon_g : old.lon_g) << row.name;
        EXPECT_EQ(v.lon_p, n > 4 ? read.lon_p : old.lon_p) << row.name;
        EXPECT_EQ(v.lon_ew, n > 5 ? read.lon_ew : old.lon_ew) << row.name;
        EXPECT_EQ(v.vel, n > 6 ? read.vel : old.vel) << row.name;
        EXPECT_EQ(v.angolo, n > 7 ? read.angolo : old.angolo) << row.name;
        EXPECT_EQ(v.km, n > 8 ? read.km : old.km) << row.name;
        EXPECT_EQ(v.miglia, old.miglia) << row.name;
        EXPECT_EQ(v.lat_s, old.lat_s) << row.name;
        for (std::size_t i = 2; i < t.size(); ++i) EXPECT_EQ(t[i], sentinel_table()[i]) << row.name << " " << i;
    }
}

// A record whose items cannot all be read is not stored at all.
TEST(ConfigReader, ARecordThatCannotBeReadIsLeftUntouched) {
    const std::string first = "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n";
    const struct {
        const char* name;
        std::string rest;
    } rows[] = {
        {"end of input after seven items", "45,30,\"S\",,9,12,\"W\""},
        {"end of input after a trailing comma", "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,"},
        {"quote never closed", "45,30,\"S,,9,12,\"W\",12,270,#FALSE#,#TRUE#"},
        {"quote closed on the next line", "45,30,\"S\r\n\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n" + marker_line},
        {"junk after a closing quote", "45,30,\"S\"x,,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n" + marker_line},
        {"quote never closed in item four", "45,30,\"S\",\"abc"},
    };
    for (const auto& row : rows) {
        Tabella t = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(first + row.rest, t), 0) << row.name;
        EXPECT_EQ(t[0], (veicolo{44, 1, -7, "N", 10, 8, -7, "E", 30, 90, -1, 0})) << row.name;
        EXPECT_EQ(t[1], sentinel_table()[1]) << row.name;
    }
}

// Every prefix of a written file: records wholly inside it are read, and only
// a prefix that holds the marker's first item gives 1.
TEST(ConfigReader, AFileCutShortReadsBackAsAFailure) {
    const std::string text = testo_configurazione(full_table());
    const std::size_t marker_end = text.size() - marker_line.size() + 3;
    const Tabella expected = with_seconds_of(full_table(), sentinel_table());
    for (std::size_t length = 0; length < text.size(); ++length) {
        const std::string cut = text.substr(0, length);
        Tabella t = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(cut, t), length >= marker_end ? 1 : 0) << length;
        // Records whose line ended (CR LF included) before the cut are whole.
        std::size_t complete = 0;
        for (std::size_t pos = 0; complete < 21; ++complete) {
            pos = text.find("\r\n", pos);
            if (pos + 2 > length) break;
            pos += 2;
        }
        for (std::size_t i = 0; i < complete; ++i) ASSERT_EQ(t[i], expected[i]) << length << " record " << i;
    }
}

// Item 1 of record 0 holding `item`: the result and, when read, lat_g.
TEST(ConfigReader, IntegerFieldsRoundHalfToEvenAndCheckTheRange) {
    const struct {
        std::string item;
        int result;
        int value;
    } rows[] = {
        {"44", 1, 44}, {"", 1, 0}, {"  12  ", 1, 12}, {"\t12", 1, 12}, {"+7", 1, 7}, {"-0", 1, 0},
        {"1.5", 1, 2}, {"2.5", 1, 2}, {"3.5", 1, 4}, {"-2.5", 1, -2}, {"-0.5", 1, 0}, {".5", 1, 0},
        {"5.", 1, 5}, {"2.5000001", 1, 3}, {"007", 1, 7}, {"32767", 1, 32767}, {"-32768", 1, -32768},
        {"32767.49", 1, 32767}, {"-32768.5", 1, -32768}, {"\"44\"", 1, 44}, {"\" 44 \"", 1, 44},
        {std::string(400, '0') + "12", 1, 12}, {"0." + std::string(400, '0') + "1", 1, 0},
        {"32767.5", 0, 0}, {"32768", 0, 0}, {"-32769", 0, 0}, {std::string(400, '9'), 0, 0},
        {"1e2", 0, 0}, {"0x10", 0, 0}, {"1 2", 0, 0}, {"1.2.3", 0, 0}, {"-", 0, 0}, {".", 0, 0},
        {"+-1", 0, 0}, {"abc", 0, 0}, {"\"abc\"", 0, 0}, {"\"\"", 0, 0}, {"#TRUE#", 0, 0},
        {"#FALSE#", 0, 0}, {"#true#", 0, 0}, {"12abc", 0, 0}, {"4\"4\"", 0, 0},
        {std::string("1\0", 2), 0, 0}, {"\xC2\xA0" "1", 0, 0}, {"inf", 0, 0}, {"nan", 0, 0},
    };
    for (const auto& row : rows) {
        Tabella t = sentinel_table();
        const std::string content = row.item + ",0,\"N\",,0,0,\"E\",0,0,#FALSE#,#FALSE#\r\n" + marker_line;
        EXPECT_EQ(leggi_configurazione_testo(content, t), row.result) << "[" << row.item << "]";
        EXPECT_EQ(t[0].lat_g, row.result == 1 ? row.value : -7) << "[" << row.item << "]";
    }
}

TEST(ConfigReader, TextFieldsTakeTextsAndNumbersAsText) {
    const struct {
        std::string item;
        int result;
        std::string value;
    } rows[] = {
        {"\"N\"", 1, "N"}, {"\"\"", 1, ""}, {"", 1, ""}, {"\"a,b\"", 1, "a,b"}, {"\" S \"", 1, " S "},
        {"\"#\"", 1, "#"}, {"44", 1, "44"}, {"1.50", 1, "1.5"}, {"-0", 1, "0"}, {"+3", 1, "3"},
        {"0.25", 1, "0.25"}, {"\"\xC3\xA8\"", 1, "\xC3\xA8"}, {std::string("\"a\0b\"", 5), 1, std::string("a\0b", 3)},
        {"N", 0, ""}, {"#TRUE#", 0, ""}, {"#FALSE#", 0, ""}, {"\"N", 0, ""},
    };
    for (const auto& row : rows) {
        Tabella t = sentinel_table();
        const std::string content = "0,0," + row.item + ",,0,0,\"E\",0,0,#FALSE#,#FALSE#\r\n" + marker_line;
        EXPECT_EQ(leggi_configurazione_testo(content, t), row.result) << "[" << row.item << "]";
        EXPECT_EQ(t[0].lat_ns, row.result == 1 ? row.value : "?") << "[" << row.item << "]";
    }
}

TEST(ConfigReader, FlagsAreMinusOneForTrueAndZeroForFalse) {
    const struct {
        std::string item;
        int result;
        int value;
    } rows[] = {
        {"#TRUE#", 1, -1}, {"#FALSE#", 1, 0}, {"", 1, 0}, {" #TRUE# ", 1, -1}, {"1", 1, -1},
        {"-1", 1, -1}, {"0", 1, 0}, {"-0", 1, 0}, {"0.4", 1, -1}, {"100000", 1, -1}, {"\"0\"", 1, 0},
        {"\"-1\"", 1, -1}, {std::string(400, '9'), 1, -1},
        {"#true#", 0, 0}, {"TRUE", 0, 0}, {"\"#TRUE#\"", 0, 0}, {"si", 0, 0}, {"\"\"", 0, 0},
    };
    for (const auto& row : rows) {
        Tabella t = sentinel_table();
        const std::string content = "0,0,\"N\",,0,0,\"E\",0,0," + row.item + "," + row.item + "\r\n" + marker_line;
        EXPECT_EQ(leggi_configurazione_testo(content, t), row.result) << "[" << row.item << "]";
        EXPECT_EQ(t[0].km, row.result == 1 ? row.value : 5) << "[" << row.item << "]";
        EXPECT_EQ(t[0].miglia, row.result == 1 ? row.value : 5) << "[" << row.item << "]";
    }
}

TEST(ConfigReader, DamagedBytesAreAFailureNotACrash) {
    const std::string zeros(4096, '\0');
    const struct {
        const char* name;
        std::string content;
    } rows[] = {
        {"empty", ""},
        {"only blanks and line ends", " \r\n\t\n\r"},
        {"all NUL, as after a crash", zeros},
        {"NUL before the marker", std::string("\0\"#\"", 4)},
        {"a lone quote", "\""},
        {"only commas", ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,"},
    };
    for (const auto& row : rows) {
        Tabella t = sentinel_table();
        EXPECT_EQ(leggi_configurazione_testo(row.content, t), 0) << row.name;
    }
    // Eleven empty items make a record of zeros and empty texts.
    Tabella t = sentinel_table();
    EXPECT_EQ(leggi_configurazione_testo(",,,,,,,,,,\r\n\"#\"", t), 1);
    EXPECT_EQ(t[0], (veicolo{0, 0, -7, "", 0, 0, -7, "", 0, 0, 0, 0}));
}

}  // namespace
}  // namespace vadrel::testing
