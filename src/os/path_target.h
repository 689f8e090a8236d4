#pragma once
// Where a path leads once its symbolic links are followed: the file there
// (its kind, device and inode) or, for a name not there yet, the folder it
// would be made in and the name. Two paths that lead to the same file, or
// to the same new name in the same folder, are the same target however
// they are spelt (links, hard links, "..", a relative path).
//
//   const PathTarget target = path_target("/tmp/viaggio.nmea");
//   if (target.kind == PathTarget::Kind::unknown) ... italian_reason(target.error)
//   if (target.same_as(path_target("/home/a/vadrel.cnf"))) ...

#include <cstdint>
#include <string>

namespace vadrel {

struct PathTarget {
    enum class Kind {
        new_name,  // nothing there yet: the folder exists and the name is free
        regular,
        fifo,
        folder,
        device,    // a character or block device
        socket,
        unknown,   // cannot be told: `error` says why
    } kind = Kind::unknown;
    int error = 0;                   // errno, for unknown
    std::uint64_t device = 0;        // the file's; nothing for a new name
    std::uint64_t inode = 0;
    std::uint64_t folder_device = 0; // the folder that holds the final name
    std::uint64_t folder_inode = 0;
    std::string name;                // the final name, after the links
    std::string resolved;            // where the links lead; empty when the path is no link

    bool exists() const { return kind != Kind::new_name && kind != Kind::unknown; }
    // The same file, or the same new name in the same folder.
    bool same_as(const PathTarget& other) const;
};

// Follows the path's links (at most 40, as the kernel does) without opening
// anything.
PathTarget path_target(const std::string& path);

// "una cartella", "un dispositivo", ... for a message; empty for a regular
// file or a new name.
std::string kind_text(PathTarget::Kind kind);

}  // namespace vadrel
