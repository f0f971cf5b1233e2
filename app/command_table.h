// The application's command number table: the three commands and the numbers by which
// the host's key-in table reaches them.
#pragma once

#include <array>

#include "host/mdl.h"

constexpr UInt64 kExportCommandNumber = 0x0101000000000000ULL;
constexpr UInt64 kImportCommandNumber = 0x0102000000000000ULL;
constexpr UInt64 kRangeReportCommandNumber = 0x0103000000000000ULL;

// Three commands and the terminating entry with both fields zero.
using CommandTable = std::array<MdlCommandNumber, 4>;

// The table in its fixed order: export, import, range report, terminator. The caller keeps
// it for as long as the host reads it (the host copies what it needs while registering).
CommandTable makeCommandTable();
