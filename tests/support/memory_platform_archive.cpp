// Archives on the in-memory platform: a shell whose ZIP folder is the
// built-in reader over a file's bytes, keeping the file open (and counted)
// while the storage or anything taken from it lives.
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
    return inner_->Read(buffer, size, bytesRead);
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
    return inner_->Next(stat);
  }

 private:
  std::shared_ptr<Archive> archive_;
  std::unique_ptr<ElementEnumerator> inner_;
};

class MemoryPlatform::Storage final : public ArchiveStorage, Tracked {
 public:
  Storage(MemoryPlatform& platform, std::shared_ptr<Archive> archive)
      : Tracked(platform), archive_(std::move(archive)) {}

  std::unique_ptr<ElementEnumerator> EnumElements() override {
    auto inner = archive_->inner->EnumElements();
    if (!inner) return nullptr;
    return std::make_unique<Enumerator>(platform_, archive_, std::move(inner));
  }

  std::unique_ptr<ByteStream> OpenStream(const Text& name) override {
    auto inner = archive_->inner->OpenStream(name);
    if (!inner) return nullptr;
    return std::make_unique<Stream>(platform_, archive_, std::move(inner));
  }

 private:
  std::shared_ptr<Archive> archive_;
};

std::unique_ptr<ArchiveStorage> MemoryPlatform::OpenShellArchive(const Text& path) {
  if (!hasShellZipFolder) return nullptr;
  Node* node = FindFile(path);
  if (!node || node->body->exclusive) return nullptr;
  auto inner = OpenZipArchive(OpenReader(node->body), [](FileTime local) { return local; });
  if (!inner) return nullptr;
  return std::make_unique<Storage>(*this, std::make_shared<Archive>(std::move(inner)));
}

}  // namespace vellum
