#include <cstdio>

#include "e2e.h"

namespace e2e {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

void PrintLine(const std::string& utf8) {
  const std::string line = utf8 + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}

std::string Shown(const std::wstring& text) {
  std::wstring out;
  for (const wchar_t c : text) {
    if (c == L'\r') out += L"\\r";
    else if (c == L'\n') out += L"\\n";
    else if (c == L'\t') out += L"\\t";
    else out += c;
  }
  return Utf8(out);
}

Report::~Report() {
  if (tap_) fclose(tap_);
}

bool Report::WriteTapTo(const std::wstring& path) {
  if (tap_) fclose(tap_);
  tap_ = _wfopen(path.c_str(), L"wb");
  return tap_ != nullptr;
}

void Report::Emit(const std::string& line) {
  PrintLine(line);
  if (!tap_) return;
  fputs((line + "\n").c_str(), tap_);
  fflush(tap_);
}

void Report::Begin(const std::string& scenario) {
  scenario_ = scenario;
  Emit("# " + scenario);
}

bool Report::Check(bool ok, const std::string& what) {
  cases_.push_back({scenario_, what, ok});
  (ok ? passed_ : failed_)++;
  Emit(std::string(ok ? "ok - " : "not ok - ") + what);
  return ok;
}

void Report::Note(const std::string& what) { Emit("  " + what); }

void Report::Summary() {
  Emit("1.." + std::to_string(cases_.size()));
  Emit("e2e: " + std::to_string(passed_) + " passed, " + std::to_string(failed_) + " failed");
}

namespace {
std::string XmlText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
    }
  }
  return out;
}
}  // namespace

bool Report::WriteJUnit(const std::wstring& path) const {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites><testsuite name=\"e2e\" tests=\"" +
                    std::to_string(cases_.size()) + "\" failures=\"" + std::to_string(failed_) + "\">\n";
  for (const Case& c : cases_) {
    xml += "<testcase classname=\"e2e." + XmlText(c.scenario) + "\" name=\"" + XmlText(c.name) + "\"";
    xml += c.ok ? "/>\n" : "><failure/></testcase>\n";
  }
  xml += "</testsuite></testsuites>\n";
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = fwrite(xml.data(), 1, xml.size(), file) == xml.size();
  return fclose(file) == 0 && written;
}

}  // namespace e2e
