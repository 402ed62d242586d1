// Trace lines and the few diagnostics the library prints.
#pragma once

namespace vexmor {

// Whether the trace sink takes lines. The sink discards them, so Trace returns before
// formatting; a developer who routes them somewhere while debugging sets this to true.
inline constexpr bool kTraceSinkTakesLines = false;

// Formats one trace line printf-style into a local buffer of 2048 characters and hands it to
// the trace sink, which opens no file and discards it; skips the formatting while
// kTraceSinkTakesLines is false. Nothing may depend on trace lines.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes one diagnostic line to the process's standard output, followed by an end of line,
// and flushes it. The standard output stream is the only resource that calls share.
void PrintLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vexmor
