#include "package/payload_stream.h"

#include <cstring>
#include <vector>

namespace vellum {

bool PayloadStream::RunPayloadPass(File& source, File* destination) const {
  std::vector<uint8_t> chunk(kChunkSize);
  auto hasher = factory.CreateSHA256();
  for (uint64_t remaining = header.payloadLength; remaining != 0;) {
    const uint32_t n = remaining >= kChunkSize ? kChunkSize : static_cast<uint32_t>(remaining);
    uint32_t got = 0;
    if (!source.Read(chunk.data(), n, got)) got = 0;
    if (got != n) return false;
    generator.ApplyKeystream(chunk.data(), static_cast<int32_t>(n));
    hasher->Update(chunk.data(), n);
    if (destination) {
      uint32_t put = 0;
      if (!destination->Write(chunk.data(), n, put) || put != n) return false;
    }
    remaining -= n;
  }
  uint8_t digest[32];
  hasher->Final(digest);
  return std::memcmp(digest, header.payloadDigest, 32) == 0;
}

}  // namespace vellum
