#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "os/system_error.h"

namespace vadrel {
namespace {

// Every message the operator reads of a system error is Italian: a known
// error by its reason, any other by its symbolic name, never the C
// library's English text.
TEST(SystemError, EveryErrorReadsInItalian) {
    const std::pair<int, const char*> rows[] = {
        {ENOSPC, "il disco è pieno"},
        {ELOOP, "troppi collegamenti simbolici"},
        {EMFILE, "troppi file aperti dal programma"},
        {ENOENT, "il file o la cartella non esiste"},
        {ENETUNREACH, "rete irraggiungibile"},
        {EPROTO, "errore di sistema EPROTO (71)"},
        {EKEYEXPIRED, "errore di sistema EKEYEXPIRED"},
    };
    for (const auto& [error, expected] : rows) {
        const std::string reason = italian_reason(error);
        EXPECT_EQ(reason.rfind(expected, 0), 0u) << error << ": " << reason;
        EXPECT_EQ(reason.find(std::strerror(error)), std::string::npos) << reason;
    }
    EXPECT_EQ(Failure("vadrel.cnf non si salva", EROFS).message(),
              "vadrel.cnf non si salva: il disco è di sola lettura");
    EXPECT_EQ(Failure("il registro r.nmea non si riproduce", std::string("riga 3 danneggiata")).message(),
              "il registro r.nmea non si riproduce: riga 3 danneggiata");
}

}  // namespace
}  // namespace vadrel
