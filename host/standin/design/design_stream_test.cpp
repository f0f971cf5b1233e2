// The fast path against the document reader: whatever the fast path reads, the document
// reader reads to the same design, on the samples, on generated designs and on random
// mutations of them.
#include "standin/design/design_stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "standin/design/design_loader.h"
#include "standin/design/design_writer.h"
#include "testing/test_support.h"

namespace host {
namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every element type and member, comments where the document reader allows them, members
// in unusual orders and escaped text.
const char kEverything[] =
    "\xEF\xBB\xBF"
    R"(// a design
{ "trueColors": { "300": [1, 2, 3], "4294967294": [4, 5, 6] },
  "colorTable": [ [10, 20, 30] ],
  "levels": [ { "name": "Walls", "id": 5, "byLevelColor": 3 }, { "id": 64, "name": "Base" } ],
  "classes": [ { "properties": [ { "name": "Width" }, { "name": "Mark", "label": "" } ],
                 "name": "Door", "label": "T\u00fcr" } ],
  "activeModel": "Second",
  "models": [
    { "elements": [
        { "points": [[0,0,0],[1,2,3]], "type": "line", "color": "bylevel", "level": 5 },
        /* a block comment */
        { "type": "linestring", "points": [[0,0,0],[1,0,0],[1,1,0]], "invisible": true },
        { "type": "text", "origin": [1,2,3], "text": "T\u00fcr \"A\"\n\\" },
        { "type": "shape", "points": [[0,0,0],[4,0,0],[4,4,0],[0,0,0]], "transparency": 0.25 },
        { "faces": [[1,2,-3,4]], "id": 40, "type": "mesh",
          "points": [[0,0,0],[1,0,0],[1,1,0],[0,1,0]], "range": [0,0,0,2,2,1e300] },
        { "id": 7, "type": "extrusion", "profile": [[0,0,0],[1,0,0],[1,1,0]], "vector": [0,0,5] },
        { "type": "cone", "base": [0,0,0], "top": [0,0,10], "baseRadius": 2, "topRadius": 0 },
        { "type": "sphere", "center": [-1.5e-3,1,1e15], "radius": 0.5, "color": 300 },
        { "id": 18446744073709551615, "type": "cell", "name": "Door",
          "transform": [0,-1,0,10, 1,0,0,20, 0,0,1,30],
          "instances": [ { "values": { "Width": 900.0, "Mark": null }, "class": "Door" },
                         { "class": "Door", "values": { "Width": -9223372036854775808 } },
                         { "class": "Door", "values": { "Width": true, "Mark": [1, 2, 3] } },
                         { "class": "Door" } ],
          "children": [ { "type": "sphere", "center": [0,0,0], "radius": 1 },
                        { "type": "cell", "name": "",
                          "children": [ { "type": "line", "points": [[0,0,0],[1,0,0]] } ] } ] }
      ], "name": "First", "attachments": [ { "file": "Walls.dgn" } ] },
    { "name": "Second", "uorPerMeter": 10000,
      "attachments": [ { "model": "M", "file": "C:\\x\\y.dgn" } ], "elements": [] } ] }
// the end)";

// The fast path's design, or null when it leaves the text to the document reader.
std::unique_ptr<DesignFile> streamed(const std::string& text) {
  auto design = NewDesignFile();
  return StreamDesign(text, design.get()) ? std::move(design) : nullptr;
}

TEST(DesignStreamTest, ReadsWhatTheDocumentReaderReadsToTheSameDesign) {
  std::vector<std::pair<std::string, std::string>> texts = {{"everything", kEverything}};
  for (const char* sample : {"Site.dgn", "Walls.dgn"}) {
    std::string path = std::string(TOLVANE_SOURCE_DIR) + "/samples/" + sample;
    texts.emplace_back(sample, readText(path));
  }
  test_support::TempFolder temp;
  std::string generated = temp.Path() + "/generated.dgn";
  for (const char* seed : {"1", "2"}) {
    std::string command = std::string(TOLVANE_GENDESIGN) + " " + generated + " 300 --seed " + seed;
    ASSERT_EQ(std::system(command.c_str()), 0);
    texts.emplace_back(std::string("generated, seed ") + seed, readText(generated));
  }
  for (const auto& [what, text] : texts) {
    auto fast = streamed(text);
    ASSERT_NE(fast, nullptr) << what << ": the fast path leaves it to the document reader";
    std::string error;
    auto reference = ParseDesignDocument(text, "Site.dgn", &error);
    ASSERT_NE(reference, nullptr) << what << ": " << error;
    EXPECT_EQ(DesignToText(*fast), DesignToText(*reference)) << what;
  }
}

// Forms that load but that the fast path leaves to the document reader: the loader still
// gives the document reader's design.
TEST(DesignStreamTest, WhatTheFastPathLeavesStillLoads) {
  const std::string line = R"("type": "line", "points": [[0,0,0],[1,0,0]])";
  const std::string cases[] = {
      R"({ "models": [ { "name": "A", "elements": [ { )" + line + R"(, "level": 64.0 } ] } ] })",
      R"({ "models": [ { "name": "A", "elements": [ { )" + line + R"(, "color": 3.0 } ] } ] })",
      R"({ "models": [ { "name": "A", "elements": [ { )" + line +
          R"(, "transparency": 1e-400 } ] } ] })",
      R"({ "models": [ { "name": "A", "elements": [ { )" + line +
          R"(, "range": [0,0,0,18446744073709551616,1,1] } ] } ] })",
      R"({ "models": [ { "name": "A" } ], "levels": [ { "id": 3, "name": "L" } ] })",
      R"({ "models": [ { "name": "A\ud800\u0041" } ] })",
  };
  for (const std::string& text : cases) {
    EXPECT_EQ(streamed(text), nullptr) << text;
    std::string error;
    auto loaded = ParseDesign(text, "Site.dgn", &error);
    auto reference = ParseDesignDocument(text, "Site.dgn", &error);
    ASSERT_NE(reference, nullptr) << text << ": " << error;
    ASSERT_NE(loaded, nullptr) << text;
    EXPECT_EQ(DesignToText(*loaded), DesignToText(*reference)) << text;
  }
}

// One random edit: a byte removed, replaced or inserted, a stretch repeated, a comment put
// in, or a number swapped for one at the edge of what a reader takes.
std::string mutate(const std::string& text, std::mt19937& random) {
  static const std::string bytes = " \n/*,:[]{}\"\\0123456789-.eE+tfnul\xC3\xFF";
  static const char* numbers[] = {"-0",
                                  "1e400",
                                  "-9223372036854775808",
                                  "18446744073709551616",
                                  "5.0",
                                  "01",
                                  "1e-400",
                                  "4.9e-324",
                                  "1e15",
                                  "-1",
                                  "4294967296",
                                  "0.5"};
  auto pick = [&](size_t below) {
    return std::uniform_int_distribution<size_t>(0, below - 1)(random);
  };
  std::string out = text;
  size_t at = pick(out.size());
  switch (pick(6)) {
    case 0:
      out.erase(at, 1);
      break;
    case 1:
      out[at] = bytes[pick(bytes.size())];
      break;
    case 2:
      out.insert(at, 1, bytes[pick(bytes.size())]);
      break;
    case 3: {
      size_t length = 1 + pick(40);
      out.insert(pick(out.size()), out.substr(at, length));
      break;
    }
    case 4:
      out.insert(at, pick(2) ? "/*c*/" : "//c\n");
      break;
    default: {
      size_t start = out.find_first_of("0123456789", at);
      if (start == std::string::npos) break;
      size_t end = out.find_first_not_of("0123456789.eE+-", start);
      out.replace(start, end - start, numbers[pick(std::size(numbers))]);
    }
  }
  return out;
}

TEST(DesignStreamTest, RandomMutationsReadTheSameOrAreLeftToTheDocumentReader) {
  const std::string seeds[] = {kEverything,
                               readText(std::string(TOLVANE_SOURCE_DIR) + "/samples/Walls.dgn")};
  std::mt19937 random(20261208);
  int streamedCount = 0, refusedCount = 0;
  for (const std::string& seed : seeds) {
    for (int round = 0; round < 1500; ++round) {
      std::string text = mutate(seed, random);
      if (round % 2) text = mutate(text, random);
      std::string error;
      auto reference = ParseDesignDocument(text, "Site.dgn", &error);
      auto fast = streamed(text);
      if (!reference) ++refusedCount;
      if (!fast) continue;
      ++streamedCount;
      ASSERT_NE(reference, nullptr)
          << "the fast path read what the document reader refuses (" << error << "):\n"
          << text;
      ASSERT_EQ(DesignToText(*fast), DesignToText(*reference)) << text;
    }
  }
  EXPECT_GT(streamedCount, 200) << "the mutations should leave many designs readable";
  EXPECT_GT(refusedCount, 200) << "the mutations should make many designs faulty";
}

}  // namespace
}  // namespace host
