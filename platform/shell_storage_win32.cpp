#include "platform/com_ptr.h"
#include "platform/shell_storage.h"

namespace vellum {
namespace {

FileTime ToFileTime(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

class ShellStream final : public ByteStream {
 public:
  explicit ShellStream(ComPtr<IStream>&& stream) : stream_(std::move(stream)) {}
  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    ULONG n = 0;
    const HRESULT hr = stream_->Read(buffer, size, &n);
    bytesRead = SUCCEEDED(hr) ? n : 0;
    return SUCCEEDED(hr);  // S_FALSE: fewer bytes at the end, not a failure
  }

 private:
  ComPtr<IStream> stream_;
};

class ShellEnumerator final : public ElementEnumerator {
 public:
  explicit ShellEnumerator(ComPtr<IEnumSTATSTG>&& enumerator)
      : enumerator_(std::move(enumerator)) {}
  Result Next(ElementStat& element) override {
    STATSTG stat{};
    ULONG fetched = 0;
    const HRESULT hr = enumerator_->Next(1, &stat, &fetched);
    // The name belongs to us from here on, whatever else happens.
    CoTaskMemPtr<wchar_t> name;
    *name.Receive() = stat.pwcsName;
    if (FAILED(hr)) return Result::kFailed;
    if (fetched == 0) return Result::kEnd;
    element.name = name.get() ? FromWide(name.get()) : Text();
    element.type = stat.type;
    element.size = stat.cbSize.QuadPart;
    element.mtime = ToFileTime(stat.mtime);
    element.ctime = ToFileTime(stat.ctime);
    element.atime = ToFileTime(stat.atime);
    return Result::kElement;
  }

 private:
  ComPtr<IEnumSTATSTG> enumerator_;
};

class ShellStorage final : public ArchiveStorage {
 public:
  explicit ShellStorage(ComPtr<IStorage>&& storage) : storage_(std::move(storage)) {}

  std::unique_ptr<ElementEnumerator> EnumElements() override {
    ComPtr<IEnumSTATSTG> enumerator;
    if (FAILED(storage_->EnumElements(0, nullptr, 0, enumerator.Receive()))) return nullptr;
    return std::make_unique<ShellEnumerator>(std::move(enumerator));
  }

  std::unique_ptr<ByteStream> OpenStream(const Text& name) override {
    ComPtr<IStream> stream;
    if (FAILED(storage_->OpenStream(Wide(name), nullptr, STGM_READ, 0, stream.Receive()))) {
      return nullptr;
    }
    return std::make_unique<ShellStream>(std::move(stream));
  }

 private:
  ComPtr<IStorage> storage_;
};

}  // namespace

std::unique_ptr<ArchiveStorage> OpenShellStorage(const Text& path) {
  ComPtr<IStorage> storage;
  {
    // The desktop folder and the item identifier list go as soon as the bind is done.
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Receive()))) return nullptr;
    CoTaskMemPtr<ITEMIDLIST> pidl;
    // The API takes a non-const buffer but does not write to it.
    auto* name = const_cast<wchar_t*>(Wide(path));
    if (FAILED(
            desktop->ParseDisplayName(nullptr, nullptr, name, nullptr, pidl.Receive(), nullptr))) {
      return nullptr;
    }
    if (FAILED(desktop->BindToObject(pidl.get(), nullptr, IID_IStorage, storage.ReceiveVoid()))) {
      return nullptr;
    }
  }
  return std::make_unique<ShellStorage>(std::move(storage));
}

}  // namespace vellum
