#include "core/fatal_error.hpp"

#include "core/text.hpp"

namespace modrake {

void FatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = FormatTextV(format, args);
  va_end(args);
  throw FatalException(message);
}

}  // namespace modrake
