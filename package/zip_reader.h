#pragma once
#include <functional>
#include <memory>

#include "platform/archive_storage.h"
#include "platform/file.h"

namespace vellum {

// Converts a ZIP entry's DOS date and time, which are local time, to UTC.
using LocalToUtc = std::function<FileTime(FileTime local)>;
// Decodes a name stored in the legacy code page of the system that made the
// archive (no UTF-8 flag, no Unicode path field). Null: code page 437.
using LegacyNameDecoder = std::function<Text(const uint8_t* bytes, size_t size)>;

// Which check refused an archive; ZipRefusalText says each in a few words.
// kReadFailed is the file failing to give its size or bytes that lie within
// it; every other reason is a fault of the archive itself.
enum class ZipRefusal {
  kNone,
  kNoFile,
  kReadFailed,
  kTooShort,
  kNoEndRecord,
  kZip64RecordOffset,
  kZip64RecordSignature,
  kDirectoryOutOfRange,
  kMissingRecords,
  kRecordSignature,
  kRecordOverrun,
};
const char* ZipRefusalText(ZipRefusal why);

// The built-in ZIP reader: offers a ZIP file's top-level entries as a
// storage, like the shell's ZIP folder does. Files at the top level are
// streams; each top-level folder (explicit, or implied by deeper entries) is
// one storage element. Names that are not one plain file name are never
// offered as streams. Names are decoded whole before they are split at
// separators, so no double-byte character is taken for a separator. Null
// when the file is not a readable ZIP archive; why, when given, gets the
// reason (kNone on success).
std::unique_ptr<ArchiveStorage> OpenZipArchive(std::unique_ptr<File> file, LocalToUtc localToUtc,
                                               LegacyNameDecoder legacyNames = nullptr,
                                               ZipRefusal* why = nullptr);

// True when name can be a file directly inside a folder: not empty, not "."
// or "..", no \ / : or control characters, no device name (CON, NUL, COM1...).
bool IsPlainFileName(const Text& name);

}  // namespace vellum
