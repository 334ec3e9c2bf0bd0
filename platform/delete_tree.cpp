#include "platform/delete_tree.h"

#include "base/path.h"

namespace vellum {

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
