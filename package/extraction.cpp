#include "package/extraction.h"

#include <set>
#include <vector>

#include "package/compare_names.h"
#include "package/zip_reader.h"
#include "platform/read_exactly.h"

namespace vellum {
namespace {

constexpr uint32_t kCopyBufferSize = 65536;

bool CopyBytes(ByteStream& stream, File& file, uint64_t size) {
  std::vector<uint8_t> buffer(kCopyBufferSize);
  for (uint64_t remaining = size; remaining != 0;) {
    const uint32_t chunk = remaining >= kCopyBufferSize ? kCopyBufferSize : static_cast<uint32_t>(remaining);
    uint32_t written = 0;
    if (!ReadExactly(stream, buffer.data(), chunk)) return false;
    if (!file.Write(buffer.data(), chunk, written) || written != chunk) return false;
    remaining -= chunk;
  }
  return true;
}

}  // namespace

bool CopyStreamToFile(Platform& platform, ByteStream& stream, const ElementStat& stat, const Text& path) {
  auto file = platform.CreateAlways(path);
  if (!file) return false;
  if (!CopyBytes(stream, *file, stat.size)) {
    file.reset();  // close before deleting
    platform.DeleteFile(path);
    return false;
  }
  return file->SetTimes({stat.ctime, stat.atime, stat.mtime});
}

bool ExtractStorage(Platform& platform, ArchiveStorage& storage, const Text& destination) {
  if (!platform.CreateDirectory(destination)) return false;
  auto elements = storage.EnumElements();
  if (!elements) return false;
  // Windows folders ignore letter case: of names that differ only in case the
  // first is extracted and the later ones skipped, so that none overwrites
  // (or, failing its check, deletes) a file already written.
  const auto nameLess = [](const Text& a, const Text& b) { return CompareNames(a, b) < 0; };
  std::set<Text, decltype(nameLess)> taken(nameLess);
  for (bool first = true;; first = false) {
    ElementStat stat;
    const ElementEnumerator::Result result = elements->Next(stat);
    if (result == ElementEnumerator::Result::kEnd) return true;
    // A walk that fails at once enumerated nothing; one that breaks off
    // later keeps what came, like entries that fail on their own.
    if (result == ElementEnumerator::Result::kFailed) return !first;
    // Only files directly inside the folder: never a path, a device or "..".
    if (stat.type != kElementStream || !IsPlainFileName(stat.name)) continue;
    if (!taken.insert(stat.name).second) continue;
    if (auto stream = storage.OpenStream(stat.name)) {
      CopyStreamToFile(platform, *stream, stat, destination + u'\\' + stat.name);
    }
  }
}

}  // namespace vellum
