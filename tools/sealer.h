#pragma once
#include <cstdint>
#include <string>

#include "base/text.h"
#include "crypto/crypto_factory.h"
#include "platform/file.h"
#include "tools/rsa_key.h"

namespace vellum::tool {

// Lays out a plain header: P[0], the zero word and every uninterpreted byte
// are 0, title and name are 0-terminated UTF-16LE, K stands in the clear at
// 992..1023 and the header digest is filled in. False when the title or the
// name is too long for its field.
bool BuildPlainHeader(const Text& title, const Text& name, uint64_t payloadLength,
                      const uint8_t payloadDigest[32], const uint8_t key[32],
                      const CryptoFactory& factory, uint8_t plain[1024]);
// Recomputes the header digest over P with P[0] and the digest field zero.
void SetHeaderDigest(uint8_t plain[1024], const CryptoFactory& factory);
// Seals a plain header whose bytes 992..1023 hold K: encrypts bytes 0..991
// with keystream blocks 0..61, zeroes byte 0, masks K with the digest of
// bytes 1..991 and applies the private key.
bool SealPlainHeader(const uint8_t plain[1024], const RsaKey& key, const CryptoFactory& factory,
                     uint8_t sealed[1024]);

struct SealOptions {
  std::string input, output, keyPath;  // input: a ZIP file, or a folder to archive
  Text title, name;
  bool overwrite = false;
};
bool SealPackage(const SealOptions& options, const CryptoFactory& factory, std::string& error);
// The same for a ZIP archive already open (options.input only names it in
// messages). It is read twice, for its digest and to encrypt it; an input
// that changes in between fails, with no output.
bool SealArchive(File& archive, const SealOptions& options, const RsaKey& key, const CryptoFactory& factory,
                 std::string& error);

struct VerifyOptions {
  std::string package, modulusPath, payloadOut;
  Text name;
  // The code page the listing decodes legacy entry names with (those
  // without the UTF-8 flag): 437, or 932 (Shift_JIS) as on Japanese Windows.
  int legacyCodePage = 437;
};
struct VerifyReport {
  Text title;
  uint64_t payloadLength = 0;
  std::string entries;  // the archive's top-level entries, one a line
};
// Opens a package with the viewer's own unsealing and payload code.
bool VerifyPackage(const VerifyOptions& options, const CryptoFactory& factory,
                   VerifyReport& report, std::string& error);

// Checks a package file name and a title against what a header can carry.
bool CheckName(const Text& name, std::string& error);
bool CheckTitle(const Text& title, std::string& error);

}  // namespace vellum::tool
