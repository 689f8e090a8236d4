#pragma once
// What every protocol of the tracked fleet is behind: a sender takes one
// device's report and puts it to its server in that server's words, never
// waiting (a report that cannot go now is skipped and counted, never queued
// without bound). A new protocol is one more class of this kind, in a file
// of its own.

#include <cstdint>
#include <string>
#include <vector>

#include "tracker/device_report.h"

namespace vadrel {

// Descriptors a fleet leaves free whatever its size: the control interface,
// the outputs' clients and the program's own files keep them.
inline constexpr int fleet_leaves_descriptors = 80;

// What a sender has done since it started.
struct SenderCounts {
    std::uint64_t sent = 0;         // reports handed to the system whole
    std::uint64_t skipped = 0;      // reports that could not go
    std::uint64_t connections = 0;  // connections open now
    std::string state;              // in Italian, for the API and the log: "collegato", or why not
};

class ReportSender {
public:
    virtual ~ReportSender() = default;
    // Puts `report` to the server, or skips it; never blocks.
    virtual void send(const DeviceReport& report) = 0;
    virtual SenderCounts counts() const = 0;
    // The devices that will report, by their number (DeviceReport::device):
    // a sender that keeps a connection a device opens them now.
    virtual void expect(const std::vector<std::string>& ids) { (void)ids; }
    // The work between reports (connections completing, retries, what the
    // server sends), called every few milliseconds; never blocks.
    virtual void service() {}
};

}  // namespace vadrel
