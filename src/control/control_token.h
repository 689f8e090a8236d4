#pragma once
// The key the control interface asks for when it listens beyond this
// computer: the file vadrel.token in the program's folder, made the first
// time with a key from the system's cryptographic random source, with mode
// 0600 (the user alone reads it) through the folder's safe file handling. The
// user may write a key of their own there; a file others may read, a link
// or a file of another user is refused, never used or replaced.
//
//   auto token = control_token(folder);          // ControlToken or an Italian problem
//   std::cerr << token_notice(token, folder);    // the key itself, the one time it is made

#include <string>
#include <variant>

#include "config/program_folder.h"

namespace vadrel {

struct ControlToken {
    std::string value;
    bool made = false;  // made by this call
};

// 32 random bytes as base64url, 43 characters.
std::string new_token();

// The key of vadrel.token, made when the file is missing; else why it
// cannot be used, in Italian.
std::variant<ControlToken, std::string> control_token(const ProgramFolder& folder);

// What the user is told once at start: the key itself when it was just made
// (it is not shown again), else the file that holds it.
std::string token_notice(const ControlToken& token, const ProgramFolder& folder);

}  // namespace vadrel
