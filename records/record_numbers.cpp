#include "records/record_numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

using record_text::kDigitPairs;

// The 17 significant digits of a, a positive finite double from 1e-5 up to 1e15, rounded
// as printf rounds them (to nearest, a tie to even), with the decimal exponent of the first:
// a is about digits x 10^(exponent - 16). Exact: a = m x 2^e with m below 2^53 and e from
// -69 to -3 in this range, so a x 10^(16 - exponent) = m x 10^k / 2^-e with k at most 22,
// and m x 10^k stays below 2^127.
struct Digits17 {
  uint64_t digits;  // from 10^16 to 10^17 - 1
  int exponent;
};

constexpr uint64_t kPow10[] = {1,
                               10,
                               100,
                               1000,
                               10000,
                               100000,
                               1000000,
                               10000000,
                               100000000,
                               1000000000,
                               10000000000,
                               100000000000,
                               1000000000000,
                               10000000000000,
                               100000000000000,
                               1000000000000000,
                               10000000000000000,
                               100000000000000000,
                               1000000000000000000,
                               10000000000000000000u};

// 10^k times value, k from 0 to 22. Powers up to 10^19 fit a word: one multiplication for
// all but the smallest reals.
unsigned __int128 timesPow10(uint64_t value, int k) {
  if (k <= 19) return static_cast<unsigned __int128>(kPow10[k]) * value;
  return static_cast<unsigned __int128>(kPow10[k - 19]) * kPow10[19] * value;
}

Digits17 digits17(double a) {
  uint64_t bits = 0;
  std::memcpy(&bits, &a, sizeof bits);
  const uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
  const int shift = 1075 - static_cast<int>(bits >> 52);  // a = mantissa / 2^shift
  // floor(log10(2^(52 - shift))): the exponent or one below it.
  int exponent = ((52 - shift) * 1262611) >> 22;
  for (;;) {
    const unsigned __int128 scaled = timesPow10(mantissa, 16 - exponent);
    uint64_t digits = static_cast<uint64_t>(scaled >> shift);
    if (digits >= kPow10[17]) {
      ++exponent;
      continue;
    }
    if (digits < kPow10[16]) {
      --exponent;
      continue;
    }
    // The bits below the shift, moved to the top of the word: above a half, or a half and an
    // odd last digit, rounds up.
    const unsigned __int128 below = scaled << (128 - shift);
    const uint64_t top = static_cast<uint64_t>(below >> 64);
    const uint64_t rest = static_cast<uint64_t>(below);
    constexpr uint64_t kHalf = uint64_t{1} << 63;
    if (top > kHalf || (top == kHalf && (rest != 0 || (digits & 1) != 0))) ++digits;
    if (digits == kPow10[17]) return {kPow10[16], exponent + 1};
    return {digits, exponent};
  }
}

// The 8 decimal digits of value (below 10^8, leading zeros kept). Its two halves are
// independent, so their divisions overlap rather than wait on each other.
[[gnu::always_inline]] inline void putDigits8(char* at, uint32_t value) {
  const uint32_t high = value / 10000;
  const uint32_t low = value % 10000;
  std::memcpy(at, kDigitPairs + 2 * (high / 100), 2);
  std::memcpy(at + 2, kDigitPairs + 2 * (high % 100), 2);
  std::memcpy(at + 4, kDigitPairs + 2 * (low / 100), 2);
  std::memcpy(at + 6, kDigitPairs + 2 * (low % 100), 2);
}

// The 17 decimal digits of value (below 10^17, leading zeros kept).
void putDigits17(char* at, uint64_t value) {
  const uint64_t high = value / 100000000;  // below 10^9
  at[0] = static_cast<char>('0' + high / 100000000);
  putDigits8(at + 1, static_cast<uint32_t>(high % 100000000));
  putDigits8(at + 9, static_cast<uint32_t>(value % 100000000));
}

// The place of the last of the 17 digits that is not a trailing zero (0 when all after the
// first are zeros).
int lastSignificant(const char* digits) {
  int last = 16;
  while (last > 0 && digits[last] == '0') --last;
  return last;
}

// printf's "%.17g" of the digits: plain notation for exponents from -4 to 16, else d.ddde-XX,
// trailing zeros of the fraction dropped, and the point with them when none is left; then,
// as for every real of a record, ".0" after a whole number.
char* formatDigits17(char* at, Digits17 d) {
  if (d.exponent >= 0) {
    // The usual case, a number of 1 to 17 whole digits: the digits are written in place, then
    // those after the point moved one place on in a copy of a fixed size (a few moves, no
    // call), which may write past the number's end but not past kRealRoom.
    putDigits17(at, d.digits);
    const int last = lastSignificant(at);
    const int whole = d.exponent + 1;
    char fraction[16];
    std::memcpy(fraction, at + whole, 16);
    std::memcpy(at + whole + 1, fraction, 16);
    at[whole] = '.';
    if (last < whole) {
      at[whole + 1] = '0';
      return at + whole + 2;
    }
    return at + last + 2;
  }
  char digits[17];
  putDigits17(digits, d.digits);
  const int last = lastSignificant(digits);
  if (d.exponent < -4) {
    *at++ = digits[0];
    if (last > 0) {
      *at++ = '.';
      std::memcpy(at, digits + 1, static_cast<size_t>(last));
      at += last;
    }
    std::memcpy(at, "e-0", 3);
    at[2] = static_cast<char>('0' + (-d.exponent) / 10);
    at[3] = static_cast<char>('0' + (-d.exponent) % 10);
    return at + 4;
  }
  std::memcpy(at, "0.0000", static_cast<size_t>(1 - d.exponent));
  at += 1 - d.exponent;
  std::memcpy(at, digits, static_cast<size_t>(last + 1));
  return at + last + 1;
}

}  // namespace

// Values from 1e-5 up to 1e15 in size, most coordinates and colours, take an exact integer
// path; the others go through the library.
char* record_text::PutReal(char* at, double value) {
  if (!std::isfinite(value)) {
    const std::string_view text = value > 0 ? "1e+9999" : "-1e+9999";
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
  }
  if (value == 0) {  // zeros are common in coordinates: no need of the library for them
    const std::string_view text = std::signbit(value) ? "-0.0" : "0.0";
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
  }
  const double size = std::fabs(value);
  if (size >= 1e-5 && size < 1e15) {
    if (value < 0) *at++ = '-';
    return formatDigits17(at, digits17(size));
  }
  char* end = std::to_chars(at, at + 32, value, std::chars_format::general, 17).ptr;
  if (std::find_if(at, end, [](char c) { return c == '.' || c == 'e'; }) != end) return end;
  std::memcpy(end, ".0", 2);
  return end + 2;
}
