#include "Duolog/Duolog.h"

#include <string>

namespace Duolog {

void traceArgs(Vek::TraceHandle const& handle, unsigned level, char const* file, int line,
               char const* function, char const* fmt, Nimblog::Arg const* args, std::size_t count) {
  std::string text;
  Nimblog::formatTo(text, fmt, args, count);
  Vek::traceEmit(handle, level, file, line, function, text);
}

}  // namespace Duolog
