#include "descriptor_reserve.h"

#include <fcntl.h>
#include <sys/resource.h>

namespace vadrel {

DescriptorReserve::DescriptorReserve() { take(); }

bool DescriptorReserve::leaves_spare(int fd) { return leaves_spare(fd, spare); }

bool DescriptorReserve::leaves_spare(int fd, int keep) {
    const long most = limit();
    return most < 0 || (fd >= 0 && static_cast<long>(fd) + keep < most);
}

long DescriptorReserve::limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
    return static_cast<long>(limit.rlim_cur);
}

int DescriptorReserve::lowest_free() {
    const Descriptor probe(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    return probe ? probe.get() : 0;
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
