#include "mesh/trace.h"

#include <cstdarg>
#include <cstdio>

namespace vexmor {
namespace {

constexpr int kTraceBufferSize = 2048;

// The sink receives every formatted trace line. It keeps nothing: trace lines document the
// steps of an analysis for a developer who routes them somewhere while debugging.
void TraceSink(const char* /*line*/) {}

}  // namespace

void Trace(const char* format, ...) {
  // Formatting costs more than the analysis steps that emit most lines.
  if constexpr (!kTraceSinkTakesLines) return;
  char line[kTraceBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  TraceSink(line);
}

void PrintLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace vexmor
