#include "tools/batch/sha256.h"

#include <gtest/gtest.h>

namespace {

// The FIPS 180-4 examples and the million-a one, fed in pieces of every awkward size, so that
// a fault at a block's edge or in the padding (55, 56 and 64 bytes left) shows.
TEST(Sha256Test, KnownDigestsWhateverThePieces) {
  const struct {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& test : cases) {
    for (size_t piece : {size_t{1}, size_t{55}, size_t{64}, size_t{1000}}) {
      SCOPED_TRACE(std::to_string(test.text.size()) + " bytes in pieces of " +
                   std::to_string(piece));
      batch::Sha256 hash;
      for (size_t at = 0; at < test.text.size(); at += piece)
        hash.Update(std::string_view(test.text).substr(at, piece));
      EXPECT_EQ(hash.HexDigest(), test.digest);
    }
  }
}

}  // namespace
