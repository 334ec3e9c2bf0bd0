#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "package/zip_reader.h"
#include "tests/support/memory_file.h"

// Reading an archive storage back the way extraction does.
namespace vellum::testing {

// The test archives' DOS times are Tokyo time, nine hours ahead of UTC.
constexpr FileTime kNineHours = 9ull * 3600 * 10'000'000;
inline FileTime TokyoToUtc(FileTime local) { return local - kNineHours; }

inline std::unique_ptr<ArchiveStorage> OpenZip(const std::vector<uint8_t>& bytes) {
  return OpenZipArchive(std::make_unique<MemoryFile>(std::make_shared<std::vector<uint8_t>>(bytes)),
                        TokyoToUtc);
}

inline std::vector<ElementStat> ListElements(ArchiveStorage& storage) {
  std::vector<ElementStat> elements;
  auto enumerator = storage.EnumElements();
  if (!enumerator) {
    ADD_FAILURE() << "no enumerator";
    return elements;
  }
  ElementStat stat;
  for (ElementEnumerator::Result result;
       (result = enumerator->Next(stat)) != ElementEnumerator::Result::kEnd;) {
    if (result == ElementEnumerator::Result::kFailed) {
      ADD_FAILURE() << "enumeration failed";
      break;
    }
    elements.push_back(stat);
  }
  return elements;
}

// Names and types of the elements, in order.
inline std::vector<std::pair<Text, uint32_t>> Outline(ArchiveStorage& storage) {
  std::vector<std::pair<Text, uint32_t>> outline;
  for (const ElementStat& stat : ListElements(storage)) outline.emplace_back(stat.name, stat.type);
  return outline;
}

// Reads size bytes in full chunks of chunkSize; empty when the stream cannot
// be opened, a read fails or a chunk comes short.
inline std::optional<std::vector<uint8_t>> ReadStream(ArchiveStorage& storage, const Text& name,
                                                      uint64_t size, uint32_t chunkSize = 65536) {
  auto stream = storage.OpenStream(name);
  if (!stream) return std::nullopt;
  std::vector<uint8_t> content, chunk(chunkSize);
  for (uint64_t remaining = size; remaining != 0;) {
    const auto want = static_cast<uint32_t>(std::min<uint64_t>(chunkSize, remaining));
    uint32_t got = 0;
    if (!stream->Read(chunk.data(), want, got) || got != want) return std::nullopt;
    content.insert(content.end(), chunk.begin(), chunk.begin() + got);
    remaining -= got;
  }
  return content;
}

}  // namespace vellum::testing
