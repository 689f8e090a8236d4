#pragma once
// The prolog of an XML file: what comes before its root element (the XML
// declaration, comments, processing instructions). It is looked at before
// the reader sees a byte, so that a DOCTYPE there is refused and no entity is
// ever declared, let alone expanded or fetched.
//
//   std::size_t doctype_at = 0;
//   if (scan_prolog(first_bytes, doctype_at) == Prolog::doctype) ...
//   declared_encoding("<?xml version='1.0' encoding='ISO-8859-1'?>");  // "iso-8859-1"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vadrel::route_parsing {

// The prolog is looked at up to this size.
inline constexpr std::size_t max_prolog = 64 * 1024;

// The encoding the XML declaration at the start of `prolog` names, in lower
// case; "" when it names none.
std::string declared_encoding(std::string_view prolog);

// more: the root element may start in bytes still to come; body: it starts
// (or the file is no XML, which the reader says); doctype: a DOCTYPE at
// `doctype_at`; too_long: no root element within max_prolog.
enum class Prolog : std::uint8_t { more, body, doctype, too_long };

// Where the root element starts, or why not yet.
Prolog scan_prolog(std::string_view bytes, std::size_t& doctype_at);

}  // namespace vadrel::route_parsing
