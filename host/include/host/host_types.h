// Basic names of the host's interface: character pointers, statuses, ids.
#pragma once

#include <cstdint>
#include <vector>

using WChar = wchar_t;
using WCharCP = const wchar_t*;
using WCharP = wchar_t*;
using Byte = uint8_t;
using UInt32 = uint32_t;
using UInt64 = uint64_t;
using Int32 = int32_t;
using CallbackArgP = void*;

// Every host status is 0 for success and non-zero for failure.
using StatusInt = int;
enum BentleyStatus : int { SUCCESS = 0, ERROR = 0x8000 };

using ElementId = uint64_t;
using LevelId = uint32_t;

template <typename T>
using bvector = std::vector<T>;

// The text encodings that the host's narrow-text conversions know. Value 0 is the
// current locale's multibyte encoding.
enum BentleyCharEncoding : int { Locale = 0, Utf8 = 1 };
