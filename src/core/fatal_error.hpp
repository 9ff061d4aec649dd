#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/text.hpp"
#include "platform/file_io.hpp"

namespace modrake {

// The one exception of the program: an error that ends the current command.
// The front end logs and shows its message and ends with exit code 1.
class FatalException : public std::runtime_error {
 public:
  explicit FatalException(const std::string& message) : std::runtime_error(message) {}
};

// A write that the player's files forbid (a read-only file, a game master):
// it ends a command as any error does, but JUST FIX IT! skips that file and
// goes on with the rest.
class WriteRefusedException : public FatalException {
 public:
  using FatalException::FatalException;
};

// Formats the message and throws it as a FatalException.
[[noreturn]] void FatalError(const char* format, ...) MODRAKE_PRINTF(1, 2);
// Formats the message and throws it as a WriteRefusedException.
[[noreturn]] void WriteRefused(const char* format, ...) MODRAKE_PRINTF(1, 2);
// "Cannot write file PATH: REASON" for a write that did not succeed, refused
// or failed as its result says.
[[noreturn]] void WriteFailed(const std::filesystem::path& path, const WriteResult& result);

// The message of any exception that ended a command, so that every front end
// ends a failed command the same way and never in an abort: a
// FatalException's own, "Out of memory" for an allocation that failed (the
// readers of files say which file instead), else the exception's text.
std::string FailureMessage(const std::exception& e);

}  // namespace modrake
