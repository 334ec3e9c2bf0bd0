// One whole LoadPackage natively, on real files: verify the payload, write
// the archive, extract it. Prints the wall time and the process's peak
// resident memory, for load_bench.sh to compare.
//
//   vellum_load_bench PACKAGE TEMP_DIR [NAME]
//
// NAME is the name the package was sealed for (default viewer_data).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/cpu_features.h"
#include "base/utf8.h"
#include "bench/posix_platform.h"
#include "crypto/gf_mul_table.h"
#include "package/loader.h"

using namespace vellum;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s PACKAGE TEMP_DIR [NAME]\n", argv[0]);
    return 2;
  }
  CryptoFactory factory;
  DetectProcessorFeatures(factory);
  if (!factory.hasAesNi) BuildGfMulTable();

  Text package, tempDir, name;
  Utf8ToText(argv[1], package);
  Utf8ToText(argv[2], tempDir);
  Utf8ToText(argc > 3 ? argv[3] : "viewer_data", name);

  bench::PosixPlatform platform;
  Text workFolder, title, message;
  const auto start = std::chrono::steady_clock::now();
  const bool loaded = LoadPackage(platform, package, name, tempDir, factory, workFolder, title, message);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("loaded %s\nseconds %.3f\nmax_rss_kib %ld\nwork_folder %s\n", loaded ? "yes" : "no",
              seconds, usage.ru_maxrss, TextToUtf8(workFolder).c_str());
  if (!loaded) std::fprintf(stderr, "load failed: %s\n", TextToUtf8(message).c_str());
  return loaded ? 0 : 1;
}
