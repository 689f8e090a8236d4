#include "window_shell.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "gui/about_window.h"
#include "gui/help_viewer.h"
#include "gui/placement.h"
#include "gui/qt_text.h"
#include "panel/panel_form.h"

namespace vadrel::gui {

WindowShell::WindowShell() = default;
WindowShell::~WindowShell() = default;

void WindowShell::message_box(const std::string& text, const std::string& caption) {
    QMessageBox box(owner());
    box.setObjectName(QStringLiteral("message_box"));
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromStdString(caption.empty() ? program_title : caption));
    // Plain text, made printable: a route's name or a file's path in it is
    // neither markup nor a control character.
    box.setTextFormat(Qt::PlainText);
    box.setText(qt_text(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void WindowShell::run_pending_events() { QCoreApplication::processEvents(); }

void WindowShell::end_program_now(const std::string& reason) {
    std::fprintf(stderr, "%s: %s\n", program_title, printable(reason, LineFeeds::kept).c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

void WindowShell::show_about() {
    formAbout about(owner());
    about.exec();
}

void WindowShell::show_help(const std::string& file) {
    if (!help_) help_ = std::make_unique<HelpViewer>();
    help_->open(QString::fromStdString(file));
    // Opened from a modal window, the help must be modal too or it could not
    // be used until that window closes; opened again from itself it stays as is.
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal != help_.get()) {
        const Qt::WindowModality wanted = modal != nullptr ? Qt::ApplicationModal : Qt::NonModal;
        if (help_->windowModality() != wanted) {
            help_->hide();
            help_->setWindowModality(wanted);
        }
    }
    // Beside the panel the first time, never over the form it explains.
    if (const QWidget* panel = owner()) place_beside(*help_, *panel);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

}  // namespace vadrel::gui
