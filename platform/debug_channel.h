#pragma once
// One line on the debug channel, for a log window (a debugger's, or the
// end-to-end driver's on a real desktop) to see which of two equivalent ways
// the viewer took where the system decides: the shell's or its own. Nothing
// outside Windows.
namespace vellum {

void SayOnDebugChannel(const char16_t* line);

}  // namespace vellum
