#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QtGlobal>
#include <string>

#include "app/line_output.h"

namespace vadrel {
namespace {

// Standard error is a pipe nobody drains: Qt's own handler would wait in its
// write for ever. Routed, the warning is dropped and the program goes on;
// once the reader drains the pipe, the next warning comes out whole.
TEST(QtMessages, AWarningWhileNobodyReadsIsDroppedNotWaitedFor) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_EQ(::dup2(ends[1], STDERR_FILENO), STDERR_FILENO);
    // Filled through a nonblocking description of its own: standard error's
    // stays blocking, as a shell leaves it.
    const int filler = ::open(("/proc/self/fd/" + std::to_string(ends[1])).c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    route_qt_messages();

    ::alarm(10);  // a warning that waits ends the test here
    qWarning("lost");
    char drained[65536];
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    while (::read(ends[0], drained, sizeof drained) > 0) {
    }
    qWarning("seen");
    const ssize_t got = ::read(ends[0], drained, sizeof drained);
    ::alarm(0);

    qInstallMessageHandler(nullptr);
    ::dup2(saved, STDERR_FILENO);
    for (const int fd : {saved, filler, ends[0], ends[1]}) ::close(fd);
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(drained, static_cast<std::size_t>(got)), "seen\n");
}

}  // namespace
}  // namespace vadrel
