#pragma once
// Fault injection around any platform, as a test VFS wraps a real one: every
// call through the seam, including the methods of the objects it hands out,
// counts in order and is logged, and one rule makes a call fail or come up
// short. Around the in-memory double or around the real Win32 platform alike.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace vellum {

// What a fault does to the call it hits. kShort applies to calls that move
// bytes (File::Read, File::Write, ByteStream::Read): they move at most half
// the bytes asked for and succeed. Other calls simply fail.
enum class Fault { kFail, kShort };

// The one rule: call number onCall (from 1; 0 hits nothing), counted over
// every call or, when operation is given, over the calls of that operation
// ("File::Read", "CreateDirectory", ...) and, when path is given, of that
// path or element name only; that call alone or every one from it on.
struct FaultRule {
  const char* operation = nullptr;
  Text path;
  uint64_t onCall = 0;
  bool fromThenOn = false;
  Fault fault = Fault::kFail;
};

// One call made through the seam.
struct CallRecord {
  const char* operation;  // "OpenForReading", "File::Read", "ByteStream::Read"...
  Text path;              // the path, pattern or element name; empty for the others
};

class FaultyPlatform final : public Platform {
 public:
  explicit FaultyPlatform(Platform& inner) : inner_(inner) {}
  FaultyPlatform(const FaultyPlatform&) = delete;
  FaultyPlatform& operator=(const FaultyPlatform&) = delete;

  // Arms the rule (its count starts afresh); a rule of onCall 0 disarms.
  void Arm(FaultRule rule) {
    rule_ = std::move(rule);
    matching_ = 0;
  }
  uint64_t calls() const { return log_.size(); }
  const std::vector<CallRecord>& callLog() const { return log_; }

  std::unique_ptr<File> OpenForReading(const Text& path) override;
  std::unique_ptr<File> CreateAlways(const Text& path) override;
  bool DeleteFile(const Text& path) override;
  bool CreateDirectory(const Text& path) override;
  bool RemoveDirectory(const Text& path) override;
  std::unique_ptr<FileSearch> FindFiles(const Text& pattern) override;
  bool NewGuidText(Text& text) override;
  std::unique_ptr<ArchiveStorage> OpenShellArchive(const Text& path) override;
  // Conversions, not calls that can fail: passed through uncounted.
  FileTime LocalTimeToUtc(FileTime local) override { return inner_.LocalTimeToUtc(local); }
  bool DecodeLegacyName(const uint8_t* bytes, size_t size, Text& name) override {
    return inner_.DecodeLegacyName(bytes, size, name);
  }

  enum class Outcome { kNormal, kFail, kShort };
  // Counts and logs a call and says what it must do.
  Outcome Enter(const char* operation, const Text& path = {});

 private:
  Platform& inner_;
  FaultRule rule_;
  std::vector<CallRecord> log_;
  uint64_t matching_ = 0;  // calls the rule's operation and path select
};

}  // namespace vellum
