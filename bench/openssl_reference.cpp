#include "bench/openssl_reference.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "OpenSSL reference: %s failed\n", what);
  std::exit(1);
}

}  // namespace

std::function<void()> OpenSslAesCtr(std::vector<uint8_t>& buffer) {
  std::shared_ptr<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  const unsigned char key[32] = {1, 2, 3}, iv[16] = {};
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_ctr(), nullptr, key, iv) != 1) Fail("AES-256-CTR init");
  return [ctx, &buffer] {
    int out = 0;
    EVP_EncryptUpdate(ctx.get(), buffer.data(), &out, buffer.data(), static_cast<int>(buffer.size()));
  };
}

std::function<void()> OpenSslSha256(const std::vector<uint8_t>& buffer) {
  std::shared_ptr<EVP_MD_CTX> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) Fail("SHA-256 init");
  return [ctx, &buffer] { EVP_DigestUpdate(ctx.get(), buffer.data(), buffer.size()); };
}

std::function<void()> OpenSslRsaPublic(const std::string& pemPath) {
  FILE* f = std::fopen(pemPath.c_str(), "r");
  if (!f) Fail("opening the test key");
  std::shared_ptr<EVP_PKEY> key(PEM_read_PrivateKey(f, nullptr, nullptr, nullptr), EVP_PKEY_free);
  std::fclose(f);
  if (!key) Fail("reading the test key");
  std::shared_ptr<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new(key.get(), nullptr), EVP_PKEY_CTX_free);
  if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1) {
    Fail("RSA public init");
  }
  auto in = std::make_shared<std::vector<unsigned char>>(1024);
  for (int i = 1; i < 1024; ++i) (*in)[i] = static_cast<unsigned char>(i * 7 + 1);
  return [ctx, key, in] {
    unsigned char out[1024];
    size_t outLength = sizeof out;
    if (EVP_PKEY_encrypt(ctx.get(), out, &outLength, in->data(), in->size()) != 1) Fail("RSA public");
  };
}
