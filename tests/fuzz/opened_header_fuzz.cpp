// Plain headers of any content, sealed the way a publisher seals them but
// without the private key: the steps after the RSA operation see a block
// whose digest and key mask are right, so every later check is reached.
// Acceptance must follow the format exactly: zero word 0, title and name
// terminated inside their fields, name equal to the expected one under the
// name comparison; then the record holds the fields and the keystream stands
// at the first payload block.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/little_endian.h"
#include "package/compare_names.h"
#include "package/unseal_header.h"
#include "tests/fuzz/detected_factory.h"

namespace {

namespace layout = vellum::header_layout;
using vellum::Text;

const Text kExpectedName = u"viewer_data";

void Fail(const char* what) {
  std::fprintf(stderr, "opened_header_fuzz: %s\n", what);
  std::abort();
}

// The field's text up to its terminator; false when the field has none.
// Read here on its own, as the expectation the header reader must meet.
bool FieldText(const uint8_t* field, size_t units, Text& text) {
  for (size_t k = 0; k < units; ++k) {
    const auto unit = static_cast<char16_t>(vellum::LoadLe16(field + 2 * k));
    if (unit == 0) return true;
    text.push_back(unit);
  }
  return false;
}

}  // namespace

// Input: the plain header P (missing bytes are 0). When the input's byte 0
// is odd, the name field is overwritten with the expected name in the
// letter case that the bits of bytes 1-2 choose, so acceptance is common.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vellum::CryptoFactory& factory = vellum::fuzzing::DetectedFactory();
  uint8_t plain[layout::kSize] = {};
  std::memcpy(plain, data, size < sizeof plain ? size : sizeof plain);
  if (plain[0] & 1) {
    const unsigned caseBits = vellum::LoadLe16(plain + 1);
    for (size_t k = 0; k <= kExpectedName.size(); ++k) {
      char16_t unit = k < kExpectedName.size() ? kExpectedName[k] : 0;
      if (unit >= u'a' && unit <= u'z' && (caseBits >> (k % 16) & 1)) unit = static_cast<char16_t>(unit - 0x20);
      vellum::StoreLe16(plain + layout::kName + 2 * k, unit);
    }
  }
  uint8_t digest[32];
  vellum::ComputeHeaderDigest(plain, factory, digest);
  std::memcpy(plain + layout::kHeaderDigest, digest, sizeof digest);

  // What the sealer does before its private-key operation.
  uint8_t block[layout::kSize];
  vellum::CloseHeaderBlock(plain, factory, block);
  block[0] = static_cast<uint8_t>(size > 3 ? data[3] : 0);  // plays no part

  Text title, name;
  const bool titleEnds = FieldText(plain + layout::kTitle, layout::kTitleUnits, title);
  const bool nameEnds = FieldText(plain + layout::kName, layout::kNameUnits, name);
  const bool valid = plain[layout::kZeroWord] == 0 && plain[layout::kZeroWord + 1] == 0 && titleEnds &&
                     nameEnds && vellum::CompareNames(name, kExpectedName) == 0;

  vellum::PackageHeader header;
  const auto generator = vellum::OpenHeaderBlock(block, header, factory, kExpectedName);
  if (!generator != !valid) Fail(valid ? "a valid header was refused" : "an invalid header was accepted");
  if (!generator) return 0;
  if (header.title != title || header.payloadLength != vellum::LoadLe64(plain + layout::kPayloadLength) ||
      std::memcmp(header.payloadDigest, plain + layout::kPayloadDigest, 32) != 0) {
    Fail("the record does not hold the header's fields");
  }
  if (generator->blockCounter() != layout::kPayloadFirstBlock) Fail("the keystream is not at block 62");
  return 0;
}
