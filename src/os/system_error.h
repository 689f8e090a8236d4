#pragma once
// The system's errors as the operator reads them, in Italian, from one table;
// and the one type for an operation that can fail: what failed and why.
//
//   italian_reason(ENOSPC)                          -> "il disco è pieno"
//   Failure("vadrel.cnf non si salva", EROFS).message()
//                                                   -> "vadrel.cnf non si salva: il disco è di sola lettura"
//
// Callers tell failures apart by their error number, never by their text.

#include <string>
#include <utility>

namespace vadrel {

// The reason of a system error number; an error the table does not know
// reads "errore di sistema EPROTO (71)": its symbolic name, never English text.
std::string italian_reason(int error);

class Failure {
public:
    // A system error: `what` failed because of `error` (an errno value).
    Failure(std::string what, int error) : what_(std::move(what)), error_(error) {}
    // A reason of the program's own (a damaged file, a value out of range).
    Failure(std::string what, std::string why) : what_(std::move(what)), why_(std::move(why)) {}
    // A failure said whole already by the part that met it, reason included
    // ("il server TCP non ascolta su 0.0.0.0:10110: l'indirizzo è già in uso").
    explicit Failure(std::string said) : what_(std::move(said)) {}

    const std::string& what() const { return what_; }
    // The errno value, 0 for a reason of the program's own.
    int error() const { return error_; }
    // "what: why", the reason from the table for a system error.
    std::string message() const;
    bool operator==(const Failure&) const = default;

private:
    std::string what_;
    int error_ = 0;
    std::string why_;
};

}  // namespace vadrel
