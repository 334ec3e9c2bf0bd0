// Arbitrary bytes as the decrypted archive: the built-in reader opens them
// through the in-memory platform and extraction copies what it offers.
// Whatever the bytes, nothing crashes or leaks, every object handed out is
// closed, and only plain files directly inside the working folder appear.
// (scripts/fuzz.sh runs this with an allocation limit, which catches any
// allocation sized by a declared length rather than by the data.)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "package/extraction.h"
#include "tests/support/memory_platform.h"

namespace {

using vellum::Text;

const Text kTemp = u"C:\\Temp";
const Text kArchive = u"C:\\Temp\\{G}.zip";
const Text kWorkFolder = u"C:\\Temp\\{G}";

void Fail(const char* what) {
  std::fprintf(stderr, "zip_extract_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vellum::MemoryPlatform platform;
  platform.AddFolder(u"C:\\Other");
  platform.AddFile(kArchive, std::vector<uint8_t>(data, data + size));
  if (auto storage = platform.OpenShellArchive(kArchive)) {
    vellum::ExtractStorage(platform, *storage, kWorkFolder);
  }
  if (platform.OpenObjects() != 0) Fail("an object of the platform was left open");

  if (platform.FileBytes(kArchive) != std::vector<uint8_t>(data, data + size)) Fail("the archive changed");
  for (const Text& path : platform.ListAll(u"C:")) {
    if (path == u"C:\\Other" || path == kTemp || path == kArchive || path == kWorkFolder) continue;
    const Text inside = kWorkFolder + u'\\';
    if (path.compare(0, inside.size(), inside) != 0) Fail("something was made outside the working folder");
    if (path.find_first_of(u"\\/", inside.size()) != Text::npos) Fail("something was made below the working folder");
    if (platform.IsFolder(path)) Fail("a folder was made in the working folder");
  }
  return 0;
}
