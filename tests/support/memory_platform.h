#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace vellum {

// What a scheduled fault does to the call it hits. kShort applies to calls
// that move bytes (File::Read, File::Write, ByteStream::Read): they succeed
// having moved at most half the bytes asked for. Other calls simply fail.
enum class Fault { kFail, kShort };

// Hits call number onCall (counted from 1) of its kind; 0 hits nothing.
struct ScheduledFault {
  uint64_t onCall = 0;
  Fault fault = Fault::kFail;
};

// One call made through the seam, for the call log.
struct CallRecord {
  const char* operation;  // "OpenForReading", "File::Read", "ByteStream::Read"...
  Text path;              // the path, pattern or element name; empty for the others
};

// A Windows file system in memory, for tests of the code behind the seam.
// Paths are separated by backslashes (a slash works too; empty components
// are ignored); names compare case-insensitively (ASCII letters); the first
// component ("C:") is a volume root. A folder must exist before anything is
// made in it. Files keep their bytes in shared buffers, so a File handed
// out earlier stays usable. Sharing follows the real rules for the modes the
// seam uses: files opened for reading share reading only, created files share
// nothing, and an open file cannot be deleted.
//
// Every call through the seam, including the methods of the objects it
// hands out, counts as one call in order (calls()); any one of them can be
// made to fail (callFault), and each operation has its own fault knobs.
// Objects handed out must be destroyed before the platform.
class MemoryPlatform final : public Platform {
 public:
  MemoryPlatform();
  ~MemoryPlatform() override;
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  // Setting up. None of these count as calls or fail; missing parent
  // folders are made.
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

  // The call counter.
  uint64_t calls() const { return calls_; }
  const std::vector<CallRecord>& callLog() const { return callLog_; }
  ScheduledFault callFault;  // counted over every call

  // Faults of single operations.
  void FailOpen(const Text& path);  // OpenForReading and CreateAlways of path
  ScheduledFault readFault;         // counted over File::Read calls
  ScheduledFault writeFault;        // counted over File::Write calls
  ScheduledFault streamReadFault;   // counted over ByteStream::Read calls
  bool failSetTimes = false;
  bool failCreateDirectory = false;
  bool failNewGuid = false;
  std::deque<Text> guidTexts;  // handed out first, one a call; then made-up distinct ones
  bool refuseArchive = false;  // OpenShellArchive returns null, like a shell that cannot bind
  bool failEnumElements = false;
  std::optional<uint64_t> failEnumerationAfter;  // Next fails once this many were returned
  void FailOpenStream(const Text& name);

  FileTime now = 133000000000000000;  // the times of files made through the seam

  std::unique_ptr<File> OpenForReading(const Text& path) override;
  std::unique_ptr<File> CreateAlways(const Text& path) override;
  bool DeleteFile(const Text& path) override;
  bool CreateDirectory(const Text& path) override;
  bool RemoveDirectory(const Text& path) override;
  std::unique_ptr<FileSearch> FindFiles(const Text& pattern) override;
  bool NewGuidText(Text& text) override;
  // A shell with a ZIP folder: the built-in reader over a file of the seam,
  // behind storage objects whose calls count and can fail like the others.
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

  enum class Outcome { kNormal, kFail, kShort };
  struct Body;
  struct Node {
    enum class Kind { kFolder, kFile, kJunction } kind;
    Text path;                   // as given when made
    std::shared_ptr<Body> body;  // files
    Text targetKey;              // junctions
    bool readOnly = false;
  };

  // Counts a call and says what it must do. An operation with a fault knob
  // of its own passes it with the counter of its calls.
  Outcome Enter(const char* operation, const Text& path = {}, ScheduledFault* ownFault = nullptr,
                uint64_t* ownCalls = nullptr);
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
  std::set<Text> failOpen_, failOpenStream_;
  uint64_t calls_ = 0, reads_ = 0, writes_ = 0, streamReads_ = 0, guids_ = 0;
  std::vector<CallRecord> callLog_;
  int openObjects_ = 0;
};

}  // namespace vellum
