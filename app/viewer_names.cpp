#include "app/viewer_names.h"

#include <algorithm>
#include <vector>

#include "base/path.h"

namespace vellum {

ExeNames DeriveExeNames(const Text& exePath) {
  ExeNames names;
  SplitResult split = SplitPath(exePath);
  names.exeFolder = std::move(split.folder);
  names.exeFileName = std::move(split.name);
  const size_t dot = names.exeFileName.rfind(u'.');
  names.baseName = dot == Text::npos ? names.exeFileName : names.exeFileName.substr(0, dot);
  names.packageName = names.baseName + u"_data";
  names.packagePath = JoinPath(names.exeFolder, names.packageName);
  return names;
}

Text MainWindowTitle(const Text& baseName, const Text& packageTitle) {
  if (packageTitle.empty()) return baseName;
  return baseName + u" - " + packageTitle;
}

Text ContainingFolder(const Text& path) {
  Text folder = SplitPath(path).folder;
  if (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  return folder;
}

uint32_t GetExePathWith(const ModuleFileNameCall& call, Text& path) {
  constexpr uint32_t kErrorInsufficientBuffer = 122;
  constexpr uint32_t kGiveUpAt = 65536;
  std::vector<char16_t> buffer;
  const auto text = [&buffer] {
    return Text(buffer.begin(), std::find(buffer.begin(), buffer.end(), u'\0'));
  };
  for (uint32_t n = 32;;) {
    buffer.resize(n + 1);  // keeps what the last call wrote, zero-fills the rest
    uint32_t lastError = 0;
    const uint32_t reported = call(buffer.data(), n + 1, lastError);
    if (reported < n + 1 || lastError != kErrorInsufficientBuffer) {
      path = text();
      return reported;
    }
    n *= 2;
    if (n >= kGiveUpAt) {
      path = text();
      return 0;
    }
  }
}

}  // namespace vellum
