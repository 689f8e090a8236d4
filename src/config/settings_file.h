#pragma once
// vadrel.ini, beside vadrel.cnf in the program's folder: the settings that
// are not the vehicle table, one group per feature ([uscite] for the network
// outputs). INI as QSettings writes it, so the operator can read and edit it;
// vadrel.cnf keeps its own format, byte for byte, for the programs that read it.
//
//   SettingsFile file(folder);
//   bool tcp = file.value("uscite", "tcp", false).toBool();
//   std::string why = file.save_group("uscite", {{"tcp", true}, {"tcp_porta", 10110}});
//
// The file is read once, when the object is made, and a group is saved at
// once, as a whole, when it changes; both go through the program's folder,
// as vadrel.cnf does (no link followed, no file of another user touched, a
// temporary renamed over the file). QSettings works on a private copy. A file
// that cannot be read counts as empty (problem() says so) and is never
// written over.

#include <QTemporaryFile>
#include <QVariant>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/program_folder.h"

class QSettings;

namespace vadrel {

inline constexpr const char* settings_file_name = "vadrel.ini";

class SettingsFile {
public:
    explicit SettingsFile(const ProgramFolder& folder);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // The file's path as the operator reads it.
    const std::string& path() const { return path_; }
    // Why the file could not be read, in Italian; "" when it was, or is not there.
    const std::string& problem() const { return problem_; }

    // The value of group/key, or the fallback when it is not there.
    QVariant value(const std::string& group, const std::string& key, const QVariant& fallback = {}) const;
    // The value of group/key as written, a list (a value with commas) joined
    // again; "" when it is not there.
    QString text(const std::string& group, const std::string& key) const;
    // The line that tells the operator a value cannot be used:
    // 'vadrel.ini: [uscite] tcp_porta vuole un numero da 0 a 65535, non "dieci"'.
    std::string refusal(const std::string& group, const std::string& key, const std::string& wanted) const;
    // Replaces the group with these keys and saves the file now; the other
    // groups stay as they are. "" when saved, else why not, in Italian.
    std::string save_group(const std::string& group, const std::map<std::string, QVariant>& values);

private:
    const ProgramFolder& folder_;
    std::string path_;
    std::string problem_;
    QTemporaryFile copy_;
    std::unique_ptr<QSettings> settings_;
};

// The values of one group, each checked as the program will use it: a value
// that is not there, or empty, gives the fallback; one that cannot be used
// gives the fallback too, and `problems` a line naming the file, the group,
// the key and the value (SettingsFile::refusal). The callers leave off what a
// refused value belongs to.
//
//   GroupReader read(file, "uscite", problems);
//   const int port = read.integer("tcp_porta", 10110, 0, 65535);
class GroupReader {
public:
    GroupReader(const SettingsFile& file, std::string group, std::vector<std::string>& problems)
        : file_(file), group_(std::move(group)), problems_(problems) {}

    // true, false, 1 or 0, in any case.
    bool flag(const char* key, bool fallback);
    // A whole number from lowest to highest.
    long long integer(const char* key, long long fallback, long long lowest, long long highest);
    // A finite number; its range is the caller's.
    double number(const char* key, double fallback);
    // 0 .. 18446744073709551615.
    std::uint64_t whole(const char* key, std::uint64_t fallback);
    // The text, blanks around it dropped.
    std::string text(const char* key, const std::string& fallback);
    // Names the value of `key` as one that is not `wanted`; returns `fallback`.
    template <typename T>
    T refuse(const char* key, const std::string& wanted, T fallback) {
        problems_.push_back(file_.refusal(group_, key, wanted));
        ++refused_;
        return fallback;
    }
    // How many values this reading refused.
    std::size_t refused() const { return refused_; }

private:
    QString trimmed(const char* key) const { return file_.text(group_, key).trimmed(); }

    const SettingsFile& file_;
    std::string group_;
    std::vector<std::string>& problems_;
    std::size_t refused_ = 0;
};

}  // namespace vadrel
