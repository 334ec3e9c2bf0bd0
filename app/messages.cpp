#include "app/messages.h"

namespace vellum {

Text ExpandPlaceholder(const Text& message, const Text& packageName) {
  const Text placeholder = kPackageNamePlaceholder;
  Text text = message;
  for (size_t at = text.find(placeholder); at != Text::npos;
       at = text.find(placeholder, at + packageName.size())) {
    text.replace(at, placeholder.size(), packageName);
  }
  return text;
}

}  // namespace vellum
