#pragma once
#include <string>

namespace vellum {

// All text is UTF-16, in both builds. On Windows a Text's buffer goes to the
// API as it is (wchar_t is 16 bits there); conversions to and from UTF-8
// happen only at the edges of the native publisher's tool.
using Text = std::u16string;

#ifdef _WIN32
inline const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline Text FromWide(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }
#endif

}  // namespace vellum
