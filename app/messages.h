#pragma once
#include "base/text.h"
#include "resources/message_texts.h"

namespace vellum {

// Replaces every "%config%" of message, left to right, by packageName. Text
// inserted is not searched again, so a name holding the placeholder itself
// shows it literally.
Text ExpandPlaceholder(const Text& message, const Text& packageName);

}  // namespace vellum
