#pragma once
// A reader of armoured AIS payloads for the tests, written from the
// standard's table of the six-bit armour and apart from the encoder: it
// takes the characters back to bits and reads fields out of them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vadrel::testing {

class AisBits {
public:
    // The payload's characters and fill bits.
    AisBits(std::string_view chars, int fill) {
        for (const char c : chars) {
            int value = c - 48;
            if (value > 40) value -= 8;
            for (int i = 5; i >= 0; --i) bits_.push_back(((value >> i) & 1) != 0);
        }
        if (fill >= 0 && static_cast<std::size_t>(fill) <= bits_.size()) bits_.resize(bits_.size() - static_cast<std::size_t>(fill));
    }
    std::size_t size() const { return bits_.size(); }
    std::uint32_t u(std::size_t start, std::size_t width) const {
        std::uint32_t value = 0;
        for (std::size_t i = start; i < start + width; ++i) value = value << 1 | (i < bits_.size() && bits_[i] ? 1U : 0U);
        return value;
    }
    std::int32_t s(std::size_t start, std::size_t width) const {
        const std::uint32_t value = u(start, width);
        const bool negative = (value >> (width - 1)) & 1U;
        return negative ? static_cast<std::int32_t>(value) - static_cast<std::int32_t>(1LL << width)
                        : static_cast<std::int32_t>(value);
    }
    // Six-bit text, cut at the first '@' and trailing spaces.
    std::string text(std::size_t start, std::size_t chars) const {
        static const char table[] = "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_ !\"#$%&'()*+,-./0123456789:;<=>?";
        std::string out;
        for (std::size_t i = 0; i < chars; ++i) {
            const char c = table[u(start + 6 * i, 6)];
            if (c == '@') break;
            out += c;
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out;
    }
private:
    std::vector<bool> bits_;
};

// The fields of an !AIVDM / !AIVDO sentence, split at its commas.
inline std::vector<std::string> fields_of(std::string_view sentence) {
    std::vector<std::string> fields(1);
    for (const char c : sentence.substr(0, sentence.find('*'))) {
        if (c == ',') fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

struct Message {
    std::string talker;
    std::uint32_t type = 0;
    std::uint32_t mmsi = 0;
    AisBits bits{"", 0};
};

// The messages of sentences, their fragments joined.
inline std::vector<Message> messages_of(const std::vector<std::string>& sentences) {
    std::vector<Message> out;
    std::string chars;
    for (const std::string& s : sentences) {
        const auto f = fields_of(s);
        chars += f.at(5);
        if (f.at(1) != f.at(2)) continue;
        Message m;
        m.talker = f.at(0);
        m.bits = AisBits(chars, std::stoi(f.at(6)));
        m.type = m.bits.u(0, 6);
        m.mmsi = m.bits.u(8, 30);
        out.push_back(m);
        chars.clear();
    }
    return out;
}

}  // namespace vadrel::testing
