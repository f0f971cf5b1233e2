// The corpora of the fuzz targets, replayed as regular tests: every input the fuzzer kept
// (and every input that once failed, kept beside them) passes its target's check.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz/design_loader_check.h"
#include "fuzz/keyin_message_check.h"
#include "fuzz/record_import_check.h"

namespace {

namespace fs = std::filesystem;

struct Corpus {
  const char* name;
  std::function<std::string(std::string_view)> check;
};

TEST(FuzzCorpusTest, EveryKeptInputPassesItsCheck) {
  const Corpus corpora[] = {
      {"design_loader", design_check::designProblem},
      {"record_import", import_check::importProblem},
      {"keyin_message", keyin_check::keyinMessageProblem},
  };
  for (const Corpus& corpus : corpora) {
    SCOPED_TRACE(corpus.name);
    size_t inputs = 0;
    for (const auto& entry :
         fs::directory_iterator(fs::path(TOLVANE_SOURCE_DIR) / "fuzz" / "corpus" / corpus.name)) {
      std::ifstream file(entry.path(), std::ios::binary);
      const std::string input((std::istreambuf_iterator<char>(file)), {});
      EXPECT_EQ(corpus.check(input), "") << entry.path();
      ++inputs;
    }
    EXPECT_GE(inputs, 4u);
  }
}

}  // namespace
