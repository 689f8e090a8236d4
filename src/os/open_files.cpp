#include "open_files.h"

#ifdef __unix__
#include <sys/resource.h>
#endif

namespace vadrel {

long raise_open_file_limit() {
#ifdef __unix__
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // An unlimited hard limit is more than the kernel allows one process:
        // then the soft one stays as it is.
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(limit.rlim_cur);
#else
    return -1;
#endif
}

}  // namespace vadrel
