#pragma once
// A message's payload in !AIVDM sentences (targets heard from others) or
// !AIVDO ones (the own ship), as an AIS receiver writes them:
//
//   !AIVDM,1,1,,B,177KQJ5000G?tO`K>RA1wUbN0TKH,0*5C
//   !AIVDM,2,1,1,A,55?MbV02;H;s<HtKR20EHE:0@T4@Dn2222222216L961O5Gf0NSQEp6ClRp8,0*1C
//   !AIVDM,2,2,1,A,88888888880,2*25
//
// Fields: fragments, this fragment, the sequential message id (0 .. 9, only
// when there is more than one fragment, the same in each), the radio
// channel (every fragment of a message on the same one), the armoured
// payload, the fill bits (only the last fragment has any), the checksum.
// At most 60 payload characters a sentence, so a sentence stays within the
// 82 characters of NMEA 0183 with its line end.

#include <string>
#include <vector>

#include "ais/payload.h"

namespace vadrel::ais {

enum class Talker : unsigned char { others, own };  // !AIVDM, !AIVDO

inline constexpr std::size_t sentence_payload_chars = 60;

class Framer {
public:
    // Appends the sentences of `payload`, without line end, to `out`.
    // `channel` is 'A' or 'B'.
    void frame(const Payload& payload, Talker talker, char channel, std::vector<std::string>& out);

    // The sequential id the next message of more than one sentence takes.
    int next_sequence() const { return next_sequence_; }

private:
    int next_sequence_ = 0;
};

}  // namespace vadrel::ais
