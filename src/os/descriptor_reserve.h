#pragma once
// Descriptors kept for the program's own files, whatever the network makes
// it open. Outsiders decide how many clients connect and an operator how
// many UDP targets there are; the table's save must never be the one that
// finds no descriptor left.
//
//   DescriptorReserve reserve;                        // holds a few, on /dev/null
//   if (!DescriptorReserve::leaves_spare(fd)) ...     // a peer's socket: refuse it
//   { const auto lent = reserve.lend(); save(); }     // handed back for the save, taken again after
//
// Two guards, one for each way the descriptors can run out:
// * The kernel hands out the lowest free number, so a socket just opened
//   whose number is within `spare` of the soft limit of open files means
//   only that many are left: the network refuses it, and the program's own
//   files (the table, vadrel.ini, a recording, a lookup) keep that room.
// * The reserve itself holds `held` descriptors from start-up and lets
//   them go only around the table's save, so the save finds them free even
//   when something else has taken the spare ones.

#include <vector>

#include "os/descriptor.h"

namespace vadrel {

class DescriptorReserve {
public:
    static constexpr int spare = 16;
    static constexpr int held = 4;

    // Takes `held` descriptors (fewer when there are not as many free).
    DescriptorReserve();
    DescriptorReserve(const DescriptorReserve&) = delete;
    DescriptorReserve& operator=(const DescriptorReserve&) = delete;

    // Whether the descriptor `fd`, just opened, leaves `spare` numbers free
    // below the soft limit of open files (always, with no limit).
    static bool leaves_spare(int fd);
    // The same with `keep` free: for a part that opens as many as outsiders
    // ask (a tracked fleet, a connection a device), so that the control
    // interface, the outputs' clients and the program's files keep room.
    static bool leaves_spare(int fd, int keep);
    // The soft limit of open files; -1 when there is none.
    static long limit();
    // The lowest descriptor number free now: about how many are open.
    static int lowest_free();

    // The held descriptors closed while it lives, taken again when it goes.
    class Lent {
    public:
        explicit Lent(DescriptorReserve& reserve) : reserve_(&reserve) {}
        ~Lent() {
            if (reserve_) reserve_->take();
        }
        Lent(Lent&& other) noexcept : reserve_(other.reserve_) { other.reserve_ = nullptr; }
        Lent(const Lent&) = delete;
        Lent& operator=(const Lent&) = delete;
        Lent& operator=(Lent&&) = delete;

    private:
        DescriptorReserve* reserve_;
    };
    [[nodiscard]] Lent lend();

    // How many it holds now.
    int holding() const { return static_cast<int>(held_.size()); }

private:
    // Takes descriptors until it holds `held` or none is free.
    void take();

    std::vector<Descriptor> held_;
};

}  // namespace vadrel
