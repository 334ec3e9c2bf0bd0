#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/text.h"
#include "package/zip_format.h"

namespace vellum::zip {

// Every byte decoded by IBM code page 437, the names' default encoding.
Text DecodeCp437(const uint8_t* bytes, size_t size);

// An entry's name from its central record: UTF-8 when the record says so or
// carries a Unicode path field matching the stored name; UTF-8 also when it
// was made on Unix and is well-formed UTF-8 (Unix tools store the names as
// they are, without the flag); otherwise the legacy code page legacyNames
// decodes (437 when null).
Text DecodeEntryName(const CentralHeader& header, const uint8_t* name, const uint8_t* extra,
                     const std::function<Text(const uint8_t*, size_t)>& legacyNames = nullptr);

// The name with ASCII letters upper-cased, for comparing names regardless of case.
Text FoldAsciiCase(Text name);

}  // namespace vellum::zip
