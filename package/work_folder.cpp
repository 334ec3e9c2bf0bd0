#include "package/work_folder.h"

namespace vellum {

Text NewGuidName(Platform& platform) {
  Text name;
  if (!platform.NewGuidText(name)) return Text();
  return name;
}

}  // namespace vellum
