// The message output: every message of the application goes through printMessage.
#pragma once

#include <cstddef>

#include "app/platform/symbols.h"

// The most characters a message can have; a longer one is cut to fit (never inside a
// multibyte character).
constexpr size_t kMessageBufferSize = 2048;

// Formats a printf-style message and shows it as one line in the host's message window.
// "%S" takes a wide string (wchar_t const*), converted to locale text; a character that the
// locale can't encode becomes '?'. Formats are fixed texts of the application.
void printMessage(const char* format, ...) TOLVANE_PRINTF_FORMAT(1, 2);
