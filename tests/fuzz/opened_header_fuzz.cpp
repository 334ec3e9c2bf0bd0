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

#include "crypto/aes_drbg.h"
#include "crypto/sha256.h"
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

void Digest(const vellum::CryptoFactory& factory, const uint8_t* data, size_t size, uint8_t out[32]) {
  auto hasher = factory.CreateSHA256();
  hasher->Update(data, size);
  hasher->Final(out);
}

// The field's text up to its terminator; false when the field has none.
bool FieldText(const uint8_t* field, size_t units, Text& text) {
  for (size_t k = 0; k < units; ++k) {
    const auto unit = static_cast<char16_t>(field[2 * k] | field[2 * k + 1] << 8);
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
    const unsigned caseBits = plain[1] | plain[2] << 8;
    for (size_t k = 0; k <= kExpectedName.size(); ++k) {
      char16_t unit = k < kExpectedName.size() ? kExpectedName[k] : 0;
      if (unit >= u'a' && unit <= u'z' && (caseBits >> (k % 16) & 1)) unit = static_cast<char16_t>(unit - 0x20);
      plain[layout::kName + 2 * k] = static_cast<uint8_t>(unit);
      plain[layout::kName + 2 * k + 1] = static_cast<uint8_t>(unit >> 8);
    }
  }
  plain[0] = 0;
  std::memset(plain + layout::kHeaderDigest, 0, 32);
  Digest(factory, plain, layout::kSize, plain + layout::kHeaderDigest);

  // What the sealer does before its private-key operation.
  uint8_t block[layout::kSize];
  std::memcpy(block, plain, layout::kSize);
  vellum::AES_DRBG(factory, plain + layout::kKey).ApplyKeystream(block, layout::kBodyLength);
  block[0] = static_cast<uint8_t>(size > 3 ? data[3] : 0);  // plays no part
  uint8_t mask[32];
  Digest(factory, block + layout::kMaskedRange, layout::kMaskedLength, mask);
  for (size_t k = 0; k < 32; ++k) block[layout::kKey + k] = plain[layout::kKey + k] ^ mask[k];

  Text title, name;
  const bool titleEnds = FieldText(plain + layout::kTitle, layout::kTitleUnits, title);
  const bool nameEnds = FieldText(plain + layout::kName, layout::kNameUnits, name);
  const bool valid = plain[layout::kZeroWord] == 0 && plain[layout::kZeroWord + 1] == 0 && titleEnds &&
                     nameEnds && vellum::CompareNames(name, kExpectedName) == 0;

  vellum::PackageHeader header;
  const auto generator = vellum::OpenHeaderBlock(block, header, factory, kExpectedName);
  if (!generator != !valid) Fail(valid ? "a valid header was refused" : "an invalid header was accepted");
  if (!generator) return 0;
  uint64_t length = 0;
  for (int k = 7; k >= 0; --k) length = length << 8 | plain[layout::kPayloadLength + k];
  if (header.title != title || header.payloadLength != length ||
      std::memcmp(header.payloadDigest, plain + layout::kPayloadDigest, 32) != 0) {
    Fail("the record does not hold the header's fields");
  }
  if (generator->blockCounter() != layout::kPayloadFirstBlock) Fail("the keystream is not at block 62");
  return 0;
}
