#include "package/unseal_header.h"

#include <cstring>

#include "crypto/big_num.h"
#include "crypto/public_modulus.h"
#include "crypto/rsa_public.h"
#include "package/compare_names.h"

namespace vellum {

namespace layout = header_layout;

std::shared_ptr<AES_DRBG> OpenHeaderBlock(uint8_t block[1024], PackageHeader& header,
                                          const CryptoFactory& factory, const Text& expectedName,
                                          UnsealFailure* failure) {
  auto fail = [failure](UnsealFailure why) {
    if (failure) *failure = why;
    return std::shared_ptr<AES_DRBG>();
  };
  if (failure) *failure = UnsealFailure::kNone;

  // Unmask the key with the digest of bytes 1..991 as the RSA operation left them.
  ApplyKeyMask(block, factory);
  auto generator = std::make_shared<AES_DRBG>(factory, block + layout::kKey);
  generator->ApplyKeystream(block, layout::kBodyLength);
  block[0] = 0;

  uint8_t storedDigest[32], digest[32];
  std::memcpy(storedDigest, block + layout::kHeaderDigest, 32);
  ComputeHeaderDigest(block, factory, digest);
  if (std::memcmp(digest, storedDigest, 32) != 0) return fail(UnsealFailure::kHeaderDigest);

  Text name;
  const UnsealFailure fields = DecodeHeaderFields(block, header, name);
  if (fields != UnsealFailure::kNone) return fail(fields);
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
