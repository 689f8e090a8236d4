#pragma once
// vadrel.cnf on disk, in the program's folder: read once at start-up, saved
// within a few seconds of any change of the table and once more at
// shut-down, always through a temporary renamed over the file.

#include <QString>
#include <optional>
#include <string>

#include "config/configurazione.h"
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
    std::string path() const { return folder_.file_path(nome_file_configurazione); }

    // Reads vadrel.cnf into `mezzi`: 1 when read up to its end marker; 0
    // when missing, unreadable or damaged.
    std::int16_t read(std::array<veicolo, numero_mezzi>& mezzi);

    enum class Where { file, beside, nowhere };
    struct Outcome {
        Where where = Where::nowhere;
        QString message;  // for the operator; empty after a plain save
    };
    // Saves `text` in vadrel.cnf, atomically. A vadrel.cnf that does not
    // read back is copied first; one that is a link, another user's, a
    // folder, or damaged beyond a verified copy is left as it is and the
    // table goes beside it.
    Outcome save(const std::string& text);

    // Whether `text` is what this run last saved (in vadrel.cnf or beside it).
    bool is_saved(const std::string& text) const { return saved_ == text; }
    // The autosave tells each failure once, until a save works again.
    bool first_report(const QString& message);
    void clear_report() { reported_.clear(); }

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
};

// Start-up: vadrel.cnf into form.mezzi. Never shows a message.
std::int16_t leggi_configurazione(Form1& form, TableFile& file);

// Shut-down: saves form.mezzi, telling the operator of any failure, and of
// a damaged file kept as a copy. True when vadrel.cnf holds the table.
bool scrivi_configurazione(Form1& form, TableFile& file);

// Every few seconds: saves form.mezzi when it differs from what was last
// saved, or when the last save failed; tells each failure once.
void salva_se_cambiata(Form1& form, TableFile& file);

}  // namespace vadrel
