#include "tools/sealer.h"

#include <iconv.h>
#include <openssl/rand.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "base/little_endian.h"
#include "base/utf8.h"
#include "crypto/aes_drbg.h"
#include "package/payload_stream.h"
#include "package/unseal_header.h"
#include "package/zip_names.h"
#include "package/zip_reader.h"
#include "platform/posix_file.h"
#include "tools/atomic_output.h"
#include "tools/zip_writer.h"

namespace vellum::tool {
namespace {

namespace layout = header_layout;

// Reads a whole file once through 64 KiB chunks, handing each to consume.
template <typename Consume>
bool ForEachChunk(File& file, Consume consume) {
  std::vector<uint8_t> chunk(PayloadStream::kChunkSize);
  for (;;) {
    uint32_t got = 0;
    if (!file.Read(chunk.data(), PayloadStream::kChunkSize, got)) return false;
    if (got == 0) return true;
    if (!consume(chunk.data(), got)) return false;
  }
}

// Shift_JIS through the C library's converter; undecodable bytes as code
// page 437, so that the listing still shows something for them.
Text DecodeCp932(const uint8_t* bytes, size_t size) {
  const iconv_t converter = iconv_open("UTF-16LE", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return zip::DecodeCp437(bytes, size);
  std::vector<char> in(bytes, bytes + size), out(size * 4 + 4);
  char* inAt = in.data();
  char* outAt = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  const size_t converted = iconv(converter, &inAt, &inLeft, &outAt, &outLeft);
  iconv_close(converter);
  if (converted == static_cast<size_t>(-1)) return zip::DecodeCp437(bytes, size);
  Text name;
  for (const char* unit = out.data(); unit + 1 < outAt; unit += 2) {
    name.push_back(static_cast<char16_t>(LoadLe16(reinterpret_cast<const uint8_t*>(unit))));
  }
  return name;
}

// The top-level entries as the viewer's built-in reader offers them.
// False with why set when the reader refuses the archive.
bool ListArchive(const std::string& path, int legacyCodePage, std::string& listing, ZipRefusal& why) {
  auto storage = OpenZipArchive(PosixFile::OpenForReading(path), [](FileTime t) { return t; },
                                legacyCodePage == 932 ? LegacyNameDecoder(DecodeCp932) : nullptr, &why);
  auto elements = storage ? storage->EnumElements() : nullptr;
  if (!elements) return false;
  for (;;) {
    ElementStat stat;
    const auto result = elements->Next(stat);
    if (result == ElementEnumerator::Result::kFailed) return false;
    if (result == ElementEnumerator::Result::kEnd) return true;
    listing += stat.type == kElementStream
                   ? "file   " + std::to_string(stat.size) + "\t" + TextToUtf8(stat.name) + "\n"
                   : "folder (not shown)\t" + TextToUtf8(stat.name) + "\n";
  }
}

}  // namespace

bool CheckName(const Text& name, std::string& error) {
  if (name.empty()) {
    error = "the package name must not be empty";
    return false;
  }
  if (name.size() > layout::kMaxNameUnits) {
    error = "the package name has " + std::to_string(name.size()) + " UTF-16 units; at most " +
            std::to_string(layout::kMaxNameUnits) + " fit";
    return false;
  }
  for (char16_t c : name) {
    if (c == u'\\' || c == u'/' || c == u':' || c == 0) {
      error = "the package name must be a bare file name, without \\, /, : or NUL";
      return false;
    }
  }
  return true;
}

bool CheckTitle(const Text& title, std::string& error) {
  if (title.size() > layout::kMaxTitleUnits) {
    error = "the title has " + std::to_string(title.size()) + " UTF-16 units; at most " +
            std::to_string(layout::kMaxTitleUnits) + " fit";
    return false;
  }
  if (title.find(u'\0') != Text::npos) {
    error = "the title must not contain NUL";
    return false;
  }
  return true;
}

void SetHeaderDigest(uint8_t plain[1024], const CryptoFactory& factory) {
  uint8_t digest[32];
  ComputeHeaderDigest(plain, factory, digest);
  std::memcpy(plain + layout::kHeaderDigest, digest, sizeof digest);
}

bool BuildPlainHeader(const Text& title, const Text& name, uint64_t payloadLength,
                      const uint8_t payloadDigest[32], const uint8_t key[32],
                      const CryptoFactory& factory, uint8_t plain[1024]) {
  PackageHeader fields;
  fields.title = title;
  fields.payloadLength = payloadLength;
  std::memcpy(fields.payloadDigest, payloadDigest, sizeof fields.payloadDigest);
  if (!EncodeHeaderFields(fields, name, plain)) return false;
  std::memcpy(plain + layout::kKey, key, 32);
  SetHeaderDigest(plain, factory);
  return true;
}

bool SealPlainHeader(const uint8_t plain[1024], const RsaKey& key, const CryptoFactory& factory,
                     uint8_t sealed[1024]) {
  uint8_t block[layout::kSize];
  CloseHeaderBlock(plain, factory, block);
  return key.PrivateOperation(block, sealed);
}

bool SealPackage(const SealOptions& options, const CryptoFactory& factory, std::string& error) {
  if (!CheckName(options.name, error) || !CheckTitle(options.title, error)) return false;
  auto key = RsaKey::LoadPrivate(options.keyPath, error);
  if (!key) return false;
  // A folder is archived first, into a file beside the output that goes away
  // with this call.
  std::unique_ptr<AtomicOutput> builtArchive;
  std::unique_ptr<PosixFile> inputFile;
  File* input = nullptr;
  if (std::filesystem::is_directory(options.input)) {
    builtArchive = AtomicOutput::Create(options.output + ".zip", true, true, error);
    if (!builtArchive || !WriteFolderZip(options.input, builtArchive->file(), error)) return false;
    input = &builtArchive->file();
  } else {
    inputFile = PosixFile::OpenForReading(options.input);
    if (!inputFile) {
      error = "cannot open the input " + options.input;
      return false;
    }
    input = inputFile.get();
  }
  return SealArchive(*input, options, *key, factory, error);
}

bool SealArchive(File& archive, const SealOptions& options, const RsaKey& key, const CryptoFactory& factory,
                 std::string& error) {
  File* input = &archive;
  char signature[2] = {};
  uint32_t got = 0;
  if (!input->Seek(0) || !input->Read(signature, 2, got) || got != 2 || signature[0] != 'P' || signature[1] != 'K') {
    error = options.input + " is not a ZIP file";
    return false;
  }

  // First pass: the plaintext's length and digest, which the header carries.
  uint64_t length = 0;
  auto hasher = factory.CreateSHA256();
  if (!input->Seek(0) || !ForEachChunk(*input, [&](const uint8_t* data, uint32_t n) {
        hasher->Update(data, n);
        length += n;
        return true;
      })) {
    error = "cannot read " + options.input;
    return false;
  }
  uint8_t digest[32], headerKey[32], plain[1024], sealed[1024];
  hasher->Final(digest);
  if (RAND_bytes(headerKey, sizeof headerKey) != 1) {
    error = "the system's random generator failed";
    return false;
  }
  if (!BuildPlainHeader(options.title, options.name, length, digest, headerKey, factory, plain)) {
    error = "the title or the package name does not fit the header";
    return false;
  }
  if (!SealPlainHeader(plain, key, factory, sealed)) {
    error = "the private-key operation failed";
    return false;
  }

  // Second pass: the encrypted payload, continuing the header's keystream.
  // It is hashed again: an input that changed since the first pass, even
  // keeping its length, would make a package whose digest no viewer accepts.
  auto output = AtomicOutput::Create(options.output, options.overwrite, false, error);
  if (!output) return false;
  AES_DRBG generator(factory, headerKey);
  generator.setBlockCounter(layout::kPayloadFirstBlock);
  uint64_t written = 0;
  auto rehasher = factory.CreateSHA256();
  auto put = [&](const uint8_t* data, uint32_t n) {
    uint32_t done = 0;
    return output->file().Write(data, n, done) && done == n;
  };
  const bool ok = put(sealed, layout::kSize) && input->Seek(0) &&
                  ForEachChunk(*input, [&](uint8_t* data, uint32_t n) {
                    rehasher->Update(data, n);
                    generator.ApplyKeystream(data, static_cast<int32_t>(n));
                    written += n;
                    return put(data, n);
                  });
  if (!ok) {
    error = "cannot read " + options.input + " or write " + options.output;
    return false;
  }
  uint8_t secondDigest[32];
  rehasher->Final(secondDigest);
  if (written != length || std::memcmp(secondDigest, digest, sizeof digest) != 0) {
    error = options.input + " changed while it was being sealed; nothing was written";
    return false;
  }
  return output->Commit(error);
}

bool VerifyPackage(const VerifyOptions& options, const CryptoFactory& factory,
                   VerifyReport& report, std::string& error) {
  uint8_t modulus[1024];
  if (!ModulusFromHexFile(options.modulusPath, modulus, error)) return false;
  auto package = PosixFile::OpenForReading(options.package);
  if (!package) {
    error = "cannot open the package " + options.package;
    return false;
  }
  uint8_t sealed[1024];
  uint32_t got = 0;
  if (!package->Read(sealed, layout::kSize, got) || got != layout::kSize) {
    error = "corrupted: the file is shorter than the 1024-byte header";
    return false;
  }
  PackageHeader header;
  UnsealFailure failure = UnsealFailure::kNone;
  auto generator = UnsealHeaderWithModulus(sealed, header, factory, options.name, modulus, &failure);
  if (!generator) {
    switch (failure) {
      case UnsealFailure::kHeaderDigest:
        error = "corrupted: the header digest does not match (damaged, or sealed with another key)";
        break;
      case UnsealFailure::kZeroWord: error = "corrupted: the header's zero word is not 0"; break;
      case UnsealFailure::kTitleField: error = "corrupted: the title field has no terminator"; break;
      case UnsealFailure::kNameField: error = "corrupted: the name field has no terminator"; break;
      default: error = "corrupted: the package was sealed for another name"; break;
    }
    return false;
  }
  report.title = header.title;
  report.payloadLength = header.payloadLength;
  uint64_t size = 0;
  if (package->GetSize(size) && size - layout::kSize < header.payloadLength) {
    error = "corrupted: the payload is shorter than the header states";
    return false;
  }
  PayloadStream stream{factory, header, *generator};
  if (!stream.RunPayloadPass(*package, nullptr)) {
    error = "corrupted: the payload digest does not match";
    return false;
  }
  // Like the viewer: plaintext reaches the disk only after the whole payload
  // verified. Without --payload-out it goes to a temporary file, just long
  // enough to list it.
  const std::string plainPath =
      options.payloadOut.empty() ? (std::filesystem::temp_directory_path() / "vellum-verify").string()
                                 : options.payloadOut;
  // A temporary file is readable by its owner only: it holds the plaintext.
  auto output = AtomicOutput::Create(plainPath, true, options.payloadOut.empty(), error);
  if (!output) return false;
  generator->setBlockCounter(layout::kPayloadFirstBlock);
  if (!package->Seek(layout::kSize) || !stream.RunPayloadPass(*package, &output->file())) {
    error = "cannot write " + plainPath;
    return false;
  }
  ZipRefusal why = ZipRefusal::kNone;
  if (!ListArchive(output->temporaryPath(), options.legacyCodePage, report.entries, why)) {
    error = "the payload is not a ZIP archive the viewer can open";
    if (why != ZipRefusal::kNone) error += std::string(": ") + ZipRefusalText(why);
    return false;
  }
  return options.payloadOut.empty() || output->Commit(error);
}

}  // namespace vellum::tool
