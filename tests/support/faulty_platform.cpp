#include "tests/support/faulty_platform.h"

#include <cstring>

namespace vellum {
namespace {

using Outcome = FaultyPlatform::Outcome;

uint32_t Asked(Outcome outcome, uint32_t size) { return outcome == Outcome::kShort ? size / 2 : size; }

class FaultyFile final : public File {
 public:
  FaultyFile(FaultyPlatform& platform, std::unique_ptr<File> inner)
      : platform_(platform), inner_(std::move(inner)) {}
  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    const Outcome outcome = platform_.Enter("File::Read");
    bytesRead = 0;
    return outcome != Outcome::kFail && inner_->Read(buffer, Asked(outcome, size), bytesRead);
  }
  bool Write(const void* data, uint32_t size, uint32_t& bytesWritten) override {
    const Outcome outcome = platform_.Enter("File::Write");
    bytesWritten = 0;
    return outcome != Outcome::kFail && inner_->Write(data, Asked(outcome, size), bytesWritten);
  }
  bool Seek(uint64_t offset) override {
    return platform_.Enter("File::Seek") == Outcome::kNormal && inner_->Seek(offset);
  }
  bool GetSize(uint64_t& size) override {
    return platform_.Enter("File::GetSize") == Outcome::kNormal && inner_->GetSize(size);
  }
  bool SetTimes(const FileTimes& times) override {
    return platform_.Enter("File::SetTimes") == Outcome::kNormal && inner_->SetTimes(times);
  }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<File> inner_;
};

class FaultySearch final : public FileSearch {
 public:
  FaultySearch(FaultyPlatform& platform, std::unique_ptr<FileSearch> inner)
      : platform_(platform), inner_(std::move(inner)) {}
  bool Next(FoundEntry& entry) override {
    return platform_.Enter("FileSearch::Next") == Outcome::kNormal && inner_->Next(entry);
  }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<FileSearch> inner_;
};

class FaultyStream final : public ByteStream {
 public:
  FaultyStream(FaultyPlatform& platform, std::unique_ptr<ByteStream> inner)
      : platform_(platform), inner_(std::move(inner)) {}
  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    const Outcome outcome = platform_.Enter("ByteStream::Read");
    bytesRead = 0;
    return outcome != Outcome::kFail && inner_->Read(buffer, Asked(outcome, size), bytesRead);
  }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<ByteStream> inner_;
};

class FaultyEnumerator final : public ElementEnumerator {
 public:
  FaultyEnumerator(FaultyPlatform& platform, std::unique_ptr<ElementEnumerator> inner)
      : platform_(platform), inner_(std::move(inner)) {}
  Result Next(ElementStat& stat) override {
    if (platform_.Enter("ElementEnumerator::Next") != Outcome::kNormal) return Result::kFailed;
    return inner_->Next(stat);
  }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<ElementEnumerator> inner_;
};

class FaultyStorage final : public ArchiveStorage {
 public:
  FaultyStorage(FaultyPlatform& platform, std::unique_ptr<ArchiveStorage> inner)
      : platform_(platform), inner_(std::move(inner)) {}
  std::unique_ptr<ElementEnumerator> EnumElements() override {
    if (platform_.Enter("ArchiveStorage::EnumElements") != Outcome::kNormal) return nullptr;
    auto inner = inner_->EnumElements();
    return inner ? std::make_unique<FaultyEnumerator>(platform_, std::move(inner)) : nullptr;
  }
  std::unique_ptr<ByteStream> OpenStream(const Text& name) override {
    if (platform_.Enter("ArchiveStorage::OpenStream", name) != Outcome::kNormal) return nullptr;
    auto inner = inner_->OpenStream(name);
    return inner ? std::make_unique<FaultyStream>(platform_, std::move(inner)) : nullptr;
  }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<ArchiveStorage> inner_;
};

template <class Wrapper, class Inner>
std::unique_ptr<Wrapper> Wrap(FaultyPlatform& platform, std::unique_ptr<Inner> inner) {
  return inner ? std::make_unique<Wrapper>(platform, std::move(inner)) : nullptr;
}

}  // namespace

FaultyPlatform::Outcome FaultyPlatform::Enter(const char* operation, const Text& path) {
  log_.push_back({operation, path});
  const bool selected = (!rule_.operation || !std::strcmp(rule_.operation, operation)) &&
                        (rule_.path.empty() || rule_.path == path);
  if (!selected || rule_.onCall == 0) return Outcome::kNormal;
  const uint64_t n = ++matching_;
  if (n < rule_.onCall || (n > rule_.onCall && !rule_.fromThenOn)) return Outcome::kNormal;
  return rule_.fault == Fault::kShort ? Outcome::kShort : Outcome::kFail;
}

std::unique_ptr<File> FaultyPlatform::OpenForReading(const Text& path) {
  if (Enter("OpenForReading", path) != Outcome::kNormal) return nullptr;
  return Wrap<FaultyFile>(*this, inner_.OpenForReading(path));
}

std::unique_ptr<File> FaultyPlatform::CreateAlways(const Text& path) {
  if (Enter("CreateAlways", path) != Outcome::kNormal) return nullptr;
  return Wrap<FaultyFile>(*this, inner_.CreateAlways(path));
}

bool FaultyPlatform::DeleteFile(const Text& path) {
  return Enter("DeleteFile", path) == Outcome::kNormal && inner_.DeleteFile(path);
}

bool FaultyPlatform::CreateDirectory(const Text& path) {
  return Enter("CreateDirectory", path) == Outcome::kNormal && inner_.CreateDirectory(path);
}

bool FaultyPlatform::RemoveDirectory(const Text& path) {
  return Enter("RemoveDirectory", path) == Outcome::kNormal && inner_.RemoveDirectory(path);
}

std::unique_ptr<FileSearch> FaultyPlatform::FindFiles(const Text& pattern) {
  if (Enter("FindFiles", pattern) != Outcome::kNormal) return nullptr;
  return Wrap<FaultySearch>(*this, inner_.FindFiles(pattern));
}

bool FaultyPlatform::NewGuidText(Text& text) {
  return Enter("NewGuidText") == Outcome::kNormal && inner_.NewGuidText(text);
}

std::unique_ptr<ArchiveStorage> FaultyPlatform::OpenShellArchive(const Text& path) {
  if (Enter("OpenShellArchive", path) != Outcome::kNormal) return nullptr;
  return Wrap<FaultyStorage>(*this, inner_.OpenShellArchive(path));
}

}  // namespace vellum
