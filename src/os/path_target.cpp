#include "path_target.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace vadrel {

namespace {

constexpr int link_limit = 40;

// "/a/b" -> "/a"; "b" -> "."; "/b" -> "/".
std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

PathTarget::Kind kind_of(mode_t mode) {
    if (S_ISREG(mode)) return PathTarget::Kind::regular;
    if (S_ISFIFO(mode)) return PathTarget::Kind::fifo;
    if (S_ISDIR(mode)) return PathTarget::Kind::folder;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return PathTarget::Kind::device;
    if (S_ISSOCK(mode)) return PathTarget::Kind::socket;
    return PathTarget::Kind::unknown;
}

}  // namespace

bool PathTarget::same_as(const PathTarget& other) const {
    if (exists() && other.exists()) return device == other.device && inode == other.inode;
    return kind == Kind::new_name && other.kind == Kind::new_name && folder_device == other.folder_device &&
           folder_inode == other.folder_inode && name == other.name;
}

PathTarget path_target(const std::string& path) {
    PathTarget target;
    std::string current = path;
    struct stat st {};
    for (int hops = 0;; ++hops) {
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                target.error = errno;
                return target;
            }
            target.kind = PathTarget::Kind::new_name;
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            target.kind = kind_of(st.st_mode);
            target.device = static_cast<std::uint64_t>(st.st_dev);
            target.inode = static_cast<std::uint64_t>(st.st_ino);
            if (target.kind == PathTarget::Kind::unknown) target.error = EINVAL;
            break;
        }
        if (hops == link_limit) {
            target.error = ELOOP;
            return target;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) {
            target.error = errno;
            return target;
        }
        link.resize(static_cast<std::size_t>(n));
        current = !link.empty() && link.front() == '/' ? link : folder_of(current) + "/" + link;
        target.resolved = current;
    }
    // The folder that holds the final name; for a new name it must be there.
    struct stat folder {};
    const bool found = ::stat(folder_of(current).c_str(), &folder) == 0;
    if (!found || !S_ISDIR(folder.st_mode)) {
        const int error = found ? ENOTDIR : errno;
        if (target.kind != PathTarget::Kind::new_name) return target;  // the file itself was told
        target.kind = PathTarget::Kind::unknown;
        target.error = error;
        return target;
    }
    target.folder_device = static_cast<std::uint64_t>(folder.st_dev);
    target.folder_inode = static_cast<std::uint64_t>(folder.st_ino);
    target.name = name_of(current);
    return target;
}

std::string kind_text(PathTarget::Kind kind) {
    switch (kind) {
        case PathTarget::Kind::fifo: return "un FIFO";
        case PathTarget::Kind::folder: return "una cartella";
        case PathTarget::Kind::device: return "un dispositivo";
        case PathTarget::Kind::socket: return "un socket";
        case PathTarget::Kind::unknown: return "un file di tipo sconosciuto";
        case PathTarget::Kind::new_name:
        case PathTarget::Kind::regular: break;
    }
    return {};
}

}  // namespace vadrel
