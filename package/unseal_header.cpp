#include "package/unseal_header.h"

#include <cstring>

#include "crypto/big_num.h"
#include "crypto/public_modulus.h"
#include "crypto/rsa_public.h"
#include "package/compare_names.h"

namespace vellum {

namespace layout = header_layout;

bool ReadHeaderText(const uint8_t* field, size_t units, Text& text) {
  // The scan stops at the field's end: a field without its terminator would
  // otherwise run into the next field or past the block.
  text.clear();
  for (size_t k = 0; k < units; ++k) {
    const auto unit = static_cast<char16_t>(field[2 * k] | (field[2 * k + 1] << 8));
    if (unit == 0) return true;
    text.push_back(unit);
  }
  return false;
}

std::shared_ptr<AES_DRBG> OpenHeaderBlock(uint8_t block[1024], PackageHeader& header,
                                          const CryptoFactory& factory, const Text& expectedName,
                                          UnsealFailure* failure) {
  auto fail = [failure](UnsealFailure why) {
    if (failure) *failure = why;
    return std::shared_ptr<AES_DRBG>();
  };
  if (failure) *failure = UnsealFailure::kNone;

  // Unmask the key with the digest of bytes 1..991 as the RSA operation left them.
  uint8_t mask[32];
  auto maskHasher = factory.CreateSHA256();
  maskHasher->Update(block + layout::kMaskedRange, layout::kMaskedLength);
  maskHasher->Final(mask);
  maskHasher.reset();
  for (size_t k = 0; k < 32; ++k) block[layout::kKey + k] ^= mask[k];

  auto generator = std::make_shared<AES_DRBG>(factory, block + layout::kKey);
  generator->ApplyKeystream(block, layout::kBodyLength);
  block[0] = 0;

  uint8_t storedDigest[32], digest[32];
  std::memcpy(storedDigest, block + layout::kHeaderDigest, 32);
  std::memset(block + layout::kHeaderDigest, 0, 32);
  auto headerHasher = factory.CreateSHA256();
  headerHasher->Update(block, layout::kSize);
  headerHasher->Final(digest);
  headerHasher.reset();
  if (std::memcmp(digest, storedDigest, 32) != 0) return fail(UnsealFailure::kHeaderDigest);

  header.payloadLength = 0;
  for (int k = 7; k >= 0; --k) header.payloadLength = header.payloadLength << 8 | block[layout::kPayloadLength + k];
  if ((block[layout::kZeroWord] | block[layout::kZeroWord + 1]) != 0) return fail(UnsealFailure::kZeroWord);

  if (!ReadHeaderText(block + layout::kTitle, layout::kTitleUnits, header.title)) {
    return fail(UnsealFailure::kTitleField);
  }
  std::memcpy(header.payloadDigest, block + layout::kPayloadDigest, 32);

  Text name;
  if (!ReadHeaderText(block + layout::kName, layout::kNameUnits, name)) {
    return fail(UnsealFailure::kNameField);
  }
  if (CompareNames(name, expectedName) != 0) return fail(UnsealFailure::kNameMismatch);
  return generator;
}

std::shared_ptr<AES_DRBG> UnsealHeaderWithModulus(const uint8_t sealed[1024], PackageHeader& header,
                                                  const CryptoFactory& factory,
                                                  const Text& expectedName,
                                                  const uint8_t modulusBytes[1024],
                                                  UnsealFailure* failure) {
  CBigNum exponent, modulus;
  exponent.SetLimb(kPublicExponent);
  modulus.FromBigEndian(modulusBytes);
  uint8_t block[layout::kSize];
  RsaPublic(sealed, exponent, modulus, block);
  return OpenHeaderBlock(block, header, factory, expectedName, failure);
}

std::shared_ptr<AES_DRBG> UnsealHeader(const uint8_t sealed[1024], PackageHeader& header,
                                       const CryptoFactory& factory, const Text& expectedName) {
  return UnsealHeaderWithModulus(sealed, header, factory, expectedName, kPublicModulus);
}

}  // namespace vellum
