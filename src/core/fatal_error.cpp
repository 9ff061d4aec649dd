#include "core/fatal_error.hpp"

#include <new>

#include "core/text.hpp"

namespace modrake {

void FatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = FormatTextV(format, args);
  va_end(args);
  throw FatalException(message);
}

void WriteRefused(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = FormatTextV(format, args);
  va_end(args);
  throw WriteRefusedException(message);
}

void WriteFailed(const std::filesystem::path& path, const WriteResult& result) {
  std::string message =
      FormatText("Cannot write file %s: %s", path.string().c_str(), result.reason().c_str());
  if (result.refused()) throw WriteRefusedException(message);
  throw FatalException(message);
}

std::string FailureMessage(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "Out of memory";
  return e.what();
}

}  // namespace modrake
