#pragma once
// The window-level services of the panel on a real desktop.

#include <QPointer>
#include <QWidget>
#include <memory>

#include "model/platform.h"

namespace vadrel::gui {

class HelpViewer;

class WindowShell : public Shell {
public:
    WindowShell();
    ~WindowShell() override;
    WindowShell(const WindowShell&) = delete;
    WindowShell& operator=(const WindowShell&) = delete;

    // A modal box with the text, an OK button and no icon.
    void message_box(const std::string& text, const std::string& caption) override;
    void run_pending_events() override;
    // Tells why on standard error and ends the process at once.
    [[noreturn]] void end_program_now(const std::string& reason) override;
    // formAbout, modal, centred on the main window; built anew each time.
    void show_about() override;
    void show_help(const std::string& file) override;

    // The window the about box and the message boxes centre on while it is
    // shown; they go without one before it shows and after it is gone.
    void set_main_window(QWidget* window) { main_window_ = window; }

    // The help window once F1 has opened it, else nullptr.
    HelpViewer* help_viewer() const { return help_.get(); }

private:
    QWidget* owner() const { return main_window_ != nullptr && main_window_->isVisible() ? main_window_.data() : nullptr; }

    std::unique_ptr<HelpViewer> help_;
    QPointer<QWidget> main_window_;
};

}  // namespace vadrel::gui
