// vadrel.cnf on disk. Every file operation goes through the program's folder;
// the current directory is never used here.

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "os/system_error.h"
#include "table_file.h"

namespace vadrel {

namespace {

// A good file is under 2 KB; a file of more than this is read only this far,
// so a huge or endless file cannot hold up the start-up (and counts as
// damaged unless its end marker comes first).
constexpr std::size_t largest_table = 1 << 20;
// vadrel.pos is under 2 KB.
constexpr std::size_t largest_positions_file = 64 << 10;

// The next number after every name of that base in the folder, whatever
// stands under it: a number once used is never used again.
unsigned next_number(const ProgramFolder& folder, std::string_view base) {
    unsigned highest = 0;
    for (const std::string& name : folder.names()) highest = std::max(highest, name_number(name, base).value_or(0));
    return highest + 1;
}

std::string numbered(std::string_view base, unsigned number) {
    return std::string(base) + "." + std::to_string(number);
}

// Why vadrel.cnf cannot be replaced without harm, or nothing.
QString left_as_it_is(const FolderEntry& file) {
    if (file.kind == FolderEntry::Kind::folder && file.ours) return QStringLiteral("al suo posto c'è una cartella");
    return not_usable(file);
}

// Errors of the program's own resources, not of the file it touched.
bool program_short_of(int error) { return error == EMFILE || error == ENFILE || error == ENOMEM || error == ENOBUFS; }

QString read_only_message(const QString& shown) {
    return QStringLiteral("Il file di configurazione %1 è di sola lettura: è lasciato com'è e le modifiche alla "
                          "tabella dei veicoli non saranno salvate.")
        .arg(shown);
}

}  // namespace

TableRead TableFile::read(VehicleRecords& records) {
    const FolderEntry entry = folder_.look(table_file_name);
    const QString shown = folder_.shown(table_file_name);
    if (made_read_only(entry)) {
        notice_ = read_only_message(shown);
        read_only_told_ = true;
    }
    int error = 0;
    const auto data = folder_.read(table_file_name, largest_table, &error);
    if (!data) {
        // A file there that cannot be read now (no descriptor left, a disk
        // error) may hold a good table: it is never replaced by this run's.
        if (entry.kind == FolderEntry::Kind::file && error != 0 && error != ENOENT) {
            unread_ = entry.identity;
            unread_why_ = QString::fromStdString(italian_reason(error));
            notice_ = QStringLiteral("Il file di configurazione %1 non si può leggere (%2): la tabella dei veicoli "
                                     "parte da capo e il file sarà lasciato com'è.")
                          .arg(shown, unread_why_);
        }
        return {};
    }
    const TableRead read = read_table(*data, records);
    if (read.result == 1) saved_ = *data;
    return read;
}

SavedPositions TableFile::read_positions() const {
    const auto data = folder_.read(positions_file_name, largest_positions_file);
    return data ? read_positions_text(*data) : SavedPositions{};
}

// Copies a vadrel.cnf that does not read back; empty when a verified copy
// exists (`note` then tells where), else why the file must stay as it is.
// One try per damaged file and run. A file that cannot be read is tried
// again at the next save, `unread` getting the system's error.
QString TableFile::keep_copy(const FolderEntry& file, QString& note, int& unread) {
    if (copied_ == file.identity) return copy_failure_;
    const auto data = folder_.read(table_file_name, largest_table, &unread);
    if (!data) {
        const QString why = QStringLiteral("non si può leggere");
        return unread == 0 ? why : why + QStringLiteral(" (%1)").arg(QString::fromStdString(italian_reason(unread)));
    }
    copied_ = file.identity;
    copy_failure_.clear();
    VehicleRecords scratch{};
    if (data->empty() || read_table_text(*data, scratch) == 1) return {};

    unsigned number = next_number(folder_, table_copy_name);
    FileError error;
    std::string copy;
    for (int attempt = 0; attempt < 3; ++attempt, ++number) {
        copy = numbered(table_copy_name, number);
        error = folder_.copy(table_file_name, copy);
        if (!error || error.code != EEXIST) break;
    }
    if (error) {
        copy_failure_ = QStringLiteral("non era leggibile per intero e non è stato possibile conservarne una copia "
                                       "in %1 (%2)")
                            .arg(folder_.shown(copy), error.text());
        return copy_failure_;
    }
    note = QStringLiteral("Il file di configurazione %1 non era leggibile per intero.\n"
                          "Una copia è stata conservata in %2.")
               .arg(folder_.shown(table_file_name), folder_.shown(copy));
    // The newest few copies stay; only vadrel's own files are taken away.
    std::vector<unsigned> copies;
    for (const std::string& name : folder_.names()) {
        const auto n = name_number(name, table_copy_name);
        const FolderEntry entry = n ? folder_.look(name) : FolderEntry{};
        if (n && entry.kind == FolderEntry::Kind::file && entry.ours) copies.push_back(*n);
    }
    std::sort(copies.begin(), copies.end());
    for (std::size_t i = 0; i + kept_copies < copies.size(); ++i) {
        folder_.remove(numbered(table_copy_name, copies[i]));
    }
    return {};
}

// The name the table takes beside a vadrel.cnf that must stay as it is:
// one per run, never one an earlier run left.
std::string TableFile::beside_name() {
    const FolderEntry entry = beside_.empty() ? FolderEntry{} : folder_.look(beside_);
    const bool usable = entry.kind == FolderEntry::Kind::file && entry.ours;
    if (beside_.empty() || !usable) {
        beside_ = numbered(separate_table_name, next_number(folder_, separate_table_name));
    }
    return beside_;
}

TableFile::Outcome TableFile::save(const std::string& text, const std::string& positions) {
    std::optional<DescriptorReserve::Lent> lent;
    if (reserve_ != nullptr) lent.emplace(reserve_->lend());
    return save_lent(text, positions);
}

TableFile::Outcome TableFile::save_lent(const std::string& text, const std::string& positions) {
    const FolderEntry file = folder_.look(table_file_name);
    const QString shown = folder_.shown(table_file_name);
    if (made_read_only(file)) {
        const bool told = std::exchange(read_only_told_, true);
        return {Where::kept, told ? QString() : read_only_message(shown), {}};
    }
    QString note;
    QString left = left_as_it_is(file);
    if (left.isEmpty() && unread_ && file.kind == FolderEntry::Kind::file && file.identity == *unread_) {
        left = QStringLiteral("all'avvio non si poteva leggere (%1)").arg(unread_why_);
    }
    int unread = 0;
    if (left.isEmpty() && file.kind == FolderEntry::Kind::file) left = keep_copy(file, note, unread);
    const auto with_note = [&](const QString& message) { return note.isEmpty() ? message : note + "\n" + message; };
    if (program_short_of(unread)) {
        // Nothing wrong with the file: the program lacks what reading it takes.
        return {Where::nowhere, QStringLiteral("Impossibile salvare la tabella dei veicoli nel file %1: %2.\n"
                                               "Il file precedente è rimasto invariato.")
                                    .arg(shown, QString::fromStdString(italian_reason(unread))),
                {}};
    }

    if (left.isEmpty()) {
        const FileError error = folder_.replace(table_file_name, text);
        if (!error) {
            saved_ = text;
            QString positions_problem;
            if (const FileError failed = folder_.replace(positions_file_name, positions)) {
                positions_problem = QStringLiteral("Le posizioni esatte dei veicoli non sono state salvate in %1: "
                                                   "%2.\nAlla prossima partenza i veicoli riprenderanno dai "
                                                   "minuti interi di %3.")
                                        .arg(folder_.shown(positions_file_name), failed.text(), shown);
            }
            return {Where::file, note, positions_problem};
        }
        return {Where::nowhere,
                with_note(QStringLiteral("Impossibile salvare la tabella dei veicoli nel file %1: %2.\n%3")
                              .arg(shown, error.text(),
                                   file.kind == FolderEntry::Kind::missing
                                       ? QStringLiteral("Il file non è stato creato.")
                                       : QStringLiteral("Il file precedente è rimasto invariato."))),
                {}};
    }

    const std::string beside = beside_name();
    const FileError error = folder_.replace(beside, text);
    if (!error) {
        saved_ = text;
        return {Where::beside, QStringLiteral("Il file di configurazione %1 è stato lasciato com'è: %2.\n"
                                              "La tabella dei veicoli è stata salvata in %3.")
                                   .arg(shown, left, folder_.shown(beside)),
                {}};
    }
    return {Where::nowhere, QStringLiteral("Impossibile salvare la tabella dei veicoli: il file di configurazione %1 "
                                           "è stato lasciato com'è (%2) e il salvataggio in %3 non è riuscito: %4.")
                                .arg(shown, left, folder_.shown(beside), error.text()),
            {}};
}

bool TableFile::first_report(const QString& message) {
    if (message == reported_) return false;
    reported_ = message;
    return true;
}

bool TableFile::first_positions_report(const QString& message) {
    if (message == positions_reported_) return false;
    positions_reported_ = message;
    return !message.isEmpty();
}

std::int16_t load_table(VehicleTable& table, TableFile& file, const Tell& tell) {
    VehicleRecords records{};
    const TableRead read = file.read(records);
    if (!file.notice().isEmpty()) tell(file.notice());
    table.load(records, read.result == 1, read.reached);
    if (read.result == 1) table.take_positions(file.read_positions());
    return read.result;
}

namespace {

// Told before it is shown: a save that runs while the message is open finds
// it already told.
void report_positions(TableFile& file, const TableFile::Outcome& outcome, const Tell& tell) {
    if (outcome.where == TableFile::Where::file && file.first_positions_report(outcome.positions_problem)) {
        tell(outcome.positions_problem);
    }
}

}  // namespace

bool save_table(const VehicleTable& table, TableFile& file, const Tell& tell) {
    const TableFile::Outcome outcome = file.save(table.text(), table.positions_text());
    if (!outcome.message.isEmpty()) tell(outcome.message);
    report_positions(file, outcome, tell);
    return outcome.where == TableFile::Where::file || outcome.where == TableFile::Where::kept;
}

void save_table_if_changed(const VehicleTable& table, TableFile& file, const Tell& tell) {
    const std::string text = table.text();
    if (file.is_saved(text)) return;
    report_autosave(file, file.save(text, table.positions_text()), tell);
}

void report_autosave(TableFile& file, const TableFile::Outcome& outcome, const Tell& tell) {
    if (outcome.where == TableFile::Where::file) file.clear_report();
    if (!outcome.message.isEmpty() &&
        (outcome.where == TableFile::Where::file || outcome.where == TableFile::Where::kept ||
         file.first_report(outcome.message))) {
        tell(outcome.message);
    }
    report_positions(file, outcome, tell);
}

}  // namespace vadrel
