#include "package/zip_reader.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "package/zip_entry_stream.h"
#include "package/zip_format.h"
#include "package/zip_names.h"
#include "package/zip_times.h"

namespace vellum {
namespace {

using namespace zip;

// Where the central directory lies and how many records it holds.
struct Directory {
  uint64_t offset = 0, size = 0, entries = 0;
};

// Offset in tail of the last end record whose comment fits in tail, or -1.
int64_t FindEndRecord(const std::vector<uint8_t>& tail) {
  for (size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
    if (LoadLe32(&tail[at]) == kEndSignature && at + kEndSize + LoadLe16(&tail[at + 20]) <= tail.size()) {
      return static_cast<int64_t>(at);
    }
  }
  return -1;
}

// The ZIP64 end record that the locator before the end record points to;
// kNone when it was read. Otherwise the end record's own fields stand, and
// the result is what to blame should they not hold: the unusable locator,
// or the directory's range when there is no locator at all.
ZipRefusal ReadEnd64Record(File& file, uint64_t endOffset, Directory& directory,
                           uint64_t& recordOffset) {
  uint8_t locator[kEnd64LocatorSize], record[kEnd64Size];
  if (endOffset < kEnd64LocatorSize + kEnd64Size) return ZipRefusal::kDirectoryOutOfRange;
  const uint64_t locatorOffset = endOffset - kEnd64LocatorSize;
  if (!ReadExactly(file, locatorOffset, locator, kEnd64LocatorSize)) return ZipRefusal::kReadFailed;
  if (LoadLe32(locator) != kEnd64LocatorSignature) return ZipRefusal::kDirectoryOutOfRange;
  const uint64_t offset = LoadLe64(locator + 8);
  if (offset > locatorOffset - kEnd64Size) return ZipRefusal::kZip64RecordOffset;
  if (!ReadExactly(file, offset, record, kEnd64Size)) return ZipRefusal::kReadFailed;
  if (LoadLe32(record) != kEnd64Signature) return ZipRefusal::kZip64RecordSignature;
  directory = {LoadLe64(record + 48), LoadLe64(record + 40), LoadLe64(record + 32)};
  recordOffset = offset;
  return ZipRefusal::kNone;
}

// Finds the end record in the file's last 64 KiB + 22 bytes, searching from
// the back, and the central directory it describes, which must lie before it.
ZipRefusal FindDirectory(File& file, uint64_t fileSize, Directory& directory) {
  if (fileSize < kEndSize) return ZipRefusal::kTooShort;
  std::vector<uint8_t> tail(std::min<uint64_t>(fileSize, kEndSize + kMaxCommentSize));
  const uint64_t tailOffset = fileSize - tail.size();
  if (!ReadExactly(file, tailOffset, tail.data(), static_cast<uint32_t>(tail.size()))) {
    return ZipRefusal::kReadFailed;
  }
  const int64_t at = FindEndRecord(tail);
  if (at < 0) return ZipRefusal::kNoEndRecord;
  const uint8_t* end = &tail[at];
  const uint64_t endOffset = tailOffset + at;
  uint64_t limit = endOffset;
  const ZipRefusal zip64 = ReadEnd64Record(file, endOffset, directory, limit);
  if (zip64 != ZipRefusal::kNone) directory = {LoadLe32(end + 16), LoadLe32(end + 12), LoadLe16(end + 10)};
  if (directory.offset <= limit && directory.size <= limit - directory.offset) return ZipRefusal::kNone;
  return zip64 == ZipRefusal::kNone ? ZipRefusal::kDirectoryOutOfRange : zip64;
}

// Sequential reads of the central directory through one fixed buffer.
class DirectoryReader {
 public:
  DirectoryReader(File& file, const Directory& directory)
      : file_(file),
        next_(directory.offset),
        end_(directory.offset + directory.size),
        buffer_(kBufferSize) {}

  // False when the directory ends first or the file fails; out null skips.
  bool Read(uint8_t* out, uint32_t size) {
    while (size != 0) {
      if (position_ == filled_ && !Refill()) return false;
      const uint32_t count = std::min(size, filled_ - position_);
      if (out) out = std::copy_n(buffer_.data() + position_, count, out);
      position_ += count;
      size -= count;
    }
    return true;
  }
  // Whether a read stopped because the file failed, not the directory.
  bool failed() const { return failed_; }

