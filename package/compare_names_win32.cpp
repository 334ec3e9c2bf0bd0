#include <windows.h>

#include "package/compare_names.h"

namespace vellum {

int CompareNames(const Text& a, const Text& b) {
  static const wchar_t kLocale[] = L"!x-sys-default-locale";
  NLSVERSIONINFOEX version{};
  version.dwNLSVersionInfoSize = sizeof version;
  GetNLSVersionEx(COMPARE_STRING, kLocale, &version);

  const auto aUnits = reinterpret_cast<const wchar_t*>(a.data());
  const auto bUnits = reinterpret_cast<const wchar_t*>(b.data());
  const int linguistic =
      CompareStringEx(kLocale, NORM_IGNORECASE | SORT_DIGITSASNUMBERS | NORM_LINGUISTIC_CASING,
                      aUnits, static_cast<int>(a.size()), bUnits, static_cast<int>(b.size()),
                      reinterpret_cast<LPNLSVERSIONINFO>(&version), nullptr, 0);
  if (linguistic == CSTR_LESS_THAN || linguistic == CSTR_GREATER_THAN) return linguistic - 2;
  // Equal, or the linguistic comparison failed: the ordinal comparison decides.
  return CompareStringOrdinal(aUnits, static_cast<int>(a.size()), bUnits, static_cast<int>(b.size()),
                              TRUE) -
         2;
}

}  // namespace vellum
