// Reading and writing the items of the configuration file.
//
// Item rules of the reader, and the choices made where a hand-edited or damaged
// file leaves room (the system itself only ever writes the plain form):
//
// - A UTF-8 byte order mark at the very start is skipped (editors add one).
// - Before an item, blanks (space, tab) are skipped. An item ends at a comma,
//   at a line end or at the end of input; a line end is CR LF, a lone LF or a
//   lone CR, and counts only as a separator, so a record may be spread over
//   lines and several records may share a line. Nothing before a comma or a
//   line end is an empty item: a comma at the end of a line is followed by an
//   empty item, and a blank line is one empty item (which throws the record's
//   items out of step; the conversions then usually refuse it).
// - A double quote opens a text; the text runs to the next double quote and
//   may hold commas and any byte, NUL included, but no line end. A line end or
//   the end of the input before the closing quote is a damaged file. After the
//   closing quote only blanks may come before the comma, the line end or the
//   end of input; anything else there is a damaged file.
// - Anything else runs to the next comma or line end (or the end of input),
//   trailing blanks dropped. #TRUE# and #FALSE# (exactly so) are true and
//   false; any other such item is a number: an optional sign, digits with at
//   most one "." as decimal point, at least one digit ("1.5", "-0", ".5", "5."
//   and "+7" are numbers; "1e5", "1,5" as one item, "1 2", "0x10", "N" are not).
// - Asking for an item when the input is exhausted is a failure, also right
//   after a trailing comma: a file ends only after its marker.
// - The end marker is the text "#" (quoted or, leniently, bare) as the first
//   item of a record. What follows it is never looked at.
//
// Conversions when storing:
// - integer field: a number (a bare one, or a text that is a number) rounded
//   half to even; an empty item gives 0; outside -32768..32767, a text that is
//   not a number, or #TRUE#/#FALSE# (a sign of a record that lost an item) is
//   a failure.
// - text field: a text as it stands; an empty item gives the empty text; a
//   number gives its text ("1.50" gives "1.5", "-0" gives "0"); #TRUE#/#FALSE#
//   or a bare word that is not a number is a failure.
// - true/false field: #TRUE# gives -1, #FALSE# and the empty item 0; a number
//   (or a text that is a number) gives -1 when it is not 0, else 0; anything
//   else is a failure.
//
// A record's eleven items are all read before any field is stored, so a record
// cut short by the end of input is left untouched; a conversion failure leaves
// the fields stored before it with their new values.

#include <charconv>
#include <cmath>
#include <optional>

#include "vehicle_record.h"
#include "model/numbers.h"

namespace vadrel {

namespace {

constexpr std::size_t items_per_record = 11;
constexpr std::string_view text_true = "#TRUE#";
constexpr std::string_view text_false = "#FALSE#";
constexpr std::string_view marker = "#";
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

enum class Kind { empty, text, bare, yes, no };

struct Item {
    Kind kind = Kind::empty;
    std::string_view body;  // the text without quotes, or the bare item
};

// Takes the items of the input one after another.
class ItemReader {
public:
    explicit ItemReader(std::string_view input) : in_(input) {
        if (in_.substr(0, byte_order_mark.size()) == byte_order_mark) pos_ = byte_order_mark.size();
    }

