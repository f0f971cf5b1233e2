#include "host/element_handle.h"
#include "standin/design/inside_access.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "testing/seed.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

TEST(ElementHandleTest, UnknownIdsGiveAnInvalidHandleWithoutDisplayHandler) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  host::Element& cell = builder.AddElement(model, ElementType::Cell);
  cell.cellName = "Door";
  ScopedSession session(builder.Release());
  ElementHandle missing(ElementId(999), ISessionMgr::GetActiveDgnModelRefP());
  EXPECT_FALSE(missing.IsValid());
  EXPECT_EQ(missing.GetHandler().GetDisplayHandler(), nullptr);
  EXPECT_EQ(missing.GetUnstableMSElementCP(), nullptr);
  DRange3d range = DRange3d::NullRange();
  EXPECT_NE(mdlElement_extractRange(&range, missing.GetUnstableMSElementCP()), SUCCESS);

  ElementHandle found(cell.id, ISessionMgr::GetActiveDgnModelRefP());
  ASSERT_TRUE(found.IsValid());
  WString description;
  found.GetHandler().GetDisplayHandler()->GetDescription(found, description, 256);
  EXPECT_EQ(description, L"Cell: Door");
}

TEST(ElementHandleTest, StoredRangeIsTheDesignsOrElseTheComputedOne) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  host::Element& stale = builder.AddElement(model, ElementType::Sphere);
  stale.center = {10, 20, 30};
  stale.radius = 5;
  stale.storedRange = DRange3d{{0, 0, 0}, {1, 1, 1}};
  host::Element& fresh = builder.AddElement(model, ElementType::Sphere);
  fresh.center = {10, 20, 30};
  fresh.radius = 5;
  ScopedSession session(builder.Release());
  struct Case {
    ElementId id;
    DRange3d stored;
  };
  const Case cases[] = {{stale.id, {{0, 0, 0}, {1, 1, 1}}},
                        {fresh.id, {{5, 15, 25}, {15, 25, 35}}}};
  for (const auto& c : cases) {
    ElementHandle element(c.id, ISessionMgr::GetActiveDgnModelRefP());
    DRange3d basis = DRange3d::NullRange(), stored = DRange3d::NullRange();
    ASSERT_TRUE(element.GetHandler().GetDisplayHandler()->GetBasisRange(element, basis));
    EXPECT_EQ(basis, (DRange3d{{5, 15, 25}, {15, 25, 35}}));
    EXPECT_EQ(mdlElement_extractRange(&stored, element.GetUnstableMSElementCP()), SUCCESS);
    EXPECT_EQ(stored, c.stored);
  }
}

TEST(ElementHandleTest, AddToModelGivesTheNextIdAndMarksTheModelChanged) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  builder.AddElement(model, ElementType::Sphere).id = 41;
  ScopedSession session(builder.Release());
  EditElementHandle element;
  auto mesh = std::make_unique<host::Element>();
  mesh->type = ElementType::Mesh;
  mesh->level = 7;
  mesh->transparency = 0.5;
  host::Inside::SetNewElement(element, std::move(mesh), ISessionMgr::GetActiveDgnModelRefP());
  ASSERT_NE(element.GetElementDescrCP(), nullptr);
  EXPECT_EQ(element.AddToModel(), SUCCESS);
  EXPECT_EQ(element.GetElementId(), 42u);
  const host::Model& active = host::Inside::ModelOf(*ISessionMgr::GetActiveDgnModelP());
  EXPECT_TRUE(active.changed);
  ASSERT_EQ(active.elements.size(), 2u);
  EXPECT_EQ(active.elements.back()->level, host::kDefaultLevelId);
  EXPECT_EQ(active.elements.back()->transparency, 0);
  EXPECT_NE(element.AddToModel(), SUCCESS);  // nothing new left to add
}

// Adds one mesh to the active model; the status of AddToModel.
StatusInt addMesh(const std::function<void(host::Element&)>& shape = {}) {
  EditElementHandle element;
  auto mesh = std::make_unique<host::Element>();
  mesh->type = ElementType::Mesh;
  mesh->points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh->faces = {{1, 2, 3}};
  if (shape) shape(*mesh);
  host::Inside::SetNewElement(element, std::move(mesh), ISessionMgr::GetActiveDgnModelRefP());
  return element.AddToModel();
}

std::vector<uint64_t> activeIds() {
  std::vector<uint64_t> ids;
  for (const auto& element : host::Inside::ModelOf(*ISessionMgr::GetActiveDgnModelP()).elements)
    ids.push_back(element->id);
  return ids;
}

// Ids are never 0 and never repeat: past the highest id the lowest free ones are given.
TEST(ElementHandleTest, AddToModelGivesAnIdThatNoElementHolds) {
  const uint64_t top = std::numeric_limits<uint64_t>::max();
  struct Case {
    const char* name;
    std::vector<uint64_t> held;
    std::vector<uint64_t> given;  // by three adds
  };
  const Case cases[] = {
      {"empty model", {}, {1, 2, 3}},
      {"after the highest", {7, 3}, {8, 9, 10}},
      {"highest id held", {top}, {1, 2, 3}},
      {"gaps are filled in order", {top, 2, 4, 4}, {1, 3, 5}},
      {"one below the highest", {top - 1}, {top, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DesignBuilder builder;
    host::Model& model = builder.AddModel("Default");
    for (uint64_t id : c.held) builder.AddElement(model, ElementType::Sphere).id = id;
    ScopedSession session(builder.Release());
    for (int i = 0; i < 3; ++i) ASSERT_EQ(addMesh(), SUCCESS);
    std::vector<uint64_t> expected = c.held;
    expected.insert(expected.end(), c.given.begin(), c.given.end());
    EXPECT_EQ(activeIds(), expected);
  }
}

// A save writes what AddToModel accepts, and the loader takes numbers up to 1e15 in size.
TEST(ElementHandleTest, AddToModelRefusesWhatADesignCannotHold) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    std::function<void(host::Element&)> shape;
    bool added;
  };
  const Case cases[] = {
      {"at the limit", [](host::Element& e) { e.points[1].x = -1e15; }, true},
      {"beyond the limit", [](host::Element& e) { e.points[1].x = 1.0000001e15; }, false},
      {"coordinate 1e18", [](host::Element& e) { e.points[2].z = 1e18; }, false},
      {"not a number", [](host::Element& e) { e.points[0].y = std::nan(""); }, false},
      {"infinite radius", [](host::Element& e) { e.radius = inf; }, false},
      {"sweep beyond", [](host::Element& e) { e.vector.z = -2e15; }, false},
      {"transform beyond", [](host::Element& e) { e.transform.form3d[2][3] = 1e16; }, false},
      {"child beyond",
       [](host::Element& e) {
         e.children.push_back(std::make_unique<host::Element>());
         e.children.back()->center.x = 1e16;
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DesignBuilder builder;
    builder.AddModel("Default");
    ScopedSession session(builder.Release());
    EXPECT_EQ(addMesh(c.shape) == SUCCESS, c.added);
    EXPECT_EQ(activeIds().size(), c.added ? 1u : 0u);
    EXPECT_EQ(host::Inside::ModelOf(*ISessionMgr::GetActiveDgnModelP()).changed, c.added);
  }
}

}  // namespace
