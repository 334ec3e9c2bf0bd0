// Archives on the in-memory platform: the built-in reader over a file's
// bytes, wrapped so that its calls count and can fail.
#include "package/zip_reader.h"
#include "tests/support/memory_platform.h"
#include "tests/support/memory_platform_parts.h"

namespace vellum {

// An archive the built-in reader opened. Like the shell, it keeps the file
// open for reading (inside the reader) while the storage or anything taken
// from it lives.
struct MemoryPlatform::Archive {
  explicit Archive(std::unique_ptr<ArchiveStorage> innerStorage) : inner(std::move(innerStorage)) {}
  std::unique_ptr<ArchiveStorage> inner;
};

class MemoryPlatform::Stream final : public ByteStream, Tracked {
 public:
  Stream(MemoryPlatform& platform, std::shared_ptr<Archive> archive,
         std::unique_ptr<ByteStream> inner)
      : Tracked(platform), archive_(std::move(archive)), inner_(std::move(inner)) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    const Outcome outcome = platform_.Enter("ByteStream::Read", {}, &platform_.streamReadFault,
                                            &platform_.streamReads_);
    bytesRead = 0;
    if (outcome == Outcome::kFail) return false;
    return inner_->Read(buffer, outcome == Outcome::kShort ? size / 2 : size, bytesRead);
  }

 private:
  std::shared_ptr<Archive> archive_;  // outlives inner_
  std::unique_ptr<ByteStream> inner_;
};

class MemoryPlatform::Enumerator final : public ElementEnumerator, Tracked {
 public:
  Enumerator(MemoryPlatform& platform, std::shared_ptr<Archive> archive,
             std::unique_ptr<ElementEnumerator> inner)
      : Tracked(platform), archive_(std::move(archive)), inner_(std::move(inner)) {}

  Result Next(ElementStat& stat) override {
    if (platform_.Enter("ElementEnumerator::Next") != Outcome::kNormal ||
        returned_ == platform_.failEnumerationAfter) {
      return Result::kFailed;
    }
    const Result result = inner_->Next(stat);
    if (result == Result::kElement) ++returned_;
    return result;
  }

 private:
  std::shared_ptr<Archive> archive_;
  std::unique_ptr<ElementEnumerator> inner_;
  uint64_t returned_ = 0;
};

class MemoryPlatform::Storage final : public ArchiveStorage, Tracked {
 public:
  Storage(MemoryPlatform& platform, std::shared_ptr<Archive> archive)
      : Tracked(platform), archive_(std::move(archive)) {}

  std::unique_ptr<ElementEnumerator> EnumElements() override {
    if (platform_.Enter("ArchiveStorage::EnumElements") != Outcome::kNormal ||
        platform_.failEnumElements) {
      return nullptr;
    }
    auto inner = archive_->inner->EnumElements();
    if (!inner) return nullptr;
    return std::make_unique<Enumerator>(platform_, archive_, std::move(inner));
  }

  std::unique_ptr<ByteStream> OpenStream(const Text& name) override {
    if (platform_.Enter("ArchiveStorage::OpenStream", name) != Outcome::kNormal ||
        platform_.failOpenStream_.count(memory_paths::Upper(name))) {
      return nullptr;
    }
    auto inner = archive_->inner->OpenStream(name);
    if (!inner) return nullptr;
    return std::make_unique<Stream>(platform_, archive_, std::move(inner));
  }

 private:
  std::shared_ptr<Archive> archive_;
};

std::unique_ptr<ArchiveStorage> MemoryPlatform::OpenShellArchive(const Text& path) {
  if (Enter("OpenShellArchive", path) != Outcome::kNormal || refuseArchive) return nullptr;
  Node* node = FindFile(path);
  if (!node || node->body->exclusive) return nullptr;
  // The reader reads through an open file of the seam, as it reads a real
  // file on Windows, so its reads count as calls and can fail.
  auto inner = OpenZipArchive(OpenReader(node->body), [](FileTime local) { return local; });
  if (!inner) return nullptr;
  return std::make_unique<Storage>(*this, std::make_shared<Archive>(std::move(inner)));
}

}  // namespace vellum
