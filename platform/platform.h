#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/text.h"
#include "platform/archive_storage.h"
#include "platform/file.h"

namespace vellum {

// One entry of a folder search.
struct FoundEntry {
  Text name;
  bool isDirectory = false;
  // A junction or symbolic link: removed itself, never descended into.
  bool isReparsePoint = false;
};

class FileSearch {
 public:
  virtual ~FileSearch() = default;  // closes the search
  // The next entry; false when there are no more.
  virtual bool Next(FoundEntry& entry) = 0;
};

// The viewer's one seam to the operating system: everything the loader,
// extraction and folder helpers do to files, folders and archives goes
// through here, so that a test double can stand in and fail on demand.
class Platform {
 public:
  virtual ~Platform() = default;

  // Opens an existing file for reading, others may read too. Null on failure.
  virtual std::unique_ptr<File> OpenForReading(const Text& path) = 0;
  // Creates (or truncates) a file for reading and writing, not shared.
  virtual std::unique_ptr<File> CreateAlways(const Text& path) = 0;
  virtual bool DeleteFile(const Text& path) = 0;
  // False when the folder cannot be made, in particular when it exists.
  virtual bool CreateDirectory(const Text& path) = 0;
  virtual bool RemoveDirectory(const Text& path) = 0;
  // Searches a pattern such as folder\* or folder\prefix*; null when the
  // search cannot start or nothing matches. The first entry comes from Next.
  virtual std::unique_ptr<FileSearch> FindFiles(const Text& pattern) = 0;
  // A fresh GUID in its braced upper-case text form; false on failure.
  virtual bool NewGuidText(Text& text) = 0;
  // The shell's own view of a ZIP file as a storage of its top-level
  // elements; null where the shell has none or refuses the file, and the
  // package reads the file itself.
  virtual std::unique_ptr<ArchiveStorage> OpenShellArchive(const Text& path) = 0;

  // What the system knows that reading an archive needs; neither can fail.
  // A local time of this system's zone as UTC, by the daylight-saving rule
  // of the date it names (ZIP entries store local times).
  virtual FileTime LocalTimeToUtc(FileTime local) = 0;
  // A name from an archive without Unicode names, in the system's code page
  // for them (OEM on Windows); false where it has none, and code page 437
  // is taken.
  virtual bool DecodeLegacyName(const uint8_t* bytes, size_t size, Text& name) = 0;
};

}  // namespace vellum
