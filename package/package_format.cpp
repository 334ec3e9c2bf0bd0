#include "package/package_format.h"

#include <cstring>

#include "base/little_endian.h"
#include "crypto/aes_drbg.h"

namespace vellum {

namespace layout = header_layout;

namespace {

void WriteHeaderText(const Text& text, uint8_t* field) {
  for (size_t k = 0; k < text.size(); ++k) StoreLe16(field + 2 * k, text[k]);
}

void Digest(const CryptoFactory& factory, const uint8_t* data, size_t size, uint8_t out[32]) {
  auto hasher = factory.CreateSHA256();
  hasher->Update(data, size);
  hasher->Final(out);
}

}  // namespace

bool ReadHeaderText(const uint8_t* field, size_t units, Text& text) {
  // The scan stops at the field's end: a field without its terminator would
  // otherwise run into the next field or past the block.
  text.clear();
  for (size_t k = 0; k < units; ++k) {
    const auto unit = static_cast<char16_t>(LoadLe16(field + 2 * k));
    if (unit == 0) return true;
    text.push_back(unit);
  }
  return false;
}

bool EncodeHeaderFields(const PackageHeader& header, const Text& name, uint8_t plain[1024]) {
  // A longer text would run into the next field, or past the block.
  if (header.title.size() > layout::kMaxTitleUnits || name.size() > layout::kMaxNameUnits) return false;
  std::memset(plain, 0, layout::kSize);
  StoreLe64(plain + layout::kPayloadLength, header.payloadLength);
  std::memcpy(plain + layout::kPayloadDigest, header.payloadDigest, layout::kDigestSize);
  WriteHeaderText(header.title, plain + layout::kTitle);
  WriteHeaderText(name, plain + layout::kName);
  return true;
}

UnsealFailure DecodeHeaderFields(const uint8_t plain[1024], PackageHeader& header, Text& name) {
  header.payloadLength = LoadLe64(plain + layout::kPayloadLength);
  if (LoadLe16(plain + layout::kZeroWord) != 0) return UnsealFailure::kZeroWord;
  if (!ReadHeaderText(plain + layout::kTitle, layout::kTitleUnits, header.title)) {
    return UnsealFailure::kTitleField;
  }
  std::memcpy(header.payloadDigest, plain + layout::kPayloadDigest, layout::kDigestSize);
  if (!ReadHeaderText(plain + layout::kName, layout::kNameUnits, name)) return UnsealFailure::kNameField;
  return UnsealFailure::kNone;
}

void ComputeHeaderDigest(uint8_t plain[1024], const CryptoFactory& factory, uint8_t digest[32]) {
  plain[0] = 0;
  std::memset(plain + layout::kHeaderDigest, 0, layout::kDigestSize);
  Digest(factory, plain, layout::kSize, digest);
}

void ApplyKeyMask(uint8_t block[1024], const CryptoFactory& factory) {
  uint8_t mask[32];
  Digest(factory, block + layout::kMaskedRange, layout::kMaskedLength, mask);
  for (size_t k = 0; k < 32; ++k) block[layout::kKey + k] ^= mask[k];
}

void CloseHeaderBlock(const uint8_t plain[1024], const CryptoFactory& factory, uint8_t block[1024]) {
  std::memcpy(block, plain, layout::kSize);
  AES_DRBG(factory, plain + layout::kKey).ApplyKeystream(block, layout::kBodyLength);
  block[0] = 0;  // keeps the block below the modulus, whose top byte is not 0
  ApplyKeyMask(block, factory);
}

}  // namespace vellum
