#include "package/zip_names.h"

#include <zlib.h>

#include <string_view>

#include "base/utf8.h"
#include "package/zip_reader.h"

namespace vellum {
namespace zip {
namespace {

// Separators, the drive colon and the characters Windows refuses in names.
constexpr std::u16string_view kNotInFileNames = u"\\/:*?\"<>|";

// The Unicode path field: version 1, the CRC-32 of the stored name it
// stands for, then the name in UTF-8. Empty when absent or stale.
Text UnicodePathName(const CentralHeader& header, const uint8_t* name, const uint8_t* extra) {
  Text found;
  ForEachExtraField(extra, header.extraLength, [&](uint16_t id, const uint8_t* data, size_t size) {
    if (id != kExtraUnicodePath || size < 5 || data[0] != 1) return;
    const auto nameCrc = static_cast<uint32_t>(crc32(0, name, header.nameLength));
    Text text;
    if (LoadLe32(data + 1) == nameCrc && DecodeUtf8(data + 5, size - 5, text)) found = std::move(text);
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
