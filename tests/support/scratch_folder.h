#pragma once
// A real temporary folder for the file tests, removed with everything in it.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vadrel::testing {

struct ScratchFolder {
    QTemporaryDir dir;
    // Qt cannot name what is not UTF-8: the folder goes by its bytes.
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path(), ignored);
    }

    std::string path() const { return dir.path().toStdString(); }
    std::string at(const std::string& name) const { return path() + "/" + name; }
    void put(const std::string& name, const std::string& bytes) const {
        std::ofstream(at(name), std::ios::binary) << bytes;
    }
    // The bytes of a file (through a link), or what stands there instead.
    std::string get(const std::string& name) const {
        if (std::filesystem::is_directory(at(name))) return "<folder>";
        std::ifstream in(at(name), std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
    }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path())) found.push_back(entry.path().filename());
        std::sort(found.begin(), found.end());
        return found;
    }
    unsigned mode(const std::string& name) const {
        struct stat st {};
        return lstat(at(name).c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
    }
};

// A vadrel.cnf whose first records are `records` (each line with its CR LF),
// every other of the 21 never filled, and the end marker.
inline std::string cnf_text(const std::string& records) {
    std::string text = records;
    std::size_t lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
    for (; lines < 21; ++lines) text += "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#\r\n";
    return text + "\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n";
}

// Another user's files need root to make.
inline bool can_give_files_away() { return geteuid() == 0; }
inline constexpr uid_t other_user = 65534;  // nobody

// A disk that takes only so many bytes per file, as a full one does: a
// write beyond them fails with EFBIG (the signal it would raise is ignored,
// as the program ignores it).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        const rlimit small{std::min(bytes, saved_.rlim_cur), saved_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

}  // namespace vadrel::testing
