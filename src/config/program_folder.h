#pragma once
// The program's folder: where vadrel keeps vadrel.cnf, the exact positions
// beside it, the copies of a damaged one, its temporaries and its lock. The folder is opened once and
// every file in it is reached through that descriptor with links never
// followed, so a name planted in a folder others can write (/tmp) cannot
// send a read or a write anywhere else. A link under one of vadrel's names,
// or a file there that belongs to another user, makes the folder refused
// at start-up; a second vadrel in the same folder is refused too.
//
// The path is kept as the bytes it was given, so a folder name that is not
// UTF-8 still names the same folder.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "os/path_target.h"
#include "os/descriptor.h"

class QLockFile;

namespace vadrel {

// The key the control interface asks for when it listens beyond this computer.
inline constexpr const char* control_token_name = "vadrel.token";
// Each vehicle's kept route: vadrel.percorso.N (its state) and
// vadrel.percorso.N.F.gpx, F the first kept_route_mark_digits hex digits of
// the GPX's SHA-256, which the state holds (vadrel.percorso.N.gpx from an
// earlier version).
inline constexpr const char* kept_route_base = "vadrel.percorso";
inline constexpr std::size_t kept_route_mark_digits = 16;

// The folder cannot be used. The text says why, in Italian, and how to
// choose another one.
class FolderRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What stands under a name of the folder; a link is looked at, not followed.
struct FolderEntry {
    enum class Kind { missing, file, folder, link, other } kind = Kind::missing;
    bool ours = true;   // belongs to the running user
    std::string owner;  // the owner's user name, or its number
    std::string target; // where a link points
    unsigned mode = 0;  // permission bits
    // Tells one file from another, and a file from itself once changed.
    struct Identity {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modified_ns = 0;
        bool operator==(const Identity&) const = default;
    } identity;
};

// A failed file operation: what was being done and the system's error.
struct FileError {
    const char* step = nullptr;  // Italian, e.g. "scrittura non riuscita"
    int code = 0;                // errno, or 0 when the step says it all
    explicit operator bool() const { return step != nullptr; }
    // "scrittura non riuscita: il disco è pieno"
    QString text() const;
};

// Why vadrel must not read, copy or replace what stands under a name: "è un
// collegamento simbolico a ..." or "appartiene all'utente ..."; empty when
// it may.
QString not_usable(const FolderEntry& entry);

// A regular file of the user's that its owner may not write (mode 0444): the
// user's own "do not change it", which vadrel keeps even where it could
// replace the file (as root, or through a rename in a folder it may write).
bool made_read_only(const FolderEntry& entry);

// 3 for "vadrel.cnf.bak.3" and the base "vadrel.cnf.bak"; nothing for any
// other name.
std::optional<unsigned> name_number(std::string_view name, std::string_view base);

class ProgramFolder {
public:
    // Opens the folder at `path`, checks vadrel's names there, takes the
    // folder's lock and removes temporaries a killed save left behind.
    // Throws FolderRefused when the folder is missing or cannot be opened,
    // when one of vadrel's names there is a link or belongs to another user,
    // or when another vadrel holds the folder. A folder where the lock file
    // cannot be made (read-only) is used without the lock: nothing can be
    // saved there, and the save says so.
    explicit ProgramFolder(std::string path);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::string& path() const { return path_; }
    // The path of a name in the folder, as bytes and as the operator reads it.
    std::string file_path(std::string_view name) const;
    QString shown(std::string_view name) const;
    // A path for Qt's file classes that reaches the name in this folder
    // even when the folder's name is not UTF-8.
    QString qt_path(std::string_view name) const;
    bool locked() const;

    FolderEntry look(const std::string& name) const;
    std::vector<std::string> names() const;
    // The first `limit` bytes of a regular file of ours; nothing when the
    // name holds anything else or cannot be read. `error`, when given, gets
    // the system's error of a read that failed (ENOENT when nothing is
    // there), 0 when the name holds something other than a file of ours.
    std::optional<std::string> read(const std::string& name, std::size_t limit, int* error = nullptr) const;
    // Replaces `name` with `bytes` through a temporary written, synced and
    // renamed over it: the old file stays whole until the new one is on
    // disk. The new file keeps the mode of the regular file it replaces; a
    // file made read-only (made_read_only) is not replaced.
    FileError replace(const std::string& name, std::string_view bytes) const;
    // Writes one piece of a file; false once a write failed (what follows is dropped).
    using PieceWriter = std::function<bool(std::string_view)>;
    // As replace(), with the bytes `write` hands its writer piece by piece:
    // a large file is never whole in memory.
    FileError replace_with(const std::string& name, const std::function<void(const PieceWriter&)>& write) const;
    // As replace_with(), the name asked of `name_when_written` once every
    // byte is written (a name made from the bytes).
    FileError replace_with(const std::function<void(const PieceWriter&)>& write,
                           const std::function<std::string()>& name_when_written) const;
    // A regular file of ours opened for reading, from its start; an invalid
    // descriptor otherwise, `error` as read() gives it.
    Descriptor open_own(const std::string& name, int* error = nullptr) const;
    // A copy of the regular file `name` under the new name `copy`, with the
    // same bytes whatever their number and the same mode, read back and
    // compared before it takes its name; a name already there is never
    // replaced (the error is EEXIST).
    FileError copy(const std::string& name, const std::string& copy) const;
    // A new file `name` with `bytes` that only the user may read and write
    // (mode 0600 from its making, before any byte is in it), written and
    // synced before it takes its name; a name already there is never
    // replaced (the error is EEXIST).
    FileError create_private(const std::string& name, std::string_view bytes) const;
    bool remove(const std::string& name) const;

    // vadrel.cnf's temporaries: "vadrel.cnf.tmp-" and six letters or digits.
    static bool is_temporary(std::string_view name);
    // The path of the program's own file that `target` is (the same file
    // under any name, or one of vadrel's names here, there or not); empty
    // when it is none of them.
    std::string own_file(const PathTarget& target) const;

private:
    void check_names() const;
    void take_lock();
    void remove_leftovers() const;
    // The constructor's own clean-up when it refuses the folder.
    void close_folder();

    std::string path_;
    Descriptor fd_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace vadrel
