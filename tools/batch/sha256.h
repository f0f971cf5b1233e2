// SHA-256 (FIPS 180-4), for the digests of exported trees: the same bytes give the same
// digest on every machine, and a user can check one with sha256sum.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace batch {

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  void Update(std::string_view text) { Update(text.data(), text.size()); }
  // The digest as 64 lower-case hex digits. Ends the hashing: call once.
  std::string HexDigest();

 private:
  void compress(const uint8_t* block);

  std::array<uint32_t, 8> m_state;
  std::array<uint8_t, 64> m_block{};
  size_t m_used = 0;      // bytes in m_block
  uint64_t m_length = 0;  // bytes hashed so far
};

// The digest of a whole text.
std::string Sha256Hex(std::string_view text);

}  // namespace batch
