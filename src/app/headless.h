#pragma once
// vadrel without a window: the same start-up and shut-down, the monitor's
// lines on standard output, messages on standard error.

#include <iosfwd>
#include <string>
#include <vector>

#include "app/options.h"
#include "model/form1.h"

namespace vadrel {

// Message boxes become lines on standard error.
class HeadlessShell : public Shell {
public:
    explicit HeadlessShell(std::ostream& errors);
    void message_box(const std::string& text, const std::string& caption) override;
    void run_pending_events() override;
    [[noreturn]] void end_program_now(const std::string& reason) override;

private:
    std::ostream& errors_;
};

// Follows the monitor box and hands out the lines printed since the last call.
class MonitorFollower {
public:
    explicit MonitorFollower(const PictureBox& monitor);
    std::vector<std::string> new_lines();

private:
    const PictureBox& monitor_;
    std::size_t seen_ = 0;
    int last_y_ = 0;
};

// Runs headless until SIGINT, SIGTERM or the end of --durata; returns the
// exit code: 0 after an orderly shut-down, 1 when the table could not be saved.
int run_headless(int argc, char** argv, const Options& options);

}  // namespace vadrel
