#pragma once
#include <cstdint>

#include "package/zip_format.h"
#include "package/zip_reader.h"

namespace vellum::zip {

// The FILETIME of a DOS date and time taken as they stand; 0 when the fields
// do not form a valid date and time.
FileTime DosToFileTime(uint16_t date, uint16_t time);

// The FILETIME of a Unix time (seconds since 1970-01-01 UTC).
FileTime UnixToFileTime(int64_t seconds);

// An entry's times from its central record: the NTFS field's when present,
// else the Unix timestamp field's, else the DOS date and time, which are
// local and go through localToUtc. A time the record does not give is mtime.
void SetEntryTimes(ElementStat& stat, const CentralHeader& header, const uint8_t* extra,
                   const LocalToUtc& localToUtc);

}  // namespace vellum::zip
