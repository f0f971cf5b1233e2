#include "records/geometry_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "records/base.h"
#include "standin/design/inside_access.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

const wchar_t kFolder[] = L"C:\\Temp\\plan\\plan.dgn - Default - 1";

// An array member's value as the record text form writes it at the first level.
std::string array(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string text = "\n\t[";
  for (size_t i = 0; i < items.size(); ++i)
    text += "\n\t\t" + items[i] + (i + 1 < items.size() ? "," : "");
  return text + "\n\t]";
}

struct Expected {
  std::vector<std::string> colors = {"1.0", "0.0", "0.0", "1.0"};
  std::vector<std::string> indices = {"0", "1", "2"};
  unsigned facets = 1;
  std::vector<std::string> positions = {"0.0", "0.0", "0.0",    "2500.0", "0.0",
                                        "0.0", "0.0", "1000.0", "0.0"};
  std::vector<std::string> range = {"0.0", "0.0", "0.0", "2500.0", "1000.0", "500.0"};
};

// The whole record; members without entries are left out as the writer leaves them out.
std::string recordText(const Expected& e) {
  std::string text =
      "{\n\t\"avoclass\" : \"componentGeoes\",\n\t\"code\" : \"plan.dgn - Default - 1\",";
  text += "\n\t\"colors\" : " + array(e.colors) + ",";
  if (!e.indices.empty()) text += "\n\t\"indices\" : " + array(e.indices) + ",";
  if (e.facets)
    text += "\n\t\"materialIndices\" : " + array(std::vector<std::string>(e.facets, "0")) + ",";
  text += "\n\t\"normals\" : [],\n\t\"numberOfColors\" : 1,";
  text += "\n\t\"numberOfPrimitives\" : " + std::to_string(e.facets) + ",";
  if (!e.positions.empty()) text += "\n\t\"positions\" : " + array(e.positions) + ",";
  text += "\n\t\"range\" : " + array(e.range) + "\n}";
  return test_support::WithCrLf(text);
}

PolyfaceHeaderPtr facetSet(bvector<DPoint3d> points, bvector<int32_t> indices) {
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  mesh->Point() = std::move(points);
  mesh->PointIndex() = std::move(indices);
  return mesh;
}

bvector<PolyfaceHeaderPtr> oneTriangle() {
  return {facetSet({{0, 0, 0}, {25000, 0, 0}, {0, 10000, 0}}, {1, 2, 3, 0})};
}

// One design with one model; the element under test is set up by each case, with the
// stored range 0..(25000, 10000, 5000) unless the case changes it.
class GeometryRecordTest : public ::testing::Test {
 protected:
  GeometryRecordTest() { builder.AddLevel(70, "Walls", 4); }

  host::Element& AddElement(ElementType type = ElementType::Line, double uorPerMeter = 10000) {
    host::Model& model = builder.AddModel("Default", uorPerMeter);
    host::Element& element = builder.AddElement(model, type);
    element.storedRange = DRange3d{{0, 0, 0}, {25000, 10000, 5000}};
    return element;
  }

  // The record of element from meshes.
  std::string Write(host::Element& element, const bvector<PolyfaceHeaderPtr>& meshes) {
    ScopedSession session(builder.Release());
    return Write(ElementHandle(&element, ISessionMgr::GetActiveDgnModelRefP()), meshes);
  }
  static std::string Write(ElementHandleCR handle, const bvector<PolyfaceHeaderPtr>& meshes) {
    std::string buffer;
    return std::string(geometryRecordText(buffer, RecordFolder(WString(kFolder)), handle, meshes));
  }

  DesignBuilder builder{L"Z:\\p\\plan.dgn"};
};

TEST_F(GeometryRecordTest, JoinsFacetSetsIntoOneMeshInMillimetres) {
  host::Element& element = AddElement();
  element.color = 3;
  bvector<PolyfaceHeaderPtr> meshes = {
      facetSet({{0, 0, 0}, {25000, 0, 0}, {25000, 10000, 0}, {0, 10000, 0}},
               {1, 2, 3, 0, 1, 3, 4, 0}),
      facetSet({{0, 0, 5000}, {25000, 0, 5000}, {0, 10000, 5000}}, {1, -2, -3, 0}),
  };
  EXPECT_EQ(Write(element, meshes), test_support::WithCrLf(R"({
	"avoclass" : "componentGeoes",
	"code" : "plan.dgn - Default - 1",
	"colors" : 
	[
		1.0,
		0.0,
		0.0,
		1.0
	],
	"indices" : 
	[
		0,
		1,
		2,
		0,
		2,
		3,
		4,
		5,
		6
	],
	"materialIndices" : 
	[
		0,
		0,
		0
	],
	"normals" : [],
	"numberOfColors" : 1,
	"numberOfPrimitives" : 3,
	"positions" : 
	[
		0.0,
		0.0,
		0.0,
		2500.0,
		0.0,
		0.0,
		2500.0,
		1000.0,
		0.0,
		0.0,
		1000.0,
		0.0,
		0.0,
		0.0,
		500.0,
		2500.0,
		0.0,
		500.0,
		0.0,
		1000.0,
		500.0
	],
	"range" : 
	[
		0.0,
		0.0,
		0.0,
		2500.0,
		1000.0,
		500.0
	]
})"));
}

