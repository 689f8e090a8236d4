#pragma once
// The soft limit of open files set, for one test, so that only `free`
// descriptors are left, all numbered above every one in use (the holes
// below are filled meanwhile); all put back when it goes.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

namespace vadrel::testing {

class DescriptorLimit {
public:
    explicit DescriptorLimit(int free) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        int highest = -1;
        for (int fd = 0; static_cast<rlim_t>(fd) < saved_.rlim_cur && fd < 65536; ++fd) {
            if (::fcntl(fd, F_GETFD) != -1) highest = fd;
        }
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
            if (fd > highest) {
                ::close(fd);
                break;
            }
            holes_.push_back(fd);
        }
        rlimit low = saved_;
        low.rlim_cur = static_cast<rlim_t>(highest + 1 + free);
        ::setrlimit(RLIMIT_NOFILE, &low);
    }
    ~DescriptorLimit() {
        ::setrlimit(RLIMIT_NOFILE, &saved_);
        for (const int fd : holes_) ::close(fd);
    }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit saved_{};
    std::vector<int> holes_;
};

}  // namespace vadrel::testing
