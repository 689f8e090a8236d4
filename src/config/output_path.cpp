#include "output_path.h"

#include <cerrno>

#include "os/path_target.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

std::string role_text(FileRole role) {
    switch (role) {
        case FileRole::recording: return "il file della registrazione";
        case FileRole::tracks: return "il file delle tracce GPX";
        case FileRole::replay: return "il registro che si riproduce";
    }
    return {};
}

}  // namespace

std::string output_refusal(const std::string& path, FileRole role, const ProgramFolder& folder,
                           const std::vector<RoleFile>& others) {
    const std::string refused =
        (role == FileRole::recording ? "la registrazione non può andare in " : "le tracce GPX non possono andare in ") +
        path + ": ";
    const PathTarget target = path_target(path);
    if (target.kind == PathTarget::Kind::unknown && target.error != EINVAL) {
        return refused + italian_reason(target.error);
    }
    if (const std::string own = folder.own_file(target); !own.empty()) {
        return refused + "è un file del programma (" + own + ")";
    }
    for (const RoleFile& other : others) {
        if (target.same_as(path_target(other.path))) return refused + "è " + role_text(other.role) + " (" + other.path + ")";
    }
    const bool allowed = target.kind == PathTarget::Kind::regular || target.kind == PathTarget::Kind::new_name ||
                         (role == FileRole::recording && target.kind == PathTarget::Kind::fifo);
    if (allowed) return {};
    return refused + "è " + kind_text(target.kind) + (target.resolved.empty() ? "" : " (" + target.resolved + ")") +
           (role == FileRole::recording ? ", non un file normale o un FIFO" : ", non un file normale");
}

}  // namespace vadrel