    // The next item, or nothing when the input is exhausted or damaged here.
    std::optional<Item> next() {
        while (pos_ < in_.size() && is_blank(in_[pos_])) ++pos_;
        if (pos_ >= in_.size()) return std::nullopt;

        Item item;
        const char first = in_[pos_];
        if (first == ',' || is_line_end(first)) {
            take_separator();
            return item;  // empty
        }
        if (first == '"') {
            const std::size_t begin = pos_ + 1;
            std::size_t end = begin;
            while (end < in_.size() && in_[end] != '"' && !is_line_end(in_[end])) ++end;
            if (end >= in_.size() || in_[end] != '"') return std::nullopt;  // no closing quote
            item.kind = Kind::text;
            item.body = in_.substr(begin, end - begin);
            pos_ = end + 1;
            while (pos_ < in_.size() && is_blank(in_[pos_])) ++pos_;
            if (!take_separator()) return std::nullopt;
            return item;
        }
        std::size_t end = pos_;
        while (end < in_.size() && in_[end] != ',' && !is_line_end(in_[end])) ++end;
        std::size_t last = end;
        while (last > pos_ && is_blank(in_[last - 1])) --last;
        item.body = in_.substr(pos_, last - pos_);
        item.kind = item.body == text_true ? Kind::yes : item.body == text_false ? Kind::no : Kind::bare;
        pos_ = end;
        take_separator();  // always there: a comma, a line end or the end of input
        return item;
    }

private:
    // Consumes the comma or line end closing an item; true at the end of input too.
    bool take_separator() {
        if (pos_ >= in_.size()) return true;
        const char c = in_[pos_];
        if (c == ',' || c == '\n') {
            ++pos_;
            return true;
        }
        if (c == '\r') {
            ++pos_;
            if (pos_ < in_.size() && in_[pos_] == '\n') ++pos_;
            return true;
        }
        return false;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
};

// A number as the file writes it: [sign] digits ["." digits], blanks around
// allowed, at least one digit, no exponent.
std::optional<double> number_of(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    bool any_digit = false;
    bool whole_part_zero = true;
    bool seen_point = false;
    for (const char c : s) {
        if (is_digit(c)) {
            any_digit = true;
            if (!seen_point && c != '0') whole_part_zero = false;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!any_digit) return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        // Too many digits for a double: huge when the whole part is not zero,
        // otherwise too small to tell from zero.
        value = whole_part_zero ? 0.0 : HUGE_VAL;
    } else if (result.ec != std::errc() || result.ptr != s.data() + s.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<double> item_number(const Item& item) {
    if (item.kind != Kind::text && item.kind != Kind::bare) return std::nullopt;
    return number_of(item.body);
}

// The text of a number: whole numbers without a point, others shortest.
std::string number_text(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return int_text(static_cast<long long>(value));
    }
    return shortest_text(value);
}

bool store_integer(const Item& item, std::int16_t& field) {
    if (item.kind == Kind::empty) {
        field = 0;
        return true;
    }
    const auto value = item_number(item);
    if (!value) return false;
    try {
        field = to_int16(*value);
    } catch (const OverflowError&) {
        return false;
    }
    return true;
}

bool store_text(const Item& item, std::string& field) {
    switch (item.kind) {
        case Kind::empty:
            field.clear();
            return true;
        case Kind::text:
            field.assign(item.body);
            return true;
        case Kind::bare:
            if (const auto value = number_of(item.body)) {
                field = number_text(*value);
                return true;
            }
            return false;
        case Kind::yes:
        case Kind::no:
            return false;
    }
    return false;
}

bool store_flag(const Item& item, std::int16_t& field) {
    switch (item.kind) {
        case Kind::empty:
        case Kind::no:
            field = 0;
            return true;
        case Kind::yes:
            field = -1;
            return true;
        case Kind::text:
        case Kind::bare:
            if (const auto value = number_of(item.body)) {
                field = *value != 0.0 ? -1 : 0;
                return true;
            }
            return false;
    }
    return false;
}

bool is_marker(const Item& item) {
    return (item.kind == Kind::text || item.kind == Kind::bare) && item.body == marker;
}

// The fields in file order; item 4 (index 3) is thrown away.
bool store_record(const std::array<Item, items_per_record>& items, VehicleRecord& r) {
    return store_integer(items[0], r.lat_degrees) && store_integer(items[1], r.lat_minutes) &&
           store_text(items[2], r.lat_hemisphere) && store_integer(items[4], r.lon_degrees) &&
           store_integer(items[5], r.lon_minutes) && store_text(items[6], r.lon_hemisphere) &&
           store_integer(items[7], r.speed) && store_integer(items[8], r.course) &&
           store_flag(items[9], r.kmh) && store_flag(items[10], r.knots);
}

// Any flag that is not 0 is written as true, as the reader counts it.
std::string flag_text(std::int16_t flag) { return std::string(flag != 0 ? text_true : text_false); }

std::string quoted(std::string_view text) { return '"' + writable_text(text) + '"'; }

}  // namespace

TableRead read_table(std::string_view content, VehicleRecords& records) {
    ItemReader reader(content);
    for (std::size_t i = 0;; ++i) {
        std::array<Item, items_per_record> items;
        for (std::size_t k = 0; k < items.size(); ++k) {
            const auto item = reader.next();
            if (!item) return {0, i};
            if (k == 0 && is_marker(*item)) return {1, i};
            items[k] = *item;
        }
        if (i >= records.size()) return {0, i};  // a 22nd record
        if (!store_record(items, records[i])) return {0, i + 1};
    }
}

std::string writable_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"') {
            out += '\'';
        } else if (byte < 0x20 || byte > 0x7E) {
            out += '?';
        } else {
            out += c;
        }
    }
    return out;
}

std::string table_text(const VehicleRecords& records) {
    std::string out;
    out.reserve(64 * (records.size() + 1));
    for (const VehicleRecord& r : records) {
        out += int_text(r.lat_degrees) + ',' + int_text(r.lat_minutes) + ',' + quoted(r.lat_hemisphere) + ",," +
               int_text(r.lon_degrees) + ',' + int_text(r.lon_minutes) + ',' + quoted(r.lon_hemisphere) + ',' +
               int_text(r.speed) + ',' + int_text(r.course) + ',' + flag_text(r.kmh) + ',' + flag_text(r.knots) +
               "\r\n";
    }
    for (int k = 0; k < 10; ++k) {
        if (k != 0) out += ',';
        out += "\"#\"";
    }
    out += "\r\n";
    return out;
}

}  // namespace vadrel
