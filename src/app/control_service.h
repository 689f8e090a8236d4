#pragma once
// The control interface as the program runs it: its server over the
// program (ProgramControl), started, moved or stopped as its settings say,
// the key of vadrel.token said once a run, and what it is doing in Italian
// for the window's dialog.
//
//   ControlService control(program, folder, say);
//   Result<> done = control.apply({true, "127.0.0.1", 8080});

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/program_control.h"
#include "config/control_settings.h"
#include "config/program_folder.h"
#include "control/control_server.h"
#include "os/result.h"

namespace vadrel {

class Program;

class ControlService {
public:
    using Say = std::function<void(const std::string&)>;

    // Both must outlive it; `say` takes whole lines for standard error.
    ControlService(Program& program, const ProgramFolder& folder, Say say);
    ControlService(const ControlService&) = delete;
    ControlService& operator=(const ControlService&) = delete;

    // Starts, moves or stops the interface as the settings say; nothing
    // when they are those in force and it runs as they say. A failure
    // leaves it off and is what status() says afterwards.
    Result<> apply(const ControlSettings& settings);
    // What the interface is doing, in Italian, for the window's dialog.
    std::string status() const;
    // One second (its bytes) for the event clients.
    void publish(std::string_view bytes);
    // No change from a client after the table's last save.
    void stop() { server_->stop(); }

    bool listening() const { return server_->listening(); }
    const ControlSettings& settings() const { return settings_; }
    const ControlServer& server() const { return *server_; }
    ProgramControl& target() { return *target_; }

private:
    Result<> start(const ControlSettings& settings);

    Program& program_;
    const ProgramFolder& folder_;
    Say say_;
    std::unique_ptr<ProgramControl> target_;
    std::unique_ptr<ControlServer> server_;
    ControlSettings settings_;
    // The key of vadrel.token is said once a run.
    bool token_told_ = false;
    // Why the interface is not listening as its settings say; "" when it is.
    std::string problem_;
};

}  // namespace vadrel
