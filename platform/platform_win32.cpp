#include "platform/platform_win32.h"

#include "platform/com_ptr.h"
#include "platform/shell_storage.h"

namespace vellum {
namespace {

FILETIME ToFiletime(FileTime t) {
  return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

class HandleFile final : public File {
 public:
  explicit HandleFile(FileHandle handle) : handle_(std::move(handle)) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    DWORD n = 0;
    const bool ok = ReadFile(handle_.get(), buffer, size, &n, nullptr) != 0;
    bytesRead = ok ? n : 0;
    return ok;
  }

  bool Write(const void* data, uint32_t size, uint32_t& bytesWritten) override {
    DWORD n = 0;
    const bool ok = WriteFile(handle_.get(), data, size, &n, nullptr) != 0;
    bytesWritten = ok ? n : 0;
    return ok;
  }

  bool Seek(uint64_t offset) override {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_.get(), distance, nullptr, FILE_BEGIN) != 0;
  }

  bool GetSize(uint64_t& size) override {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(handle_.get(), &s)) return false;
    size = static_cast<uint64_t>(s.QuadPart);
    return true;
  }

  bool SetTimes(const FileTimes& times) override {
    // A FILETIME of 0 is the system's own "leave this time as it is".
    const FILETIME creation = ToFiletime(times.creation), lastAccess = ToFiletime(times.lastAccess),
                   lastWrite = ToFiletime(times.lastWrite);
    return SetFileTime(handle_.get(), &creation, &lastAccess, &lastWrite) != 0;
  }

 private:
  FileHandle handle_;
};

std::unique_ptr<File> WrapHandle(HANDLE handle) {
  FileHandle owned(handle);
  if (!owned.valid()) return nullptr;
  return std::make_unique<HandleFile>(std::move(owned));
}

FoundEntry ToFoundEntry(const WIN32_FIND_DATAW& data) {
  FoundEntry entry;
  entry.name = FromWide(data.cFileName);
  entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.isReparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return entry;
}

class HandleSearch final : public FileSearch {
 public:
  HandleSearch(FindHandle handle, const WIN32_FIND_DATAW& first)
      : handle_(std::move(handle)), first_(first) {}

  bool Next(FoundEntry& entry) override {
    if (firstPending_) {
      firstPending_ = false;
      entry = ToFoundEntry(first_);
      return true;
    }
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(handle_.get(), &data)) return false;
    entry = ToFoundEntry(data);
    return true;
  }

 private:
  FindHandle handle_;
  WIN32_FIND_DATAW first_;
  bool firstPending_ = true;
};

}  // namespace

std::unique_ptr<File> Win32Platform::OpenForReading(const Text& path) {
  return WrapHandle(
      CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

std::unique_ptr<File> Win32Platform::CreateAlways(const Text& path) {
  return WrapHandle(CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Win32Platform::DeleteFile(const Text& path) { return DeleteFileW(Wide(path)) != 0; }

bool Win32Platform::CreateDirectory(const Text& path) {
  return CreateDirectoryW(Wide(path), nullptr) != 0;
}

bool Win32Platform::RemoveDirectory(const Text& path) { return RemoveDirectoryW(Wide(path)) != 0; }

std::unique_ptr<FileSearch> Win32Platform::FindFiles(const Text& pattern) {
  WIN32_FIND_DATAW first;
  FindHandle handle(FindFirstFileW(Wide(pattern), &first));
  if (!handle.valid()) return nullptr;
  return std::make_unique<HandleSearch>(std::move(handle), first);
}

bool Win32Platform::NewGuidText(Text& text) {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return false;
  CoTaskMemPtr<wchar_t> formatted;
  if (FAILED(StringFromIID(guid, formatted.Receive()))) return false;
  text = FromWide(formatted.get());
  return true;
}

std::unique_ptr<ArchiveStorage> Win32Platform::OpenShellArchive(const Text& path) {
  return OpenShellStorage(path);
}

// A local time converts with the daylight-saving rule of its own date, not
// with today's offset.
FileTime Win32Platform::LocalTimeToUtc(FileTime local) {
  const FILETIME in = ToFiletime(local);
  SYSTEMTIME localTime, utcTime;
  FILETIME out;
  if (!FileTimeToSystemTime(&in, &localTime) || !TzSpecificLocalTimeToSystemTime(nullptr, &localTime, &utcTime) ||
      !SystemTimeToFileTime(&utcTime, &out)) {
    return 0;  // unknown: leave the time alone
  }
  return (static_cast<uint64_t>(out.dwHighDateTime) << 32) | out.dwLowDateTime;
}

// Names stored without the UTF-8 flag are in the code page of the system
// that made the archive; like the shell's own ZIP folder, take the OEM one
// (932, Shift_JIS, on Japanese Windows).
bool Win32Platform::DecodeLegacyName(const uint8_t* bytes, size_t size, Text& name) {
  const auto* text = reinterpret_cast<const char*>(bytes);
  const int length = size ? MultiByteToWideChar(CP_OEMCP, 0, text, static_cast<int>(size), nullptr, 0) : 0;
  if (length <= 0) return false;
  name.assign(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(CP_OEMCP, 0, text, static_cast<int>(size), reinterpret_cast<wchar_t*>(name.data()), length);
  return true;
}

}  // namespace vellum
