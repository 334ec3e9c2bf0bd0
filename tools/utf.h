#pragma once
#include <string>

#include "base/text.h"

namespace vellum::tool {

// UTF-8 from the command line and the terminal to the viewer's UTF-16 and
// back. Malformed UTF-8 is refused rather than guessed at.
bool Utf8ToText(const std::string& utf8, Text& text);
std::string TextToUtf8(const Text& text);

}  // namespace vellum::tool
