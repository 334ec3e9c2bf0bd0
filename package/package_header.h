#pragma once
#include <cstdint>

#include "base/text.h"

namespace vellum {

// What the viewer keeps of a package's plain header.
struct PackageHeader {
  Text title;
  uint64_t payloadLength = 0;
  uint8_t payloadDigest[32] = {};
};

}  // namespace vellum
