// The comparison for builds without the Windows national-language services
// (the publisher's tool and native tests). It keeps the properties the viewer
// relies on; its case mapping covers the common alphabets of the Basic
// Multilingual Plane rather than all of Unicode.
#include <cstddef>

#include "package/compare_names.h"

namespace vellum {
namespace {

char16_t UpperCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) ||   // Latin-1
      (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||  // Greek, final sigma excepted
      (c >= 0x430 && c <= 0x44F) ||                 // Cyrillic
      (c >= 0xFF41 && c <= 0xFF5A)) {               // full-width Latin
    return static_cast<char16_t>(c - 0x20);
  }
  if (c == 0xFF) return 0x178;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  // Latin Extended-A and Cyrillic supplement pair capital (even) with small
  // (odd), except two runs of Latin Extended-A that start on an odd capital,
  // and the Turkish dotted capital I and dotless small i, which are no pair
  // (their other cases are the plain i and I).
  const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177) ||
       (c >= 0x460 && c <= 0x4BF)) &&
      (c & 1)) {
    return static_cast<char16_t>(c - 1);
  }
  if (oddCapitals && !(c & 1)) return static_cast<char16_t>(c - 1);
  return c;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
int Sign(int v) { return (v > 0) - (v < 0); }

// Compares the digit runs starting at a[i] and b[j] by value and moves both
// indices past them.
int CompareNumbers(const Text& a, size_t& i, const Text& b, size_t& j) {
  auto skipZeros = [](const Text& t, size_t& k) {
    while (k < t.size() && t[k] == u'0') ++k;
  };
  skipZeros(a, i);
  skipZeros(b, j);
  size_t aEnd = i, bEnd = j;
  while (aEnd < a.size() && IsDigit(a[aEnd])) ++aEnd;
  while (bEnd < b.size() && IsDigit(b[bEnd])) ++bEnd;
  int result = Sign(static_cast<int>(aEnd - i) - static_cast<int>(bEnd - j));
  for (; result == 0 && i < aEnd; ++i, ++j) result = Sign(a[i] - b[j]);
  i = aEnd;
  j = bEnd;
  return result;
}

int CompareLinguistic(const Text& a, const Text& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      if (int r = CompareNumbers(a, i, b, j)) return r;
      continue;
    }
    if (int r = Sign(UpperCase(a[i]) - UpperCase(b[j]))) return r;
    ++i;
    ++j;
  }
  return Sign(static_cast<int>(a.size() - i) - static_cast<int>(b.size() - j));
}

int CompareOrdinalIgnoringCase(const Text& a, const Text& b) {
  for (size_t k = 0; k < a.size() && k < b.size(); ++k) {
    if (int r = Sign(UpperCase(a[k]) - UpperCase(b[k]))) return r;
  }
  return Sign(static_cast<int>(a.size()) - static_cast<int>(b.size()));
}

}  // namespace

int CompareNames(const Text& a, const Text& b) {
  if (int r = CompareLinguistic(a, b)) return r;
  return CompareOrdinalIgnoringCase(a, b);
}

}  // namespace vellum
