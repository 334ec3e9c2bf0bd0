#include "tools/rsa_key.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vellum::tool {
namespace {

struct BnFree {
  void operator()(BIGNUM* b) const { BN_free(b); }
};
using Bignum = std::unique_ptr<BIGNUM, BnFree>;

Bignum GetParam(EVP_PKEY* key, const char* name) {
  BIGNUM* value = nullptr;
  EVP_PKEY_get_bn_param(key, name, &value);
  return Bignum(value);
}

int GenerationProgress(EVP_PKEY_CTX* ctx) {
  auto* progress = static_cast<const std::function<void()>*>(EVP_PKEY_CTX_get_app_data(ctx));
  if (progress && *progress) (*progress)();
  return 1;
}

}  // namespace

RsaKey::~RsaKey() { EVP_PKEY_free(key_); }

bool RsaKey::HasPublisherShape(EVP_PKEY* key, std::string& error) {
  if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
    error = "the key is not an RSA key";
    return false;
  }
  if (EVP_PKEY_get_bits(key) != kBits) {
    error = "the key has " + std::to_string(EVP_PKEY_get_bits(key)) + " bits; 8192 are required";
    return false;
  }
  Bignum e = GetParam(key, OSSL_PKEY_PARAM_RSA_E);
  if (!e || !BN_is_word(e.get(), 65537)) {
    error = "the key's public exponent is not 65537";
    return false;
  }
  return true;
}

std::unique_ptr<RsaKey> RsaKey::LoadPrivate(const std::string& path, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) {
    error = "cannot open the key file " + path;
    return nullptr;
  }
  EVP_PKEY* key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  if (!key) {
    error = path + " does not hold a PEM private key";
    return nullptr;
  }
  std::unique_ptr<RsaKey> result(new RsaKey(key));
  if (!HasPublisherShape(key, error)) return nullptr;
  return result;
}

std::unique_ptr<RsaKey> RsaKey::Generate(const std::function<void()>& progress, std::string& error) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr), EVP_PKEY_CTX_free);
  Bignum e(BN_new());
  EVP_PKEY* key = nullptr;
  if (!ctx || !e || !BN_set_word(e.get(), 65537) || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), kBits) != 1 ||
      EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()) != 1) {
    error = "cannot set up RSA key generation";
    return nullptr;
  }
  EVP_PKEY_CTX_set_app_data(ctx.get(), const_cast<std::function<void()>*>(&progress));
  EVP_PKEY_CTX_set_cb(ctx.get(), GenerationProgress);
  if (EVP_PKEY_keygen(ctx.get(), &key) != 1) {
    error = "RSA key generation failed";
    return nullptr;
  }
  return std::unique_ptr<RsaKey>(new RsaKey(key));
}

void RsaKey::Modulus(uint8_t out[1024]) const {
  Bignum n = GetParam(key_, OSSL_PKEY_PARAM_RSA_N);
  BN_bn2binpad(n.get(), out, 1024);
}

bool RsaKey::PrivateOperation(const uint8_t in[1024], uint8_t out[1024]) const {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new(key_, nullptr), EVP_PKEY_CTX_free);
  size_t length = 1024;
  return ctx && EVP_PKEY_decrypt_init(ctx.get()) == 1 &&
         EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) == 1 &&
         EVP_PKEY_decrypt(ctx.get(), out, &length, in, 1024) == 1 && length == 1024;
}

bool RsaKey::ToPem(std::string& pem) const {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  if (!bio || PEM_write_bio_PrivateKey(bio.get(), key_, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return false;
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  pem.assign(data, static_cast<size_t>(length));
  return true;
}

std::string ModulusToHex(const uint8_t modulus[1024]) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (int i = 0; i < 1024; ++i) {
    hex += kDigits[modulus[i] >> 4];
    hex += kDigits[modulus[i] & 15];
    if (i % 32 == 31) hex += '\n';
  }
  return hex;
}

bool ModulusFromHexFile(const std::string& path, uint8_t modulus[1024], std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open the modulus file " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string digits;
  for (char c : text.str()) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      digits += c;
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      error = path + " holds something other than hex digits";
      return false;
    }
  }
  if (digits.size() != 2048) {
    error = path + " must hold 1024 bytes of hex (2048 digits), not " + std::to_string(digits.size());
    return false;
  }
  for (int i = 0; i < 1024; ++i) modulus[i] = static_cast<uint8_t>(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
  if (modulus[0] < 0x80) {
    error = path + ": the modulus must have its top bit set (8192 bits)";
    return false;
  }
  return true;
}

}  // namespace vellum::tool
