#pragma once
// The text of the about box: eleven lines joined by CR LF, none after the last.

#include <string>

namespace vadrel {

std::string about_box_text();

}  // namespace vadrel
