#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"

namespace vellum {

// What decoding does at a byte that starts no well-formed sequence.
enum class MalformedUtf8 {
  kReplace,  // that byte becomes U+FFFD and decoding goes on (names read from archives)
  kStop,     // decoding stops there, text keeps what came before (input the tool refuses)
};

// Strict UTF-8 to UTF-16: overlong forms, surrogates, values past U+10FFFF
// and truncated sequences are malformed. False when anything was.
bool DecodeUtf8(const uint8_t* bytes, size_t size, Text& text,
                MalformedUtf8 malformed = MalformedUtf8::kReplace);

// UTF-8 from the command line and the terminal; malformed input is refused
// rather than guessed at.
inline bool Utf8ToText(std::string_view utf8, Text& text) {
  return DecodeUtf8(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), text, MalformedUtf8::kStop);
}

// UTF-16 to UTF-8; a lone surrogate, which UTF-8 cannot carry, becomes U+FFFD.
std::string TextToUtf8(const Text& text);

}  // namespace vellum
