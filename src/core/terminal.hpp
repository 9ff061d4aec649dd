#pragma once

// The front ends reach the core through shell/ and core/ only; the terminal's
// own services (is it one, UTF-8 on Windows' console, the arguments as UTF-8
// and the paths they name) come from the platform layer through here.
#include "platform/console.hpp"
#include "platform/file_names.hpp"