TEST_F(GeometryRecordTest, ColorIsTheDisplayedColorOfTheLastComponent) {
  const struct {
    const char* name;
    ElementType type;
    std::function<void(DesignBuilder&, host::Element&)> setUp;
    std::vector<std::string> colors;
  } cases[] = {
      {"table colour",
       ElementType::Line,
       [](DesignBuilder&, host::Element& e) { e.color = 2; },
       {"0.0", "1.0", "0.0", "1.0"}},
      {"transparency 0.25",
       ElementType::Line,
       [](DesignBuilder&, host::Element& e) {
         e.color = 3;
         e.transparency = 0.25;
       },
       {"1.0", "0.0", "0.0", "0.75"}},
      {"by level",
       ElementType::Line,
       [](DesignBuilder&, host::Element& e) {
         e.color = host::kByLevelColor;
         e.level = 70;
       },
       {"1.0", "1.0", "0.0", "1.0"}},
      {"by level of an undefined level takes colour 0",
       ElementType::Line,
       [](DesignBuilder&, host::Element& e) {
         e.color = host::kByLevelColor;
         e.level = 99;
       },
       {"1.0", "1.0", "1.0", "1.0"}},
      {"true colour",
       ElementType::Line,
       [](DesignBuilder& b, host::Element& e) {
         b.File().trueColors[300] = {33, 0, 255};
         e.color = 300;
       },
       {"0.12941176470588234", "0.0", "1.0", "1.0"}},
      {"redefined table colour",
       ElementType::Line,
       [](DesignBuilder& b, host::Element& e) {
         b.File().colorTable[10] = {33, 0, 255};
         e.color = 10;
       },
       {"0.12941176470588234", "0.0", "1.0", "1.0"}},
      {"colour defined nowhere",
       ElementType::Line,
       [](DesignBuilder&, host::Element& e) { e.color = 400; },
       {"0.0", "0.0", "0.0", "1.0"}},
      {"only 0xFFFFFFFF means by level",
       ElementType::Line,
       [](DesignBuilder&, host::Element& e) {
         e.color = 0xFFFFFFFE;
         e.level = 70;
       },
       {"0.0", "0.0", "0.0", "1.0"}},
      {"cell: its last component, by level",
       ElementType::Cell,
       [](DesignBuilder& b, host::Element& cell) {
         b.AddChild(cell, ElementType::Line).color = 3;
         host::Element& nested = b.AddChild(cell, ElementType::Cell);
         host::Element& last = b.AddChild(nested, ElementType::Line);
         last.color = host::kByLevelColor;
         last.level = 70;
         last.transparency = 0.5;
       },
       {"1.0", "1.0", "0.0", "0.5"}},
      {"cell without components: colour 0, opaque",
       ElementType::Cell,
       [](DesignBuilder&, host::Element& cell) {
         cell.color = 3;
         cell.transparency = 0.5;
       },
       {"1.0", "1.0", "1.0", "1.0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    builder = DesignBuilder(L"Z:\\p\\plan.dgn");
    builder.AddLevel(70, "Walls", 4);
    host::Element& element = AddElement(c.type);
    c.setUp(builder, element);
    Expected expected;
    expected.colors = c.colors;
    EXPECT_EQ(Write(element, oneTriangle()), recordText(expected));
  }
}

TEST_F(GeometryRecordTest, MembersWithoutEntriesAreLeftOut) {
  const struct {
    const char* name;
    bvector<DPoint3d> points;
    bvector<int32_t> indices;
    Expected expected;
  } cases[] = {
      {"no points, no facets", {}, {}, {.indices = {}, .facets = 0, .positions = {}}},
      {"points without facets",
       {{0, 0, 0}, {25000, 0, 0}, {0, 10000, 0}},
       {},
       {.indices = {}, .facets = 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    builder = DesignBuilder(L"Z:\\p\\plan.dgn");
    host::Element& element = AddElement();
    element.color = 3;
    EXPECT_EQ(Write(element, {facetSet(c.points, c.indices), facetSet({}, {})}),
              recordText(c.expected));
  }
}

TEST_F(GeometryRecordTest, ModelUnitsAndTheStoredRangeSetTheMillimetres) {
  host::Element& element = AddElement(ElementType::Line, 1000);
  element.color = 3;
  element.storedRange = DRange3d{{-25000, 1, 2}, {7, 8, 9}};  // not the meshes' box
  Expected expected;
  expected.positions = {"0.0", "0.0", "0.0", "25000.0", "0.0", "0.0", "0.0", "10000.0", "0.0"};
  expected.range = {"-25000.0", "1.0", "2.0", "7.0", "8.0", "9.0"};
  EXPECT_EQ(Write(element, oneTriangle()), recordText(expected));
}

TEST_F(GeometryRecordTest, AHandleHoldingANewElementTakesThatElementsRange) {
  builder.AddModel("Default", 10000);
  ScopedSession session(builder.Release());
  auto element = std::make_unique<host::Element>();
  element->type = ElementType::Line;
  element->color = 3;
  element->storedRange = DRange3d{{0, 0, 0}, {25000, 10000, 5000}};
  EditElementHandle handle;
  host::Inside::SetNewElement(handle, std::move(element), ISessionMgr::GetActiveDgnModelRefP());
  EXPECT_EQ(Write(handle, oneTriangle()), recordText(Expected()));
}

}  // namespace
