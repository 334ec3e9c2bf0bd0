#pragma once
#include <cstdint>
#include <memory>

#include "crypto/aes_drbg.h"
#include "crypto/crypto_factory.h"
#include "package/package_header.h"
#include "platform/file.h"

namespace vellum {

// One pass over the encrypted payload: read, decrypt, hash and (optionally)
// write, 64 KiB at a time. The loader binds the factory, the header and the
// generator once and runs a verifying pass, then a writing pass.
struct PayloadStream {
  const CryptoFactory& factory;
  const PackageHeader& header;
  AES_DRBG& generator;

  static constexpr uint32_t kChunkSize = 65536;

  // source stands at the first payload byte. True when all payloadLength bytes
  // were read and their plaintext digest matches. A failed or short write also
  // gives false, so a plaintext that did not reach the disk whole is never
  // taken for a good one.
  bool RunPayloadPass(File& source, File* destination) const;
};

}  // namespace vellum
