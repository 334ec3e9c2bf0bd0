#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "base/little_endian.h"

namespace vellum::testing {
namespace {

constexpr uint32_t kSaturated = 0xFFFFFFFF;

// Fields are given as any width and cut to theirs, as the records store them.
void Put16(Bytes& out, uint64_t value) { AppendLe16(out, static_cast<uint16_t>(value)); }
void Put32(Bytes& out, uint64_t value) { AppendLe32(out, static_cast<uint32_t>(value)); }
void Put64(Bytes& out, uint64_t value) { AppendLe64(out, value); }
void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
void Append(Bytes& out, const std::string& more) {
  out.insert(out.end(), more.begin(), more.end());
}

// What one entry's records say.
struct Record {
  uint32_t crc;
  uint64_t size, compressedSize, offset;
  Bytes encoded;
};

Bytes Zip64Field(const std::vector<uint64_t>& values) {
  Bytes data;
  for (uint64_t value : values) Put64(data, value);
  return ExtraField(0x0001, data);
}

void PutLocalHeader(Bytes& out, const ZipEntry& entry, const Record& record) {
  Bytes extra = entry.localExtra;
  if (entry.zip64) Append(extra, Zip64Field({record.size, record.compressedSize}));
  const bool later = entry.dataDescriptor;
  Put32(out, 0x04034b50);
  Put16(out, entry.zip64 ? 45 : 20);
  Put16(out, entry.flags | (later ? 8 : 0));
  Put16(out, entry.method);
  Put16(out, entry.dosTime);
  Put16(out, entry.dosDate);
  Put32(out, later ? 0 : record.crc);
  Put32(out, later ? 0 : entry.zip64 ? kSaturated : record.compressedSize);
  Put32(out, later ? 0 : entry.zip64 ? kSaturated : record.size);
  Put16(out, entry.name.size());
  Put16(out, extra.size());
  Append(out, entry.name);
  Append(out, extra);
}

void PutDataDescriptor(Bytes& out, const ZipEntry& entry, const Record& record) {
  Put32(out, 0x08074b50);
  Put32(out, record.crc);
  if (entry.zip64) {
    Put64(out, record.compressedSize);
    Put64(out, record.size);
  } else {
    Put32(out, record.compressedSize);
    Put32(out, record.size);
  }
}

void PutCentralHeader(Bytes& out, const ZipEntry& entry, const Record& record) {
  Bytes extra;
  if (entry.zip64) Append(extra, Zip64Field({record.size, record.compressedSize, record.offset}));
  Append(extra, entry.centralExtra);
  Put32(out, 0x02014b50);
  Put16(out, entry.madeBy);
  Put16(out, entry.zip64 ? 45 : 20);
  Put16(out, entry.flags | (entry.dataDescriptor ? 8 : 0));
  Put16(out, entry.method);
  Put16(out, entry.dosTime);
  Put16(out, entry.dosDate);
  Put32(out, record.crc);
  Put32(out, entry.zip64 ? kSaturated : record.compressedSize);
  Put32(out, entry.zip64 ? kSaturated : record.size);
  Put16(out, entry.name.size());
  Put16(out, extra.size());
  Put16(out, 0);  // comment
  Put16(out, 0);  // disk
  Put16(out, 0);  // internal attributes
  Put32(out, 0);  // external attributes
  Put32(out, entry.zip64 ? kSaturated : record.offset);
  Append(out, entry.name);
  Append(out, extra);
}

void PutEnd64(Bytes& out, uint64_t base, uint64_t count, uint64_t directorySize,
              uint64_t directoryOffset) {
  const uint64_t recordOffset = base + out.size();
  Put32(out, 0x06064b50);
  Put64(out, 44);
  Put16(out, 45);
  Put16(out, 45);
  Put32(out, 0);
  Put32(out, 0);
  Put64(out, count);
  Put64(out, count);
  Put64(out, directorySize);
  Put64(out, directoryOffset);
  Put32(out, 0x07064b50);
  Put32(out, 0);
  Put64(out, recordOffset);
  Put32(out, 1);
}

}  // namespace

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes DeflateRaw(const Bytes& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    ADD_FAILURE() << "deflateInit2";
    return {};
  }
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  EXPECT_EQ(result, Z_STREAM_END);
  return out;
}

uint32_t Crc32(const Bytes& data) {
  return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

Bytes ExtraField(uint16_t id, const Bytes& data) {
  Bytes field(4 + data.size());
  field[0] = static_cast<uint8_t>(id), field[1] = static_cast<uint8_t>(id >> 8);
  field[2] = static_cast<uint8_t>(data.size()), field[3] = static_cast<uint8_t>(data.size() >> 8);
  std::copy(data.begin(), data.end(), field.begin() + 4);
  return field;
}

Bytes NtfsTimesField(uint64_t mtime, uint64_t atime, uint64_t ctime) {
  Bytes data;
  Put32(data, 0);  // reserved
  Put16(data, 1);  // tag 1: the three times
  Put16(data, 24);
  Put64(data, mtime);
  Put64(data, atime);
  Put64(data, ctime);
  return ExtraField(0x000A, data);
}

Bytes UnixTimesField(uint8_t flags, const std::vector<int32_t>& times) {
  Bytes data{flags};
  for (int32_t time : times) Put32(data, static_cast<uint32_t>(time));
  return ExtraField(0x5455, data);
}

ZipEntry& ZipBuilder::Add(std::string name, std::string_view content, uint16_t method) {
  ZipEntry& entry = entries.emplace_back();
  entry.name = std::move(name);
  entry.data = ToBytes(content);
  entry.method = method;
  return entry;
}

Bytes ZipBuilder::Build() const {
  Bytes out = prefix;
  std::vector<Record> records;
  for (const ZipEntry& entry : entries) {
    Record record;
    record.encoded = entry.encoded       ? *entry.encoded
                     : entry.method == 8 ? DeflateRaw(entry.data)
                                         : entry.data;
    record.crc = entry.crc.value_or(Crc32(entry.data));
    record.size = entry.data.size();
    record.compressedSize = record.encoded.size();
    record.offset = base + out.size();
    PutLocalHeader(out, entry, record);
    Append(out, record.encoded);
    if (entry.dataDescriptor) PutDataDescriptor(out, entry, record);
    record.size = entry.size.value_or(record.size);
    record.compressedSize = entry.compressedSize.value_or(record.compressedSize);
    record.offset = entry.localOffset.value_or(record.offset);
    records.push_back(std::move(record));
  }
  const uint64_t directoryStart = out.size();
  for (size_t i = 0; i < entries.size(); ++i) PutCentralHeader(out, entries[i], records[i]);
  const uint64_t directorySize = out.size() - directoryStart,
                 directoryOffset = base + directoryStart;
  const uint64_t count = entryCount.value_or(entries.size());
  if (zip64End) PutEnd64(out, base, count, directorySize, directoryOffset);
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, zip64End ? 0xFFFF : count);
  Put16(out, zip64End ? 0xFFFF : count);
  Put32(out, zip64End ? kSaturated : directorySize);
  Put32(out, zip64End ? kSaturated : directoryOffset);
  Put16(out, comment.size());
  Append(out, comment);
  return out;
}

}  // namespace vellum::testing
