#include "app/path.h"

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

bool DeleteTree(Platform& platform, const Text& path) {
  bool failed = false;
  if (auto search = platform.FindFiles(JoinPath(path, u"*"))) {
    for (FoundEntry entry; search->Next(entry);) {
      const Text child = JoinPath(path, entry.name);
      if (entry.isDirectory) {
        if (entry.name == u"." || entry.name == u"..") continue;
        // A link to a folder goes by itself; descending would empty its target.
        const bool removed = entry.isReparsePoint ? platform.RemoveDirectory(child)
                                                  : DeleteTree(platform, child);
        if (!removed) failed = true;
      } else if (!platform.DeleteFile(child)) {
        failed = true;
      }
    }
  }
  const bool removed = platform.RemoveDirectory(path);
  return !failed && removed;
}

}  // namespace vellum
