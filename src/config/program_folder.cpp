// The program's folder. On Linux every file is reached through the folder's
// descriptor (openat, fstatat, renameat with links never followed); other
// systems use Qt's file classes on the folder's path.

#include "program_folder.h"

#include "os/descriptor.h"
#include "os/system_error.h"

#include <QDateTime>
#include <QFile>
#include <QLockFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "vehicle_record.h"

#include <dirent.h>
#include <climits>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vadrel {

namespace {

constexpr const char* lock_name = "vadrel.lock";
// Left by QLockFile while it removes a stale lock.
constexpr const char* lock_removal_name = "vadrel.lock.rmlock";
// The settings file beside vadrel.cnf, and the lock QSettings takes for it.
constexpr const char* settings_name = "vadrel.ini";
constexpr const char* settings_lock_name = "vadrel.ini.lock";
constexpr std::string_view temporary_prefix = "vadrel.cnf.tmp-";

// A lock file with no readable owner is a vadrel that died between making
// it and writing it, once it is older than this.
constexpr qint64 unfinished_lock_ms = 5000;

bool is_alnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// vadrel.percorso.N, vadrel.percorso.N.gpx (an earlier version's) or
// vadrel.percorso.N.F.gpx, F kept_route_mark_digits hex digits (the start of the GPX's SHA-256);
// N a number as written.
bool is_kept_route_name(std::string_view name) {
    constexpr std::string_view gpx = ".gpx";
    if (name.ends_with(gpx)) {
        name.remove_suffix(gpx.size());
        const std::size_t dot = name.rfind('.');
        const std::string_view mark = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
        if (mark.size() == kept_route_mark_digits && std::all_of(mark.begin(), mark.end(), is_hex_digit)) {
            name.remove_suffix(mark.size() + 1);
        }
    }
    const std::string_view base = kept_route_base;
    if (name.size() <= base.size() + 1 || !name.starts_with(base) || name[base.size()] != '.') return false;
    const std::string_view digits = name.substr(base.size() + 1);
    return digits.size() <= 2 && (digits.size() == 1 || digits[0] != '0') &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Every name vadrel reads, writes or removes in its folder.
bool is_vadrel_name(std::string_view name) {
    for (const char* fixed : {table_file_name, positions_file_name, lock_name, lock_removal_name,
                              settings_name, settings_lock_name, table_copy_name, control_token_name}) {
        if (name == fixed) return true;
    }
    return name_number(name, table_copy_name) || name_number(name, separate_table_name) ||
           is_kept_route_name(name) || ProgramFolder::is_temporary(name);
}

QString shown_path(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString reason_of(int code) { return code != 0 ? QString::fromStdString(italian_reason(code)) : QString(); }

// Every temporary, whatever name it will take, is one the next start
// recognises as a left-over.
std::string temporary_name() {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name(temporary_prefix);
    for (int i = 0; i < 6; ++i) name += letters[QRandomGenerator::global()->bounded(62)];
    return name;
}

}  // namespace

QString not_usable(const FolderEntry& entry) {
    const QString owner = QString::fromStdString(entry.owner);
    if (entry.kind == FolderEntry::Kind::link) {
        const QString link = QStringLiteral("è un collegamento simbolico a %1").arg(shown_path(entry.target));
        return entry.ours ? link : link + QStringLiteral(" dell'utente %1").arg(owner);
    }
    if (!entry.ours) return QStringLiteral("appartiene all'utente %1").arg(owner);
    return {};
}

bool made_read_only(const FolderEntry& entry) {
    return entry.kind == FolderEntry::Kind::file && entry.ours && (entry.mode & 0200) == 0;
}

QString FileError::text() const {
    const QString why = reason_of(code);
    return why.isEmpty() ? QString::fromUtf8(step) : QString::fromUtf8(step) + QStringLiteral(": ") + why;
}

std::optional<unsigned> name_number(std::string_view name, std::string_view base) {
    if (name.size() <= base.size() + 1 || name.substr(0, base.size()) != base || name[base.size()] != '.') {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(base.size() + 1);
    if (digits.size() > 9 || digits[0] == '0') return std::nullopt;
    unsigned number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

bool ProgramFolder::is_own_name(std::string_view name) { return is_vadrel_name(name); }

bool ProgramFolder::is_temporary(std::string_view name) {
    return name.size() == temporary_prefix.size() + 6 && name.substr(0, temporary_prefix.size()) == temporary_prefix &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(temporary_prefix.size()), name.end(), is_alnum);
}

std::string ProgramFolder::file_path(std::string_view name) const {
    std::string path = path_;
    if (path.empty() || path.back() != '/') path += '/';
    return path.append(name);
}

QString ProgramFolder::shown(std::string_view name) const {
    return shown_path(name.empty() ? path_ : file_path(name));
}

bool ProgramFolder::locked() const { return lock_ && lock_->isLocked(); }

ProgramFolder::~ProgramFolder() {
    lock_.reset();
    close_folder();
}

void ProgramFolder::close_folder() {
    fd_.reset();
}

ProgramFolder::ProgramFolder(std::string path) : path_(std::move(path)) {
    const QString folder = shown({});
    const QString way_out = QStringLiteral("Indicare la cartella del programma con --cartella.");
    fd_.reset(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int error = errno;
    if (!fd_) {
        QString why;
        if (error == ENOENT) {
            why = QStringLiteral("La cartella %1 non esiste").arg(folder);
        } else if (error == ENOTDIR) {
            why = QStringLiteral("%1 non è una cartella").arg(folder);
        } else {
            why = QStringLiteral("La cartella %1 non si può aprire: %2").arg(folder, reason_of(error));
        }
        throw FolderRefused((why + QStringLiteral(".\n") + way_out).toStdString());
    }
    try {
        check_names();
        take_lock();
    } catch (...) {
        close_folder();
        throw;
    }
    remove_leftovers();
}

// A link under one of vadrel's names, whoever made it, or a file there of
// another user: reading, copying or replacing it could reach a file the
// operator never meant, so the folder is not used at all.
void ProgramFolder::check_names() const {
    QStringList found;
    std::vector<std::string> all = names();
    std::sort(all.begin(), all.end());
    for (const std::string& name : all) {
        if (!is_vadrel_name(name)) continue;
        const QString why = not_usable(look(name));
        if (!why.isEmpty()) found << shown(name) + QLatin1Char(' ') + why;
    }
    if (found.isEmpty()) return;
    throw FolderRefused(QStringLiteral("La cartella %1 non viene usata: %2.\n"
                                       "vadrel non segue collegamenti e non legge, copia o sostituisce file di "
                                       "altri utenti nella sua cartella. Indicare un'altra cartella con --cartella.")
                            .arg(shown({}), found.join(QStringLiteral("; ")))
                            .toStdString());
}

void ProgramFolder::take_lock() {
    lock_ = std::make_unique<QLockFile>(qt_path(lock_name));
    // The lock is held for the whole run: only a holder that is gone makes
    // it stale, never its age.
    lock_->setStaleLockTime(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (lock_->tryLock(0)) return;
        if (lock_->error() != QLockFile::LockFailedError) {
            lock_.reset();  // a folder where nothing can be made: used without the lock
            return;
        }
        qint64 pid = 0;
        QString host, app;
        if (lock_->getLockInfo(&pid, &host, &app)) {
            const QString holder = app.isEmpty() ? QStringLiteral("processo %1 su %2").arg(pid).arg(host)
                                                 : QStringLiteral("%1, processo %2 su %3").arg(app).arg(pid).arg(host);
            throw FolderRefused(QStringLiteral("La cartella %1 è già usata da un altro vadrel (%2).\n"
                                               "Per avviarne un secondo, indicargli un'altra cartella con --cartella.")
                                    .arg(shown({}), holder)
                                    .toStdString());
        }
        const FolderEntry entry = look(lock_name);
        const qint64 age_ms = entry.identity.modified_ns == 0
                                  ? 0
                                  : QDateTime::currentMSecsSinceEpoch() - entry.identity.modified_ns / 1000000;
        if (entry.kind == FolderEntry::Kind::file && age_ms > unfinished_lock_ms) lock_->removeStaleLockFile();
    }
    throw FolderRefused(QStringLiteral("La cartella %1 è già usata da un altro vadrel, che sta partendo.\n"
                                       "Per avviarne un secondo, indicargli un'altra cartella con --cartella.")
                            .arg(shown({}))
                            .toStdString());
}

// A save killed halfway leaves its temporary; only the lock's holder may
// take it away, and only one of its own.
void ProgramFolder::remove_leftovers() const {
    if (!locked()) return;
    for (const std::string& name : names()) {
        if (!is_temporary(name)) continue;
        const FolderEntry entry = look(name);
        if (entry.kind == FolderEntry::Kind::file && entry.ours) remove(name);
    }
}


namespace {

std::string user_name(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->pw_name;
    return std::to_string(uid);
}

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Fills `buffer` as far as the file goes; the count read, or -1.
ssize_t read_full(int fd, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

FolderEntry entry_of(const struct stat& st) {
    FolderEntry entry;
    entry.kind = S_ISLNK(st.st_mode)   ? FolderEntry::Kind::link
                 : S_ISREG(st.st_mode) ? FolderEntry::Kind::file
                 : S_ISDIR(st.st_mode) ? FolderEntry::Kind::folder
                                       : FolderEntry::Kind::other;
    entry.ours = st.st_uid == geteuid();
    entry.owner = user_name(st.st_uid);
    entry.mode = st.st_mode & 0777;
    entry.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                      static_cast<std::uint64_t>(st.st_size),
                      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    return entry;
}

}  // namespace

QString ProgramFolder::qt_path(std::string_view name) const {
    const QByteArray bytes = QByteArray::fromStdString(file_path(name));
    // Qt keeps paths as UTF-16: a name that does not go there and back is
    // reached through the folder's descriptor instead.
    if (QFile::encodeName(QFile::decodeName(bytes)) == bytes) return QFile::decodeName(bytes);
    const QString inside = QFile::decodeName(QByteArray::fromStdString(std::string(name)));
    return QStringLiteral("/proc/self/fd/%1/%2").arg(fd_.get()).arg(inside);
}

FolderEntry ProgramFolder::look(const std::string& name) const {
    struct stat st {};
    if (fstatat(fd_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        FolderEntry none;
        if (errno != ENOENT) none.kind = FolderEntry::Kind::other;
        return none;
    }
    FolderEntry entry = entry_of(st);
    if (entry.kind == FolderEntry::Kind::link) {
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlinkat(fd_.get(), name.c_str(), target.data(), target.size());
        entry.target = target.substr(0, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    return entry;
}

std::vector<std::string> ProgramFolder::names() const {
    std::vector<std::string> found;
    // A descriptor of its own, so the listing has its own position.
    Descriptor listing(openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing) return found;
    DIR* dir = fdopendir(listing.get());
    if (dir == nullptr) return found;
    listing.release();  // closedir closes it
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") found.push_back(name);
    }
    closedir(dir);
    return found;
}

std::optional<std::string> ProgramFolder::read(const std::string& name, std::size_t limit, int* error) const {
    const auto failed = [error](int code) -> std::optional<std::string> {
        if (error != nullptr) *error = code;
        return std::nullopt;
    };
    // Not blocking: a fifo under the name must not hold up the start.
    Descriptor file(openat(fd_.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file || fstat(file.get(), &st) != 0) return failed(errno);
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) return failed(0);
    // As much as the file holds, one byte more to see it end; more while it grows.
    std::string data;
    std::size_t got = 0;
    for (std::size_t want = std::min(limit, static_cast<std::size_t>(st.st_size) + 1); got < limit;
         want = std::min(limit, data.size() * 2)) {
        data.resize(want);
        const ssize_t n = read_full(file.get(), data.data() + got, want - got);
        if (n < 0) return failed(errno);
        got += static_cast<std::size_t>(n);
        if (got < want) break;
    }
    data.resize(got);
    if (error != nullptr) *error = 0;
    return data;
}

bool ProgramFolder::remove(const std::string& name) const { return unlinkat(fd_.get(), name.c_str(), 0) == 0; }

std::string ProgramFolder::own_file(const PathTarget& target) const {
    struct stat st {};
    if (target.folder_inode != 0 && is_vadrel_name(target.name) && fstat(fd_.get(), &st) == 0 &&
        static_cast<std::uint64_t>(st.st_dev) == target.folder_device &&
        static_cast<std::uint64_t>(st.st_ino) == target.folder_inode) {
        return file_path(target.name);
    }
    if (!target.exists()) return {};
    // The same file under another name (a hard link) or in another folder.
    for (const std::string& name : names()) {
        if (is_vadrel_name(name) && fstatat(fd_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            static_cast<std::uint64_t>(st.st_dev) == target.device &&
            static_cast<std::uint64_t>(st.st_ino) == target.inode) {
            return file_path(name);
        }
    }
    return {};
}

namespace {

// A new temporary, made by this call and by nobody else.
int make_temporary(int folder, std::string& name, mode_t mode = 0666) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporary_name();
        const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Syncs and closes the written temporary; false with errno set on failure.
bool finish_temporary(Descriptor& file) { return fsync(file.get()) == 0 && ::close(file.release()) == 0; }

// Gives the finished temporary the name `name` only if nothing has it, and
// syncs the folder; false with errno set (EEXIST when the name is taken).
bool name_new(int folder, const std::string& temporary, const std::string& name) {
    if (renameat2(folder, temporary.c_str(), folder, name.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) return false;
        // a file system without the flag: a second link cannot replace anything either
        if (linkat(folder, temporary.c_str(), folder, name.c_str(), 0) != 0) return false;
        unlinkat(folder, temporary.c_str(), 0);
    }
    fsync(folder);
    return true;
}

}  // namespace

FileError ProgramFolder::replace(const std::string& name, std::string_view bytes) const {
    return replace_with(name, [bytes](const PieceWriter& put) { put(bytes); });
}

Descriptor ProgramFolder::open_own(const std::string& name, int* error) const {
    // Not blocking: a fifo under the name must not hold up the start.
    Descriptor file(openat(fd_.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    int code = 0;
    if (!file || fstat(file.get(), &st) != 0) {
        code = errno;
        file = Descriptor();
    } else if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        file = Descriptor();
    }
    if (error != nullptr) *error = code;
    return file;
}

FileError ProgramFolder::replace_with(const std::string& name, const std::function<void(const PieceWriter&)>& write) const {
    return replace_with(write, [&name] { return name; });
}

FileError ProgramFolder::replace_with(const std::function<void(const PieceWriter&)>& write,
                                      const std::function<std::string()>& name_when_written) const {
    std::string temporary;
    Descriptor file(make_temporary(fd_.get(), temporary));
    if (file.get() < 0) return {"impossibile creare il file", errno};
    const auto fail = [&](const char* step) {
        const int code = errno;
        unlinkat(fd_.get(), temporary.c_str(), 0);
        return FileError{step, code};
    };
    int write_error = 0;
    write([&](std::string_view bytes) {
        if (write_error == 0 && !write_all(file.get(), bytes.data(), bytes.size())) write_error = errno != 0 ? errno : EIO;
        return write_error == 0;
    });
    if (write_error != 0) {
        errno = write_error;
        return fail("scrittura non riuscita");
    }
    const std::string name = name_when_written();
    const FolderEntry old = look(name);
    if (made_read_only(old)) {
        errno = 0;
        return fail("il file è stato reso di sola lettura dal suo proprietario");
    }
    if (old.kind == FolderEntry::Kind::file && old.ours && fchmod(file.get(), old.mode) != 0) {
        return fail("impossibile dare al file i permessi del precedente");
    }
    if (!finish_temporary(file)) return fail("scrittura non riuscita");
    if (renameat(fd_.get(), temporary.c_str(), fd_.get(), name.c_str()) != 0) return fail("impossibile sostituire il file");
    fsync(fd_.get());  // the rename itself on disk; a folder that cannot be synced has nothing more to do
    return {};
}

FileError ProgramFolder::copy(const std::string& name, const std::string& copy) const {
    Descriptor source(openat(fd_.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (source.get() < 0 || fstat(source.get(), &st) != 0) return {"impossibile leggere il file", errno};
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) return {"il file non è un file normale dell'utente", 0};
    std::string temporary;
    Descriptor file(make_temporary(fd_.get(), temporary));
    if (file.get() < 0) return {"impossibile creare la copia", errno};
    const auto fail = [&](const char* step, int code) {
        unlinkat(fd_.get(), temporary.c_str(), 0);
        return FileError{step, code};
    };
    constexpr std::size_t chunk = 1 << 16;
    std::string buffer(chunk, '\0'), again(chunk, '\0');
    for (;;) {
        const ssize_t n = read_full(source.get(), buffer.data(), chunk);
        if (n < 0) return fail("lettura del file non riuscita", errno);
        if (n == 0) break;
        if (!write_all(file.get(), buffer.data(), static_cast<std::size_t>(n))) {
            return fail("scrittura della copia non riuscita", errno);
        }
    }
    if (fchmod(file.get(), st.st_mode & 0777) != 0) {
        return fail("impossibile dare alla copia i permessi del file", errno);
    }
    if (fsync(file.get()) != 0) return fail("scrittura della copia non riuscita", errno);
    // Read back: the copy holds every byte the file holds now.
    if (lseek(source.get(), 0, SEEK_SET) != 0) {
        return fail("verifica della copia non riuscita", errno);
    }
    Descriptor reader(openat(fd_.get(), temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (reader.get() < 0) return fail("verifica della copia non riuscita", errno);
    for (;;) {
        const ssize_t a = read_full(source.get(), buffer.data(), chunk);
        const ssize_t b = read_full(reader.get(), again.data(), chunk);
        if (a < 0 || b < 0) return fail("verifica della copia non riuscita", errno);
        if (a != b || std::char_traits<char>::compare(buffer.data(), again.data(), static_cast<std::size_t>(a)) != 0) {
            return fail("la copia non corrisponde al file", 0);
        }
        if (a == 0) break;
    }
    if (::close(file.release()) != 0) return fail("scrittura della copia non riuscita", errno);
    if (!name_new(fd_.get(), temporary, copy)) return fail("impossibile dare il nome alla copia", errno);
    return {};
}

FileError ProgramFolder::create_private(const std::string& name, std::string_view bytes) const {
    std::string temporary;
    Descriptor file(make_temporary(fd_.get(), temporary, 0600));
    if (file.get() < 0) return {"impossibile creare il file", errno};
    const auto fail = [&](const char* step) {
        const int code = errno;
        unlinkat(fd_.get(), temporary.c_str(), 0);
        return FileError{step, code};
    };
    if (!write_all(file.get(), bytes.data(), bytes.size()) || !finish_temporary(file)) {
        return fail("scrittura non riuscita");
    }
    if (!name_new(fd_.get(), temporary, name)) return fail("impossibile dare il nome al file");
    return {};
}


}  // namespace vadrel
