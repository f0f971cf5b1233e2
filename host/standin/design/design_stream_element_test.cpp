#include "standin/design/design_stream_element.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "standin/design/design_writer.h"

namespace host::design_stream {
namespace {

using json_source::Source;
using json_source::Unsure;

TEST(ModelIdsTest, FindsDuplicatesInAnyOrder) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    ModelIds ids;
    std::set<uint64_t> reference;
    bool unique = true;
    int count = 1 + static_cast<int>(random() % 20);
    uint64_t next = 0;
    for (int i = 0; i < count; ++i) {
      // Mostly rising ids, now and then one drawn from a small range.
      uint64_t id = random() % 4 == 0 ? 1 + random() % 30 : (next += 1 + random() % 3);
      unique = reference.insert(id).second && unique;
      ids.Add(id);
      EXPECT_EQ(ids.Highest(), *reference.rbegin());
    }
    EXPECT_EQ(ids.Unique(), unique) << round;
  }
}

// The element that the reader makes of text, as design text, or "left" when it leaves it.
std::string readElement(const std::string& text, bool withIds = true) {
  auto design = NewDesignFile();
  try {
    Source source(text);
    ModelIds ids;
    auto element = ElementReader(source, *design).Read(withIds ? &ids : nullptr);
    std::string out;
    AppendElementText(*element, 0, &out);
    return out;
  } catch (const Unsure&) {
    return "left";
  }
}

TEST(ElementReaderTest, MembersMayComeInAnyOrder) {
  std::string canonical = readElement(
      R"({ "id": 3, "type": "mesh", "points": [[0,0,0],[1,0,0],[1,1,0]], "faces": [[1,2,-3]] })");
  ASSERT_NE(canonical, "left");
  EXPECT_EQ(
      readElement(
          R"({ "faces": [[1,2,-3]], "points": [[0,0,0],[1,0,0],[1,1,0]], "type": "mesh", "id": 3 })"),
      canonical);
}

TEST(ElementReaderTest, FaultsAreLeftToTheDocumentReader) {
  const std::string mesh = R"("type": "mesh", "points": [[0,0,0],[1,0,0],[1,1,0]])";
  const std::string cases[] = {
      "{ " + mesh + R"(, "faces": [[1,2,4]] })",
      "{ " + mesh + R"(, "faces": [[1,2,-9223372036854775808]] })",
      "{ " + mesh + R"(, "faces": [[1,2]] })",
      "{ " + mesh + R"(, "faces": [[1,2,3]], "profile": [] })",  // not a mesh member
      "{ " + mesh + " }",                                        // faces missing
      "{ " + mesh + R"(, "faces": [], "faces": [] })",
      R"({ "type": "line", "points": [[0,0,0],[1,0,0]], "id": 0 })",
      R"({ "type": "line", "points": [[0,0,0],[1,0,0]], "level": 7 })",  // no such level
      R"({ "type": "line", "points": [[0,0,0],[1,0,0]], "instances": [ { "class": "Door" } ] })",
      R"({ "type": "cell", "name": "C", "children": [ { "id": 2, "type": "sphere",
           "center": [0,0,0], "radius": 1 } ] })",
      R"({ "type": "cone", "base": [0,0,0], "top": [0,0,1], "baseRadius": 0, "topRadius": 0 })",
      R"({ "type": "shape", "points": [[0,0,0],[1,0,0],[0,0,0]] })",
  };
  for (const std::string& text : cases) EXPECT_EQ(readElement(text), "left") << text;
}

// Cells nested deeper than the fast path's limit are left to the document reader, which
// has a limit of its own.
TEST(ElementReaderTest, DeeplyNestedCellsAreLeft) {
  auto nested = [](int depth) {
    std::string text = R"({ "type": "sphere", "center": [0,0,0], "radius": 1 })";
    for (int i = 0; i < depth; ++i)
      text = R"({ "type": "cell", "name": "C", "children": [ )" + text + " ] }";
    return text;
  };
  EXPECT_NE(readElement(nested(100)), "left");
  EXPECT_EQ(readElement(nested(101)), "left");
}

}  // namespace
}  // namespace host::design_stream
