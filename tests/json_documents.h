// Random JSON documents for differential tests of the record text form: every value kind,
// edge numbers, any bytes in strings, keys whose byte order differs from other orders.
#pragma once

#include <json/json.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>

namespace test_support {

class DocumentGenerator {
 public:
  explicit DocumentGenerator(uint32_t seed) : m_random(seed) {}

  // A value whose containers nest up to depth levels; about half of the values below that
  // depth are containers.
  Json::Value Generate(int depth) {
    if (depth > 0 && Pick(2) == 0) return Container(depth);
    switch (Pick(8)) {
      case 0:
        return Json::Value();
      case 1:
        return Json::Value(Pick(2) == 0);
      case 2:
        return Json::Value(Json::Int64(SignedInteger()));
      case 3:
        return Json::Value(Json::UInt64(UnsignedInteger()));
      case 4:
      case 5:
        return Json::Value(Real());
      case 6:
        return Json::Value(Text(true));
      default:
        return Json::Value(Pick(2) == 0 ? Json::arrayValue : Json::objectValue);
    }
  }

  Json::Value Container(int depth) {
    const int size = 1 + Pick(7);
    if (Pick(2) == 0) {
      Json::Value array(Json::arrayValue);
      for (int i = 0; i < size; ++i) array.append(Generate(depth - 1));
      return array;
    }
    Json::Value object(Json::objectValue);
    for (int i = 0; i < size; ++i) object[Key()] = Generate(depth - 1);
    return object;
  }

 private:
  int Pick(int count) { return static_cast<int>(m_random() % static_cast<uint32_t>(count)); }

  int64_t SignedInteger() {
    const int64_t edges[] = {0, -1, 1, INT64_MIN, INT64_MAX, INT32_MIN, -17};
    if (Pick(2) == 0) return edges[Pick(7)];
    return static_cast<int64_t>(Bits()) >> Pick(64);
  }
  uint64_t UnsignedInteger() {
    const uint64_t edges[] = {0, UINT64_MAX, uint64_t(INT64_MAX) + 1, 10768};
    return Pick(2) == 0 ? edges[Pick(4)] : Bits() >> Pick(64);
  }
  uint64_t Bits() { return (uint64_t(m_random()) << 32) | m_random(); }

  double Real() {
    const double edges[] = {0.0,
                            -0.0,
                            1.0,
                            100.0,
                            1e21,
                            1e-7,
                            0.1,
                            std::numeric_limits<double>::denorm_min(),
                            -std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            9007199254740993.0,
                            1e16,
                            1e17,
                            123456789012345678.0};
    switch (Pick(4)) {
      case 0:
        return edges[Pick(std::size(edges))];
      case 1:
        return std::uniform_real_distribution<double>(-1e6, 1e6)(m_random);
      case 2:
        return Pick(255) * 0.00392156862745098;
      default: {
        // Any finite bit pattern: denormals, huge and tiny exponents.
        for (;;) {
          double value;
          uint64_t bits = Bits();
          std::memcpy(&value, &bits, sizeof value);
          if (std::isfinite(value)) return value;
        }
      }
    }
  }

  // Any bytes: high bytes, control bytes, quotes, backslashes and (in values) zero bytes.
  std::string Text(bool allowZero) {
    std::string text;
    for (int i = Pick(12); i > 0; --i) {
      const char special[] = {'"', '\\', '/', '\x7f', '\xff', '\x80', '\n', '\x1f', '\0'};
      char c = Pick(3) == 0 ? special[Pick(allowZero ? 9 : 8)] : static_cast<char>(1 + Pick(255));
      text += c;
    }
    return text;
  }

  // Keys that sort differently by bytes than by any other rule: case, prefixes, high bytes.
  std::string Key() {
    const char* pool[] = {"a",        "A",    "ab",        "aB",     "abc",  "B", "b",   "_", "~",
                          "\xc3\xa9", "\xc3", "ElementID", "attrid", "name", "",  "a b", "Z"};
    return Pick(3) == 0 ? Text(false) : pool[Pick(std::size(pool))];
  }

  std::mt19937 m_random;
};

}  // namespace test_support
