#pragma once
// The times of route points: milliseconds since 1970-01-01 00:00 UTC, read
// from and written as the dateTime of GPX and KML (ISO 8601).
//
//   read_iso_time("2024-05-01T10:00:00Z")        // 1714557600000
//   read_iso_time("2024-05-01T12:00:00.5+02:00") // 1714557600500
//   read_iso_time("2024-05-01T10:00:00")         // no zone: UTC, as GPX means it
//   iso_time(1714557600500)                      // "2024-05-01T10:00:00.500Z"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vadrel {

// Date, "T", time with optional decimals of a second (kept to the
// millisecond, rounded), then "Z", a "+hh:mm" or "-hh:mm" offset (also
// "+hhmm" and "+hh"), or nothing; blanks around it are ignored. Years 0000 to
// 9999; a day the month does not have, 24:00 and a leap second (:60) are
// refused.
std::optional<std::int64_t> read_iso_time(std::string_view text);

// "2024-05-01T10:00:00Z", with ".mmm" only when the milliseconds are not 0.
std::string iso_time(std::int64_t utc_ms);

}  // namespace vadrel
