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
    send_until(2.0);  // the last second's reports not yet gone
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
    send_until(fraction);
}

void FleetRun::send_until(double fraction) {
    while (cursor_ < order_.size()) {
        const std::uint32_t device = order_[cursor_];
        if (fleet_.fraction(device) > fraction) return;
        ++cursor_;
        if (fleet_.due(device, second_)) sender_->send(fleet_.report(device, second_));
    }
}

FleetSummary FleetRun::summary() const { return {file_, destination_, fleet_.size(), sender_->counts()}; }

}  // namespace vadrel
