#pragma once

#include "platform/file_io.hpp"

// Windows only: the words for the system's error codes.

namespace modrake {

// The errno value that says what a Windows error code says (EIO when none does).
int ErrnoOf(unsigned long error);

// Why a write failed, for a Windows error code: the C library's words where
// an errno says the same (so that messages read alike on every system), the
// system's own words otherwise.
WriteResult WindowsErrorResult(unsigned long error);

}  // namespace modrake
