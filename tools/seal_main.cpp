// vellum-seal: the publisher's side. Makes the key pair, seals ZIP archives
// into packages and verifies packages the way the viewer will.
#include <cstdio>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/cpu_features.h"
#include "base/utf8.h"
#include "tools/atomic_output.h"
#include "tools/sealer.h"

using namespace vellum;
using namespace vellum::tool;

namespace {

constexpr int kFailure = 1, kUsage = 2;

const char kUsageText[] =
    "usage:\n"
    "  vellum-seal keygen --key-out KEY.pem --modulus-out MODULUS.hex [--force]\n"
    "  vellum-seal seal --key KEY.pem --name NAME [--title TITLE] [--force] INPUT OUTPUT\n"
    "  vellum-seal verify --modulus MODULUS.hex --name NAME [--payload-out FILE]\n"
    "                     [--legacy-codepage 437|932] PACKAGE\n"
    "\n"
    "NAME is the package file's name the header must carry: the viewer's base\n"
    "name followed by _data (viewer.exe opens viewer_data). INPUT is a ZIP file,\n"
    "or a folder whose files are archived. Texts are UTF-8.\n";

struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  bool force = false;
};

// Splits "--option value" pairs from positional arguments; flags lists the
// options that take no value.
bool Parse(int argc, char** argv, const std::vector<std::string>& known, Arguments& args) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--force") {
      args.force = true;
    } else if (arg.rfind("--", 0) == 0) {
      if (std::find(known.begin(), known.end(), arg) == known.end() || i + 1 >= argc) {
        std::fprintf(stderr, "vellum-seal: unknown option or missing value: %s\n", arg.c_str());
        return false;
      }
      args.options[arg] = argv[++i];
    } else {
      args.positional.push_back(arg);
    }
  }
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "vellum-seal: %s\n", message.c_str());
  return kFailure;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "vellum-seal: %s\n%s", problem, kUsageText);
  return kUsage;
}

bool TextOption(const Arguments& args, const std::string& name, Text& text, std::string& error) {
  auto it = args.options.find(name);
  if (it == args.options.end()) return true;
  if (!Utf8ToText(it->second, text)) {
    error = name + " is not valid UTF-8";
    return false;
  }
  return true;
}

bool WriteWhole(const std::string& path, const std::string& content, bool overwrite, bool privateToOwner,
                std::string& error) {
  auto output = AtomicOutput::Create(path, overwrite, privateToOwner, error);
  if (!output) return false;
  uint32_t done = 0;
  if (!output->file().Write(content.data(), static_cast<uint32_t>(content.size()), done) ||
      done != content.size()) {
    error = "cannot write " + path;
    return false;
  }
  return output->Commit(error);
}

int Keygen(const Arguments& args) {
  auto keyOut = args.options.find("--key-out"), modulusOut = args.options.find("--modulus-out");
  if (keyOut == args.options.end() || modulusOut == args.options.end() || !args.positional.empty()) {
    return Usage("keygen needs --key-out and --modulus-out");
  }
  for (const auto& path : {keyOut->second, modulusOut->second}) {
    if (!args.force && ::access(path.c_str(), F_OK) == 0) return Fail(path + " exists already (use --force to replace it)");
  }
  std::fprintf(stderr, "Generating an 8192-bit RSA key. This takes a while (often minutes);\n"
                       "each dot is a candidate prime tested.\n");
  std::string error;
  long dots = 0;
  auto key = RsaKey::Generate([&] {
    if (++dots % 16 == 0) {
      std::fputc('.', stderr);
      std::fflush(stderr);
    }
  }, error);
  std::fputc('\n', stderr);
  if (!key) return Fail(error);
  std::string pem;
  uint8_t modulus[1024];
  key->Modulus(modulus);
  if (!key->ToPem(pem)) return Fail("cannot encode the private key");
  if (!WriteWhole(keyOut->second, pem, args.force, true, error) ||
      !WriteWhole(modulusOut->second, ModulusToHex(modulus), args.force, false, error)) {
    return Fail(error);
  }
  std::printf("private key: %s (keep it secret; mode 0600)\npublic modulus: %s (configure the viewer with "
              "-DVELLUM_PUBLIC_MODULUS=%s)\n",
              keyOut->second.c_str(), modulusOut->second.c_str(), modulusOut->second.c_str());
  return 0;
}

int Seal(const Arguments& args, const CryptoFactory& factory) {
  SealOptions options;
  auto key = args.options.find("--key");
  if (key == args.options.end() || !args.options.count("--name") || args.positional.size() != 2) {
    return Usage("seal needs --key, --name, an input ZIP file and an output path");
  }
  std::string error;
  if (!TextOption(args, "--name", options.name, error) || !TextOption(args, "--title", options.title, error)) {
    return Fail(error);
  }
  options.keyPath = key->second;
  options.input = args.positional[0];
  options.output = args.positional[1];
  options.overwrite = args.force;
  if (!SealPackage(options, factory, error)) return Fail(error);
  std::printf("sealed %s -> %s for %s\n", options.input.c_str(), options.output.c_str(),
              TextToUtf8(options.name).c_str());
  return 0;
}

int Verify(const Arguments& args, const CryptoFactory& factory) {
  VerifyOptions options;
  auto modulus = args.options.find("--modulus");
  if (modulus == args.options.end() || !args.options.count("--name") || args.positional.size() != 1) {
    return Usage("verify needs --modulus, --name and a package");
  }
  std::string error;
  if (!TextOption(args, "--name", options.name, error)) return Fail(error);
  options.modulusPath = modulus->second;
  options.package = args.positional[0];
  if (auto out = args.options.find("--payload-out"); out != args.options.end()) options.payloadOut = out->second;
  // Names stored without the UTF-8 flag: code page 437 unless the archive
  // was made on Japanese Windows.
  if (auto page = args.options.find("--legacy-codepage"); page != args.options.end()) {
    if (page->second != "437" && page->second != "932") return Usage("--legacy-codepage is 437 or 932");
    options.legacyCodePage = std::stoi(page->second);
  }
  VerifyReport report;
  const bool ok = VerifyPackage(options, factory, report, error);
  if (!report.title.empty() || ok) {
    std::printf("title=%s\nlength=%llu\n", TextToUtf8(report.title).c_str(),
                static_cast<unsigned long long>(report.payloadLength));
  }
  if (!ok) return Fail(error);
  std::printf("%severy check holds\n", report.entries.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  Arguments args;
  CryptoFactory factory;
  DetectProcessorFeatures(factory);
  if (command == "keygen") {
    if (!Parse(argc, argv, {"--key-out", "--modulus-out"}, args)) return kUsage;
    return Keygen(args);
  }
  if (command == "seal") {
    if (!Parse(argc, argv, {"--key", "--name", "--title"}, args)) return kUsage;
    return Seal(args, factory);
  }
  if (command == "verify") {
    if (!Parse(argc, argv, {"--modulus", "--name", "--payload-out", "--legacy-codepage"}, args)) return kUsage;
    return Verify(args, factory);
  }
  return Usage(("unknown command: " + command).c_str());
}
