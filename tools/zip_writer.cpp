#include "tools/zip_writer.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <vector>

#include "base/little_endian.h"
#include "base/utf8.h"
#include "package/zip_reader.h"
#include "platform/posix_file.h"

namespace vellum::tool {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kZip64Threshold = 0xFFFFFFFFu;
// Files below this size always deflate to less than 4 GiB, so their sizes
// fit the classic fields; larger ones get ZIP64 fields from the start.
constexpr uint64_t kSmallFileLimit = 0xFF000000ull;

class Bytes {
 public:
  void U16(uint32_t v) { AppendLe16(data, static_cast<uint16_t>(v)); }
  void U32(uint32_t v) { AppendLe32(data, v); }
  void U64(uint64_t v) { AppendLe64(data, v); }
  void Append(const std::string& s) { data.insert(data.end(), s.begin(), s.end()); }
  std::vector<uint8_t> data;
};

struct Entry {
  std::string name;  // UTF-8
  uint64_t size = 0, compressedSize = 0, localOffset = 0;
  uint32_t crc = 0, dosTime = 0;
  FileTime mtime = 0, atime = 0, ctime = 0;
  bool zip64 = false;
};

FileTime ToFileTime(const struct timespec& t) {
  return static_cast<uint64_t>(t.tv_sec) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100 +
         116444736000000000ull;
}

uint32_t DosTime(time_t t) {
  struct tm local {};
  localtime_r(&t, &local);
  if (local.tm_year < 80) return (1 << 21) | (1 << 16);  // 1980-01-01, the earliest DOS date
  return static_cast<uint32_t>((local.tm_year - 80) << 25 | (local.tm_mon + 1) << 21 | local.tm_mday << 16 |
                               local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
}

void NtfsExtra(Bytes& b, const Entry& e) {
  b.U16(0x000A);
  b.U16(32);
  b.U32(0);
  b.U16(1);
  b.U16(24);
  b.U64(e.mtime);
  b.U64(e.atime);
  b.U64(e.ctime);
}

bool Put(File& out, const std::vector<uint8_t>& data, uint64_t& offset) {
  uint32_t done = 0;
  if (!out.Write(data.data(), static_cast<uint32_t>(data.size()), done) || done != data.size()) return false;
  offset += data.size();
  return true;
}

// The fields local header and central record share: flags (UTF-8 names),
// method (deflate), time, CRC, sizes (saturated when ZIP64 holds them) and
// the name's length.
void EntryFields(Bytes& b, const Entry& e) {
  b.U16(1 << 11);
  b.U16(8);
  b.U32(e.dosTime);
  b.U32(e.crc);
  b.U32(e.zip64 ? kZip64Threshold : static_cast<uint32_t>(e.compressedSize));
  b.U32(e.zip64 ? kZip64Threshold : static_cast<uint32_t>(e.size));
  b.U16(static_cast<uint32_t>(e.name.size()));
}

Bytes LocalHeader(const Entry& e) {
  Bytes b;
  b.U32(0x04034B50);
  b.U16(e.zip64 ? 45 : 20);
  EntryFields(b, e);
  b.U16(e.zip64 ? 20 : 0);
  b.Append(e.name);
  if (e.zip64) {
    b.U16(0x0001);
    b.U16(16);
    b.U64(e.size);
    b.U64(e.compressedSize);
  }
  return b;
}

// Deflates one file after its local header, then writes the header again
// with the sizes and CRC now known.
bool AddFile(const std::string& path, Entry& e, File& out, uint64_t& offset, std::string& error) {
  auto in = PosixFile::OpenForReading(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  e.localOffset = offset;
  if (!Put(out, LocalHeader(e).data, offset)) return false;
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  std::vector<uint8_t> input(65536), output(65536);
  bool ok = true;
  uint64_t read = 0;
  for (bool end = false; ok && !end;) {
    uint32_t got = 0;
    if (!in->Read(input.data(), static_cast<uint32_t>(input.size()), got)) ok = false;
    end = got == 0;
    read += got;
    e.crc = static_cast<uint32_t>(crc32(e.crc, input.data(), got));
    z.next_in = input.data();
    z.avail_in = got;
    do {
      z.next_out = output.data();
      z.avail_out = static_cast<uInt>(output.size());
      deflate(&z, end ? Z_FINISH : Z_NO_FLUSH);
      const size_t n = output.size() - z.avail_out;
      e.compressedSize += n;
      ok = ok && Put(out, std::vector<uint8_t>(output.begin(), output.begin() + static_cast<long>(n)), offset);
    } while (ok && z.avail_out == 0);
  }
  deflateEnd(&z);
  if (ok && read != e.size) {
    error = path + " changed while it was archived";
    return false;
  }
  uint64_t ignored = 0;
  return ok && out.Seek(e.localOffset) && Put(out, LocalHeader(e).data, ignored) && out.Seek(offset);
}

Bytes CentralRecord(const Entry& e) {
  const bool zip64Offset = e.localOffset >= kZip64Threshold;
  Bytes b;
  b.U32(0x02014B50);
  // Made on Unix: tools then take the names as the UTF-8 that flag bit 11
  // says they are, instead of converting them from a DOS code page.
  b.U16(3 << 8 | (e.zip64 || zip64Offset ? 45 : 20));
  b.U16(e.zip64 || zip64Offset ? 45 : 20);
  EntryFields(b, e);
  b.U16(36 + (e.zip64 || zip64Offset ? 4 + (e.zip64 ? 16 : 0) + (zip64Offset ? 8 : 0) : 0));
  b.U16(0);
  b.U16(0);
  b.U16(0);
  b.U32(0100644u << 16 | 0x20);  // a regular file, rw-r--r--; the archive attribute
  b.U32(zip64Offset ? kZip64Threshold : static_cast<uint32_t>(e.localOffset));
  b.Append(e.name);
  NtfsExtra(b, e);
  if (e.zip64 || zip64Offset) {
    b.U16(0x0001);
    b.U16((e.zip64 ? 16 : 0) + (zip64Offset ? 8 : 0));
    if (e.zip64) {
      b.U64(e.size);
      b.U64(e.compressedSize);
    }
    if (zip64Offset) b.U64(e.localOffset);
  }
  return b;
}

}  // namespace

bool WriteFolderZip(const std::string& folder, File& out, std::string& error) {
  std::vector<Entry> entries;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(folder, ec)) {
    if (!item.is_regular_file()) {
      std::fprintf(stderr, "vellum-seal: skipping %s: only files directly inside the folder are shown\n",
                   item.path().c_str());
      continue;
    }
    Entry e;
    e.name = item.path().filename().string();
    Text name;
    if (!Utf8ToText(e.name, name) || !IsPlainFileName(name)) {
      error = "the file name " + e.name + " cannot be shown by the viewer (not a plain Windows file name)";
      return false;
    }
    struct stat st {};
    if (::stat(item.path().c_str(), &st) != 0) {
      error = "cannot read " + item.path().string();
      return false;
    }
    e.size = static_cast<uint64_t>(st.st_size);
    e.zip64 = e.size >= kSmallFileLimit;
    e.mtime = ToFileTime(st.st_mtim);
    e.atime = ToFileTime(st.st_atim);
    e.ctime = ToFileTime(st.st_ctim);  // Unix keeps no creation time; the change time stands in
    e.dosTime = DosTime(st.st_mtim.tv_sec);
    entries.push_back(e);
  }
  if (ec) {
    error = "cannot list the folder " + folder + ": " + ec.message();
    return false;
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

  uint64_t offset = 0;
  for (Entry& e : entries) {
    if (!AddFile((fs::path(folder) / e.name).string(), e, out, offset, error)) {
      if (error.empty()) error = "cannot write the archive";
      return false;
    }
  }
  const uint64_t directoryStart = offset;
  Bytes directory;
  for (const Entry& e : entries) {
    const Bytes record = CentralRecord(e);
    directory.data.insert(directory.data.end(), record.data.begin(), record.data.end());
  }
  const uint64_t directorySize = directory.data.size();
  const bool zip64 = entries.size() >= 0xFFFF || directoryStart >= kZip64Threshold ||
                     directorySize >= kZip64Threshold;
  if (zip64) {
    const uint64_t recordOffset = directoryStart + directorySize;
    directory.U32(0x06064B50);
    directory.U64(44);
    directory.U16(45);
    directory.U16(45);
    directory.U32(0);
    directory.U32(0);
    directory.U64(entries.size());
    directory.U64(entries.size());
    directory.U64(directorySize);
    directory.U64(directoryStart);
    directory.U32(0x07064B50);
    directory.U32(0);
    directory.U64(recordOffset);
    directory.U32(1);
  }
  directory.U32(0x06054B50);
  directory.U16(0);
  directory.U16(0);
  directory.U16(zip64 ? 0xFFFF : static_cast<uint32_t>(entries.size()));
  directory.U16(zip64 ? 0xFFFF : static_cast<uint32_t>(entries.size()));
  directory.U32(zip64 ? kZip64Threshold : static_cast<uint32_t>(directorySize));
  directory.U32(zip64 ? kZip64Threshold : static_cast<uint32_t>(directoryStart));
  directory.U16(0);
  if (!Put(out, directory.data, offset)) {
    error = "cannot write the archive";
    return false;
  }
  return true;
}

}  // namespace vellum::tool
