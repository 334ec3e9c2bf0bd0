// The name comparison as an order: for any three names it is a three-way,
// antisymmetric, transitive comparison, and names that differ in letter case
// alone are equal while every other pair it calls equal differs only in case.
#include <clocale>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cwctype>

#include "base/little_endian.h"
#include "package/compare_names.h"

namespace {

using vellum::CompareNames;
using vellum::Text;

// The letters whose case the comparison must fold: the Latin, Greek and
// Cyrillic alphabets and the full-width Latin letters.
bool InFoldedAlphabets(char16_t c) {
  return c < 0x180 || (c >= 0x391 && c <= 0x3C9) || (c >= 0x400 && c <= 0x45F) ||
         (c >= 0xFF21 && c <= 0xFF5A);
}

// The other case of c when it forms a simple pair with it; else c.
char16_t OtherCase(char16_t c) {
  if (!InFoldedAlphabets(c)) return c;
  const wint_t lower = std::towlower(c), upper = std::towupper(c);
  if (lower != c && std::towupper(lower) == c && InFoldedAlphabets(static_cast<char16_t>(lower))) {
    return static_cast<char16_t>(lower);
  }
  if (upper != c && std::towlower(upper) == c && InFoldedAlphabets(static_cast<char16_t>(upper))) {
    return static_cast<char16_t>(upper);
  }
  return c;
}

bool SameIgnoringCase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (a[k] != b[k] && std::towupper(a[k]) != std::towupper(b[k]) &&
        std::towlower(a[k]) != std::towlower(b[k])) {
      return false;
    }
  }
  return true;
}

void Fail(int line) {
  std::fprintf(stderr, "compare_names_fuzz.cpp:%d: property broken\n", line);
  std::abort();
}
#define Check(condition) ((condition) ? void() : Fail(__LINE__))

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C.UTF-8");
  return 0;
}

// The input is UTF-16LE code units; unit 0xFFFF separates the three names,
// and the bits of a fourth part choose which letters of the first name
// change case in its twin.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Text parts[4];
  int part = 0;
  for (size_t at = 0; at + 1 < size; at += 2) {
    const auto unit = static_cast<char16_t>(vellum::LoadLe16(data + at));
    if (unit == 0xFFFF && part < 3) {
      ++part;
    } else {
      parts[part].push_back(unit);
    }
  }
  const Text& a = parts[0];
  const Text& b = parts[1];
  const Text& c = parts[2];

  const int ab = CompareNames(a, b), ba = CompareNames(b, a);
  Check(ab >= -1 && ab <= 1);
  Check(ab == -ba);
  Check(CompareNames(a, a) == 0);
  Check(ab != 0 || SameIgnoringCase(a, b));

  const int bc = CompareNames(b, c), ac = CompareNames(a, c);
  if (ab == bc) Check(ac == ab);
  if (ab == 0) Check(ac == bc);
  if (bc == 0) Check(ac == ab);

  Text twin = a;
  for (size_t k = 0; k < twin.size(); ++k) {
    const Text& mask = parts[3];
    if (mask.empty() || (mask[(k / 16) % mask.size()] >> (k % 16) & 1)) twin[k] = OtherCase(twin[k]);
  }
  Check(CompareNames(a, twin) == 0);
  Check(CompareNames(twin, a) == 0);
  return 0;
}
