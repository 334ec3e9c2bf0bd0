#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace vellum {

// A Windows file system in memory, for tests of the code behind the seam.
// Paths are separated by backslashes (a slash works too; empty components
// are ignored); names compare case-insensitively (ASCII letters); the first
// component ("C:") is a volume root. A folder must exist before anything is
// made in it. Files keep their bytes in shared buffers, so a File handed
// out earlier stays usable. Sharing follows the real rules for the modes the
// seam uses: files opened for reading share reading only, created files share
// nothing, and an open file cannot be deleted.
//
// Failures are injected around it (FaultyPlatform). Objects handed out must
// be destroyed before the platform.
class MemoryPlatform final : public Platform {
 public:
  MemoryPlatform();
  ~MemoryPlatform() override;
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  // Setting up; missing parent folders are made.
  void AddFolder(const Text& path);
  // Replaces a file of that name.
  void AddFile(const Text& path, std::vector<uint8_t> bytes = {}, const FileTimes& times = {});
  // A directory junction at path leading to the folder target (made when missing).
  void AddJunction(const Text& path, const Text& target);
  void SetReadOnly(const Text& path);
  // Another program opens the file for reading, sharing only reading:
  // reading still works, creating or deleting it fails. Until LetGo.
  void HoldOpen(const Text& path);
  void LetGo(const Text& path);

  // Looking. A junction is not followed by the last component.
  bool Exists(const Text& path) const;
  bool IsFolder(const Text& path) const;  // a folder or a junction
  bool IsJunction(const Text& path) const;
  std::vector<uint8_t> FileBytes(const Text& path) const;  // empty when no file
  FileTimes FileTimesOf(const Text& path) const;
  // Every path below folder, without entering junctions, in name order.
  std::vector<Text> ListAll(const Text& folder) const;
  // Files, searches, storages, enumerators and streams not yet destroyed.
  int OpenObjects() const { return openObjects_; }

  std::deque<Text> guidTexts;  // handed out first, one a call; then made-up distinct ones
  // False: a system whose shell has no ZIP folder (OpenShellArchive null),
  // as under Wine; the package then reads archives itself.
  bool hasShellZipFolder = true;

  FileTime now = 133000000000000000;  // the times of files made through the seam

  std::unique_ptr<File> OpenForReading(const Text& path) override;
  std::unique_ptr<File> CreateAlways(const Text& path) override;
  bool DeleteFile(const Text& path) override;
  bool CreateDirectory(const Text& path) override;
  bool RemoveDirectory(const Text& path) override;
  std::unique_ptr<FileSearch> FindFiles(const Text& pattern) override;
  bool NewGuidText(Text& text) override;
  // A shell with a ZIP folder: the built-in reader over the file's bytes,
  // which the shell reads by itself, as the real one does.
  std::unique_ptr<ArchiveStorage> OpenShellArchive(const Text& path) override;
  // Times stay as stored (the zone is UTC); names without the UTF-8 flag are
  // read as code page 437.
  FileTime LocalTimeToUtc(FileTime local) override { return local; }
  bool DecodeLegacyName(const uint8_t*, size_t, Text&) override { return false; }

 private:
  class Tracked;
  class OpenFile;
  class Search;
  struct Archive;
  class Storage;
  class Enumerator;
  class Stream;

  struct Body;
  struct Node {
    enum class Kind { kFolder, kFile, kJunction } kind;
    Text path;                   // as given when made
    std::shared_ptr<Body> body;  // files
    Text targetKey;              // junctions
    bool readOnly = false;
  };

  // The key of a path: upper-cased components with every junction on the
  // way followed (the last only when followLast); empty for an empty path
  // or a loop of junctions.
  Text KeyOf(const std::vector<Text>& parts, bool followLast) const;
  Text KeyOf(const Text& path, bool followLast) const;
  const Node* Find(const Text& key) const;
  Node* Find(const Text& key) { return const_cast<Node*>(std::as_const(*this).Find(key)); }
  Node* FindFile(const Text& path);
  const Node* FindFile(const Text& path) const;
  // Every node below key, or only its direct children, in name order.
  std::vector<const Node*> Below(const Text& key, bool childrenOnly) const;
  // The folder a new entry at path goes in, or null; key and name of the entry.
  Node* FolderToMakeIn(const Text& path, Text& key, Text& name);
  // Makes the folders of parts that are missing; the key of the last.
  Text MakeFolders(const std::vector<Text>& parts);
  // A file open for reading that shares reading, over body.
  std::unique_ptr<File> OpenReader(std::shared_ptr<Body> body);

  std::map<Text, Node> nodes_;
  uint64_t guids_ = 0;
  int openObjects_ = 0;
};

}  // namespace vellum
