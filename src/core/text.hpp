#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ascii.hpp"
// Utf8Text is what a front end shows of a text.
#include "platform/file_names.hpp"

// Lets the compiler check a printf-style format against its arguments. On
// Windows the formats go to MinGW's C99 printf, not Microsoft's dialect.
#ifdef __MINGW32__
#define MODRAKE_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define MODRAKE_PRINTF(f, a) __attribute__((format(printf, f, a)))
#endif

namespace modrake {

// printf-style formatting into a text that grows as needed.
std::string FormatText(const char* format, ...) MODRAKE_PRINTF(1, 2);
std::string FormatTextV(const char* format, va_list args);
// Appends value in decimal, right-aligned in at least width characters, as
// "%*d" would: ids and log lines of thousands of cells are made without a
// format call each.
void AppendInt(std::string& text, int64_t value, int width = 0);

// Cuts leading blanks, a ";" comment outside double quotes and trailing
// blanks, as settings-style values and Execution Log lines are trimmed.
std::string& TrimValue(std::string& text);

}  // namespace modrake
