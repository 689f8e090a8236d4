#include "fleet_run.h"

#include <algorithm>
#include <numeric>

namespace vadrel {

FleetRun::FleetRun(TrackedFleet fleet, std::unique_ptr<ReportSender> sender, std::string file, std::string destination)
    : fleet_(std::move(fleet)), sender_(std::move(sender)), file_(std::move(file)), destination_(std::move(destination)) {
    order_.resize(fleet_.size());
    std::iota(order_.begin(), order_.end(), 0U);
    std::stable_sort(order_.begin(), order_.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return fleet_.fraction(a) < fleet_.fraction(b); });
    cursor_ = order_.size();  // nothing due before the first second
    sender_->expect(fleet_.ids());
}

void FleetRun::second(std::int64_t second, Time now, std::chrono::nanoseconds span) {
    if (started_) {
        send_until(2.0, stale_fraction(now));  // the last second's reports not yet gone
        late_ += missed(second, now);
    }
    if (!started_) fleet_.start(second);
    started_ = true;
    second_ = second;
    start_ = now;
    span_ = span;
    cursor_ = 0;
    slice(now);
}

void FleetRun::slice(Time now) {
    sender_->service();
    if (cursor_ >= order_.size()) return;
    const double fraction = span_.count() <= 0 ? 2.0
                                               : std::chrono::duration<double>(now - start_) /
                                                     std::chrono::duration<double>(span_);
    send_until(fraction, stale_fraction(now));
}

double FleetRun::stale_fraction(Time now) const {
    if (span_.count() <= 0) return -1.0;  // at max nothing is late
    return std::chrono::duration<double>(now - start_ - stale_after) / std::chrono::duration<double>(span_);
}

std::uint64_t FleetRun::missed(std::int64_t second, Time now) const {
    if (span_.count() <= 0 || second - second_ <= 1) return 0;
    const std::int64_t spans = (now - start_) / span_;
    const std::int64_t gone = std::min(second - second_ - 1, spans - 1);
    if (gone <= 0) return 0;
    std::uint64_t count = 0;
    for (std::uint32_t device : order_) count += fleet_.due_count(device, second_ + 1, second_ + gone);
    return count;
}

void FleetRun::send_until(double fraction, double stale) {
    while (cursor_ < order_.size()) {
        const std::uint32_t device = order_[cursor_];
        const double at = fleet_.fraction(device);
        if (at > fraction) return;
        ++cursor_;
        if (!fleet_.due(device, second_)) continue;
        if (at < stale) {
            ++late_;
        } else {
            sender_->send(fleet_.report(device, second_));
        }
    }
}

FleetSummary FleetRun::summary() const {
    SenderCounts counts = sender_->counts();
    counts.skipped += late_;
    return {file_, destination_, fleet_.size(), counts};
}

}  // namespace vadrel
