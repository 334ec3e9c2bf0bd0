#include "package/zip_names.h"

#include <zlib.h>

#include <string_view>

#include "package/zip_reader.h"

namespace vellum {
namespace zip {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
// Separators, the drive colon and the characters Windows refuses in names.
constexpr std::u16string_view kNotInFileNames = u"\\/:*?\"<>|";

// Length of the well-formed UTF-8 sequence at bytes and its value in c, or 0
// when none starts there.
size_t DecodeSequence(const uint8_t* bytes, size_t left, char32_t& c) {
  const uint8_t lead = bytes[0];
  size_t length;
  char32_t least;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (length > left) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 0;
    c = c << 6 | (bytes[i] & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

// The Unicode path field: version 1, the CRC-32 of the stored name it
// stands for, then the name in UTF-8. Empty when absent or stale.
Text UnicodePathName(const CentralHeader& header, const uint8_t* name, const uint8_t* extra) {
  Text found;
  ForEachExtraField(extra, header.extraLength, [&](uint16_t id, const uint8_t* data, size_t size) {
    if (id != kExtraUnicodePath || size < 5 || data[0] != 1) return;
    const auto nameCrc = static_cast<uint32_t>(crc32(0, name, header.nameLength));
    Text text;
    if (Le32(data + 1) == nameCrc && DecodeUtf8(data + 5, size - 5, text)) found = std::move(text);
  });
  return found;
}

bool IsDeviceName(const Text& name) {
  // The device is found by the part before the first dot, trailing spaces
  // dropped: "nul.txt" and "CON .log" are devices too.
  Text base = FoldAsciiCase(name.substr(0, name.find(u'.')));
  base.erase(base.find_last_not_of(u' ') + 1);
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" ||
      base == u"CONOUT$") {
    return true;
  }
  if (base.size() != 4 || (base.compare(0, 3, u"COM") != 0 && base.compare(0, 3, u"LPT") != 0)) {
    return false;
  }
  const char16_t digit = base[3];
  return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
         digit == u'\u00B3';
}

}  // namespace

bool DecodeUtf8(const uint8_t* bytes, size_t size, Text& text) {
  text.clear();
  bool wellFormed = true;
  for (size_t at = 0; at < size;) {
    char32_t c = 0;
    const size_t length = DecodeSequence(bytes + at, size - at, c);
    if (length == 0) {
      text.push_back(kReplacement);
      wellFormed = false;
      ++at;
      continue;
    }
    if (c >= 0x10000) {
      text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(c));
    }
    at += length;
  }
  return wellFormed;
}

Text DecodeEntryName(const CentralHeader& header, const uint8_t* name, const uint8_t* extra,
                     const std::function<Text(const uint8_t*, size_t)>& legacyNames) {
  Text text;
  if (header.flags & kFlagUtf8Name) {
    DecodeUtf8(name, header.nameLength, text);
    return text;
  }
  text = UnicodePathName(header, name, extra);
  if (!text.empty()) return text;
  if (header.madeBy >> 8 == kHostUnix && DecodeUtf8(name, header.nameLength, text)) return text;
  return legacyNames ? legacyNames(name, header.nameLength) : DecodeCp437(name, header.nameLength);
}

Text FoldAsciiCase(Text name) {
  for (char16_t& c : name) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return name;
}

}  // namespace zip

bool IsPlainFileName(const Text& name) {
  if (name.empty()) return false;
  for (const char16_t c : name) {
    if (c < 0x20 || zip::kNotInFileNames.find(c) != std::u16string_view::npos) return false;
  }
  // Windows drops trailing dots and spaces, so "a." would land on "a"; this
  // also refuses "." and "..".
  if (name.back() == u'.' || name.back() == u' ') return false;
  return !zip::IsDeviceName(name);
}

}  // namespace vellum
