#pragma once
// Shared by the files of the in-memory platform only.
#include <memory>
#include <vector>

#include "tests/support/memory_platform.h"

namespace vellum {
namespace memory_paths {

// The components of a path; backslash and slash separate, empty ones are dropped.
std::vector<Text> Components(const Text& path);
// Upper-cases ASCII letters, which is how names are compared.
Text Upper(Text text);

}  // namespace memory_paths

struct MemoryPlatform::Body {
  std::shared_ptr<std::vector<uint8_t>> bytes = std::make_shared<std::vector<uint8_t>>();
  FileTimes times;
  int sharedReaders = 0;  // opens that let others read
  int exclusive = 0;      // opens that share nothing
  bool held = false;      // one of the readers is "another program"
  bool InUse() const { return sharedReaders || exclusive; }
};

// Everything the seam hands out counts as open until it is destroyed.
class MemoryPlatform::Tracked {
 public:
  explicit Tracked(MemoryPlatform& platform) : platform_(platform) { ++platform.openObjects_; }
  ~Tracked() { --platform_.openObjects_; }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;

 protected:
  MemoryPlatform& platform_;
};

}  // namespace vellum
