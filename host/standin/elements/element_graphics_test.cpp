#include "host/element_graphics.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "standin/design/design.h"
#include "standin/design/inside_access.h"

namespace {

using host::Element;
using host::ElementType;

// Writes down every operation that the output calls, with what matters of its arguments.
struct RecordingProcessor : IElementGraphicsProcessor {
  bool facets = false;  // the answer of slot 3
  IFacetOptions* options = nullptr;
  std::vector<std::string> calls;
  std::vector<Transform> transforms;
  std::vector<PolyfaceHeaderPtr> meshes;

  bool _ProcessAsFacets(bool isPolyface) override {
    calls.push_back(isPolyface ? "3:true" : "3:false");
    return facets;
  }
  bool _ProcessAsBody(bool isCurved) override {
    calls.push_back(isCurved ? "4:curved" : "4:flat");
    return true;
  }
  void _AnnounceTransform(Transform const* transform) override {
    calls.push_back(transform ? "6" : "6:null");
    if (transform) transforms.push_back(*transform);
  }
  BentleyStatus _ProcessTextString(TextString const& text) override {
    calls.push_back("10:" + BeStringUtilities::WCharToUtf8(text.text.c_str()));
    return SUCCESS;
  }
  BentleyStatus _ProcessCurvePrimitive(CurvePrimitive const& curve) override {
    calls.push_back("11:" + std::to_string(curve.points.size()));
    return SUCCESS;
  }
  BentleyStatus _ProcessCurveVector(CurveVector const& curves, bool) override {
    calls.push_back("12:" + std::to_string(curves.points.size()));
    return SUCCESS;
  }
  BentleyStatus _ProcessSolidPrimitive(SolidPrimitive const& solid) override {
    calls.push_back("13:" + std::to_string(static_cast<int>(solid.kind)));
    return SUCCESS;
  }
  BentleyStatus _ProcessFacets(PolyfaceQueryCR mesh, bool) override {
    calls.push_back("15");
    PolyfaceHeaderPtr copy = PolyfaceHeader::CreateVariableSizeIndexed();
    copy->CopyFrom(mesh);
    meshes.push_back(copy);
    return SUCCESS;
  }
  IFacetOptions* _GetFacetOptionsP() override {
    calls.push_back("16");
    return options;
  }
};

std::unique_ptr<Element> NewElement(ElementType type) {
  auto element = std::make_unique<Element>();
  element->type = type;
  switch (type) {
    case ElementType::Line:
      element->points = {{0, 0, 0}, {1, 0, 0}};
      break;
    case ElementType::Text:
      element->origin = {1, 2, 3};
      element->text = "Door";
      break;
    case ElementType::Mesh:
      element->points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
      element->faces = {{1, 2, 3, 4}};
      break;
    case ElementType::Shape:
      element->points = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {-1, 1, 0}};
      break;
    case ElementType::Extrusion:
      element->profile = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
      element->vector = {0, 0, 1};
      break;
    case ElementType::Cone:
      element->top = {0, 0, 1};
      element->baseRadius = element->topRadius = 1;
      break;
    case ElementType::Sphere:
      element->radius = 1;
      break;
    default:
      break;
  }
  return element;
}

Transform Translation(double x, double y, double z) {
  const double values[12] = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
  return Transform::FromRowValues(values);
}

std::string Joined(const std::vector<std::string>& calls) {
  std::ostringstream out;
  for (const std::string& call : calls) out << call << ' ';
  return out.str();
}

std::vector<std::string> ProcessElement(std::unique_ptr<Element> element,
                                        RecordingProcessor& processor) {
  EditElementHandle handle;
  host::Inside::SetNewElement(handle, std::move(element), nullptr);
  ElementGraphicsOutput::Process(handle, processor, nullptr);
  return processor.calls;
}

TEST(IElementGraphicsProcessor, BaseBehaviours) {
  struct Plain : IElementGraphicsProcessor {
  } plain;
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  Transform identity;
  EXPECT_FALSE(plain._ExpandPatterns());
  EXPECT_FALSE(plain._ExpandLineStyles());
  EXPECT_TRUE(plain._WantClipping());
  EXPECT_TRUE(plain._ProcessAsFacets(true));
  EXPECT_FALSE(plain._ProcessAsFacets(false));
  EXPECT_TRUE(plain._ProcessAsBody(false));
  plain._AnnounceTransform(&identity);
  plain._AnnounceTransform(nullptr);
  EXPECT_EQ(plain._GetDrawPurpose(), 0);
  EXPECT_EQ(plain._ProcessTextString(TextString{}), 0x8000);
  EXPECT_EQ(plain._ProcessCurvePrimitive(CurvePrimitive{}), 0x8000);
  EXPECT_EQ(plain._ProcessCurveVector(CurveVector{}, true), 0x8000);
  EXPECT_EQ(plain._ProcessSolidPrimitive(SolidPrimitive{}), 0x8000);
  EXPECT_EQ(plain._ProcessSurface(BSplineSurface{}), 0x8000);
  EXPECT_EQ(plain._ProcessFacets(*mesh, false), 0x8000);
  EXPECT_EQ(plain._GetFacetOptionsP(), nullptr);
  EXPECT_EQ(plain._GetMaxDepth(), 26);
}

