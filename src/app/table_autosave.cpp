#include "table_autosave.h"

namespace vadrel {

void TableAutosave::start() {
    if (stopped_ || thread_.joinable()) return;
    std::string text = table_.text();
    if (file_.is_saved(text)) return;
    lent_.emplace(reserve_.lend());
    thread_ = std::jthread([this, text = std::move(text), positions = table_.positions_text()] {
        TableFile::Outcome outcome = file_.save_lent(text, positions);
        QMetaObject::invokeMethod(
            &context_, [this, outcome = std::move(outcome)] { finish(outcome); }, Qt::QueuedConnection);
    });
}

void TableAutosave::finish(const TableFile::Outcome& outcome) {
    if (stopped_) return;  // the last save, at the stop, says its own
    report_autosave(file_, outcome, tell_);
    if (thread_.joinable()) thread_.join();
    lent_.reset();
}

bool TableAutosave::stop() {
    stopped_ = true;
    if (thread_.joinable()) thread_.join();
    lent_.reset();
    return save_table(table_, file_, tell_);
}

}  // namespace vadrel
