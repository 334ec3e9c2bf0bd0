#include "app/cpu_features.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/gf_mul_table.h"

namespace vellum {
namespace {

// A scripted processor: answers CPUID from a table and records the leaves asked.
struct FakeCpu {
  static inline std::map<uint32_t, CpuidResult> leaves;
  static inline std::vector<uint32_t> asked;
  static inline bool tableFilledBeforeLeaf7 = false;

  static CpuidResult Cpuid(uint32_t leaf, uint32_t subleaf) {
    EXPECT_EQ(subleaf, 0u);
    asked.push_back(leaf);
    if (leaf == 7) tableFilledBeforeLeaf7 = GfMulTable[0x57 * 256 + 0x83] == 0xC1;
    auto it = leaves.find(leaf);
    return it == leaves.end() ? CpuidResult{} : it->second;
  }
  static void Reset(uint32_t highest, uint32_t leaf1Ecx, uint32_t leaf7Ebx) {
    leaves = {{0, {highest, 0, 0, 0}}, {1, {0, 0, leaf1Ecx, 0}}, {7, {0, leaf7Ebx, 0, 0}}};
    asked.clear();
    tableFilledBeforeLeaf7 = false;
    std::fill(std::begin(GfMulTable), std::end(GfMulTable), uint8_t{0});
  }
};

constexpr uint32_t kAes = 1u << 25, kSha = 1u << 29;

// The fake processor scribbles over the global product table; leave it filled
// for the tests that use the portable cipher.
class ProcessorFeatures : public ::testing::Test {
 protected:
  void TearDown() override { BuildGfMulTable(); }
};

TEST_F(ProcessorFeatures, AesNiWithoutShaLeavesTableUntouched) {
  FakeCpu::Reset(7, kAes, 0);
  CryptoFactory f;
  DetectProcessorFeatures(f, FakeCpu::Cpuid);
  EXPECT_TRUE(f.hasAesNi);
  EXPECT_FALSE(f.hasShaExtensions);
  EXPECT_TRUE(std::all_of(std::begin(GfMulTable), std::end(GfMulTable), [](uint8_t v) { return v == 0; }));
}

TEST_F(ProcessorFeatures, NoAesNiFillsTableBeforeLeaf7) {
  FakeCpu::Reset(7, 0, kSha);
  CryptoFactory f;
  DetectProcessorFeatures(f, FakeCpu::Cpuid);
  EXPECT_FALSE(f.hasAesNi);
  EXPECT_TRUE(f.hasShaExtensions);
  EXPECT_TRUE(FakeCpu::tableFilledBeforeLeaf7);
}

TEST_F(ProcessorFeatures, LowHighestLeafSkipsHigherQueries) {
  FakeCpu::Reset(6, kAes, kSha);
  CryptoFactory f;
  DetectProcessorFeatures(f, FakeCpu::Cpuid);
  EXPECT_TRUE(f.hasAesNi);
  EXPECT_FALSE(f.hasShaExtensions);
  EXPECT_EQ(FakeCpu::asked, (std::vector<uint32_t>{0, 1}));

  // A highest leaf with the top bit set is negative as a signed number: nothing more is asked.
  FakeCpu::Reset(0x80000008u, kAes, kSha);
  CryptoFactory g;
  DetectProcessorFeatures(g, FakeCpu::Cpuid);
  EXPECT_FALSE(g.hasAesNi);
  EXPECT_FALSE(g.hasShaExtensions);
  EXPECT_EQ(FakeCpu::asked, (std::vector<uint32_t>{0}));
}

#ifdef __linux__
// The real processor's answer agrees with what the kernel reports.
TEST_F(ProcessorFeatures, MatchesProcCpuinfo) {
  std::ifstream in("/proc/cpuinfo");
  std::string line, flags;
  while (std::getline(in, line)) {
    if (line.rfind("flags", 0) == 0) {
      flags = " " + line.substr(line.find(':') + 1) + " ";
      break;
    }
  }
  if (flags.empty()) GTEST_SKIP() << "no flags line in /proc/cpuinfo";
  CryptoFactory f;
  DetectProcessorFeatures(f);
  EXPECT_EQ(f.hasAesNi, flags.find(" aes ") != std::string::npos);
  EXPECT_EQ(f.hasShaExtensions, flags.find(" sha_ni ") != std::string::npos);
}
#endif

}  // namespace
}  // namespace vellum
