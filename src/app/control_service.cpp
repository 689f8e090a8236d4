#include "control_service.h"

#include "app/program.h"
#include "app/scenario_run.h"
#include "control/access.h"
#include "control/control_token.h"
#include "outputs/network_address.h"

namespace vadrel {

ControlService::ControlService(Program& program, const ProgramFolder& folder, Say say)
    : program_(program),
      folder_(folder),
      say_(std::move(say)),
      target_(std::make_unique<ProgramControl>(program)),
      server_(std::make_unique<ControlServer>(*target_)) {
    server_->on_event = [this](const std::string& text) { say_("vadrel: " + text); };
}

Result<> ControlService::apply(const ControlSettings& settings) {
    if (settings == settings_ && (server_->listening() || !settings.on)) return {};
    settings_ = settings;
    Result<> started = start(settings);
    problem_ = started ? std::string() : started.message();
    return started;
}

Result<> ControlService::start(const ControlSettings& settings) {
    if (!settings.on) {
        if (server_->listening()) {
            server_->stop();
            say_("vadrel: interfaccia di controllo spenta");
        }
        return {};
    }
    const std::string off = "interfaccia di controllo spenta";
    if (std::string why = listen_host_problem(settings.address); !why.empty()) {
        server_->stop();
        return Failure(off, std::move(why));
    }
    std::string token;
    if (!is_loopback_host(settings.address)) {
        auto read = control_token(folder_);
        if (auto* why = std::get_if<std::string>(&read)) {
            server_->stop();
            return Failure(off, std::move(*why));
        }
        const ControlToken& key = std::get<ControlToken>(read);
        if (key.made || !token_told_) say_("vadrel: " + token_notice(key, folder_));
        token_told_ = true;
        token = key.value;
    }
    const auto port = static_cast<std::uint16_t>(settings.port);
    if (auto why = server_->start(ControlAddress{settings.address, port}, token)) return Failure(std::move(*why));
    return {};
}

std::string ControlService::status() const {
    if (!server_->listening()) return problem_.empty() ? "Spenta." : problem_ + ".";
    std::string status = "In ascolto su http://" + server_->address() + "/api/v1: " +
                         std::to_string(server_->connection_count()) + " connessioni, " +
                         std::to_string(server_->event_client_count()) + " client degli eventi.";
    if (server_->needs_token())
        status += " Ogni richiesta vuole la chiave di " + folder_.path() + "/vadrel.token.";
    return status;
}

void ControlService::publish(std::string_view bytes) {
    // Taken every second, so that none waits for a client to come.
    std::vector<ScenarioMark> marks = program_.scenario().take_marks();
    if (server_->event_client_count() == 0) return;
    // Inside the tick the clock reads the second's own instant.
    server_->publish(bytes, target_->vehicles_in_use(), program_.simulated_clock().utc_text(), marks);
}

}  // namespace vadrel
