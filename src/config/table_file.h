#pragma once
// vadrel.cnf on disk, in the program's folder: read once at start-up, saved
// within a few seconds of any change of the table and once more at
// shut-down, always through a temporary renamed over the file; the exact
// positions (vadrel.pos) are read and saved with it.

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "config/vehicle_record.h"
#include "config/vehicle_table.h"
#include "config/program_folder.h"
#include "os/descriptor_reserve.h"

namespace vadrel {

// vadrel.cnf in the program's folder, and what this run last saved.
class TableFile {
public:
    // With a reserve, its descriptors are handed back for each save and
    // taken again after it: the save finds them free whatever else the
    // program holds open.
    explicit TableFile(ProgramFolder& folder, DescriptorReserve* reserve = nullptr)
        : folder_(folder), reserve_(reserve) {}

    ProgramFolder& folder() const { return folder_; }
    // vadrel.cnf's full path, as bytes.
    std::string path() const { return folder_.file_path(table_file_name); }

    // Reads vadrel.cnf into `records`: result 1 when read up to its end
    // marker; 0 when missing, unreadable or damaged. Records it did not
    // reach are left as they were.
    TableRead read(VehicleRecords& records);
    // What the operator must know of the file read: it was made read-only,
    // or it is there and could not be read. Empty otherwise.
    const QString& notice() const { return notice_; }
    // The exact positions kept beside vadrel.cnf; none when there are none.
    SavedPositions read_positions() const;

    // kept: vadrel.cnf was made read-only by its owner and stays as it is,
    // as asked: nothing is saved.
    enum class Where { file, beside, kept, nowhere };
    struct Outcome {
        Where where = Where::nowhere;
        QString message;  // for the operator; empty after a plain save
        // Why the exact positions were not saved beside a saved vadrel.cnf.
        QString positions_problem;
    };
    // Saves `text` in vadrel.cnf, atomically, then `positions` beside it. A
    // vadrel.cnf that does not read back is copied first; one that is a
    // link, another user's, a folder, damaged beyond a verified copy, or
    // one that was there but could not be read at start-up is left as it is
    // and the table goes beside it. One made read-only by its owner is left
    // as it is, and so is the table: that is said once.
    Outcome save(const std::string& text, const std::string& positions);
    // As save(), with a descriptor of the reserve already lent by the
    // caller: the one TableFile call another thread may make, while this
    // thread leaves the TableFile alone.
    Outcome save_lent(const std::string& text, const std::string& positions);

    // Whether `text` is what this run last saved (in vadrel.cnf or beside it).
    bool is_saved(const std::string& text) const { return saved_ == text; }
    // The autosave tells each failure once, until a save works again.
    bool first_report(const QString& message);
    void clear_report() { reported_.clear(); }
    // The same for the exact positions, at exit too.
    bool first_positions_report(const QString& message);

private:
    QString keep_copy(const FolderEntry& file, QString& note, int& unread);
    std::string beside_name();

    ProgramFolder& folder_;
    DescriptorReserve* reserve_;
    std::optional<std::string> saved_;
    // The damaged file this run has tried to copy, and why it must be left
    // as it is if the copy failed.
    std::optional<FolderEntry::Identity> copied_;
    QString copy_failure_;
    std::string beside_;
    QString reported_;
    QString positions_reported_;
    QString notice_;
    // That the file was made read-only has been said.
    bool read_only_told_ = false;
    // The vadrel.cnf that was there at start-up and could not be read, and why.
    std::optional<FolderEntry::Identity> unread_;
    QString unread_why_;
};

// What the operator must be told, as a message box or a line on standard error.
using Tell = std::function<void(const QString& message)>;

// Start-up: vadrel.cnf into the fleet and, when it was read whole, each
// vehicle's exact position kept beside it where it agrees with its record.
// A vehicle whose record the file does not reach stays as it is (a file of
// the end marker alone leaves vehicle 0 where the panel put it). Tells only
// of a file made read-only (its changes will not be saved) or one that is
// there and cannot be read. Returns TableFile::read's result.
std::int16_t load_table(VehicleTable& table, TableFile& file, const Tell& tell);

// Shut-down: saves the table and the exact positions, telling of any
// failure, and of a damaged file kept as a copy. True when vadrel.cnf holds
// the table, or was made read-only and so stays as it is.
bool save_table(const VehicleTable& table, TableFile& file, const Tell& tell);

// Every few seconds: saves the table when it differs from what was last
// saved, or when the last save failed; tells each failure once.
void save_table_if_changed(const VehicleTable& table, TableFile& file, const Tell& tell);
// Its second half, for an autosave written on another thread: tells what
// save_table_if_changed tells of `outcome`.
void report_autosave(TableFile& file, const TableFile::Outcome& outcome, const Tell& tell);

}  // namespace vadrel
