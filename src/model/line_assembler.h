#pragma once
// Whole lines out of bytes that come in pieces (a TCP client, a serial
// line): each line handed over once its end (LF, with or without CR)
// arrives, at most `longest` characters. A longer one is dropped whole, up
// to its line end, so a flood without line ends costs no memory.
//
//   LineAssembler lines(200);
//   lines.feed("$GPAPB,...*3C\r\n$GPR", each);   // each("$GPAPB,...*3C")
//   lines.feed("MB,...*1A\r\n", each);           // each("$GPRMB,...*1A")

#include <cstddef>
#include <string>
#include <string_view>

namespace vadrel {

class LineAssembler {
public:
    explicit LineAssembler(std::size_t longest) : longest_(longest) {}

    template <typename Each>
    void feed(std::string_view bytes, Each&& each) {
        while (!bytes.empty()) {
            const std::size_t end = bytes.find('\n');
            const std::string_view piece = bytes.substr(0, end);
            if (!overlong_ && partial_.size() + piece.size() <= longest_ + 1) {
                partial_.append(piece);
            } else {
                overlong_ = true;
                partial_.clear();
            }
            if (end == std::string_view::npos) return;
            bytes.remove_prefix(end + 1);
            std::string_view line = partial_;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!overlong_ && line.size() <= longest_) each(line);
            partial_.clear();
            overlong_ = false;
        }
    }
    // Bytes passed over unread (past a read budget): the lines they end or
    // begin are dropped whole, so no torn line is ever handed over.
    void skip(std::string_view bytes) {
        if (bytes.empty()) return;
        partial_.clear();
        overlong_ = bytes.back() != '\n';
    }
    // Drops the line begun, up to its end: it began while the lines were
    // not wanted.
    void drop_line_begun() {
        if (!partial_.empty()) overlong_ = true;
        partial_.clear();
    }

private:
    std::size_t longest_;
    std::string partial_;
    bool overlong_ = false;
};

}  // namespace vadrel
