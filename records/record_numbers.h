// Numbers as the records write them. Internal to the record writers.
#pragma once

#include <cstddef>

namespace record_text {

// The two digits of each number from 0 to 99, one pair after another.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The room PutReal may write in: a real is at most 25 bytes; the rest is scratch.
inline constexpr size_t kRealRoom = 40;

// Writes value at at, which has room for kRealRoom bytes (any of which may be written), and
// returns the end of its text: 17 significant digits by printf's "%.17g" rule, then ".0"
// when that gives neither a point nor an exponent; a non-finite value as the out-of-range
// 1e+9999 when it is greater than 0, else -1e+9999.
char* PutReal(char* at, double value);

}  // namespace record_text
