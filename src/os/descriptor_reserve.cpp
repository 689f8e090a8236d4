#include "descriptor_reserve.h"

#include <fcntl.h>
#include <sys/resource.h>

namespace vadrel {

DescriptorReserve::DescriptorReserve() { take(); }

bool DescriptorReserve::leaves_spare(int fd) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
    return fd >= 0 && static_cast<rlim_t>(fd) + spare < limit.rlim_cur;
}

DescriptorReserve::Lent DescriptorReserve::lend() {
    held_.clear();
    return Lent(*this);
}

void DescriptorReserve::take() {
    while (held_.size() < static_cast<std::size_t>(held)) {
        Descriptor fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        if (!fd) return;  // tried again at the next lend
        held_.push_back(std::move(fd));
    }
}

}  // namespace vadrel
