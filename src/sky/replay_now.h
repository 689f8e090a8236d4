#pragma once
// A recorded sentence moved to the present, for a client that refuses old
// fixes: its time and date fields moved by a number of seconds, its checksum
// made again, every other byte as it was.
//
//   const auto first = sentence_time("$GPRMC,201528,A,...,090503,...*4B");  // the log's first fix
//   const std::int64_t by = seconds_to_now(*first, now_ms);
//   moved_in_time("$GPGGA,201529.50,4400.6787,N,...*5C", by);              // "$GPGGA,<now+1.5>,..."
//
// Fields moved, for any talker: the time of RMC, GGA, GNS, GBS, GST, GRS,
// ZDA (first field) and GLL (fifth), as hhmmss with any decimals (kept as
// they are); the date of RMC (ddmmyy, years 80..99 read as 19xx, the rest
// as 20xx) and of ZDA (day, month, four-digit year), which moves with its
// sentence's time across midnight. A sentence with a time that cannot be read, a checksum that does
// not check (a damaged sentence stays as it was recorded), or a date moved
// out of the years 0..9999 comes back as it is; so does any other sentence
// (proprietary ones, AIS). A prefix before "$" ("@3" in multi-user logs,
// covered by the checksum), the NULs of a radio burst before a sentence and
// a line end stay; a sentence without a checksum gets none.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vadrel {

struct LoggedTime {
    std::int64_t ms = 0;  // since 1970 UTC when dated, else since midnight
    bool dated = false;
};

// The time a sentence tells ($--RMC and $--ZDA with their dates; the other
// timed ones as a time of day), or nothing.
std::optional<LoggedTime> sentence_time(std::string_view sentence);

// The whole seconds that move `first` to `now_ms` or less than a second
// before it (never after: a fix from the future is refused by some
// clients); for a time of day alone 0 .. 86399, as a day more or less
// changes nothing there.
std::int64_t seconds_to_now(const LoggedTime& first, std::int64_t now_ms);

std::string moved_in_time(std::string_view sentence, std::int64_t seconds);

}  // namespace vadrel