 private:
  static constexpr uint32_t kBufferSize = 65536;

  bool Refill() {
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(kBufferSize, end_ - next_));
    if (count == 0) return false;
    failed_ = !ReadExactly(file_, next_, buffer_.data(), count);
    if (failed_) return false;
    next_ += count;
    position_ = 0;
    filled_ = count;
    return true;
  }

  File& file_;
  uint64_t next_, end_;
  std::vector<uint8_t> buffer_;
  uint32_t position_ = 0, filled_ = 0;
  bool failed_ = false;
};

// Replaces saturated sizes and offset by the ZIP64 field's values, which
// follow in this order and only for the saturated ones. False when the field
// lacks one that is needed.
bool ApplyZip64Field(CentralHeader& header, const uint8_t* extra) {
  uint64_t* const fields[3] = {&header.size, &header.compressedSize, &header.localOffset};
  bool needed = false, complete = false;
  for (uint64_t* field : fields) needed |= *field == kSaturated32;
  ForEachExtraField(extra, header.extraLength, [&](uint16_t id, const uint8_t* data, size_t size) {
    if (id != kExtraZip64 || complete) return;
    size_t at = 0;
    for (uint64_t* field : fields) {
      if (*field != kSaturated32) continue;
      if (size - at < 8) return;
      *field = LoadLe64(data + at);
      at += 8;
    }
    complete = true;
  });
  return !needed || complete;
}

// The archive's top-level elements in central-directory order, and the
// streams by name.
struct Catalog {
  struct Element {
    ElementStat stat;
    EntryData data;
  };
  std::vector<Element> elements;
  std::unordered_map<Text, size_t> streamsByName, streamsByFoldedName;
  std::unordered_set<Text> foldedStorageNames;

  void Add(const Text& name, const CentralHeader& header, const uint8_t* extra, bool sizesKnown,
           const LocalToUtc& localToUtc) {
    const size_t separator = name.find_first_of(u"/\\");
    const Text top = name.substr(0, separator);
    if (!IsPlainFileName(top)) return;
    Element element;
    if (separator != Text::npos) {
      // A folder entry or one inside a folder: its top folder, once.
      if (!foldedStorageNames.insert(FoldAsciiCase(top)).second) return;
      element.stat.type = kElementStorage;
    } else {
      // The first of exactly equal names; names differing in case are all kept.
      if (!sizesKnown || streamsByName.count(top)) return;
      element.stat.type = kElementStream;
      element.stat.size = header.size;
      element.data = {header.localOffset, header.compressedSize, header.size,
                      header.crc,         header.method,         header.flags};
      streamsByName.emplace(top, elements.size());
      streamsByFoldedName.emplace(FoldAsciiCase(top), elements.size());
    }
    element.stat.name = top;
    SetEntryTimes(element.stat, header, extra, localToUtc);
    elements.push_back(std::move(element));
  }
};

// Reads every central record; refuses a malformed one, and a directory
// holding fewer records than the end record counts.
ZipRefusal ReadCatalog(File& file, const Directory& directory, const LocalToUtc& localToUtc,
                       const LegacyNameDecoder& legacyNames, Catalog& catalog) {
  DirectoryReader reader(file, directory);
  auto stopped = [&reader](ZipRefusal directoryEnded) {
    return reader.failed() ? ZipRefusal::kReadFailed : directoryEnded;
  };
  uint8_t fixed[kCentralHeaderSize];
  std::vector<uint8_t> name(0xFFFF), extra(0xFFFF);
  for (uint64_t i = 0; i < directory.entries; ++i) {
    if (!reader.Read(fixed, kCentralHeaderSize)) return stopped(ZipRefusal::kMissingRecords);
    if (LoadLe32(fixed) != kCentralHeaderSignature) return ZipRefusal::kRecordSignature;
    CentralHeader header = ParseCentralHeader(fixed);
    if (!reader.Read(name.data(), header.nameLength) ||
        !reader.Read(extra.data(), header.extraLength) ||
        !reader.Read(nullptr, header.commentLength)) {
      return stopped(ZipRefusal::kRecordOverrun);
    }
    const bool sizesKnown = ApplyZip64Field(header, extra.data());
    catalog.Add(DecodeEntryName(header, name.data(), extra.data(), legacyNames), header, extra.data(),
                sizesKnown, localToUtc);
  }
  return ZipRefusal::kNone;
}

class ZipEnumerator final : public ElementEnumerator {
 public:
  explicit ZipEnumerator(std::shared_ptr<const Catalog> catalog) : catalog_(std::move(catalog)) {}

