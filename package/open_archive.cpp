#include "package/open_archive.h"

#include "package/zip_names.h"
#include "package/zip_reader.h"
#include "platform/debug_channel.h"

namespace vellum {

std::unique_ptr<ArchiveStorage> OpenArchive(Platform& platform, const Text& path) {
  // Which reader opened the archive depends on the shell: said for a log window.
  if (auto storage = platform.OpenShellArchive(path)) {
    SayOnDebugChannel(u"vellum: archive: the shell's ZIP folder\n");
    return storage;
  }
  SayOnDebugChannel(u"vellum: archive: the built-in reader\n");
  auto file = platform.OpenForReading(path);
  if (!file) return nullptr;
  return OpenZipArchive(
      std::move(file), [&platform](FileTime local) { return platform.LocalTimeToUtc(local); },
      [&platform](const uint8_t* bytes, size_t size) {
        Text name;
        return platform.DecodeLegacyName(bytes, size, name) ? name : zip::DecodeCp437(bytes, size);
      });
}

}  // namespace vellum
