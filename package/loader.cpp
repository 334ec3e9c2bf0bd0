#include "package/loader.h"

#include <new>

#include "base/path.h"
#include "package/extraction.h"
#include "package/open_archive.h"
#include "package/payload_stream.h"
#include "package/unseal_header.h"
#include "package/work_folder.h"
#include "platform/delete_tree.h"
#include "resources/message_texts.h"

namespace vellum {
namespace {

// The temporary archive: plaintext on disk, so it goes on every path once
// it exists, success or failure.
class TemporaryArchive {
 public:
  TemporaryArchive(Platform& platform, Text path) : platform_(platform), path_(std::move(path)) {}
  // Only while an exception is on its way out; every other path calls Remove.
  ~TemporaryArchive() {
    try {
      Remove();
    } catch (const std::bad_alloc&) {
      // Nothing more can be done without memory.
    }
  }
  bool Create() {
    // Creation can make the file and still fail (out of memory for the
    // handle's wrapper): the name is ours, so it is deleted either way.
    attempted_ = true;
    file = platform_.CreateAlways(path_);
    created_ = file != nullptr;
    return created_;
  }
  // Closes and deletes the archive. One that will not go is emptied and
  // tried once more, so that at worst an empty file stays, never plaintext.
  void Remove() {
    file.reset();
    if (!attempted_) return;
    if (!platform_.DeleteFile(path_) && created_) {
      platform_.CreateAlways(path_).reset();
      platform_.DeleteFile(path_);
    }
    attempted_ = created_ = false;
  }
  const Text& path() const { return path_; }
  std::unique_ptr<File> file;

 private:
  Platform& platform_;
  Text path_;
  bool attempted_ = false, created_ = false;
};

bool Fail(Text& loadMessage, const char16_t* message) {
  loadMessage = message;
  return false;
}

}  // namespace

bool LoadPackage(Platform& platform, const Text& packagePath, const Text& packageName,
                 const Text& tempDir, const CryptoFactory& factory, Text& workFolder,
                 Text& packageTitle, Text& loadMessage) {
  namespace layout = header_layout;
  auto package = platform.OpenForReading(packagePath);
  if (!package) return Fail(loadMessage, kMessageCannotOpenPackage);

  uint8_t sealed[layout::kSize];
  uint32_t got = 0;
  if (!package->Read(sealed, layout::kSize, got) || got != layout::kSize) {
    return Fail(loadMessage, kMessagePackageCorrupted);
  }
  PackageHeader header;
  auto generator = UnsealHeader(sealed, header, factory, packageName);
  if (!generator) return Fail(loadMessage, kMessagePackageCorrupted);

  // Verify the whole payload before any plaintext reaches the disk.
  const uint64_t payloadStart = generator->blockCounter();
  const PayloadStream stream{factory, header, *generator};
  if (!stream.RunPayloadPass(*package, nullptr)) return Fail(loadMessage, kMessagePackageCorrupted);
  generator->setBlockCounter(payloadStart);
  package->Seek(layout::kSize);  // a failed seek shows as a failed writing pass

  const Text guidName = NewGuidName(platform);
  if (guidName.empty()) return Fail(loadMessage, kMessageCannotCreateTemporaryFiles);
  // Anything already named like this run's folder or archive: never reuse it.
  if (platform.FindFiles(JoinPath(tempDir, guidName + u"*"))) {
    return Fail(loadMessage, kMessageCannotCreateTemporaryFiles);
  }
  workFolder = JoinPath(tempDir, guidName);

  TemporaryArchive archive(platform, JoinPath(tempDir, guidName + u".zip"));
  if (!archive.Create() || !stream.RunPayloadPass(*package, archive.file.get())) {
    archive.Remove();
    return Fail(loadMessage, kMessageCannotCreateTemporaryFiles);
  }
  archive.file.reset();

  bool extracted = false;
  if (auto storage = OpenArchive(platform, archive.path())) {
    extracted = ExtractStorage(platform, *storage, workFolder);
  }
  archive.Remove();
  if (!extracted) {
    // An extraction that did not happen is no load: whatever it began goes.
    DeleteTree(platform, workFolder);
    return Fail(loadMessage, kMessageCannotCreateTemporaryFiles);
  }
  packageTitle = header.title;
  return true;
}

bool LoadPackageGuarded(Platform& platform, const Text& packagePath, const Text& packageName,
                        const Text& tempDir, const CryptoFactory& factory, Text& workFolder,
                        Text& packageTitle, Text& loadMessage) {
  try {
    return LoadPackage(platform, packagePath, packageName, tempDir, factory, workFolder, packageTitle,
                       loadMessage);
  } catch (const std::bad_alloc&) {
    loadMessage.clear();
    return false;
  }
}

}  // namespace vellum
