// Throughput of the keystream and the digest on 64 KiB buffers, and the time
// of one RSA public operation. Natively the same work is timed with OpenSSL in
// the same run and printed as ratios ours/OpenSSL (for the RSA row, where
// smaller is better, the ratio is time ours/OpenSSL).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/cpu_features.h"
#include "bench/harness.h"
#include "crypto/aes_drbg.h"
#include "crypto/big_num.h"
#include "crypto/crypto_factory.h"
#include "crypto/public_modulus.h"
#include "crypto/rsa_public.h"
#include "crypto/gf_mul_table.h"

#if VELLUM_BENCH_OPENSSL
#include "bench/openssl_reference.h"
#endif

using namespace vellum;
using vellum::bench::Row;
using vellum::bench::SecondsPerCall;

namespace {

constexpr size_t kChunk = 65536;

double MegabytesPerSecond(double secondsPerChunk) { return kChunk / secondsPerChunk / 1e6; }

double KeystreamSpeed(const CryptoFactory& factory, std::vector<uint8_t>& buffer) {
  const uint8_t key[32] = {1, 2, 3};
  auto drbg = std::make_shared<AES_DRBG>(factory, key);
  return MegabytesPerSecond(SecondsPerCall(
      [&] { drbg->ApplyKeystream(buffer.data(), static_cast<int32_t>(buffer.size())); }));
}

double DigestSpeed(const CryptoFactory& factory, const std::vector<uint8_t>& buffer) {
  auto hasher = factory.CreateSHA256();
  return MegabytesPerSecond(SecondsPerCall(
      [&] { hasher->Update(buffer.data(), static_cast<uint32_t>(buffer.size())); }));
}

double RsaMilliseconds() {
  CBigNum exponent, modulus;
  exponent.SetLimb(kPublicExponent);
  modulus.FromBigEndian(kPublicModulus);
  uint8_t in[1024], out[1024];
  for (int i = 0; i < 1024; ++i) in[i] = static_cast<uint8_t>(i * 7 + 1);
  in[0] = 0;
  return 1e3 * SecondsPerCall([&] { RsaPublic(in, exponent, modulus, out); }, 3, 0.5);
}

}  // namespace

int main() {
  CryptoFactory detected;
  DetectProcessorFeatures(detected);
  BuildGfMulTable();  // the portable cipher is timed even on processors with AES-NI
  CryptoFactory portable;
  std::printf("processor: AES-NI %s, SHA extensions %s; %zu-bit build\n",
              detected.hasAesNi ? "yes" : "no", detected.hasShaExtensions ? "yes" : "no",
              sizeof(void*) * 8);

  std::vector<uint8_t> buffer(kChunk);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 31);

  double aesReference = 0, shaReference = 0, rsaReference = 0;
#if VELLUM_BENCH_OPENSSL
  aesReference = MegabytesPerSecond(SecondsPerCall(OpenSslAesCtr(buffer)));
  shaReference = MegabytesPerSecond(SecondsPerCall(OpenSslSha256(buffer)));
  rsaReference = 1e3 * SecondsPerCall(OpenSslRsaPublic(VELLUM_SOURCE_DIR "/keys/test_private_key.pem"), 3, 0.5);
#endif

  std::vector<Row> rows;
  if (detected.hasAesNi) {
    rows.push_back({"ApplyKeystream AES256_NI 64KiB", KeystreamSpeed(detected, buffer), aesReference, false});
  }
  rows.push_back({"ApplyKeystream AES_SCALAR3 64KiB", KeystreamSpeed(portable, buffer), aesReference, false});
  if (detected.hasShaExtensions) {
    rows.push_back({"SHA256H::Update 64KiB", DigestSpeed(detected, buffer), shaReference, false});
  }
  rows.push_back({"SHA256x::Update 64KiB", DigestSpeed(portable, buffer), shaReference, false});
  rows.push_back({"RsaPublic 8192-bit", RsaMilliseconds(), rsaReference, true});
  vellum::bench::PrintTable(rows);
  return 0;
}
