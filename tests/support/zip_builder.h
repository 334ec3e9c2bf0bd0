#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A ZIP writer for tests: well-formed archives by default, and every field
// open to being set wrong on purpose.
namespace vellum::testing {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(std::string_view text);
// Raw deflate data (no zlib header), as ZIP entries hold it.
Bytes DeflateRaw(const Bytes& data);
uint32_t Crc32(const Bytes& data);

Bytes ExtraField(uint16_t id, const Bytes& data);
Bytes NtfsTimesField(uint64_t mtime, uint64_t atime, uint64_t ctime);
// flags: bit 0 mtime, 1 atime, 2 ctime; times: the values that follow.
Bytes UnixTimesField(uint8_t flags, const std::vector<int32_t>& times);

struct ZipEntry {
  std::string name;     // the stored bytes
  Bytes data;           // the content
  uint16_t method = 0;  // 8: the builder deflates data; others store it as it is
  uint16_t flags = 0;
  uint16_t madeBy = 20;                  // MS-DOS host; (3 << 8) | 30 is Unix
  uint16_t dosTime = 0, dosDate = 0x21;  // 1980-01-01 00:00:00
  Bytes centralExtra, localExtra;
  // Overrides of what the records say.
  std::optional<uint32_t> crc;
  std::optional<uint64_t> size, compressedSize;  // central record only
  std::optional<Bytes> encoded;                  // written as the entry's data
  std::optional<uint64_t> localOffset;
  bool zip64 = false;           // sizes and offset go into ZIP64 fields
  bool dataDescriptor = false;  // local header without crc and sizes, descriptor after the data
};

class ZipBuilder {
 public:
  ZipEntry& Add(std::string name, std::string_view content = {}, uint16_t method = 0);
  Bytes Build() const;

  std::vector<ZipEntry> entries;
  bool zip64End = false;  // ZIP64 end record and locator; saturated end record fields
  std::string comment;
  std::optional<uint64_t> entryCount;  // overrides the count in the end records
  Bytes prefix;                        // bytes before the first entry
  uint64_t base = 0;  // added to every offset written, for archives placed past a gap
};

}  // namespace vellum::testing