  Result Next(ElementStat& stat) override {
    if (next_ == catalog_->elements.size()) return Result::kEnd;
    stat = catalog_->elements[next_++].stat;
    return Result::kElement;
  }

 private:
  std::shared_ptr<const Catalog> catalog_;
  size_t next_ = 0;
};

class ZipStorage final : public ArchiveStorage {
 public:
  ZipStorage(std::shared_ptr<File> file, std::shared_ptr<const Catalog> catalog)
      : file_(std::move(file)), catalog_(std::move(catalog)) {}

  std::unique_ptr<ElementEnumerator> EnumElements() override {
    return std::make_unique<ZipEnumerator>(catalog_);
  }

  // An exactly matching name first, else one that differs in ASCII case only.
  std::unique_ptr<ByteStream> OpenStream(const Text& name) override {
    auto found = catalog_->streamsByName.find(name);
    if (found == catalog_->streamsByName.end()) {
      found = catalog_->streamsByFoldedName.find(FoldAsciiCase(name));
      if (found == catalog_->streamsByFoldedName.end()) return nullptr;
    }
    return OpenEntryStream(file_, catalog_->elements[found->second].data);
  }

 private:
  std::shared_ptr<File> file_;
  std::shared_ptr<const Catalog> catalog_;
};

}  // namespace

const char* ZipRefusalText(ZipRefusal why) {
  switch (why) {
    case ZipRefusal::kNone: return "no fault";
    case ZipRefusal::kNoFile: return "there is no file to read";
    case ZipRefusal::kReadFailed: return "reading the file failed";
    case ZipRefusal::kTooShort: return "the file is too short for an end record";
    case ZipRefusal::kNoEndRecord: return "no end record in the file's last 64 KiB";
    case ZipRefusal::kZip64RecordOffset: return "the ZIP64 locator points where no ZIP64 end record fits";
    case ZipRefusal::kZip64RecordSignature: return "the ZIP64 locator points to no ZIP64 end record";
    case ZipRefusal::kDirectoryOutOfRange: return "the central directory lies outside the archive";
    case ZipRefusal::kMissingRecords:
      return "the central directory holds fewer records than the end record counts";
    case ZipRefusal::kRecordSignature: return "a central directory record has a wrong signature";
    case ZipRefusal::kRecordOverrun: return "a central directory record runs past the directory";
  }
  return "unknown reason";
}

std::unique_ptr<ArchiveStorage> OpenZipArchive(std::unique_ptr<File> file, LocalToUtc localToUtc,
                                               LegacyNameDecoder legacyNames, ZipRefusal* why) {
  auto refuse = [why](ZipRefusal reason) {
    if (why) *why = reason;
    return std::unique_ptr<ArchiveStorage>();
  };
  if (why) *why = ZipRefusal::kNone;
  if (!file) return refuse(ZipRefusal::kNoFile);
  uint64_t fileSize = 0;
  if (!file->GetSize(fileSize)) return refuse(ZipRefusal::kReadFailed);
  Directory directory;
  ZipRefusal refusal = FindDirectory(*file, fileSize, directory);
  if (refusal != ZipRefusal::kNone) return refuse(refusal);
  auto catalog = std::make_shared<Catalog>();
  refusal = ReadCatalog(*file, directory, localToUtc, legacyNames, *catalog);
  if (refusal != ZipRefusal::kNone) return refuse(refusal);
  return std::make_unique<ZipStorage>(std::move(file), std::move(catalog));
}

}  // namespace vellum
