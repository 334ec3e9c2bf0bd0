#pragma once
#include "base/text.h"
#include "platform/archive_storage.h"
#include "platform/platform.h"

namespace vellum {

// Creates the destination folder and copies the storage's top-level streams
// into it, with their times. False only when the folder cannot be created or
// the storage cannot be enumerated at all; single entries that fail are
// skipped, and so are later names equal to an earlier one but for case.
// Entries whose names are not plain file names are never written, so nothing
// lands outside the folder whatever the archive holds.
bool ExtractStorage(Platform& platform, ArchiveStorage& storage, const Text& destination);

// Writes one stream to path. True when all stat.size bytes were copied and
// the times set. A file whose bytes could not all be copied is deleted rather
// than left truncated; a complete file whose times failed stays.
bool CopyStreamToFile(Platform& platform, ByteStream& stream, const ElementStat& stat, const Text& path);

}  // namespace vellum
