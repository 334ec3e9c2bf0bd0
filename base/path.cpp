#include "base/path.h"

namespace vellum {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u':'; }

}  // namespace

SplitResult SplitPath(const Text& path) {
  for (size_t i = path.size(); i-- > 0;) {
    if (IsSeparator(path[i])) return {path.substr(0, i + 1), path.substr(i + 1)};
  }
  return {Text(), path};
}

Text JoinPath(const Text& folder, const Text& name) {
  Text path = folder;
  if (path.empty() || !IsSeparator(path.back())) path += u'\\';
  return path + name;
}

}  // namespace vellum
