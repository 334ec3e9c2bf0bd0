#pragma once
#include <memory>

#include "app/text.h"
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
  // Opens a ZIP file as a storage of its top-level elements; null when no
  // reader can open it.
  virtual std::unique_ptr<ArchiveStorage> OpenArchive(const Text& path) = 0;
};

}  // namespace vellum
