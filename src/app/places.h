#pragma once
// Where the program keeps its files: the folder of the vehicle table
// (vadrel.cnf, and the settings that live beside it) and the help file.
// Folders are paths as bytes, as the system names them.

#include <QString>
#include <optional>
#include <string>

namespace vadrel {

// The folder of the vehicle table:
// * DIR of --cartella, when given;
// * the executable's folder, when the program runs where it was built: the
//   operator may write there and no installed tree is around it;
// * otherwise, for an installed program or a folder the operator may not
//   write in, `user_data` (the user's data folder).
std::string table_folder_of(const std::optional<std::string>& folder, const std::string& exe_dir,
                             const std::string& user_data);

// The help file F1 opens: `own` (vadrel.hlp in the program's folder) when it
// is there, else the one beside the executable, else the installed tree's
// (share/vadrel/). Empty when there is none.
QString route_help(const QString& own, const QString& exe_dir);

// The user's data folder for vadrel (~/.local/share/vadrel), the same for
// vadrel and vadrel-finestra. Not created here.
std::string user_data_folder();

}  // namespace vadrel
