#include "platform/debug_channel.h"

namespace vellum {

void SayOnDebugChannel(const char16_t*) {}

}  // namespace vellum
