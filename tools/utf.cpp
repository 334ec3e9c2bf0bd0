#include "tools/utf.h"

#include <cstdint>

namespace vellum::tool {

bool Utf8ToText(const std::string& utf8, Text& text) {
  text.clear();
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    int extra = 0;
    uint32_t cp = 0, minimum = 0;
    if (lead < 0x80) { cp = lead; }
    else if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; minimum = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; minimum = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; minimum = 0x10000; }
    else { return false; }
    if (i + extra >= utf8.size()) return false;  // truncated sequence
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = cp << 6 | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 | cp >> 10));
      text.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(cp));
    }
    i += 1 + extra;
  }
  return true;
}

std::string TextToUtf8(const Text& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate cannot be written as UTF-8
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace vellum::tool
