#pragma once
// Every output path is checked against the program's own files before
// anything is opened for writing: a recording or a GPX file may go into a
// regular file or a new name (a recording also into a FIFO), never into
// vadrel.cnf, vadrel.ini, the lock, a copy or temporary of vadrel.cnf, the
// log being replayed or the other output, however the path reaches them
// (links, hard links, ".."), nor into a folder, a device or a socket.
// The command line and the window's dialogs ask the same question here.
//
//   const std::string why = output_refusal(path, FileRole::recording, folder,
//                                          {{FileRole::tracks, "/tmp/giro.gpx"}});
//   if (!why.empty()) ...   // "la registrazione non può andare in ...: è il file delle tracce GPX (/tmp/giro.gpx)"

#include <stdexcept>
#include <string>
#include <vector>

#include "config/program_folder.h"

namespace vadrel {

enum class FileRole { recording, tracks, replay };

struct RoleFile {
    FileRole role;
    std::string path;
};

// An output of the command line that may not be written; the text says why.
class OutputRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why `path` may not take the output `role` (recording or tracks), in
// Italian, naming the path and what it would overwrite; empty when it may.
std::string output_refusal(const std::string& path, FileRole role, const ProgramFolder& folder,
                           const std::vector<RoleFile>& others);

}  // namespace vadrel
