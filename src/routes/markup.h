#pragma once
// The markup's shape as the bytes go by, without parsing it: where tags,
// comments, processing instructions and CDATA start and end, the attributes
// of each start tag (its "=" outside quotes), the depth. Enough to refuse a
// file past its limits before the XML reader sees its bytes; whether
// the file is well formed is the reader's to say.
//
// The reader's work on a tag grows with the square of its attributes (each
// is compared with those before it) and with the namespace declarations in
// force (each prefix is looked up through all of them), and it keeps every
// open element: the scan bounds all three, and the length of a tag, so the
// reader's time stays in proportion to the file's length.
//
//   Markup markup;
//   std::size_t stop = 0;
//   if (auto problem = markup.scan(piece, stop)) ...  // piece[stop] passed a limit

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "routes/route_parsers.h"

namespace vadrel::route_parsing {

class Markup {
public:
    // Empty while within the limits; otherwise why not, with line and
    // column, and `stop` the offset in `bytes` of the byte that passed them.
    std::optional<ReadProblem> scan(std::string_view bytes, std::size_t& stop);
    // At the end: a character cut short.
    std::optional<ReadProblem> finish() const;
    // The bytes are UTF-8 unless the XML declaration names another encoding.
    // Checked here, not by the reader: its decoder tells a bad byte at a
    // place that depends on how the file was cut into pieces.
    void set_utf8(bool utf8) { utf8_ = utf8; }

private:
    // A GPX or KML tag has a handful of attributes (a root with a dozen
    // namespaces), and elements nest less than ten deep.
    static constexpr int max_attributes = 64;
    static constexpr int max_depth = 64;
    static constexpr int max_namespaces = 64;  // xmlns declarations in force at once
    static constexpr std::size_t max_tag = 64 * 1024;

    enum class In : std::uint8_t { text, open, bang, comment, cdata, declaration, pi, end_tag, start_tag, quoted };
    ReadProblem problem(std::int64_t line, std::int64_t column, std::string reason) const {
        return ReadProblem{line, column, std::move(reason)};
    }
    // A byte that is no character of the text (a control, broken UTF-8).
    std::optional<ReadProblem> character(char c);
    // The byte's step through the markup, in the state `in_`.
    std::optional<ReadProblem> markup(char c);
    // After "<": which kind of tag it opens.
    std::optional<ReadProblem> opened(char c);
    void bang(char c);
    // A comment or a CDATA section ends at two of `mark` then ">".
    void close_after_two(char c, char mark);
    std::optional<ReadProblem> start_tag(char c);
    // An "=" in a start tag: one more attribute, maybe a namespace declaration.
    std::optional<ReadProblem> attribute();
    ReadProblem tag_too_long() const;

    bool root_done_ = false;  // the root element is closed
    bool utf8_ = true;
    int continuations_ = 0;             // still to come of the character being read
    unsigned char low_ = 0x80, high_ = 0xBF;  // the range of its next byte
    std::int64_t char_line_ = 1, char_column_ = 1;
    In in_ = In::text;
    char quote_ = 0;
    int matched_ = 0;      // of "--" or "[CDATA[" after "<!", of an end ("-->", "]]>", "?>")
    int brackets_ = 0;     // "]" just before, in text
    std::string_view expect_;
    bool slash_ = false;   // the start tag's last mark was "/": it closes itself
    int attributes_ = 0;
    int declared_ = 0;     // namespace declarations of this start tag
    int in_force_ = 0;     // those of the open elements
    std::vector<std::uint8_t> declarations_;  // per open element
    std::string name_;     // the start of the attribute name being read, up to 6 bytes
    bool naming_ = false;
    std::size_t tag_bytes_ = 0;
    TextPlace here_{.xml = true};  // of the byte being read
    std::int64_t tag_line_ = 1, tag_column_ = 1;
    std::int64_t name_line_ = 1, name_column_ = 1;
};

}  // namespace vadrel::route_parsing
