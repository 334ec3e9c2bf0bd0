#include "package/zip_entry_stream.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "package/zip_format.h"

namespace vellum::zip {
namespace {

// An entry's stored bytes, fetched in order from the shared file.
class EntrySource {
 public:
  EntrySource(std::shared_ptr<File> file, uint64_t offset, uint64_t size)
      : file_(std::move(file)), offset_(offset), remaining_(size) {}

  uint64_t remaining() const { return remaining_; }

  // Exactly size bytes; false past the stored bytes or the file's end.
  bool Read(uint8_t* out, uint32_t size) {
    if (size > remaining_ || !ReadExactly(*file_, offset_, out, size)) return false;
    offset_ += size;
    remaining_ -= size;
    return true;
  }

 private:
  std::shared_ptr<File> file_;
  uint64_t offset_, remaining_;
};

// Delivers exactly the declared size, checks the CRC-32 with the last byte,
// and stays failed after a failure.
class EntryStream : public ByteStream {
 public:
  EntryStream(EntrySource source, const EntryData& entry)
      : source_(std::move(source)), size_(entry.size), expectedCrc_(entry.crc) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) final {
    bytesRead = 0;
    if (failed_) return false;
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(size, size_ - delivered_));
    auto* out = static_cast<uint8_t*>(buffer);
    if (count != 0 && !Produce(out, count)) return Fail();
    crc_ = static_cast<uint32_t>(crc32(crc_, out, count));
    delivered_ += count;
    if (delivered_ == size_ && !verified_) {
      if (crc_ != expectedCrc_ || !EndsHere()) return Fail();
      verified_ = true;
    }
    bytesRead = count;
    return true;
  }

 protected:
  // Exactly count bytes of the entry's data, or false.
  virtual bool Produce(uint8_t* out, uint32_t count) = 0;
  // Once the declared size is delivered: true when the data ends there too.
  virtual bool EndsHere() = 0;

  EntrySource source_;

 private:
  bool Fail() {
    failed_ = true;
    return false;
  }

  const uint64_t size_;
  const uint32_t expectedCrc_;
  uint64_t delivered_ = 0;
  uint32_t crc_ = 0;
  bool verified_ = false, failed_ = false;
};

class StoredStream final : public EntryStream {
 public:
  using EntryStream::EntryStream;

 private:
  bool Produce(uint8_t* out, uint32_t count) override { return source_.Read(out, count); }
  bool EndsHere() override { return source_.remaining() == 0; }
};

// Raw deflate (no zlib header), through a fixed input buffer.
class DeflatedStream final : public EntryStream {
 public:
  DeflatedStream(EntrySource source, const EntryData& entry)
      : EntryStream(std::move(source), entry), input_(kInputSize) {}
  ~DeflatedStream() override {
    if (started_) inflateEnd(&inflater_);
  }

  bool Start() {
    started_ = inflateInit2(&inflater_, -MAX_WBITS) == Z_OK;
    return started_;
  }

 private:
  static constexpr uint32_t kInputSize = 65536;

  bool Produce(uint8_t* out, uint32_t count) override { return Inflate(out, count) == count; }

  bool EndsHere() override {
    uint8_t beyond;
    return Inflate(&beyond, 1) == 0 && ended_;
  }

  // Up to count bytes; fewer when the deflate data ends, is corrupt or is cut short.
  uint32_t Inflate(uint8_t* out, uint32_t count) {
    inflater_.next_out = out;
    inflater_.avail_out = count;
    while (inflater_.avail_out != 0 && !ended_ && !broken_) {
      if (inflater_.avail_in == 0) {
        const auto chunk =
            static_cast<uint32_t>(std::min<uint64_t>(kInputSize, source_.remaining()));
        if (chunk == 0 || !source_.Read(input_.data(), chunk)) {
          broken_ = true;
          break;
        }
        inflater_.next_in = input_.data();
        inflater_.avail_in = chunk;
      }
      const int result = inflate(&inflater_, Z_NO_FLUSH);
      ended_ = result == Z_STREAM_END;
      broken_ = result != Z_OK && result != Z_STREAM_END;
    }
    return count - inflater_.avail_out;
  }

  std::vector<uint8_t> input_;
  z_stream inflater_{};
  bool started_ = false, ended_ = false, broken_ = false;
};

}  // namespace

std::unique_ptr<ByteStream> OpenEntryStream(std::shared_ptr<File> file, const EntryData& entry) {
  if (entry.flags & kFlagsEncrypted) return nullptr;
  if (entry.method != kMethodStored && entry.method != kMethodDeflated) return nullptr;
  // The local header's name and extra field may differ in length from the
  // central record's, so the data starts where the local header says.
  uint8_t local[kLocalHeaderSize];
  if (!ReadExactly(*file, entry.localOffset, local, kLocalHeaderSize)) return nullptr;
  if (LoadLe32(local) != kLocalHeaderSignature || (LoadLe16(local + 6) & kFlagsEncrypted)) return nullptr;
  const uint64_t dataOffset =
      entry.localOffset + kLocalHeaderSize + LoadLe16(local + 26) + LoadLe16(local + 28);
  EntrySource source(std::move(file), dataOffset, entry.compressedSize);
  if (entry.method == kMethodStored) {
    return std::make_unique<StoredStream>(std::move(source), entry);
  }
  auto stream = std::make_unique<DeflatedStream>(std::move(source), entry);
  if (!stream->Start()) return nullptr;
  return stream;
}

}  // namespace vellum::zip