TEST(ElementGraphicsOutput, EachTypeGoesToItsSlotUnderTheProcessorsAnswers) {
  struct Case {
    ElementType type;
    bool facets;
    std::string calls;
  };
  std::vector<Case> cases = {
      {ElementType::Line, false, "16 11:2 "},
      {ElementType::Text, true, "16 10:Door "},
      {ElementType::Mesh, false, "16 3:true 15 "},
      {ElementType::Mesh, true, "16 3:true 15 "},
      {ElementType::Shape, false, "16 3:false 12:5 "},
      {ElementType::Shape, true, "16 3:false 15 "},
      {ElementType::Extrusion, false, "16 3:false 4:flat 13:0 "},
      {ElementType::Extrusion, true, "16 3:false 4:flat 15 "},
      {ElementType::Cone, false, "16 3:false 4:curved 13:1 "},
      {ElementType::Sphere, false, "16 3:false 4:curved 13:2 "},
      {ElementType::Sphere, true, "16 3:false 4:curved 15 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    RecordingProcessor processor;
    processor.facets = c.facets;
    EXPECT_EQ(Joined(ProcessElement(NewElement(c.type), processor)), c.calls);
  }
}

TEST(ElementGraphicsOutput, InvalidHandleAndDegenerateSolidsGiveNothing) {
  RecordingProcessor processor;
  ElementHandle invalid;
  ElementGraphicsOutput::Process(invalid, processor, nullptr);
  EXPECT_TRUE(processor.calls.empty());

  auto flatCone = NewElement(ElementType::Cone);
  flatCone->top = flatCone->base;
  processor.facets = true;
  EXPECT_EQ(Joined(ProcessElement(std::move(flatCone), processor)), "16 3:false 4:curved ");
}

TEST(ElementGraphicsOutput, FacetsWithTheProcessorsOptionsOrTheDefaults) {
  struct Case {
    bool facets;
    int maxPerFace;  // 0: no options of the processor's own
    std::vector<int32_t> indices;
  };
  std::vector<Case> cases = {
      {true, 0, {1, 2, 3, 4, 0}},           // host default: four points per face
      {true, 3, {1, 2, 3, 0, 1, 3, 4, 0}},  // split as the options ask
      {false, 3, {1, 2, 3, 4, 0}},          // not faceted: the mesh as it is
  };
  for (const Case& c : cases) {
    IFacetOptionsPtr options = IFacetOptions::Create();
    options->SetMaxPerFace(c.maxPerFace);
    RecordingProcessor processor;
    processor.facets = c.facets;
    processor.options = c.maxPerFace ? options.get() : nullptr;
    ProcessElement(NewElement(ElementType::Mesh), processor);
    ASSERT_EQ(processor.meshes.size(), 1u);
    EXPECT_EQ(processor.meshes[0]->PointIndex(), c.indices);
  }
}

TEST(ElementGraphicsOutput, CellsAnnounceTheComposedPlacementBeforeEachChild) {
  // cell (shift x 100) { line, cell (shift y 10) { mesh, cell (shift z 1) { sphere } }, text }
  auto outer = NewElement(ElementType::Cell);
  outer->transform = Translation(100, 0, 0);
  auto middle = NewElement(ElementType::Cell);
  middle->transform = Translation(0, 10, 0);
  auto inner = NewElement(ElementType::Cell);
  inner->transform = Translation(0, 0, 1);
  inner->children.push_back(NewElement(ElementType::Sphere));
  middle->children.push_back(NewElement(ElementType::Mesh));
  middle->children.push_back(std::move(inner));
  middle->children.push_back(NewElement(ElementType::Cell));  // empty: nothing at all
  outer->children.push_back(NewElement(ElementType::Line));
  outer->children.push_back(std::move(middle));
  outer->children.push_back(NewElement(ElementType::Text));

  RecordingProcessor processor;
  processor.facets = true;
  EXPECT_EQ(Joined(ProcessElement(std::move(outer), processor)),
            "16 6 11:2 6 3:true 15 6 3:false 4:curved 15 6 10:Door ");
  ASSERT_EQ(processor.transforms.size(), 4u);
  EXPECT_EQ(processor.transforms[0], Translation(100, 0, 0));
  EXPECT_EQ(processor.transforms[1], Translation(100, 10, 0));
  EXPECT_EQ(processor.transforms[2], Translation(100, 10, 1));
  EXPECT_EQ(processor.transforms[3], Translation(100, 0, 0));
  // The facet sets stay in their element's own coordinates: the placement is the processor's.
  EXPECT_EQ(processor.meshes[0]->Point()[2], (DPoint3d{1, 1, 0}));
}

TEST(ElementGraphicsOutput, PlacementsMultiplyInnerFirst) {
  // A quarter turn inside a shift: the child's placement is shift * turn, not turn * shift.
  const double turn[12] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
  auto outer = NewElement(ElementType::Cell);
  outer->transform = Translation(5, 0, 0);
  auto inner = NewElement(ElementType::Cell);
  inner->transform = Transform::FromRowValues(turn);
  inner->children.push_back(NewElement(ElementType::Line));
  outer->children.push_back(std::move(inner));
  RecordingProcessor processor;
  ProcessElement(std::move(outer), processor);
  ASSERT_EQ(processor.transforms.size(), 1u);
  EXPECT_EQ(processor.transforms[0].Multiply({1, 0, 0}), (DPoint3d{5, 1, 0}));
}

}  // namespace
