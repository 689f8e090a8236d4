#include "ais/sentences.h"

#include "nmea/sentences.h"

namespace vadrel::ais {

void Framer::frame(const Payload& payload, Talker talker, char channel, std::vector<std::string>& out) {
    const Payload::Armoured armoured = payload.armoured();
    const std::size_t size = armoured.chars.size();
    const std::size_t count = size == 0 ? 1 : (size + sentence_payload_chars - 1) / sentence_payload_chars;
    std::string sequence;
    if (count > 1) {
        sequence = std::to_string(next_sequence_);
        next_sequence_ = (next_sequence_ + 1) % 10;
    }
    const char* address = talker == Talker::own ? "!AIVDO," : "!AIVDM,";
    static constexpr char hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        std::string line;
        line.reserve(82);
        line += address;
        line += std::to_string(count);
        line += ',';
        line += std::to_string(i + 1);
        line += ',';
        line += sequence;
        line += ',';
        line += channel;
        line += ',';
        line.append(armoured.chars, i * sentence_payload_chars, sentence_payload_chars);
        line += ',';
        line += static_cast<char>('0' + (last ? armoured.fill : 0));
        const unsigned char sum = nmea_checksum(line);
        line += '*';
        line += hex[sum >> 4];
        line += hex[sum & 0xF];
        out.push_back(std::move(line));
    }
}

}  // namespace vadrel::ais
