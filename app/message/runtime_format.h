// The host's message formats in terms the C runtime's wide printf reads the same everywhere.
#pragma once

#include <string>
#include <string_view>

// A wide printf format whose string conversions mean the same on every C runtime: the
// host's "%S" (a wide string) becomes "%ls", and "%s" (a narrow string) becomes "%hs".
// A bare "%S" or "%s" means the opposite on the Microsoft runtime's wide printf from what it
// means on the C standard's, so a path given to "Output to %S" would be read as narrow text
// there and cut after its first letter; "%ls" and "%hs" read alike on both. Flags, width,
// precision and every other conversion are kept as they are; a conversion that already has a
// length modifier is left alone.
std::wstring toRuntimeFormat(std::wstring_view hostFormat);
