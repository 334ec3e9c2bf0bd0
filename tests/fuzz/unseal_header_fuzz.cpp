// Arbitrary 1024-byte blocks as the sealed header, through the whole
// unsealing with the program's public key: the RSA operation takes any
// integer (also one not below the modulus), and a block that is not the
// genuine seal of the test package is refused, leaving the header record as
// it was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "package/unseal_header.h"
#include "tests/fuzz/detected_factory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vellum::CryptoFactory& factory = vellum::fuzzing::DetectedFactory();
  uint8_t sealed[1024] = {};
  std::memcpy(sealed, data, size < sizeof sealed ? size : sizeof sealed);
  static const std::vector<char> genuine = [] {
    std::ifstream in(VELLUM_SOURCE_DIR "/tests/data/viewer_data", std::ios::binary);
    std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
    bytes.resize(1024);
    return bytes;
  }();
  vellum::PackageHeader header;
  const auto generator = vellum::UnsealHeader(sealed, header, factory, u"viewer_data");
  if (std::memcmp(sealed, genuine.data(), sizeof sealed) == 0) {
    if (!generator || generator->blockCounter() != 62) std::abort();  // the test package must open
    return 0;
  }
  // Only the holder of the private key makes blocks that pass the header
  // digest, and a refused digest leaves the record untouched.
  const vellum::PackageHeader untouched;
  if (generator || !header.title.empty() || header.payloadLength != 0 ||
      std::memcmp(header.payloadDigest, untouched.payloadDigest, 32) != 0) {
    std::fprintf(stderr, "unseal_header_fuzz: an arbitrary block was not refused cleanly\n");
    std::abort();
  }
  return 0;
}
